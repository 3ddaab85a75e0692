#pragma once
// Choosing what an editor window shows: the pool list, the numbers of the chosen pool and
// the question on screen. Before that question is left for another question or pool, or
// the window closes, it is saved with auto-save, otherwise the user is asked about its
// unsaved edits ("Unsaved Edits"). After a failed change the lists select what is on
// screen again, so that the highlight, the screen and what "Save" writes agree. The
// window gives its two lists and its hooks; the rest needs no control.

#include <functional>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "program_state.h"
#include "record_saving.h"

namespace editor {

struct NavigationControls {
  ui::ComboBox& cmbPool;
  ui::ListBox& lstQuestion;
};

struct NavigationHost {
  // The pool list's entries, and the numbers of one pool, each in list order.
  std::function<std::vector<std::string>()> pools;
  std::function<std::vector<std::string>(const std::string& pool)> numbers;
  // Shows the current question (the program-wide current number).
  std::function<void()> load;
  // Optional: what a question chosen from the list resets before it is loaded.
  std::function<void()> beforeChosen = nullptr;
  // Shows no question.
  std::function<void()> showEmpty;
  std::function<void()> updateActiveState;
  // Whether auto-save is on, and what it writes.
  std::function<bool()> autoSaveOn;
  std::function<void()> autoSave;
  // What "Save" writes: the edits that the user chooses to keep.
  std::function<void()> save;
  // Closing the window auto-saves as leaving a question does; otherwise closing only asks.
  bool autoSaveOnClosing = true;
};

// Never drops edits unasked: before question numQ is left, the user chooses Yes (true:
// save them), No (false: drop them) or Cancel (stay: the event that would leave it ends,
// ui::AlreadyReported).
bool saveBeforeLeaving(const std::string& numQ);
// Before question numQ is replaced from elsewhere in this program: where the screen shows it
// (`shown`) with edits, asks as leaving it does; Yes runs `save`, No drops the edits.
void settleEdits(RecordSaving& record, const std::string& shown, const std::string& numQ,
                 const std::function<void()>& save);

class Navigation {
 public:
  Navigation(NavigationControls controls, NavigationHost host, bank::ProgramState& state, RecordSaving& record);

  // What the lists select: the pool, the question and the list of numbers.
  struct Shown {
    std::string pool, numQ;
    std::vector<std::string> numbers;
  };

  void FillPoolList();
  void FillQuestionList();
  void cmbPool_Click();
  void lstQuestion_Click();

  // Chooses pool and question numQ in the lists as a user does (leaving the question on
  // screen as that does); false when the lists do not hold them.
  bool show(const std::string& pool, const std::string& numQ);
  // Chooses pool and question numQ in the lists as a user does, names compared without
  // regard to case; a pool or question that the lists do not hold is a store::DbError.
  void choose(const std::string& pool, const std::string& numQ);

  // Before another question or pool is shown.
  void leaveQuestion() { leave(true); }
  // Before the window closes.
  void leaveWindow() { leave(host_.autoSaveOnClosing); }

  // Shows each question of the list in turn (the current number follows) and runs `work`
  // on it. After a failure the lists select the question on screen.
  void throughList(const std::function<void()>& work);

  Shown shown() const;
  // Selects `shown` in the lists again, quietly, and makes it the current question.
  void reselect(const Shown& shown);
  // The lists select the current question.
  void selectCurrent() { reselect(shown()); }

 private:
  void leave(bool autoSaveApplies);
  void showNoQuestion();
  std::vector<std::string> listed() const;
  // A mouse press selects the pressed entry after its Click has run; when that Click failed
  // and put the current entry back, the highlight must follow it.
  void highlightCurrentEntry();

  NavigationControls c_;
  NavigationHost host_;
  bank::ProgramState& state_;
  RecordSaving& record_;
};

}  // namespace editor
