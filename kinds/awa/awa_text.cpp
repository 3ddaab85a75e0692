#include "awa_text.h"

namespace kinds::awa {

const QString kInstruction = QStringLiteral(
    "Read the argument and the instructions that follow it, and then make any notes that will help you plan "
    "your response. Begin typing your response in the box at the bottom of the screen.");

void prependInstruction(ui::RichTextBox& box, const QString& instruction) {
  box.setText(instruction + QStringLiteral("\r\n\r\n") + box.Text());
}

void setAllTextVerdana11(ui::RichTextBox& box) {
  ui::RichTextBox::Batch batch(box);
  box.setSelStart(0);
  box.setSelLength(box.TextLength());
  box.setSelFontName(QStringLiteral("Verdana"));
  box.setSelFontSize(11);
}

void replaceTypewriterQuotes(ui::RichTextBox& box) {
  ui::RichTextBox::Batch batch(box);
  for (const QChar special : {QLatin1Char('`'), QLatin1Char('~')}) {
    int p = 0;
    for (;;) {
      const int found = box.Find(QString(special), p, true);
      if (found < 0) break;
      box.setSelText(QStringLiteral("\""));
      p = found + 1;
    }
    box.setSelStart(0);
  }
}

}  // namespace kinds::awa
