#pragma once
// "History": the kept versions of one question, newest first, with time, operation and
// user; the chosen one beside the question as it is stored now, the differences marked.
// "Restore" puts the chosen version back onto that question, whichever question an editor
// shows meanwhile and whether one is open at all: an editor that shows it with edits asks
// about them first, and a question changed elsewhere since the history was shown is asked
// about, as Save does.

#include <QTextEdit>
#include <string>
#include <vector>

#include "connection.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "history.h"
#include "bank_record.h"

namespace editor {

class FormHistory : public ui::Form {
 public:
  FormHistory(store::Connection& conn, bank::schema::Kind kind, std::string numQ);

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

  const std::string& numQ() const { return numQ_; }
  const std::vector<store::history::Version>& versions() const { return versions_; }

 protected:
  void Form_Load() override;

 private:
  // Reads the versions and the stored question again and shows the newest version.
  void refresh();

  store::Connection& conn_;
  bank::schema::Kind kind_;
  std::string numQ_;
  std::vector<store::history::Version> versions_;
  StoredVersion shown_;  // the question as stored when its history was shown
};

// Opens the History window of question numQ of kind.
FormHistory& showHistory(store::Connection& conn, bank::schema::Kind kind, const std::string& numQ);

}  // namespace editor
