#pragma once
// The text conversions of the essay-topic editor, each on any rich-text box, so that one
// place says what "Add", "Font" and "GO" do to a topic.

#include <QString>

#include "rich_text_box.h"

namespace kinds::awa {

// The standard instruction that "Add" puts in front of a topic (one paragraph).
extern const QString kInstruction;

// The whole text becomes `instruction`, an empty line and the previous text, as plain
// text in the box's default font: the topic's own formatting is not kept.
void prependInstruction(ui::RichTextBox& box, const QString& instruction = kInstruction);

// The whole text in Verdana 11 pt.
void setAllTextVerdana11(ui::RichTextBox& box);

// Every backtick and every tilde becomes a straight double quote; the caret ends at the
// start of the text.
void replaceTypewriterQuotes(ui::RichTextBox& box);

}  // namespace kinds::awa
