#include "form_cr_edit.h"

#include "choice_kinds.h"

namespace kinds {

using namespace editor;

const EditorKind& crKind() {
  static const EditorKind k{
      .kind = store::schema::Kind::CR,
      .caption = "ZORBEX CR Editor",
      .title = "Verbal CR Editor",
      .editionPool = "O120",
      .layout = stemAndChoices(1965),
      .sizeTargets = {{"0", "questionHeight", "questionWidth"},
                      {"1", "choiceAHeight", nullptr},
                      {"2", "choiceBHeight", nullptr},
                      {"3", "choiceCHeight", nullptr},
                      {"4", "choiceDHeight", nullptr},
                      {"5", "choiceEHeight", nullptr}},
      .heightSliderMax = 500,
      .heightSliderTick = 25,
      .widthSliderMax = 200,
      .widthSliderTick = 10,
      .reset = {{"questionWidth", 12},
                {"questionHeight", 0},
                {"choiceAHeight", 0},
                {"choiceBHeight", 0},
                {"choiceCHeight", 0},
                {"choiceDHeight", 0},
                {"choiceEHeight", 0}},
      .places = {},
      .has = {.autoSave = false, .underline = false},
  };
  return k;
}

FormCREdit::FormCREdit(store::ProgramState& state, ui::Form& formInit)
    : QuestionEditor(crKind(), state, formInit, plainChoices),
      txtAnswer(static_cast<PlainChoices&>(choices()).txtAnswer) {}

void FormCREdit::rtxtQuestion_Click() {
  if (!questionShown()) return;
  OptHW[1].setEnabled(true);
  QuestionEditor::rtxtQuestion_Click();
}

// A choice has no width of its own here: its size is its height.
void FormCREdit::imgClick_Click(int index) {
  if (!questionShown()) return;
  QuestionEditor::imgClick_Click(index);
  OptHW[0].setValue(true);
  OptHW[1].setEnabled(false);
  ShowSizeValue();
}

}  // namespace kinds
