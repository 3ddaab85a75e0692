#pragma once
// The DS editor: a stem, two rich-text statements with their number labels (each may be
// centred beside its box, "Position") and the five fixed answers of every DS question.
// Sizes are in units of 540 twips; the statements share one width.

#include "question_editor.h"

namespace kinds {

const editor::EditorKind& dsKind();

// The two statements, their labels and the boxes that centre the labels.
class StatementsPanel : public editor::Panel {
 public:
  explicit StatementsPanel(QWidget* parent);
  ui::ControlArray<ui::RichTextBox> rtxtState;
  ui::Label lblState1, lblState2;
  ui::CheckArray chkStatePos;

  void load(const editor::Record& r) override;
  void clear() override;
  void saveContent(editor::Record& r) const override;
  void saveLayout(editor::Record& r) const override;
  void setBorder(bool on) override;
  void place(const editor::Arrangement& a) override;
  void setDefaultFont() override;
  QWidget* boxOf(const std::string& field) override;
};

class FormDSEdit : public editor::QuestionEditor {
 public:
  FormDSEdit(bank::ProgramState& state, ui::Form& formInit);
  ui::ControlArray<ui::WrappingTextBox>& txtAnswer;  // the fixed answers
  StatementsPanel statements;
  ui::ControlArray<ui::RichTextBox>& rtxtState;
  ui::CheckArray& chkStatePos;
  ui::CommandButton cmdQfont;  // "Q Font"
  ui::CommandButton cmdSFont;  // "S Font"

  void imgClick_Click(int index) override;
  void OptHW_Click(int) override { ShowSizeValue(); }
  void rtxtState_Click(int index);
  void chkStatePos_Click(int index);
  void cmdQfont_Click() { cmdFont_Click(); }
  void cmdSFont_Click();

 protected:
  void convertLoadedQuestion() override;
};

}  // namespace kinds
