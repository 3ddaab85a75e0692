#include "form_sc_edit.h"

#include "choice_kinds.h"

namespace kinds {

using namespace editor;

const EditorKind& scKind() {
  static const EditorKind k{
      .kind = bank::schema::Kind::SC,
      .caption = "ZORBEX SC Editor",
      .title = "Verbal SC Editor",
      .editionPool = "O130",
      .layout = stemAndChoices(615),
      .sizeTargets = sharedWidthTargets(),
      .heightSliderMax = 300,
      .heightSliderTick = 15,
      .widthSliderMax = 200,
      .widthSliderTick = 10,
      .reset = resetAllTo(0),
      .places = {},
      .has = {},
  };
  return k;
}

FormSCEdit::FormSCEdit(bank::ProgramState& state, ui::Form& formInit)
    : QuestionEditor(scKind(), state, formInit, plainChoices),
      txtAnswer(static_cast<PlainChoices&>(choices()).txtAnswer) {}

}  // namespace kinds
