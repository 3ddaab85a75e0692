#pragma once
// "Find": words or a "quoted phrase" searched in every question of the bank, optionally
// limited to kinds, a pool or a question-number prefix; the hits best first, each with its
// kind, number, pool, where it is and a snippet with the words marked. Enter or a double
// click opens the kind's editor at that question with the words selected. "Replace" goes
// through the places of the hits in view, each to accept or skip. One window for the
// program, reached from the section window and every editor (Ctrl+F).

#include <QPointer>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "bank_search.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "program_state.h"

namespace app {

class FormReplace;

class FormFind : public ui::Form {
 public:
  FormFind(store::ProgramState& state, ui::Form& formInit);
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
  QTreeWidget* lstHits;  // kind, number, pool, where, snippet
  ui::Label lblReplaceWith;
  ui::TextBox txtReplaceWith;
  ui::CommandButton cmdReplace;

  void cmdFind_Click();
  // Opens the editor of hit `row` at its question with the words selected.
  void OpenHit(int row);
  void cmdReplace_Click();

  const std::vector<search::Result>& hits() const { return hits_; }
  const search::Query& query() const { return query_; }
  FormReplace* replaceWindow() const { return replace_.data(); }

 private:
  void showHits(const std::vector<search::Result>& batch);

  store::ProgramState& state_;
  ui::Form& formInit_;
  search::Query query_;
  std::vector<search::Result> hits_;
  QPointer<FormReplace> replace_;
};

// "Replace": every place of the query in the hits in view, with its context; each is
// accepted (the default) or skipped, then the accepted ones are written at once.
class FormReplace : public ui::Form {
 public:
  FormReplace(store::ProgramState& state, FormFind& find, search::ReplacePlan plan, const QString& with);

  ui::Label lblPlaces;
  QTreeWidget* lstPlaces;  // accept box, kind, number, where, the place in its context
  ui::CommandButton cmdAccept;
  ui::CommandButton cmdSkip;
  ui::CommandButton cmdApply;
  ui::CommandButton cmdCancel;

  // Accepts or skips the current place and moves to the next.
  void cmdAccept_Click() { decide(true); }
  void cmdSkip_Click() { decide(false); }
  // Writes the accepted replacements in one transaction.
  void cmdApply_Click();
  void cmdCancel_Click() { Unload(); }

  std::vector<bool> accepted() const;

 private:
  void decide(bool accept);

  store::ProgramState& state_;
  FormFind& find_;
  search::ReplacePlan plan_;
  QString with_;
};

// Shows the program's Find window, making it on first use.
FormFind& showFindWindow(store::ProgramState& state, ui::Form& formInit);
// Unloads the Find window and its Replace window, if they are loaded (the program is ending).
void closeFindWindow();
// Ctrl+F on window opens Find.
void addFindShortcut(QWidget& window, store::ProgramState& state, ui::Form& formInit);

}  // namespace app
