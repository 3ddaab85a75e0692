#include "stored_version.h"

#include "connection.h"
#include "controls/dialogs.h"
#include "controls/events.h"
#include "statements.h"

namespace editor {

std::vector<store::Value> StoredVersion::read(store::Connection& conn, const std::string& numQ) const {
  std::vector<store::Value> all;
  readRecord(conn, def_, numQ, &all);
  return all;
}

std::optional<Record> StoredVersion::load(store::Connection& conn, const std::string& numQ) {
  std::vector<store::Value> all;
  std::optional<Record> r = readRecord(conn, def_, numQ, &all);
  stored_ = r ? std::move(all) : std::vector<store::Value>();
  return r;
}

void StoredVersion::reportRemoved(const std::string& numQ) {
  ui::MsgBox("Question " + numQ +
                 " no longer exists in the bank: another program has deleted it. Your edits were not saved; "
                 "they stay on screen.",
             ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Error");
  throw ui::AlreadyReported();
}

bool StoredVersion::mayWrite(store::Connection& conn, const std::string& numQ, const std::function<void()>& reload) {
  // Nothing was loaded (none shown, or removed elsewhere before it was): nothing to write.
  if (numQ.empty() || stored_.empty()) return false;
  const std::vector<store::Value> now = read(conn, numQ);
  if (now.empty()) reportRemoved(numQ);
  compared_ = now;
  if (now == stored_) return true;
  const ui::MsgResult answer = ui::MsgBox(
      "Question " + numQ +
          " was changed by another program after it was loaded here.\n\n"
          "Overwrite it with what is on screen?\n"
          "Yes: your edits replace the stored question.\n"
          "No: your edits are discarded and the stored question is loaded.",
      ui::MsgButtons::YesNo, ui::MsgIcon::Exclamation, "", ui::MsgDefault::Second);
  if (answer == ui::MsgResult::Yes) return true;
  reload();
  throw ui::AlreadyReported();
}

bool StoredVersion::write(store::Connection& conn, const std::string& numQ, const Record& values, FieldWrite group) {
  // Another editor on a server bank may write between the comparison and this write: the
  // question is held from here to the commit, and compared once more under the hold.
  store::Transaction t(conn);
  conn.holdRows(store::statements::questionSource(def_.table, numQ));
  if (read(conn, numQ) != compared_) return false;  // changed (or deleted) meanwhile; rolled back
  if (!writeRecord(conn, def_, numQ, values, group)) reportRemoved(numQ);
  stored_ = read(conn, numQ);
  t.commit();
  return true;
}

}  // namespace editor
