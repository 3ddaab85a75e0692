#pragma once
// The essay-topic editor: the topics of one type ("Argument" or "Issue") listed by number,
// one topic as rich text, "Add", "Font", "GO" and saving; below the topic, the tool strip
// and the response box of the essay screen as the test shows them.

#include <QScrollArea>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "controls/form.h"
#include "navigation.h"
#include "program_state.h"
#include "record_saving.h"
#include "rich_text_box.h"
#include "shown_question.h"

namespace kinds {

// A picture of the tool strip that acts when clicked.
class ToolPicture : public ui::PictureBox {
 public:
  ToolPicture(QWidget* parent, const std::string& bitmap);
  // Raises Click as a user's click does.
  void Press();
  ui::Handler Click;

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
};

class FormAWAEdit : public ui::Form, public editor::ShownQuestion {
 public:
  FormAWAEdit(bank::ProgramState& state, ui::Form& formInit);
  ~FormAWAEdit() override;

  // What the controls are drawn on; it scrolls when the screen is smaller than the window.
  QWidget& canvas() { return *canvas_; }
  QScrollArea& scrollArea() { return *scroll_; }
  // Sizes the window for a screen area of `available` pixels: the whole content where it
  // fits with the window's frame, scrolling where it does not.
  void fitToScreen(const QSize& available);
  // The tool strip, drawn on the canvas, in twips.
  struct Shape {
    double Left, Top, Width, Height;
  };
  const Shape shpBar{240, 5400, 14775, 570};

 private:
  QScrollArea* scroll_;
  QWidget* canvas_;

 public:
  // Controls
  ui::Label lblTitle;
  ui::Label lblPool;
  ui::ComboBox cmbPool;
  ui::Label lblQuestion;
  ui::ListBox lstQuestion;
  ui::CommandButton cmdAdd;
  ui::CommandButton cmdFont;
  ui::CommandButton cmdGo;
  ui::RichTextBox rtxtQuestion;
  ToolPicture picCut, picCopy, picPaste, picUndo, picRedo;
  ui::RichTextBox rtxtAnswer;
  ui::CommandButton cmdReset;
  ui::CheckBox chkBorder;
  ui::Label lblBorder;
  ui::CommandButton cmdSave;
  ui::CheckBox chkAutoSave;
  ui::Label lblAutoSave;
  ui::CommandButton cmdHistory;
  ui::CommandButton cmdPrint;  // "Print...": the topic shown or its type

  // Procedures
  void FillPoolList() { navigation_.FillPoolList(); }
  void FillQuestionList() { navigation_.FillQuestionList(); }
  void LoadQuestion();
  void SaveQuestion();

  // Events
  void cmbPool_Click() { navigation_.cmbPool_Click(); }
  void lstQuestion_Click() { navigation_.lstQuestion_Click(); }
  void cmdSave_Click();
  void cmdHistory_Click();
  void cmdPrint_Click();
  void cmdAdd_Click();
  void cmdFont_Click();
  void cmdGo_Click();

  // ShownQuestion
  bank::schema::Kind shownKind() const override { return bank::schema::Kind::AWA; }
  std::string shownNumber() const override { return record_.loaded() ? state_.currentQNumber : std::string(); }
  std::string shownPool() const override { return state_.currentPool; }
  void settleEdits(const std::string& numQ) override;
  void storedChanged(const std::string& numQ) override;
  editor::Record unsavedEdits() const override { return record_.unsavedEdits(); }
  void bringBack(const std::string& pool, const std::string& numQ, const editor::Record& edits) override;
  ui::Form& window() override { return *this; }
  // Every field of a topic is found in its one box.
  void showAt(const std::string& pool, const std::string& numQ, const std::string& field,
              const std::optional<editor::TextRange>& range) override;

 protected:
  void Form_Load() override;
  void Form_Unload() override;

 private:
  void buildControls();
  bool autoSaveOn() const { return chkAutoSave.Value() == 1; }
  // "Save", "Add", "Font" and "GO" need a topic on screen.
  void updateActiveState();
  // The topic numbers of a type ("Argument" or "Issue"), in text order.
  std::vector<std::string> topicNumbers(const std::string& type);
  // The topic box's text as stored (RTF).
  std::string topicText() const;
  void showTopic(const editor::Record& r);

  bank::ProgramState& state_;
  ui::Form& formInit_;
  // The topic on screen as loaded, and the type and topic lists; leaving a topic (with
  // auto-save when the topic or type changes, never on closing) goes through them.
  editor::RecordSaving record_;
  editor::Navigation navigation_;
};

}  // namespace kinds
