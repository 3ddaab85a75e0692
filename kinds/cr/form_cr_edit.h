#pragma once
// The CR editor: the SC shape with a taller default stem, heights up to 5 cm, no choice
// width (focusing a choice locks the value box to "Height"), no auto-save and no
// "Underline" button; "Reset" sets the stem width to 12 cm.

#include "question_editor.h"

namespace kinds {

const editor::EditorKind& crKind();

class FormCREdit : public editor::QuestionEditor {
 public:
  FormCREdit(bank::ProgramState& state, ui::Form& formInit);
  ui::ControlArray<ui::WrappingTextBox>& txtAnswer;  // choices A..E

  void rtxtQuestion_Click() override;
  void imgClick_Click(int index) override;
};

}  // namespace kinds
