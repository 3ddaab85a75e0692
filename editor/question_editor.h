#pragma once
// The window shared by the multiple-choice editors: a thin frame that owns the parts a
// kind composes. The frame holds the stem, the answer, size editing, "GO", the pool "Edit"
// frame, and the navigation and record saving that the essay editor is built from too;
// the kind brings its choices (plain, rich or fixed) and any panels of its own (passage,
// statements), its record's fields and its geometry as data (EditorKind), and overrides
// the procedures it does differently.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "controls/form.h"
#include "editor_kind.h"
#include "edition_actions.h"
#include "layout.h"
#include "navigation.h"
#include "panels.h"
#include "pool_edit_frame.h"
#include "program_state.h"
#include "record_saving.h"
#include "rich_text_box.h"
#include "shown_question.h"
#include "size_editing.h"

namespace editor {

// Makes the kind's choices, with the window as their parent.
using ChoicesFactory = std::unique_ptr<ChoicesPanel> (*)(QWidget* parent);

class QuestionEditor : public ui::Form, public LayoutValues, public ShownQuestion {
  // First, so that the controls below can refer to the choices.
  std::unique_ptr<ChoicesPanel> choices_;

 public:
  QuestionEditor(const EditorKind& kind, bank::ProgramState& state, ui::Form& formInit, ChoicesFactory choices);
  ~QuestionEditor() override;

  const EditorKind& kind() const { return kind_; }

  // Controls
  ui::Label lblTitle;
  ui::RichTextBox rtxtQuestion;
  ui::ControlArray<ui::Image>& imgClick;  // the choices' markers
  ui::Label lblAnswer;
  ui::ComboBox cmbAnswer;
  ui::Label lblPool;
  ui::ComboBox cmbPool;
  ui::Label lblQuestion;
  ui::ListBox lstQuestion;
  ui::Frame FrameVH;
  ui::OptionArray OptHW;  // 0 "Height", 1 "Width"
  ui::TextBox txtValue;
  ui::Slider SliderVH;
  ui::CheckBox chkBorder;
  ui::Label lblBorder;
  ui::CommandButton cmdSave;
  ui::CommandButton cmdReset;
  // The controls a kind may lack (EditorKind::has) exist only where it has them.
  std::optional<ui::CheckBox> chkAutoSave;
  std::optional<ui::Label> lblAutoSave;
  std::optional<ui::CommandButton> cmdFont;
  std::optional<ui::CommandButton> cmdUnderLine;
  std::optional<ui::CommandButton> cmdGo;
  ui::Frame FrameEdit;
  ui::ComboBox cmbEdit;
  ui::CommandButton cmdEditSubmit;
  ui::Label lblPoolName;
  ui::TextBox txtPoolName;
  std::optional<ui::ComboBox> cmbPoolName;
  ui::Label lblQuestionNumber;
  ui::TextBox txtQNumber;
  std::optional<ui::ProgressBar> PgrBar;
  std::optional<ui::Label> lblProgress;
  ui::CommandButton cmdOGcreate;
  ui::TextBox txtOG12;
  ui::CommandButton cmdCopy;
  std::optional<ui::CommandButton> cmdCopy2;
  std::optional<ui::CommandButton> cmdDuplicateCheck;
  ui::CommandButton cmdHistory;
  ui::CommandButton cmdPrint;  // "Print...": the question shown or its pool
  ui::Timer TimerInit;

 private:
  SizeEditing sizes_;  // before pFocus, which lives in it

 public:
  // The element whose size the value box edits.
  std::string& pFocus;

  // Shared procedures
  void LoadQuestion();
  void ArrangeControls();
  void ClearChoiceMarks() { choices_->ClearChoiceMarks(); }
  void FillPoolList() { navigation_.FillPoolList(); }
  void FillQuestionList() { navigation_.FillQuestionList(); }
  virtual void ShowSizeValue();
  void SetDefaultFont();
  void ReplaceSpecialChars();
  void ConvertUnderline();
  void SaveLayout();
  void SaveQuestion();
  virtual void InitEditLists();

  // Events
  void cmbPool_Click() { navigation_.cmbPool_Click(); }
  void lstQuestion_Click() { navigation_.lstQuestion_Click(); }
  virtual void rtxtQuestion_Click();
  virtual void imgClick_Click(int index);
  void txtAnswer_Click(int index) { choiceBox_Click(index); }
  virtual void OptHW_Click(int) {}
  void txtValue_Change();
  void txtValue_LostFocus() {}
  void SliderVH_Scroll();
  void chkBorder_Click();
  void cmdSave_Click();
  // "History": the kept versions of the question on screen.
  void cmdHistory_Click();
  void cmdPrint_Click();
  void chkAutoSave_Click();
  void cmdReset_Click();
  virtual void cmdFont_Click();
  void cmdUnderLine_Click() { ConvertUnderline(); }
  void cmdGo_Click();
  void cmbEdit_Click();
  void cmdEditSubmit_Click();
  void FillFreePoolNumbers();
  void TimerInit_Timer() {}
  void cmdOGcreate_Click() { editions_.cmdOGcreate_Click(); }
  void cmdCopy_Click() { editions_.cmdCopy_Click(); }
  void cmdCopy2_Click() { editions_.cmdCopy2_Click(); }
  void cmdDuplicateCheck_Click() { editions_.cmdDuplicateCheck_Click(); }
  const EditionActions& editions() const { return editions_; }

  // ShownQuestion
  bank::schema::Kind shownKind() const override { return kind_.kind; }
  std::string shownNumber() const override { return record_.loaded() ? state_.currentQNumber : std::string(); }
  std::string shownPool() const override { return state_.currentPool; }
  void settleEdits(const std::string& numQ) override;
  void storedChanged(const std::string& numQ) override;
  Record unsavedEdits() const override { return record_.unsavedEdits(); }
  void bringBack(const std::string& pool, const std::string& numQ, const Record& edits) override;
  ui::Form& window() override { return *this; }
  void showAt(const std::string& pool, const std::string& numQ, const std::string& field,
              const std::optional<TextRange>& range) override;

 protected:
  void Form_Load() override;
  void Form_Activate() override;
  void Form_Unload() override;

  // A click into choice box i.
  virtual void choiceBox_Click(int index) { imgClick_Click(index); }
  // Makes `focus` the element whose size the value box edits and shows its size.
  void focusElement(const std::string& focus);
  // The steps of "GO" for one loaded question (load, underline, default font, special
  // characters, save content, reset, save layout).
  virtual void convertLoadedQuestion();
  // After work over a whole pool ("GO", "dbl"): no box keeps a selection, and the lists
  // select the pool and the question on screen (raising nothing).
  void showAfterWholePoolWork();

  // A panel of the kind's own; the window shows, saves and places it with the others.
  void addPanel(Panel& panel) { panels_.push_back(&panel); }
  // A control that works only while a question is on screen.
  void needsQuestion(QWidget& w) { questionControls_.push_back(&w); }
  // Moves the controls created on the window onto its scrolling page (a kind calls it
  // after adding controls of its own).
  void adoptControls();
  // Places shared controls from a table; a control the kind does not have cannot be placed.
  void placeControls(const std::vector<ControlPlace>& places);
  // Places a control of the kind's own.
  static void place(ui::Placeable& control, const Rect& r) { control.Move(r.left, r.top, r.width, r.height); }
  // An inactive action button: present, disabled, with the shared tooltip.
  static void notAvailable(QWidget& w);
  bool autoSaveOn() const { return chkAutoSave && chkAutoSave->Value() == 1; }
  bool questionShown() const { return !state_.currentQNumber.empty(); }
  ChoicesPanel& choices() { return *choices_; }
  EditionActions& editionActions() { return editions_; }

  const EditorKind& kind_;
  bank::ProgramState& state_;
  ui::Form& formInit_;

 private:
  void buildControls();
  void fitToScreen();
  void showEmptyQuestion();
  // Shows the values of every field of the record (what LoadQuestion read, or the screen's
  // own values over it).
  void showRecord(const Record& r);
  void orderBoxesForReading();
  void arrangeShownQuestion();
  void updateActiveState();
  // The pool list's entries, and the numbers of one pool, as the lists show them.
  std::vector<std::string> poolNames();
  std::vector<std::string> questionNumbers(const std::string& pool);
  // Before the question on screen is left for another question or pool: saves with
  // auto-save, otherwise asks when the screen holds edits.
  void leaveQuestion() { navigation_.leaveQuestion(); }
  // What SaveQuestion and SaveLayout write, from the screen.
  Record contentValues();
  Record layoutValues();
  // A value as it counts for edits: a size goes through the value box when its box is
  // clicked and comes back in the box's precision (or as 0 for none), which is no edit.
  store::Value comparable(const std::string& field, const store::Value& v);

  std::vector<Panel*> panels_;
  std::vector<QWidget*> questionControls_;
  QWidget* page_ = nullptr;  // holds the controls; scrolls on a small screen
  QWidget* scroller_ = nullptr;
  RecordSaving record_;
  Navigation navigation_;
  std::optional<PoolEditFrame> poolEditing_;  // only where the kind's "Edit" frame acts
  EditionActions editions_;
};

}  // namespace editor
