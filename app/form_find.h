#pragma once
// "Find": words or a "quoted phrase" searched in every question of the bank, optionally
// limited to kinds, a pool or a question-number prefix; the hits best first, each with its
// kind, number, pool, where it is and a snippet with the words marked, taken into the list
// batch after batch as it is scrolled. Enter or a double click opens the kind's editor at
// that question with the words selected. "Replace" goes through the places of the hits in
// view, each to accept or skip. One window for the program, reached from the section window
// and every editor (Ctrl+F).

#include <QPointer>
#include <QTableView>
#include <string>

#include "bank_search.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "hit_list.h"
#include "program_state.h"

namespace app {

class FormReplace;

class FormFind : public ui::Form {
 public:
  FormFind(bank::ProgramState& state, ui::Form& formInit);
  ~FormFind() override;

  ui::Label lblWords;
  ui::TextBox txtWords;
  ui::CommandButton cmdFind;
  ui::Frame frameLimits;
  ui::ControlArray<ui::CheckBox> chkKind;  // by schema::Kind: checked kinds are searched
  ui::Label lblPool;
  ui::TextBox txtPool;
  ui::Label lblPrefix;
  ui::TextBox txtPrefix;
  ui::Label lblStatus;
  ui::ProgressBar PgrBar;
  QTableView* lstHits;  // kind, number, pool, where, snippet (a HitList)
  ui::Label lblReplaceWith;
  ui::TextBox txtReplaceWith;
  ui::CommandButton cmdReplace;
  ui::CommandButton cmdPrint;  // "Print...": the questions of the hits in view

  void cmdFind_Click();
  // Opens the editor of hit `row` at its question with the words selected.
  void OpenHit(int row);
  void cmdReplace_Click();
  void cmdPrint_Click();

  FormReplace* replaceWindow() const;

 private:
  bool markBatch(std::vector<search::Result>& results, size_t from, size_t to);

  bank::ProgramState& state_;
  ui::Form& formInit_;
  search::Query query_;
  HitList* hits_;
  QPointer<FormReplace> replace_;
};

// Shows the program's Find window, making it on first use.
FormFind& showFindWindow(bank::ProgramState& state, ui::Form& formInit);
// Unloads the Find window and its Replace window, if they are loaded (the program is ending).
void closeFindWindow();
// Ctrl+F on window opens Find.
void addFindShortcut(QWidget& window, bank::ProgramState& state, ui::Form& formInit);

}  // namespace app
