#include "form_cr_edit.h"

namespace kinds {

const editor::EditorKind& crKind() {
  static const editor::EditorKind k{
      .kind = store::schema::Kind::CR,
      .table = "CRtbl",
      .caption = "ZORBEX CR Editor",
      .title = "Verbal CR Editor",
      .editionPool = "O120",
      .defaultQuestionHeight = 1965,
      .heightSliderMax = 500,
      .heightSliderTick = 25,
      .widthSliderMax = 200,
      .widthSliderTick = 10,
      .hasAutoSave = false,
      .hasChoiceWidth = false,
      .hasUnderlineButton = false,
      .hasCopy2 = false,
      .hasDuplicateCheck = true,
      .choiceFocusLocksHeight = true,
      .resetQuestionWidth = 12,
  };
  return k;
}

}  // namespace kinds
