#include "rich_text_box.h"

#include <QMouseEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

#include "rtf/rtf_format.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"

namespace ui {

namespace {

// Characters of Text that one document character stands for: a line break inside a
// paragraph is CR LF as well.
int textUnits(QChar c) { return c == QChar::LineSeparator ? 2 : 1; }

}  // namespace

RichTextBox::RichTextBox(QWidget* parent) : QTextEdit(parent) {
  // Pasted rich text would bring formatting and objects that came from no RTF; the box
  // takes pasted text as plain text in the formatting at the caret.
  setAcceptRichText(false);
  setDefaultFont(QStringLiteral("Verdana"), 11.5);
  setBorder(true);
}

QByteArray RichTextBox::TextRTF() const { return rtf::writeRtf(*document()); }

void RichTextBox::setTextRTF(const QByteArray& rtf) {
  if (rtf.isEmpty()) {
    resetToDefault();
    return;
  }
  rtf::readRtf(rtf, *document());
  if (document()->isEmpty()) {
    resetToDefault();  // typing into it starts in the box's font
    return;
  }
  setTextCursor(QTextCursor(document()));
}

QString RichTextBox::Text() const { return rtf::boxText(*document()); }

void RichTextBox::setText(const QString& text) {
  resetToDefault();
  QTextCursor c(document());
  insertPlain(c, text, defaultFormat_);
  c.setPosition(0);
  setTextCursor(c);
}

void RichTextBox::resetToDefault() {
  document()->clear();
  QTextCursor c(document());
  c.setBlockCharFormat(defaultFormat_);
  setTextCursor(c);
  setCurrentCharFormat(defaultFormat_);
}

// ---- positions

int RichTextBox::textPosition(int docPos) const {
  int text = 0;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
    const QString s = b.text();
    const int start = b.position();
    if (docPos <= start + s.size()) {
      for (int i = 0; i < docPos - start; ++i) text += textUnits(s[i]);
      return text;
    }
    for (QChar c : s) text += textUnits(c);
    text += 2;  // CR LF between paragraphs
  }
  return text > 0 ? text - 2 : 0;
}

int RichTextBox::docPosition(int textPos) const {
  int text = 0;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
    const QString s = b.text();
    int doc = b.position();
    for (QChar c : s) {
      if (text >= textPos) return doc;
      text += textUnits(c);
      ++doc;
    }
    if (text >= textPos || !b.next().isValid()) return doc;
    text += 2;
    if (text > textPos) return b.next().position();  // between CR and LF
  }
  return 0;
}

int RichTextBox::SelStart() const { return textPosition(textCursor().selectionStart()); }

int RichTextBox::SelLength() const {
  const QTextCursor c = textCursor();
  return textPosition(c.selectionEnd()) - textPosition(c.selectionStart());
}

void RichTextBox::select(int textStart, int textLength) {
  const int length = TextLength();
  textStart = std::clamp(textStart, 0, length);
  textLength = std::clamp(textLength, 0, length - textStart);
  QTextCursor c(document());
  c.setPosition(docPosition(textStart));
  c.setPosition(docPosition(textStart + textLength), QTextCursor::KeepAnchor);
  setTextCursor(c);
}

void RichTextBox::setSelStart(int start) { select(start, 0); }

void RichTextBox::setSelLength(int length) { select(SelStart(), length); }

QString RichTextBox::SelText() const { return Text().mid(SelStart(), SelLength()); }

void RichTextBox::insertPlain(QTextCursor& cursor, const QString& text, const QTextCharFormat& format) {
  QString normalised = text;
  normalised.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  cursor.insertText(normalised, format);
}

void RichTextBox::setSelText(const QString& text) {
  QTextCursor c = textCursor();
  QTextCharFormat format = c.charFormat();
  if (c.hasSelection()) {
    QTextCursor first(document());
    first.setPosition(c.selectionStart() + 1);
    format = first.charFormat();
  }
  format.clearProperty(QTextFormat::ObjectType);
  format.clearProperty(rtf::kRawGroup);
  c.beginEditBlock();
  c.removeSelectedText();
  insertPlain(c, text, format);
  c.endEditBlock();
  setTextCursor(c);
}

// ---- selection formatting

template <class Visit>
void RichTextBox::forEachFormat(int from, int to, Visit visit) const {
  for (QTextBlock b = document()->findBlock(from); b.isValid() && b.position() < to; b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (f.position() + f.length() > from && f.position() < to) visit(f.charFormat());
    }
  }
}

// The value all selected characters share, or nothing when they differ. A selection
// without characters (the caret, or only paragraph breaks) has the value that typing
// would get.
template <class T, class Get>
std::optional<T> RichTextBox::selectionValue(Get get) const {
  const QTextCursor c = textCursor();
  std::optional<T> value;
  bool mixed = false;
  forEachFormat(c.selectionStart(), c.selectionEnd(), [&](const QTextCharFormat& f) {
    const T v = get(f);
    if (!value)
      value = v;
    else if (*value != v)
      mixed = true;
  });
  if (!value) return get(c.charFormat());
  if (mixed) return std::nullopt;
  return value;
}

QString RichTextBox::SelFontName() const { return selectionValue<QString>(rtf::fontName).value_or(QString()); }

std::optional<double> RichTextBox::SelFontSize() const {
  return selectionValue<double>([](const QTextCharFormat& f) { return f.fontPointSize(); });
}

std::optional<bool> RichTextBox::SelUnderline() const { return selectionValue<bool>(rtf::isUnderlined); }

void RichTextBox::setSelFontName(const QString& name) {
  QTextCharFormat f;
  f.setFontFamilies(QStringList{name});
  mergeCurrentCharFormat(f);
}

void RichTextBox::setSelFontSize(double points) {
  if (points <= 0) return;
  QTextCharFormat f;
  f.setFontPointSize(points);
  mergeCurrentCharFormat(f);
}

void RichTextBox::setSelUnderline(bool on) {
  QTextCharFormat f;
  rtf::setUnderline(f, on ? QStringLiteral("ul") : QString());
  mergeCurrentCharFormat(f);
}

int RichTextBox::Find(const QString& text, int start, bool matchCase) {
  const QString all = Text();
  if (text.isEmpty() || start < 0 || start > all.size()) return -1;
  const qsizetype found = all.indexOf(text, start, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
  if (found < 0) return -1;
  select(static_cast<int>(found), static_cast<int>(text.size()));
  return static_cast<int>(found);
}

// ---- look and events

bool RichTextBox::Border() const { return frameShape() != QFrame::NoFrame; }

void RichTextBox::setBorder(bool on) { setFrameShape(on ? QFrame::StyledPanel : QFrame::NoFrame); }

void RichTextBox::setDefaultFont(const QString& name, double points) {
  defaultFormat_ = QTextCharFormat();
  defaultFormat_.setFontFamilies(QStringList{name});
  defaultFormat_.setFontPointSize(points);
  if (document()->isEmpty()) resetToDefault();
}

void RichTextBox::mouseReleaseEvent(QMouseEvent* event) {
  QTextEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) emit Click();
}

}  // namespace ui
