#pragma once
// The window shared by the multiple-choice editors: one question of one pool on screen,
// its stem, five choices and answer, the sizes of its boxes, navigation, layout editing,
// text formatting with the pool conversion "GO", saving, and the pool "Edit" frame.
// A kind gives its constants in an EditorKind and overrides what it does differently.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "controls/form.h"
#include "editor_kind.h"
#include "pool_editing.h"
#include "program_state.h"
#include "recordset.h"
#include "rich_text_box.h"

namespace editor {

// Controls of one kind in an array, each raising its event with its index.
template <class C>
class IndexedControls {
 public:
  C& operator[](int i) { return *items_.at(static_cast<size_t>(i)); }
  const C& operator[](int i) const { return *items_.at(static_cast<size_t>(i)); }
  int Count() const { return static_cast<int>(items_.size()); }
  void add(C* c) { items_.push_back(c); }

 private:
  std::vector<C*> items_;  // owned by their Qt parent
};

inline constexpr double kTwipsPerCm = 567.0;

class QuestionEditor : public ui::Form {
 public:
  QuestionEditor(const EditorKind& kind, store::ProgramState& state, ui::Form& formInit);
  ~QuestionEditor() override;

  const EditorKind& kind() const { return kind_; }

  // Controls
  ui::Label lblTitle;
  ui::RichTextBox rtxtQuestion;
  IndexedControls<ui::TextBox> txtAnswer;  // choices A..E
  ui::ControlArray<ui::Image> imgClick;     // their markers
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
  ui::CheckBox chkAutoSave;  // only where the kind has auto-save
  ui::Label lblAutoSave;
  ui::CommandButton cmdFont;
  ui::CommandButton cmdUnderLine;  // only where the kind has the button
  ui::CommandButton cmdGo;
  ui::Frame FrameEdit;
  ui::ComboBox cmbEdit;
  ui::CommandButton cmdEditSubmit;
  ui::Label lblPoolName;
  ui::TextBox txtPoolName;
  ui::ComboBox cmbPoolName;
  ui::Label lblQuestionNumber;
  ui::TextBox txtQNumber;
  ui::ProgressBar PgrBar;
  ui::Label lblProgress;
  ui::CommandButton cmdOGcreate;
  ui::TextBox txtOG12;
  ui::CommandButton cmdCopy;
  ui::CommandButton cmdCopy2;
  ui::CommandButton cmdDuplicateCheck;
  ui::Timer TimerInit;

  // Window state
  std::string pFocus = "0";
  store::Value questionHeight, questionWidth, choiceAWidth;
  std::array<store::Value, 5> choiceHeight;  // choiceAHeight .. choiceEHeight
  double bufWidth = 0;
  float bufHeight = 0;

  // Shared procedures
  virtual void LoadQuestion();
  virtual void ArrangeControls();
  void ClearChoiceMarks();
  void FillPoolList();
  void FillQuestionList();
  void ShowSizeValue();
  void SetDefaultFont();
  void ReplaceSpecialChars();
  void ConvertUnderline();
  virtual void SaveLayout();
  virtual void SaveQuestion();
  void InitEditLists();

  // Events
  void cmbPool_Click();
  void lstQuestion_Click();
  void rtxtQuestion_Click();
  void imgClick_Click(int index);
  void txtAnswer_Click(int index) { imgClick_Click(index); }
  virtual void OptHW_Click(int) {}
  void txtValue_Change();
  void txtValue_LostFocus() {}
  void SliderVH_Scroll();
  void chkBorder_Click();
  void cmdSave_Click();
  void chkAutoSave_Click();
  virtual void cmdReset_Click();
  void cmdFont_Click();
  void cmdUnderLine_Click() { ConvertUnderline(); }
  void cmdGo_Click();
  void cmbEdit_Click() { poolEditing_.cmbEdit_Click(); }
  void cmdEditSubmit_Click() { poolEditing_.cmdEditSubmit_Click(); }
  void FillFreePoolNumbers() { poolEditing_.FillFreePoolNumbers(); }
  void TimerInit_Timer() {}

 protected:
  void Form_Load() override;
  void Form_Activate() override;
  void Form_Unload() override;

  // The steps of "GO" for one loaded question.
  virtual void convertLoadedQuestion();
  // Reads and writes the kind's layout fields.
  virtual void readLayout(store::Recordset& rs);
  virtual void writeLayout(store::Recordset& rs);
  // The record of the current question, updatable; false when there is none.
  bool openCurrentForUpdate(store::Recordset& rs);
  // Updates and closes the record set opened by openCurrentForUpdate.
  void written(store::Recordset& rs);
  bool autoSaveOn() const { return kind_.hasAutoSave && chkAutoSave.Value() == 1; }
  // The layout variable that a value of the focused element and dimension goes to.
  store::Value* sizeTarget();
  void showEmptyQuestion();
  // Layout editing, saving and "GO" need a question on screen.
  void updateActiveState();
  void selectAllQuestionText();

  const EditorKind& kind_;
  store::ProgramState& state_;
  ui::Form& formInit_;

 private:
  struct ShownQuestion {
    std::string pool, numQ;
    std::vector<std::string> numbers;  // the question list
  };
  void buildControls();
  void fitToScreen();
  ShownQuestion shownQuestion() const;
  void reselect(const ShownQuestion& shown);
  static std::vector<store::Value> recordOf(store::Recordset& rs);
  // Every field of the current question's stored record; empty when there is none.
  std::vector<store::Value> storedRecord();
  void confirmOverwrite();
  [[noreturn]] void reportRemoved();

  QWidget* page_ = nullptr;  // holds the controls; scrolls on a small screen
  // Every field of the record as loaded or last written here; empty when none is loaded.
  std::vector<store::Value> loadedRecord_;
  pools::PoolEditing poolEditing_;
};

// A size variable counts as set when it is neither empty nor 0.
bool sizeIsSet(const store::Value& v);

}  // namespace editor
