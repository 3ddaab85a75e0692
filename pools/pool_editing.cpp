#include "pool_editing.h"

#include "controls/dialogs.h"
#include "numbering.h"
#include "statements.h"
#include "recordset.h"
#include "schema.h"

namespace pools {

using ui::MsgBox;
using ui::MsgButtons;
using ui::MsgIcon;
using ui::MsgResult;

namespace {

const char* const kTooFew = "The number of questions must be above 0.";
const char* const kTooMany = "Invalid number of questions";
const char* const kDeleteTooMany = "The number must be lower than the number of current pool";

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

PoolEditing::PoolEditing(EditFrameControls controls, EditFrameHost host, store::ProgramState& state,
                         std::string table)
    : c_(controls), host_(std::move(host)), state_(state), table_(std::move(table)) {}

void PoolEditing::InitEditLists(ui::ComboBox& cmbAnswer) {
  c_.cmbEdit.Clear();
  c_.cmbEdit.AddItem("");
  if (state_.flgAllKinds) c_.cmbEdit.AddItem(kModeAddPool);
  for (const char* mode : {kModeDeletePool, kModeAddQuestion, kModeDeleteQuestion}) c_.cmbEdit.AddItem(mode);
  c_.cmbEdit.setListIndex(0);
  c_.cmbEdit.Refresh();
  cmbAnswer.Clear();
  for (const char* letter : {"A", "B", "C", "D", "E"}) cmbAnswer.AddItem(letter);
  cmbAnswer.setListIndex(0);
  cmbAnswer.Refresh();
}

void PoolEditing::cmbEdit_Click() {
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

void PoolEditing::FillFreePoolNumbers() {
  c_.cmbPoolName.Clear();
  store::Connection& conn = state_.pConn();
  for (int n = 0; n < 1000; ++n) {
    c_.PgrBar.setValue(n / 10);
    const std::string prefix = format000(n);
    bool taken = false;
    for (store::schema::Kind k : store::schema::kChoiceKinds) {
      store::Recordset rs;
      rs.open(freeNumberCountStatement(store::schema::tableName(k), prefix), conn);
      if (rs.value("numQCount").toInt() != 0) taken = true;
      rs.close();
    }
    if (!taken) c_.cmbPoolName.AddItem(prefix);
  }
  // With every number taken the list stays empty and "Add Pool" refuses to build a name.
  if (c_.cmbPoolName.ListCount() > 0) c_.cmbPoolName.setListIndex(0);
  c_.cmbPoolName.Refresh();
}

void PoolEditing::cmdEditSubmit_Click() {
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

long PoolEditing::countOf(const std::string& statement) {
  store::Recordset rs;
  rs.open(statement, state_.pConn(), store::adOpenDynamic, store::adLockReadOnly);
  long n = static_cast<long>(rs.value("numQCount").toInt());
  rs.close();
  return n;
}

void PoolEditing::addQuestionIfNew(const std::string& pool, const std::string& number) {
  if (countOf(store::statements::countQuestionNumber(table_, number)) != 0)
    return;
  store::Recordset rs;
  rs.open(table_, state_.pConn(), store::adOpenKeyset, store::adLockOptimistic);
  rs.addNew();
  rs.setValue("src", pool);
  rs.setValue("numQ", number);
  rs.setValue("answer", "A");
  rs.update();
  rs.close();
}

void PoolEditing::focusCount(bool selectDigits) {
  c_.txtQNumber.SetFocus();
  if (selectDigits) {
    c_.txtQNumber.setSelStart(1);
    c_.txtQNumber.setSelLength(2);
  }
}

void PoolEditing::backToEmptyMode() { c_.cmbEdit.setListIndex(0); }

bool PoolEditing::requireCountAboveZero() {
  if (countIn(c_.txtQNumber) >= 1) return true;
  MsgBox(kTooFew, MsgButtons::OkOnly, MsgIcon::Critical, "Error");
  focusCount(false);
  return false;
}

bool PoolEditing::confirmed(const std::string& text, const std::string& title) {
  return MsgBox(text, MsgButtons::OkCancel, MsgIcon::Exclamation, title) == MsgResult::Ok;
}

long PoolEditing::questionsInPool(const std::string& pool) {
  return countOf(store::statements::countPoolQuestions(table_, pool));
}


void PoolEditing::addPool() {
  if (!poolLetterAllowed(c_.txtPoolName.Text()) || c_.cmbPoolName.ListIndex() < 0) {
    MsgBox("Invalid Pool Name", MsgButtons::OkOnly, MsgIcon::Critical, "Pool Name Error");
    return;
  }
  if (!requireCountAboveZero()) return;
  const std::string poolNumber = c_.cmbPoolName.Text();
  const std::string newPool = c_.txtPoolName.Text() + poolNumber;
  if (!confirmed("Do you add new pool " + newPool + " ?", "Add New Pool")) return;
  if (countIn(c_.txtQNumber) > 99) {
    MsgBox(kTooMany, MsgButtons::OkOnly, MsgIcon::Critical, "Error");
    focusCount(true);
    return;
  }
  for (long i = 1; i <= countIn(c_.txtQNumber); ++i) addQuestionIfNew(newPool, ordinaryQuestionNumber(poolNumber, i));
  host_.FillPoolList();
  host_.FillQuestionList();
  backToEmptyMode();
}

void PoolEditing::deletePool() {
  if (c_.cmbPool.ListIndex() < 0) return;
  const std::string pool = c_.cmbPool.Text();
  if (!confirmed("Do you delete the pool " + pool + " ?", "Delete the Pool")) return;
  store::Recordset rs;
  rs.open(store::statements::deletePool(table_, pool), state_.pConn(), store::adOpenDynamic, store::adLockOptimistic);
  rs.close();
  host_.FillPoolList();
  host_.FillQuestionList();
}

void PoolEditing::addQuestions() {
  if (c_.cmbPool.ListIndex() < 0) return;
  if (!requireCountAboveZero()) return;
  const std::string pool = c_.cmbPool.Text();
  if (!confirmed("Do you add new questions to the pool " + pool + " ?", "Add New Pool")) return;
  const long current = questionsInPool(pool);
  if (current + countIn(c_.txtQNumber) > 99) {
    MsgBox(kTooMany, MsgButtons::OkOnly, MsgIcon::Critical, "Error");
    focusCount(true);
    return;
  }
  const long last = current + countIn(c_.txtQNumber);
  for (long i = current + 1; i <= last; ++i) addQuestionIfNew(pool, ordinaryQuestionNumber(poolNumberOf(pool), i));
  host_.FillQuestionList();
  backToEmptyMode();
}

void PoolEditing::deleteQuestions() {
  if (c_.cmbPool.ListIndex() < 0) return;
  if (!requireCountAboveZero()) return;
  const std::string pool = c_.cmbPool.Text();
  if (!confirmed("Do you delete the last " + c_.txtQNumber.Text() + " question in " + pool + " ?", "Delete the Pool"))
    return;
  const long current = questionsInPool(pool);
  if (countIn(c_.txtQNumber) >= current) {
    MsgBox(kDeleteTooMany, MsgButtons::OkOnly, MsgIcon::Critical, "Error");
    focusCount(true);
    return;
  }
  const std::string first = ordinaryQuestionNumber(poolNumberOf(pool), current - countIn(c_.txtQNumber) + 1);
  store::Recordset rs;
  rs.open(store::statements::deletePoolQuestionsFrom(table_, first, pool),
          state_.pConn(), store::adOpenDynamic, store::adLockOptimistic);
  rs.close();
  host_.FillQuestionList();
  backToEmptyMode();
}

}  // namespace pools
