#pragma once
// The instruction that the essay-topic editor puts in front of a topic. Its font and quote
// conversions are the editors' shared ones (text_conversions.h).

#include <QString>

#include "rich_text_box.h"

namespace kinds::awa {

// The standard instruction that "Add" puts in front of a topic (one paragraph).
extern const QString kInstruction;

// The whole text becomes `instruction`, an empty line and the previous text, as plain
// text in the box's default font: the topic's own formatting is not kept.
void prependInstruction(ui::RichTextBox& box, const QString& instruction = kInstruction);

}  // namespace kinds::awa
