#include "awa_text.h"

namespace kinds::awa {

const QString kInstruction = QStringLiteral(
    "Read the argument and the instructions that follow it, and then make any notes that will help you plan "
    "your response. Begin typing your response in the box at the bottom of the screen.");

void prependInstruction(ui::RichTextBox& box, const QString& instruction) {
  box.setText(instruction + QStringLiteral("\r\n\r\n") + box.Text());
}

}  // namespace kinds::awa
