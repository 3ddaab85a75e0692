#include "form_history.h"

#include "controls/dialogs.h"
#include "controls/events.h"
#include "operation.h"
#include "record_saving.h"
#include "shown_question.h"
#include "version_text.h"

namespace editor {

namespace {
std::string entryOf(const store::history::Version& v) {
  return v.at.substr(0, 19) + "   " + v.operation + (v.user.empty() ? "" : "   " + v.user) +
         (v.machine.empty() ? "" : " @ " + v.machine);
}
}  // namespace

FormHistory::FormHistory(store::Connection& conn, bank::schema::Kind kind, std::string numQ)
    : lblVersions(this, "Versions (newest first)"),
      lstVersions(this),
      lblVersion(this, "This version"),
      lblCurrent(this, "Now"),
      txtVersion(this),
      txtCurrent(this),
      cmdRestore(this, "Restore"),
      cmdClose(this, "Close"),
      conn_(conn),
      kind_(kind),
      numQ_(std::move(numQ)),
      shown_(recordFields(kind)) {
  setObjectName("FormHistory");
  setCaption("History of question " + numQ_);
  setOwnWindow();
  setWidth(13500);
  setHeight(9000);
  lblVersions.Move(120, 120, 6000, 255);
  lstVersions.Move(120, 390, 13260, 1800);
  lblVersion.Move(120, 2310, 6000, 255);
  lblCurrent.Move(6810, 2310, 6000, 255);
  txtVersion.Move(120, 2580, 6570, 5700);
  txtCurrent.Move(6810, 2580, 6570, 5700);
  cmdRestore.Move(10020, 8430, 1620, 420);
  cmdClose.Move(11760, 8430, 1620, 420);
  for (QTextEdit* t : {static_cast<QTextEdit*>(&txtVersion), static_cast<QTextEdit*>(&txtCurrent)}) t->setReadOnly(true);
  lstVersions.Click = [this] { lstVersions_Click(); };
  cmdRestore.Click = [this] { cmdRestore_Click(); };
  cmdClose.Click = [this] { cmdClose_Click(); };
  setDeleteOnUnload(true);
}

void FormHistory::Form_Load() { refresh(); }

void FormHistory::refresh() {
  versions_ = store::history::versions(conn_, kind_, numQ_);
  shown_.load(conn_, numQ_);
  lstVersions.Clear();
  for (const store::history::Version& v : versions_) lstVersions.AddItem(entryOf(v));
  cmdRestore.setEnabled(!versions_.empty());
  txtVersion.clear();
  txtCurrent.clear();
  if (!versions_.empty()) lstVersions.setListIndex(0);
}

void FormHistory::lstVersions_Click() {
  const int i = lstVersions.ListIndex();
  if (i < 0 || i >= static_cast<int>(versions_.size())) return;
  const std::optional<Record> now = readRecord(conn_, recordFields(kind_), numQ_);
  const MarkedTexts marked =
      markDifferences(shownFields(kind_, recordOf(versions_[static_cast<size_t>(i)])), shownFields(kind_, now.value_or(Record{})));
  txtVersion.setHtml(QString::fromStdString(marked.version));
  txtCurrent.setHtml(QString::fromStdString(marked.current));
}

void FormHistory::cmdRestore_Click() {
  const int i = lstVersions.ListIndex();
  if (i < 0 || i >= static_cast<int>(versions_.size())) return;
  const store::history::Version v = versions_[static_cast<size_t>(i)];
  if (ui::MsgBox("Put back the version of question " + numQ_ + " from " + v.at.substr(0, 19) + " (" + v.operation +
                     ")?\nThe question as it is now stays in the history.",
                 ui::MsgButtons::YesNo, ui::MsgIcon::Exclamation, "Restore", ui::MsgDefault::Second) !=
      ui::MsgResult::Yes)
    return;
  auto reportRemoved = [this] {
    ui::MsgBox("Question " + numQ_ + " no longer exists in the bank: another program has deleted it. Nothing was "
               "restored; a deleted question comes back from the Trash.",
               ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Restore");
    throw ui::AlreadyReported();
  };
  const std::optional<Record> now = shown_.current(conn_, numQ_);
  if (!now) reportRemoved();
  if (*now != shown_.loadedRecord()) {
    const ui::MsgResult answer =
        ui::MsgBox("Question " + numQ_ + " was changed by " + lastChangeOf(conn_, recordFields(kind_).table, numQ_) +
                       " after its history was shown here.\n\nPut the chosen version back over that change?",
                   ui::MsgButtons::YesNo, ui::MsgIcon::Exclamation, "Restore", ui::MsgDefault::Second);
    if (answer != ui::MsgResult::Yes) {
      refresh();
      return;
    }
  }
  // An editor that shows the question with edits: saved or dropped first, as the user says.
  for (ShownQuestion* e : editorsShowing(kind_, numQ_)) e->settleEdits(numQ_);
  {
    bank::OperationTag tag(conn_, bank::Operation::RestoreFromHistory);
    do {
      if (!shown_.current(conn_, numQ_)) reportRemoved();
    } while (!shown_.write(conn_, numQ_, recordOf(v), {FieldWrite::Layout, FieldWrite::Content}));
    tag.commit();
  }
  for (ShownQuestion* e : editorsShowing(kind_, numQ_)) e->storedChanged(numQ_);
  refresh();
}

FormHistory& showHistory(store::Connection& conn, bank::schema::Kind kind, const std::string& numQ) {
  auto* w = new FormHistory(conn, kind, numQ);
  w->Show();
  return *w;
}

}  // namespace editor
