#pragma once
// "Trash": the questions and pools deleted from the bank, newest first, with time and user;
// "Restore" puts the chosen one back whole, or says which of its numbers are taken.

#include <vector>

#include "connection.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "history.h"

namespace app {

class FormTrash : public ui::Form {
 public:
  explicit FormTrash(store::Connection& conn);

  ui::Label lblTrash;
  ui::ListBox lstTrash;
  ui::CommandButton cmdRestore;
  ui::CommandButton cmdClose;

  void cmdRestore_Click();
  void cmdClose_Click() { Unload(); }

  const std::vector<store::history::TrashEntry>& entries() const { return entries_; }

 protected:
  void Form_Load() override { refresh(); }

 private:
  void refresh();

  store::Connection& conn_;
  std::vector<store::history::TrashEntry> entries_;
};

// One line of the list: time, kind, pool, operation, user and the numbers.
std::string trashLine(const store::history::TrashEntry& e);

}  // namespace app
