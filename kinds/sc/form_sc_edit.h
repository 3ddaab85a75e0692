#pragma once
// The SC editor: the reference shape of the framework, with auto-save, the "Underline"
// button and one width shared by the five plain-text choices.

#include "question_editor.h"

namespace kinds {

const editor::EditorKind& scKind();

class FormSCEdit : public editor::QuestionEditor {
 public:
  FormSCEdit(bank::ProgramState& state, ui::Form& formInit);
  ui::ControlArray<ui::WrappingTextBox>& txtAnswer;  // choices A..E
};

}  // namespace kinds
