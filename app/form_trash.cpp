#include "form_trash.h"

#include "controls/dialogs.h"
#include "db_error.h"
#include "schema.h"

namespace app {

std::string trashLine(const store::history::TrashEntry& e) {
  const std::string numbers = e.numbers.size() == 1 ? e.numbers.front()
                                                    : std::to_string(e.numbers.size()) + " questions, " +
                                                          e.numbers.front() + " to " + e.numbers.back();
  return e.at.substr(0, 19) + "   " + bank::schema::kindName(e.kind) + "   pool " + e.pool + "   " + numbers +
         "   " + e.operation + (e.user.empty() ? "" : " by " + e.user);
}

FormTrash::FormTrash(store::Connection& conn)
    : lblTrash(this, "Deleted questions and pools (newest first)"),
      lstTrash(this),
      cmdRestore(this, "Restore"),
      cmdClose(this, "Close"),
      conn_(conn) {
  setObjectName("FormTrash");
  setCaption("Trash");
  setOwnWindow();
  setWidth(10200);
  setHeight(5400);
  lblTrash.Move(120, 120, 7000, 255);
  lstTrash.Move(120, 390, 9960, 4260);
  cmdRestore.Move(6720, 4830, 1620, 420);
  cmdClose.Move(8460, 4830, 1620, 420);
  cmdRestore.Click = [this] { cmdRestore_Click(); };
  cmdClose.Click = [this] { cmdClose_Click(); };
  setDeleteOnUnload(true);
}

void FormTrash::refresh() {
  entries_ = store::history::trash(conn_);
  lstTrash.Clear();
  for (const store::history::TrashEntry& e : entries_) lstTrash.AddItem(trashLine(e));
  cmdRestore.setEnabled(!entries_.empty());
  if (!entries_.empty()) lstTrash.setListIndex(0);
}

void FormTrash::cmdRestore_Click() {
  const int i = lstTrash.ListIndex();
  if (i < 0 || i >= static_cast<int>(entries_.size())) return;
  const store::history::TrashEntry& e = entries_[static_cast<size_t>(i)];
  if (const std::string problem = store::history::undeleteProblem(conn_, e); !problem.empty()) {
    ui::MsgBox(problem, ui::MsgButtons::OkOnly, ui::MsgIcon::Exclamation, "Trash");
    return;
  }
  store::history::undelete(conn_, e);
  ui::MsgBox("Restored " + (e.numbers.size() == 1 ? "question " + e.numbers.front()
                                                   : std::to_string(e.numbers.size()) + " questions of pool " + e.pool) +
                 ".",
             ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Trash");
  refresh();
}

}  // namespace app
