#include "text_conversions.h"

namespace editor {

namespace {

void selectAll(ui::RichTextBox& box) {
  box.setSelStart(0);
  box.setSelLength(box.TextLength());
}

// Replaces every occurrence of `what` (any letter case, inside words too) by `with`,
// searching on from where each replacement begins.
void replaceAll(ui::RichTextBox& box, const QString& what, const QString& with) {
  int p = 0;
  for (;;) {
    const int found = box.Find(what, p, false);
    if (found < 0) break;
    box.setSelText(with);
    p = found;
  }
  box.setSelStart(0);
}

}  // namespace

void toggleFont(ui::RichTextBox& box, const QString& from, const QString& to) {
  ui::RichTextBox::Batch batch(box);
  selectAll(box);
  box.setSelFontName(box.SelFontName() == from ? to : from);
  box.setSelFontSize(11);
}

void setDefaultFont(ui::RichTextBox& box) {
  ui::RichTextBox::Batch batch(box);
  selectAll(box);
  box.setSelFontName(QStringLiteral("Verdana"));
  box.setSelFontSize(11);
}

void convertUnderline(ui::RichTextBox& box) {
  ui::RichTextBox::Batch batch(box);
  const int n = box.TextLength();
  int start = 0, end = 0;
  bool found = false;
  for (int i = 0; i <= n; ++i) {
    box.setSelStart(i);
    box.setSelLength(1);
    const QString font = box.SelFontName();
    if (!found && font == "CBTLINE") {
      start = i;
      found = true;
    } else if (found && font == "CBT") {
      end = i;
      break;
    }
  }
  if (found && end == 0) end = n;  // the run reaches the end of the text
  box.setSelStart(start);
  box.setSelLength(end - start);
  box.setSelUnderline(true);
}

void replaceSpecialChars(ui::RichTextBox& box) {
  ui::RichTextBox::Batch batch(box);
  for (const char* special : {"`", "~"}) {
    int p = 0;
    for (;;) {
      const int found = box.Find(QString::fromLatin1(special), p, true);
      if (found < 0) break;
      box.setSelText(QStringLiteral("\""));
      p = found + 1;
    }
    box.setSelStart(0);
  }
}

void resetPassage(ui::RichTextBox& box) {
  ui::RichTextBox::Batch batch(box);
  for (int n = 5; n <= 150; n += 5) replaceAll(box, QStringLiteral("(%1) ").arg(n), QString());
  replaceAll(box, QStringLiteral("Line"), QStringLiteral(" "));

  const QString ten(10, QLatin1Char(' '));
  const QString lineBreak = QStringLiteral("\r\n");
  int p = 0;
  bool first = true;
  for (;;) {
    const int found = box.Find(ten, p, false);
    if (found < 0) break;
    if (first) {  // the first run stays
      first = false;
      p = found + 10;
      continue;
    }
    box.setSelText(lineBreak);
    p = found;
  }
  box.setSelStart(0);
  replaceAll(box, QStringLiteral("  "), QStringLiteral(" "));

  QString passage = box.Text();
  QString result(4, QLatin1Char(' '));
  int taken = 0;
  for (qsizetype at = passage.indexOf(lineBreak); at >= 0 && taken < 151; at = passage.indexOf(lineBreak)) {
    const QString line = passage.left(at);
    passage.remove(0, at + 2);
    ++taken;
    if (line.isEmpty())
      result += lineBreak + lineBreak + QString(5, QLatin1Char(' '));
    else
      result += line;
  }
  result += passage;
  // The rebuilt text takes the formatting of the passage's first character.
  selectAll(box);
  box.setSelText(result);
  box.setSelStart(0);
  replaceSpecialChars(box);
}

}  // namespace editor
