#pragma once
// The "Edit" frame of the multiple-choice editors: the edit modes, the free pool numbers,
// and adding and deleting pools and questions of the editor's own table. The frame checks,
// asks and tells; the work itself is pools/ operations over the connection.

#include <functional>
#include <string>

#include "controls/controls.h"
#include "controls/form.h"
#include "pool_operations.h"
#include "program_state.h"

namespace editor {

// The editor's controls that the frame works with.
struct EditFrameControls {
  ui::Form& form;
  ui::ComboBox& cmbEdit;
  ui::TextBox& txtPoolName;
  ui::Label& lblPoolName;
  ui::ComboBox& cmbPoolName;
  ui::TextBox& txtQNumber;
  ui::Label& lblQuestionNumber;
  ui::ProgressBar& PgrBar;
  ui::Label& lblProgress;
  ui::ComboBox& cmbPool;  // the pool acted on
};

// What the frame asks of its editor after it changed the table.
struct EditFrameHost {
  // Before a change of pools or questions: saves the question on screen with auto-save,
  // otherwise asks about its unsaved edits; staying ends the event.
  std::function<void()> leaveShown;
  std::function<void()> FillPoolList;
  std::function<void()> FillQuestionList;
};

inline constexpr const char* kModeAddPool = "Add Pool";
inline constexpr const char* kModeDeletePool = "Delete Pool";
inline constexpr const char* kModeAddQuestion = "Add Question";
inline constexpr const char* kModeDeleteQuestion = "Delete Question";

// The edit modes (the empty one selected; "Add Pool" only while the bank has every kind) and
// the answer list "A".."E" ("A" selected).
void fillEditLists(ui::ComboBox& cmbEdit, ui::ComboBox& cmbAnswer, bool allKinds);

class PoolEditFrame {
 public:
  PoolEditFrame(EditFrameControls controls, EditFrameHost host, bank::ProgramState& state, std::string table);

  void cmbEdit_Click();
  void cmdEditSubmit_Click();
  // Refills cmbPoolName with the free pool numbers, lowest selected.
  void FillFreePoolNumbers();

 private:
  void addPool();
  // Another user's pool took the number: says so, and shows their pool.
  void showAddedMeanwhile(const pools::PoolAddedMeanwhile& e);
  void deletePool();
  void addQuestions();
  void deleteQuestions();
  void backToEmptyMode();
  void focusCount(bool selectDigits);
  bool requireCountAboveZero();
  // Shows a refusal of the typed count with its digits selected; false when there is none.
  bool refusedCount(const std::string& problem);
  bool confirmed(const std::string& text, const std::string& title);

  EditFrameControls c_;
  EditFrameHost host_;
  bank::ProgramState& state_;
  std::string table_;
};

}  // namespace editor
