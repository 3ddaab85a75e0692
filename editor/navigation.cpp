#include "navigation.h"

#include "controls/dialogs.h"
#include "controls/events.h"
#include "db_error.h"
#include "text.h"

namespace editor {

bool saveBeforeLeaving(const std::string& numQ) {
  const ui::MsgResult answer = ui::MsgBox("Question " + numQ +
                                              " has edits that are not saved.\n\n"
                                              "Save them before leaving it?\n"
                                              "Yes: your edits are saved.\n"
                                              "No: your edits are discarded.\n"
                                              "Cancel: the question stays on screen with your edits.",
                                          ui::MsgButtons::YesNoCancel, ui::MsgIcon::Exclamation, "Unsaved Edits");
  if (answer == ui::MsgResult::Cancel) throw ui::AlreadyReported();
  return answer == ui::MsgResult::Yes;
}

void settleEdits(RecordSaving& record, const std::string& shown, const std::string& numQ,
                 const std::function<void()>& save) {
  if (numQ.empty() || shown != numQ || !record.hasUnsavedEdits()) return;
  if (saveBeforeLeaving(numQ))
    save();
  else
    record.dropEdits();
}

Navigation::Navigation(NavigationControls controls, NavigationHost host, bank::ProgramState& state,
                       RecordSaving& record)
    : c_(controls), host_(std::move(host)), state_(state), record_(record) {
  QObject::connect(&c_.lstQuestion, &QListWidget::pressed, &c_.lstQuestion, [this] { highlightCurrentEntry(); });
}

void Navigation::FillPoolList() {
  c_.cmbPool.setEnabled(true);
  c_.cmbPool.Clear();
  for (const std::string& pool : host_.pools()) c_.cmbPool.AddItem(pool);
  if (c_.cmbPool.ListCount() > 0) {
    c_.cmbPool.setListIndex(0);
  } else {  // an empty table: nothing to show until a pool is added
    c_.lstQuestion.Clear();
    state_.currentPool.clear();
    showNoQuestion();
  }
  c_.cmbPool.Refresh();
}

void Navigation::cmbPool_Click() {
  const Shown before = shown();
  try {
    leaveQuestion();
    FillQuestionList();
  } catch (...) {
    reselect(before);
    throw;
  }
}

bool Navigation::show(const std::string& pool, const std::string& numQ) {
  auto indexOf = [](const auto& list, const std::string& text) {
    for (int i = 0; i < list.ListCount(); ++i)
      if (list.List(i) == text) return i;
    return -1;
  };
  const int p = indexOf(c_.cmbPool, pool);
  if (p < 0) return false;
  if (c_.cmbPool.ListIndex() != p) c_.cmbPool.setListIndex(p);
  const int q = indexOf(c_.lstQuestion, numQ);
  if (q < 0) return false;
  if (c_.lstQuestion.ListIndex() != q) c_.lstQuestion.setListIndex(q);
  return state_.currentQNumber == numQ && record_.loaded();
}

void Navigation::choose(const std::string& pool, const std::string& numQ) {
  auto indexOf = [](const auto& list, const std::string& text) {
    for (int i = 0; i < list.ListCount(); ++i)
      if (store::equalsIgnoringCase(list.List(i), text)) return i;
    return -1;
  };
  const int p = indexOf(c_.cmbPool, pool);
  if (p < 0) throw store::DbError(store::err::Generic, "The pool '" + pool + "' is not in the editor's list.");
  if (c_.cmbPool.ListIndex() != p) c_.cmbPool.setListIndex(p);
  const int q = indexOf(c_.lstQuestion, numQ);
  if (q < 0) throw store::DbError(store::err::Generic, "Question " + numQ + " is not in the editor's list.");
  if (c_.lstQuestion.ListIndex() != q) c_.lstQuestion.setListIndex(q);
}

void Navigation::FillQuestionList() {
  if (c_.cmbPool.ListIndex() < 0) {
    c_.lstQuestion.Clear();
    state_.currentPool.clear();
    showNoQuestion();
    return;
  }
  state_.currentPool = c_.cmbPool.Text();
  const std::vector<std::string> numbers = host_.numbers(state_.currentPool);
  c_.lstQuestion.Clear();
  for (const std::string& n : numbers) c_.lstQuestion.AddItem(n);
  if (c_.lstQuestion.ListCount() > 0)
    c_.lstQuestion.setListIndex(0);
  else  // the pool emptied under the window
    showNoQuestion();
  c_.lstQuestion.Refresh();
}

void Navigation::lstQuestion_Click() {
  const Shown before = shown();
  try {
    leaveQuestion();
    state_.currentQNumber = c_.lstQuestion.Text();
    if (host_.beforeChosen) host_.beforeChosen();
    host_.load();
  } catch (...) {
    reselect(before);
    throw;
  }
  host_.updateActiveState();
}

void Navigation::showNoQuestion() {
  state_.currentQNumber.clear();
  host_.showEmpty();
  host_.updateActiveState();
}

void Navigation::leave(bool autoSaveApplies) {
  if (autoSaveApplies && host_.autoSaveOn()) {
    host_.autoSave();
    return;
  }
  if (!record_.hasUnsavedEdits()) return;
  if (saveBeforeLeaving(state_.currentQNumber))
    host_.save();
  else  // dropped: leaving goes on without asking again (a change of pool leaves twice)
    record_.dropEdits();
}

void Navigation::throughList(const std::function<void()>& work) {
  Shown onScreen = shown();
  try {
    for (int i = 0; i < c_.lstQuestion.ListCount(); ++i) {
      state_.currentQNumber = c_.lstQuestion.List(i);
      host_.load();
      onScreen.numQ = state_.currentQNumber;
      work();
    }
  } catch (...) {
    reselect(onScreen);
    throw;
  }
}

std::vector<std::string> Navigation::listed() const {
  std::vector<std::string> numbers;
  for (int i = 0; i < c_.lstQuestion.ListCount(); ++i) numbers.push_back(c_.lstQuestion.List(i));
  return numbers;
}

Navigation::Shown Navigation::shown() const { return {state_.currentPool, state_.currentQNumber, listed()}; }

void Navigation::reselect(const Shown& shown) {
  state_.currentPool = shown.pool;
  state_.currentQNumber = shown.numQ;
  int pool = -1;
  for (int i = 0; i < c_.cmbPool.ListCount(); ++i)
    if (c_.cmbPool.List(i) == shown.pool) pool = i;
  c_.cmbPool.restoreListIndex(pool);
  if (listed() != shown.numbers) {
    c_.lstQuestion.Clear();
    for (const std::string& n : shown.numbers) c_.lstQuestion.AddItem(n);
  }
  int row = -1;
  for (int i = 0; i < c_.lstQuestion.ListCount(); ++i)
    if (c_.lstQuestion.List(i) == shown.numQ) row = i;
  c_.lstQuestion.restoreListIndex(row);
  host_.updateActiveState();
}

void Navigation::highlightCurrentEntry() {
  const int current = c_.lstQuestion.ListIndex();
  if (current >= 0 && !c_.lstQuestion.Selected(current)) c_.lstQuestion.restoreListIndex(current);
}

}  // namespace editor
