#include "form_cr_edit.h"

#include "choice_kinds.h"

namespace kinds {

using namespace editor;
using bank::schema::SizeOf;

const EditorKind& crKind() {
  static const EditorKind k{
      .kind = bank::schema::Kind::CR,
      .caption = "ZORBEX CR Editor",
      .title = "Verbal CR Editor",
      .editionPool = "O120",
      .layout = stemAndChoices(1965),
      .sizeTargets = {{"0", SizeOf::QuestionHeight, SizeOf::QuestionWidth},
                      {"1", SizeOf::ChoiceHeightA},
                      {"2", SizeOf::ChoiceHeightB},
                      {"3", SizeOf::ChoiceHeightC},
                      {"4", SizeOf::ChoiceHeightD},
                      {"5", SizeOf::ChoiceHeightE}},
      .heightSliderMax = 500,
      .heightSliderTick = 25,
      .widthSliderMax = 200,
      .widthSliderTick = 10,
      .reset = {{SizeOf::QuestionWidth, 12},
                {SizeOf::QuestionHeight, 0},
                {SizeOf::ChoiceHeightA, 0},
                {SizeOf::ChoiceHeightB, 0},
                {SizeOf::ChoiceHeightC, 0},
                {SizeOf::ChoiceHeightD, 0},
                {SizeOf::ChoiceHeightE, 0}},
      .places = {},
      .has = {.autoSave = false, .underline = false},
  };
  return k;
}

FormCREdit::FormCREdit(bank::ProgramState& state, ui::Form& formInit)
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
