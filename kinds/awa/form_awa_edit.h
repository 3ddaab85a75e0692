#pragma once
// The essay-topic editor: the topics of one type ("Argument" or "Issue") listed by number,
// one topic as rich text, "Add", "Font", "GO" and saving; below the topic, the tool strip
// and the response box of the essay screen as the test shows them.

#include <QScrollArea>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "controls/form.h"
#include "program_state.h"
#include "rich_text_box.h"
#include "stored_version.h"

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

class FormAWAEdit : public ui::Form {
 public:
  FormAWAEdit(store::ProgramState& state, ui::Form& formInit);
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

  // Procedures
  void FillPoolList();
  void FillQuestionList();
  void LoadQuestion();
  void SaveQuestion();

  // Events
  void cmbPool_Click();
  void lstQuestion_Click();
  void cmdSave_Click();
  void cmdAdd_Click();
  void cmdFont_Click();
  void cmdGo_Click();

 protected:
  void Form_Load() override;
  void Form_Unload() override;

 private:
  void buildControls();
  bool autoSaveOn() const { return chkAutoSave.Value() == 1; }
  // "Save", "Add", "Font" and "GO" need a topic on screen.
  void updateActiveState();
  // After a failure, the type and the highlighted number go back to the topic on screen,
  // so that what is highlighted is what is shown and what "Save" writes.
  void selectShownTopic();
  // Highlights the current entry only (a click's highlight can land after its handler ran).
  void highlightCurrentEntry();
  std::vector<std::string> listedNumbers() const;
  // Before the topic on screen is left for another topic or type (auto-save applies) or
  // the window closes (auto-save does not save on closing): saves when auto-save applies
  // and is ticked, otherwise asks when the topic holds edits.
  void leaveTopic(bool autoSaveApplies);
  bool hasUnsavedEdits() const;

  // The topic on screen: its type, its number ("" for none) and the list it was chosen from.
  struct Shown {
    int type = -1;
    std::string number;
    std::vector<std::string> list;
  };
  Shown shown_;
  editor::StoredVersion stored_;
  std::string shownText_;  // the topic's RTF as loaded or last written: edits give another
  store::ProgramState& state_;
  ui::Form& formInit_;
};

}  // namespace kinds
