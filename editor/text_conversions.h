#pragma once
// The text operations of the editors, once, on any rich-text box: the stem, an RC
// passage, DS statements and PS choices all go through these.

#include <QString>

#include "rich_text_box.h"

namespace editor {

// The whole text in `to` when it is all in `from`, otherwise (another font, or mixed
// fonts) in `from`; 11 points either way.
void toggleFont(ui::RichTextBox& box, const QString& from, const QString& to);

// The whole text in Verdana 11.
void setDefaultFont(ui::RichTextBox& box);

// Underlines the first run of "CBTLINE" characters, up to the next "CBT" character (or
// the end of the text).
void convertUnderline(ui::RichTextBox& box);

// Every backtick and every tilde becomes a straight double quote.
void replaceSpecialChars(ui::RichTextBox& box);

// Turns a passage pasted with printed line numbering into running paragraphs: drops the
// marks "(5) " .. "(150) ", turns "Line" into a space, breaks the text at the second and
// later runs of ten spaces, shrinks runs of spaces to one, joins up to 151 lines into
// paragraphs (an empty line starts a new, indented one) and replaces special characters.
void resetPassage(ui::RichTextBox& box);

}  // namespace editor
