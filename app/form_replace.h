#pragma once
// "Replace": every place of the query in the hits in view, each to accept or skip, then
// the accepted ones written at once; opened from the Find window.

#include <QString>
#include <QTreeWidget>
#include <vector>

#include "bank_search.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "program_state.h"

namespace app {

class FormFind;

// "Replace": every place of the query in the hits in view, with its context; each is
// accepted (the default) or skipped, then the accepted ones are written at once.
class FormReplace : public ui::Form {
 public:
  FormReplace(bank::ProgramState& state, FormFind& find, search::ReplacePlan plan, const QString& with);

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

  bank::ProgramState& state_;
  FormFind& find_;
  search::ReplacePlan plan_;
  QString with_;
};

}  // namespace app
