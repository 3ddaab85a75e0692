#pragma once
// The RC editor: a reading passage on the left with its passage ID and question count,
// the stem and five plain-text choices to its right, sized by height only. No auto-save
// and no "GO"; "Reset Passage" cleans a pasted passage and "Passage Font" toggles its font.

#include "question_editor.h"

namespace kinds {

const editor::EditorKind& rcKind();

// The passage, its ID and the count of questions on it.
class PassagePanel : public editor::Panel {
 public:
  explicit PassagePanel(QWidget* parent);
  ui::RichTextBox rtxtPassage;
  ui::TextBox txtPasgNum;
  ui::Label Label1;
  ui::TextBox txtNumQ;  // shown only: the count is set by edition work, never by "Save"
  ui::Label Label2;

  void load(const editor::Record& r) override;
  void clear() override;
  void saveContent(editor::Record& r) const override;
  void setDefaultFont() override {}  // "GO" is no RC action
  QWidget* boxOf(const std::string& field) override { return field == "reading" ? &rtxtPassage : nullptr; }
};

class FormRCEdit : public editor::QuestionEditor {
 public:
  FormRCEdit(bank::ProgramState& state, ui::Form& formInit);
  ui::ControlArray<ui::WrappingTextBox>& txtAnswer;  // choices A..E
  PassagePanel passage;
  ui::RichTextBox& rtxtPassage;
  ui::TextBox& txtPasgNum;
  ui::TextBox& txtNumQ;
  ui::CommandButton cmdPsgFont;   // "Reset Passage"
  ui::CommandButton cmdPsgFont2;  // "Passage Font"

  void InitEditLists() override;
  void cmdPsgFont_Click();
  void cmdPsgFont2_Click();
};

}  // namespace kinds
