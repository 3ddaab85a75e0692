#include "pool_edit_frame.h"

#include "controls/dialogs.h"
#include "numbering.h"
#include "pool_operations.h"

namespace editor {

using ui::MsgBox;
using ui::MsgButtons;
using ui::MsgIcon;
using ui::MsgResult;
using pools::wholeNumber;

namespace {

// Hourglass and progress bar for the time of a search; restored also when it fails.
class BusyDisplay {
 public:
  explicit BusyDisplay(EditFrameControls& c) : c_(c) {
    c_.form.setMousePointer(ui::MousePointer::Hourglass);
    c_.form.Refresh();
    c_.PgrBar.setVisible(true);
    c_.lblProgress.setVisible(true);
    c_.lblProgress.Refresh();
  }
  ~BusyDisplay() {
    c_.PgrBar.setVisible(false);
    c_.lblProgress.setVisible(false);
    c_.form.setMousePointer(ui::MousePointer::Default);
  }
  BusyDisplay(const BusyDisplay&) = delete;
  BusyDisplay& operator=(const BusyDisplay&) = delete;

 private:
  EditFrameControls& c_;
};

// Letters or nothing in the count box count as below 1.
long countIn(const ui::TextBox& box) { return wholeNumber(box.Text()).value_or(0); }

}  // namespace

PoolEditFrame::PoolEditFrame(EditFrameControls controls, EditFrameHost host, bank::ProgramState& state,
                         std::string table)
    : c_(controls), host_(std::move(host)), state_(state), table_(std::move(table)) {}

void fillEditLists(ui::ComboBox& cmbEdit, ui::ComboBox& cmbAnswer, bool allKinds) {
  cmbEdit.Clear();
  cmbEdit.AddItem("");
  if (allKinds) cmbEdit.AddItem(kModeAddPool);
  for (const char* mode : {kModeDeletePool, kModeAddQuestion, kModeDeleteQuestion}) cmbEdit.AddItem(mode);
  cmbEdit.setListIndex(0);
  cmbEdit.Refresh();
  cmbAnswer.Clear();
  for (const char* letter : {"A", "B", "C", "D", "E"}) cmbAnswer.AddItem(letter);
  cmbAnswer.setListIndex(0);
  cmbAnswer.Refresh();
}

void PoolEditFrame::cmbEdit_Click() {
  const std::string mode = c_.cmbEdit.Text();
  auto enableInputs = [&](bool pool, bool number) {
    c_.txtPoolName.setEnabled(pool);
    c_.lblPoolName.setEnabled(pool);
    c_.cmbPoolName.setEnabled(pool);
    c_.txtQNumber.setEnabled(number);
    c_.lblQuestionNumber.setEnabled(number);
  };
  if (mode.empty()) {
    c_.cmbPoolName.Clear();
  } else if (mode == kModeAddPool) {
    enableInputs(true, true);
    BusyDisplay busy(c_);
    FillFreePoolNumbers();
  } else if (mode == kModeDeletePool) {
    enableInputs(false, false);
  } else if (mode == kModeAddQuestion || mode == kModeDeleteQuestion) {
    enableInputs(false, true);
  }
}

void PoolEditFrame::FillFreePoolNumbers() {
  c_.cmbPoolName.Clear();
  const std::vector<std::string> free =
      pools::freePoolNumbers(state_.pConn(), [this](long done, long total) { c_.PgrBar.setValue(static_cast<int>(done * 100 / total)); });
  for (const std::string& number : free) c_.cmbPoolName.AddItem(number);
  // With every number taken the list stays empty and "Add Pool" refuses to build a name.
  if (c_.cmbPoolName.ListCount() > 0) c_.cmbPoolName.setListIndex(0);
  c_.cmbPoolName.Refresh();
}

void PoolEditFrame::cmdEditSubmit_Click() {
  const std::string mode = c_.cmbEdit.Text();
  if (mode == kModeAddPool)
    addPool();
  else if (mode == kModeDeletePool)
    deletePool();
  else if (mode == kModeAddQuestion)
    addQuestions();
  else if (mode == kModeDeleteQuestion)
    deleteQuestions();
}

void PoolEditFrame::focusCount(bool selectDigits) {
  c_.txtQNumber.SetFocus();
  if (selectDigits) {
    c_.txtQNumber.setSelStart(1);
    c_.txtQNumber.setSelLength(2);
  }
}

void PoolEditFrame::backToEmptyMode() { c_.cmbEdit.setListIndex(0); }

bool PoolEditFrame::requireCountAboveZero() {
  if (countIn(c_.txtQNumber) >= 1) return true;
  MsgBox(pools::kCountNotAboveZero, MsgButtons::OkOnly, MsgIcon::Critical, "Error");
  focusCount(false);
  return false;
}

bool PoolEditFrame::refusedCount(const std::string& problem) {
  if (problem.empty()) return false;
  MsgBox(problem, MsgButtons::OkOnly, MsgIcon::Critical, "Error");
  focusCount(true);
  return true;
}

bool PoolEditFrame::confirmed(const std::string& text, const std::string& title) {
  return MsgBox(text, MsgButtons::OkCancel, MsgIcon::Exclamation, title) == MsgResult::Ok;
}

void PoolEditFrame::addPool() {
  const std::string poolNumber = c_.cmbPoolName.Text();
  if (c_.cmbPoolName.ListIndex() < 0 || !pools::newPoolNameProblem(c_.txtPoolName.Text(), poolNumber).empty()) {
    MsgBox(pools::kInvalidPoolName, MsgButtons::OkOnly, MsgIcon::Critical, "Pool Name Error");
    return;
  }
  if (!requireCountAboveZero()) return;
  const std::string newPool = c_.txtPoolName.Text() + poolNumber;
  if (!confirmed("Do you add new pool " + newPool + " ?", "Add New Pool")) return;
  if (refusedCount(pools::addedCountProblem(0, countIn(c_.txtQNumber)))) return;
  if (host_.leaveShown) host_.leaveShown();
  try {
    pools::addPool(state_.pConn(), table_, c_.txtPoolName.Text(), poolNumber, countIn(c_.txtQNumber));
  } catch (const pools::PoolAddedMeanwhile& e) {
    showAddedMeanwhile(e);
    return;
  }
  host_.FillPoolList();
  host_.FillQuestionList();
  backToEmptyMode();
}

void PoolEditFrame::showAddedMeanwhile(const pools::PoolAddedMeanwhile& e) {
  MsgBox(e.description, MsgButtons::OkOnly, MsgIcon::Critical, "Error");
  host_.FillPoolList();
  for (int i = 0; i < c_.cmbPool.ListCount(); ++i)
    if (c_.cmbPool.List(i) == e.pool) c_.cmbPool.setListIndex(i);
  // The mode stays; the number just taken leaves the free ones.
  BusyDisplay busy(c_);
  FillFreePoolNumbers();
}

void PoolEditFrame::deletePool() {
  if (c_.cmbPool.ListIndex() < 0) return;
  const std::string pool = c_.cmbPool.Text();
  if (!confirmed("Do you delete the pool " + pool + " ?", "Delete the Pool")) return;
  if (host_.leaveShown) host_.leaveShown();
  pools::deletePool(state_.pConn(), table_, pool);
  host_.FillPoolList();
  host_.FillQuestionList();
}

void PoolEditFrame::addQuestions() {
  if (c_.cmbPool.ListIndex() < 0) return;
  if (!requireCountAboveZero()) return;
  const std::string pool = c_.cmbPool.Text();
  if (!confirmed("Do you add new questions to the pool " + pool + " ?", "Add New Pool")) return;
  const long current = pools::questionsInPool(state_.pConn(), table_, pool);
  if (refusedCount(pools::addedCountProblem(current, countIn(c_.txtQNumber)))) return;
  if (host_.leaveShown) host_.leaveShown();
  pools::addQuestionsToPool(state_.pConn(), table_, pool, countIn(c_.txtQNumber));
  host_.FillQuestionList();
  backToEmptyMode();
}

void PoolEditFrame::deleteQuestions() {
  if (c_.cmbPool.ListIndex() < 0) return;
  if (!requireCountAboveZero()) return;
  const std::string pool = c_.cmbPool.Text();
  if (!confirmed("Do you delete the last " + c_.txtQNumber.Text() + " question in " + pool + " ?", "Delete the Pool"))
    return;
  const long current = pools::questionsInPool(state_.pConn(), table_, pool);
  if (refusedCount(pools::deletedCountProblem(current, countIn(c_.txtQNumber)))) return;
  if (host_.leaveShown) host_.leaveShown();
  pools::deleteLastQuestions(state_.pConn(), table_, pool, countIn(c_.txtQNumber));
  host_.FillQuestionList();
  backToEmptyMode();
}

}  // namespace editor
