#pragma once
// The PS editor: the SC shape with rich-text choices (formulas and numbers), each marker
// centred beside its box, "C Font" for the choices beside "Q Font" for the stem, and the
// per-question flag "Arrange" stored by "Save".

#include "question_editor.h"

namespace kinds {

const editor::EditorKind& psKind();

// The "Arrange" check box and the choiceArrange field it shows.
class ArrangeFlag : public editor::Panel {
 public:
  explicit ArrangeFlag(QWidget* parent);
  ui::CheckBox chkArrange;

  void load(const editor::Record& r) override;
  void clear() override;
  void saveContent(editor::Record&) const override {}
  void saveLayout(editor::Record& r) const override;
};

class FormPSEdit : public editor::QuestionEditor {
 public:
  FormPSEdit(bank::ProgramState& state, ui::Form& formInit);
  ui::ControlArray<ui::RichTextBox>& rtxtAnswer;  // choices A..E
  ArrangeFlag arrangeFlag;
  ui::CheckBox& chkArrange;
  ui::CommandButton cmdQfont;    // "Q Font"
  ui::CommandButton cmdFixnumQ;  // "Fix numQ"

  void cmdQfont_Click() { QuestionEditor::cmdFont_Click(); }
  void cmdFont_Click() override;  // "C Font"
  void chkArrange_Click() { ArrangeControls(); }
  void cmdFixnumQ_Click() { editionActions().cmdFixnumQ_Click(); }
  void rtxtAnswer_Click(int index) { choiceBox_Click(index); }

 protected:
  void choiceBox_Click(int index) override;
  void convertLoadedQuestion() override;
};

}  // namespace kinds
