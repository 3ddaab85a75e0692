#include "form_sc_edit.h"

namespace kinds {

const editor::EditorKind& scKind() {
  static const editor::EditorKind k{
      .kind = store::schema::Kind::SC,
      .table = "SCtbl",
      .caption = "ZORBEX SC Editor",
      .title = "Verbal SC Editor",
      .editionPool = "O130",
      .defaultQuestionHeight = 615,
      .heightSliderMax = 300,
      .heightSliderTick = 15,
      .widthSliderMax = 200,
      .widthSliderTick = 10,
      .hasAutoSave = true,
      .hasChoiceWidth = true,
      .hasUnderlineButton = true,
      .hasCopy2 = true,
      .hasDuplicateCheck = true,
      .choiceFocusLocksHeight = false,
      .resetQuestionWidth = 0,
  };
  return k;
}

}  // namespace kinds
