#pragma once
// The edition buttons of a multiple-choice editor: "OG", "COPY", "COPY2", "Fix numQ" and
// "dbl". This class holds what the window adds to the pools/ operations: the checks of
// the typed values, the confirmation, the hourglass and progress bar, the messages, the
// list of findings, and the hooks that show the changed bank again. An editor constructs
// one with its controls and hooks and calls it from its buttons' Click handlers.

#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "controls/controls.h"
#include "controls/form.h"
#include "editions.h"
#include "program_state.h"

class QPlainTextEdit;

namespace editor {

struct EditionControls {
  ui::Form& form;
  ui::TextBox& txtOG12;     // the edition pool's name
  ui::TextBox& txtQNumber;  // the count, in the "Edit" frame
  ui::ComboBox& cmbEdit;    // set back to its first item (the empty mode) after "OG"
  ui::ProgressBar* PgrBar;  // nullptr where the window has none (RC)
};

struct EditionHost {
  // Before an operation that changes or replaces the question on screen: saves it with
  // auto-save (a copy then cannot be overwritten by a later auto-save of the stale screen),
  // otherwise asks about its unsaved edits; staying ends the event.
  std::function<void()> leaveShown;
  // Loads the current question (the program-wide current number) onto the screen again.
  std::function<void()> reloadShown;
  std::function<void()> FillPoolList;
  std::function<void()> FillQuestionList;
  // After the duplicate check: the screen and the lists settle on the question shown.
  std::function<void()> showAfterWholePoolWork;
};

class EditionActions {
 public:
  EditionActions(EditionControls controls, EditionHost host, bank::ProgramState& state, bank::schema::Kind kind);

  void cmdOGcreate_Click();
  void cmdCopy_Click();
  void cmdCopy2_Click();
  void cmdFixnumQ_Click();
  void cmdDuplicateCheck_Click();

  // The window that lists the last check's findings; null when there were none.
  QWidget* findingsWindow() const { return findings_.data(); }

 private:
  // Runs work with the hourglass and the progress bar, restored also when it fails.
  void busy(const std::function<void(const pools::Progress&)>& work);
  void leaveShown();
  void showFindings(const std::vector<pools::DuplicateFinding>& findings);

  EditionControls c_;
  EditionHost host_;
  bank::ProgramState& state_;
  const pools::EditionRules& rules_;
  QPointer<QWidget> findings_;
  QPlainTextEdit* findingsText_ = nullptr;
};

}  // namespace editor
