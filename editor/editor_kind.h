#pragma once
// What one multiple-choice kind sets for the shared editor: its table, captions, default
// sizes, slider scales and which controls and fields it has.

#include "schema.h"

namespace editor {

struct EditorKind {
  store::schema::Kind kind;
  const char* table;    // "SCtbl"
  const char* caption;  // window caption
  const char* title;    // lblTitle
  const char* editionPool;  // default text of txtOG12
  double defaultQuestionHeight;  // twips, when questionHeight is 0 or empty
  int heightSliderMax, heightSliderTick;
  int widthSliderMax, widthSliderTick;
  bool hasAutoSave;          // chkAutoSave; also saves the content on closing
  bool hasChoiceWidth;       // choiceAWidth is read, edited and written
  bool hasUnderlineButton;   // cmdUnderLine
  bool hasCopy2;             // cmdCopy2
  bool hasDuplicateCheck;    // cmdDuplicateCheck
  bool choiceFocusLocksHeight;  // focusing a choice selects "Height" and disables "Width"
  double resetQuestionWidth;    // what "Reset" puts into questionWidth
};

}  // namespace editor
