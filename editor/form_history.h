#pragma once
// "History": the kept versions of the question on screen, newest first, with time, operation
// and user; the chosen one beside the question as it is stored now, the differences marked;
// "Restore" puts the chosen version back through the editor's own Save.

#include <QTextEdit>
#include <functional>
#include <string>
#include <vector>

#include "connection.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "history.h"
#include "question_record.h"

namespace editor {

class FormHistory : public ui::Form {
 public:
  // restore writes the values as the editor's Save does (with its changed-elsewhere check).
  FormHistory(store::Connection& conn, store::schema::Kind kind, std::string numQ,
              std::function<void(const Record&)> restore);

  ui::Label lblVersions;
  ui::ListBox lstVersions;
  ui::Label lblVersion;
  ui::Label lblCurrent;
  ui::Control<QTextEdit> txtVersion;
  ui::Control<QTextEdit> txtCurrent;
  ui::CommandButton cmdRestore;
  ui::CommandButton cmdClose;

  void lstVersions_Click();
  void cmdRestore_Click();
  void cmdClose_Click() { Unload(); }

  const std::vector<store::history::Version>& versions() const { return versions_; }

 protected:
  void Form_Load() override;

 private:
  // Reads the versions again and shows the newest.
  void refresh();

  store::Connection& conn_;
  store::schema::Kind kind_;
  std::string numQ_;
  std::function<void(const Record&)> restore_;
  std::vector<store::history::Version> versions_;
};

// Opens the History window of question numQ of kind, over the window that asks.
FormHistory& showHistory(store::Connection& conn, store::schema::Kind kind, const std::string& numQ,
                         std::function<void(const Record&)> restore);

}  // namespace editor
