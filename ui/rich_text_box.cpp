#include "rich_text_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
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

// Qt's default inset of 4 px on every side leaves a box one line high (a DS statement at its
// default 270 twips) showing only the top of its line; the plain text boxes have none either.
constexpr qreal kTextInset = 0;

RichTextBox::RichTextBox(QWidget* parent) : Control<QTextEdit>(parent) {
  watch(document());
  // Pasted rich text would bring formatting and objects that came from no RTF; the box
  // takes pasted text as plain text in the formatting at the caret.
  setAcceptRichText(false);
  setTabChangesFocus(true);
  setDefaultFont(QStringLiteral("Verdana"), 11.5);
  setBorder(true);
  document()->setDocumentMargin(kTextInset);
}

QByteArray RichTextBox::TextRTF() const {
  if (!rtfValid_) {
    rtf_ = rtf::writeRtf(*doc());
    rtfValid_ = true;
  }
  return rtf_;
}

void RichTextBox::watch(QTextDocument* doc) {
  // Formatting applied to a selection announces itself here as well as typed text.
  connect(doc, &QTextDocument::contentsChanged, this, &RichTextBox::contentChanged, Qt::UniqueConnection);
}

void RichTextBox::contentChanged() {
  positionsValid_ = false;
  rtfValid_ = false;
}

QTextDocument* RichTextBox::doc() const { return batchDoc_ ? batchDoc_ : document(); }

void RichTextBox::setTextRTF(const QByteArray& rtf) {
  if (rtf.isEmpty()) {
    resetToDefault();
    return;
  }
  // Read into a document of its own and lay it out once, not after every piece of text.
  auto* doc = new QTextDocument(this);
  doc->setDefaultFont(document()->defaultFont());
  rtf::readRtf(rtf, *doc);
  if (batchDepth_ > 0) {
    setBatchDocument(doc);
  } else {
    adoptDocument(doc);
  }
  contentChanged();
  if (this->doc()->isEmpty()) {
    resetToDefault();  // typing into it starts in the box's font
    return;
  }
  // A document the box has just taken has its caret at the start already; setting it again
  // would shape the first paragraph once more to show the caret.
  const QTextCursor start(this->doc());
  if (selection() != start) setSelection(start);
  if (batchDepth_ == 0) ScrollToTop();
}

// The box owns the documents it reads into (their parent). QTextEdit deletes only the
// document it made itself, so one of ours that was shown goes here, or every load would
// keep one more.
void RichTextBox::adoptDocument(QTextDocument* doc) {
  QTextDocument* before = document();
  const bool ours = before != doc && before->parent() == this;
  doc->setDocumentMargin(kTextInset);
  // A view lays a document out when it takes it and again when it gives it its width; with
  // no page size yet the first pass does nothing, so a long text is laid out once.
  doc->setPageSize(QSizeF(0, 0));
  setDocument(doc);
  if (ours) delete before;
  watch(doc);
  contentChanged();
}

QString RichTextBox::Text() const {
  buildPositions();
  return text_;
}

int RichTextBox::TextLength() const {
  buildPositions();
  return static_cast<int>(text_.size());
}

void RichTextBox::buildPositions() const {
  if (positionsValid_) return;
  // Text as rtf::boxText makes it, and the positions, in one pass over the paragraphs: selection
  // work after each replacement asks for both again.
  text_.clear();
  textAt_.assign(static_cast<size_t>(std::max(1, doc()->characterCount())), 0);
  for (QTextBlock b = doc()->begin(); b.isValid(); b = b.next()) {
    if (b != doc()->begin()) text_ += QLatin1String("\r\n");
    const QString s = b.text();
    int doc = b.position();
    const int start = static_cast<int>(text_.size());
    int text = start;
    for (QChar c : s) {
      textAt_[static_cast<size_t>(doc++)] = text;
      text += textUnits(c);
    }
    if (static_cast<size_t>(doc) < textAt_.size()) textAt_[static_cast<size_t>(doc)] = text;  // the break
    if (text - start == s.size()) {
      text_ += s;
    } else {  // line breaks inside the paragraph
      QString withBreaks = s;
      text_ += withBreaks.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    }
  }
  positionsValid_ = true;
}

void RichTextBox::setText(const QString& text) {
  resetToDefault();
  QTextCursor c(doc());
  insertPlain(c, text, defaultFormat_);
  c.setPosition(0);
  contentChanged();
  setSelection(c);
  if (batchDepth_ == 0) ScrollToTop();
}

void RichTextBox::resetToDefault() {
  if (batchDoc_) batchEdit_.endEditBlock();  // a document is not cleared inside an edit
  doc()->clear();
  if (batchDoc_) batchEdit_.beginEditBlock();
  QTextCursor c(doc());
  c.setBlockCharFormat(defaultFormat_);
  contentChanged();
  setSelection(c);
  if (batchDepth_ == 0) {
    setCurrentCharFormat(defaultFormat_);
    ScrollToTop();
  }
}

// ---- positions

int RichTextBox::textPosition(int docPos) const {
  buildPositions();
  if (docPos <= 0) return 0;
  if (static_cast<size_t>(docPos) >= textAt_.size()) return static_cast<int>(text_.size());
  return std::min(textAt_[static_cast<size_t>(docPos)], static_cast<int>(text_.size()));
}

// The first document position at or after a Text position; a position between the CR
// and the LF of a break is the start of the next paragraph.
int RichTextBox::docPosition(int textPos) const {
  buildPositions();
  auto it = std::lower_bound(textAt_.begin(), textAt_.end(), textPos);
  if (it == textAt_.end()) return static_cast<int>(textAt_.size()) - 1;
  return static_cast<int>(it - textAt_.begin());
}

int RichTextBox::SelStart() const { return textPosition(selection().selectionStart()); }

int RichTextBox::SelLength() const {
  const QTextCursor c = selection();
  return textPosition(c.selectionEnd()) - textPosition(c.selectionStart());
}

void RichTextBox::select(int textStart, int textLength) {
  const int length = TextLength();
  textStart = std::clamp(textStart, 0, length);
  textLength = std::clamp(textLength, 0, length - textStart);
  QTextCursor c(doc());
  c.setPosition(docPosition(textStart));
  c.setPosition(docPosition(textStart + textLength), QTextCursor::KeepAnchor);
  setSelection(c);
}

void RichTextBox::setSelStart(int start) { select(start, 0); }

void RichTextBox::setSelLength(int length) { select(SelStart(), length); }

QString RichTextBox::SelText() const { return Text().mid(SelStart(), SelLength()); }

void RichTextBox::insertPlain(QTextCursor& cursor, const QString& text, const QTextCharFormat& format) {
  QString normalised = text;
  normalised.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  cursor.insertText(normalised, format);
}

QTextCursor RichTextBox::selection() const { return batchDepth_ > 0 ? batchCursor_ : textCursor(); }

void RichTextBox::setSelection(const QTextCursor& c) {
  if (batchDepth_ > 0)
    batchCursor_ = c;
  else
    setTextCursor(c);
}

void RichTextBox::mergeSelectionFormat(const QTextCharFormat& f) {
  if (batchDepth_ > 0) {
    batchCursor_.mergeCharFormat(f);
    contentChanged();  // the batch's edit announces it at its end
  } else {
    mergeCurrentCharFormat(f);
  }
}

// The batch's document is edited inside one edit block: Qt then leaves out what only a view
// needs after every move of a cursor (the caret's x, which itemizes the whole paragraph).
// The block ends before the document is replaced, cleared or shown.
void RichTextBox::setBatchDocument(QTextDocument* doc) {
  if (batchDoc_) {
    batchEdit_.endEditBlock();
    delete batchDoc_;
  }
  batchDoc_ = doc;
  watch(doc);
  batchEdit_ = QTextCursor(doc);
  batchEdit_.beginEditBlock();
}

// The batch works on a copy that nothing lays out; the copy replaces the shown document
// when the last batch ends.
RichTextBox::Batch::Batch(RichTextBox& box) : box_(box) {
  if (box_.batchDepth_++ > 0) return;
  const QTextCursor shown = box_.textCursor();
  box_.setBatchDocument(box_.document()->clone(&box_));
  box_.batchCursor_ = QTextCursor(box_.batchDoc_);
  box_.batchCursor_.setPosition(shown.anchor());
  box_.batchCursor_.setPosition(shown.position(), QTextCursor::KeepAnchor);
  box_.contentChanged();
}

RichTextBox::Batch::~Batch() {
  if (--box_.batchDepth_ > 0) return;
  QTextDocument* done = box_.batchDoc_;
  box_.batchEdit_.endEditBlock();
  box_.batchEdit_ = QTextCursor();
  const QTextCursor cursor = box_.batchCursor_;
  box_.batchDoc_ = nullptr;
  box_.adoptDocument(done);
  box_.setTextCursor(cursor);
}

QTextCharFormat RichTextBox::typingFormat(const QTextCursor& cursor) const {
  QTextCursor at(cursor.document());
  const int start = cursor.selectionStart();
  const QTextBlock block = cursor.document()->findBlock(start);
  if (cursor.hasSelection() || (start == block.position() && block.length() > 1))
    at.setPosition(start + 1);  // the character after the caret
  else if (block.length() == 1 && block.previous().isValid())
    at.setPosition(block.previous().position() + block.previous().length() - 1);  // the end of the text before
  else
    at.setPosition(start);  // the character before the caret
  QTextCharFormat format = at.charFormat();
  format.clearProperty(QTextFormat::ObjectType);
  format.clearProperty(rtf::kRawGroup);
  if (rtf::fontName(format).isEmpty()) format.setFontFamilies(defaultFormat_.fontFamilies().toStringList());
  if (!(format.fontPointSize() > 0)) format.setFontPointSize(defaultFormat_.fontPointSize());
  return format;
}

void RichTextBox::prepareTyping() {
  QTextCursor c = textCursor();
  const QTextCharFormat format = typingFormat(c);
  if (c.hasSelection()) c.removeSelectedText();
  c.setCharFormat(format);  // without a selection: the formatting of what is put in next
  setTextCursor(c);
}

void RichTextBox::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const bool character = !event->text().isEmpty() && event->text().at(0).isPrint() &&
                         !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
  if (event->key() == Qt::Key_Tab && modifiers == Qt::ControlModifier && !isReadOnly()) {
    // Tab moves to the next box; a tab character is typed with Ctrl+Tab.
    QTextCursor c = textCursor();
    c.insertText(QStringLiteral("\t"), typingFormat(c));
    setTextCursor(c);
    event->accept();
    return;
  }
  if (isReadOnly() || !(enter || character)) {
    QTextEdit::keyPressEvent(event);
    return;
  }
  if (enter && modifiers == Qt::NoModifier) {
    // A new paragraph like the one it splits. (Qt's own Enter drops the formatting after an
    // empty paragraph and swallows the key.)
    QTextCursor c = textCursor();
    const QTextCharFormat format = typingFormat(c);
    c.beginEditBlock();
    c.removeSelectedText();
    c.insertBlock(c.blockFormat(), format);
    c.endEditBlock();
    setTextCursor(c);
    ensureCursorVisible();
    event->accept();
    return;
  }
  prepareTyping();
  QTextEdit::keyPressEvent(event);
}

void RichTextBox::insertFromMimeData(const QMimeData* source) {
  if (!isReadOnly()) prepareTyping();
  QTextEdit::insertFromMimeData(source);
}

void RichTextBox::setSelText(const QString& text) {
  QTextCursor c = selection();
  const QTextCharFormat format = typingFormat(c);
  // A replacement inside one paragraph moves the positions along instead of making them again:
  // replacing through a whole text goes from one match to the next.
  const int from = c.selectionStart(), removed = c.selectionEnd() - from;
  const bool inParagraph =
      positionsValid_ && !breaksParagraph(text) && textPosition(c.selectionEnd()) - textPosition(from) == removed;
  const int textFrom = inParagraph ? textPosition(from) : 0;
  c.beginEditBlock();
  c.removeSelectedText();
  insertPlain(c, text, format);
  c.endEditBlock();
  contentChanged();
  if (inParagraph) movePositions(from, removed, textFrom, text);
  setSelection(c);
}

bool RichTextBox::breaksParagraph(const QString& text) {
  for (QChar c : text)
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator ||
        c == QChar::LineSeparator || c.unicode() == 0xfdd0 || c.unicode() == 0xfdd1)  // the last two: frames
      return true;
  return false;
}

void RichTextBox::movePositions(int docFrom, int removed, int textFrom, const QString& inserted) {
  const int added = static_cast<int>(inserted.size());
  text_.replace(textFrom, removed, inserted);
  auto at = textAt_.erase(textAt_.begin() + docFrom, textAt_.begin() + docFrom + removed);
  at = textAt_.insert(at, static_cast<size_t>(added), 0);
  for (int k = 0; k < added; ++k) *at++ = textFrom + k;
  for (; at != textAt_.end(); ++at) *at += added - removed;
  positionsValid_ = true;
}

// ---- selection formatting

template <class Visit>
void RichTextBox::forEachFormat(int from, int to, Visit visit) const {
  for (QTextBlock b = doc()->findBlock(from); b.isValid() && b.position() < to; b = b.next()) {
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
  const QTextCursor c = selection();
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
  mergeSelectionFormat(f);
}

void RichTextBox::setSelFontSize(double points) {
  if (points <= 0) return;
  QTextCharFormat f;
  f.setFontPointSize(points);
  mergeSelectionFormat(f);
}

void RichTextBox::setSelUnderline(bool on) {
  QTextCharFormat f;
  rtf::setUnderline(f, on ? QStringLiteral("ul") : QString());
  mergeSelectionFormat(f);
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
  // Text without a font of its own is shown, and stored, in the box's default.
  QFont font(name);
  font.setPointSizeF(points);
  document()->setDefaultFont(font);
  if (batchDoc_) batchDoc_->setDefaultFont(font);
  contentChanged();  // text without a font of its own is written in the default
  if (doc()->isEmpty()) resetToDefault();
}

void RichTextBox::ScrollToTop() {
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
}

// Qt shows the caret's whole line on the first show, which scrolls a box lower than a
// line; a caret at the start shows the text from the top instead.
void RichTextBox::showEvent(QShowEvent* event) {
  QTextEdit::showEvent(event);
  if (textCursor().position() == 0 && !textCursor().hasSelection()) ScrollToTop();
}

void RichTextBox::mouseReleaseEvent(QMouseEvent* event) {
  QTextEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) raiseEvent(Click);
}

void RichTextBox::Press() {
  raiseEvent(Click);
  rethrowPending();
}

}  // namespace ui
