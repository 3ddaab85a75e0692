#pragma once
// The record on screen as this window loaded or last wrote it. Before a write it finds a
// record that another program has deleted or changed since: a deleted one is reported, and
// for a changed one the user decides whether the screen overwrites it. Shared by every
// editor window, whatever its record holds.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "question_record.h"

namespace editor {

class StoredVersion {
 public:
  explicit StoredVersion(const RecordFields& def) : def_(def) {}

  // Reads question numQ for the screen and remembers it; nothing when there is none.
  std::optional<Record> load(store::Connection& conn, const std::string& numQ);
  // Nothing is on screen.
  void clear() { stored_.clear(); }
  bool loaded() const { return !stored_.empty(); }

  // Before writing numQ: false when nothing was loaded (nothing to write). A question
  // deleted meanwhile is reported; for one changed meanwhile the user is asked whether the
  // screen overwrites it, and on No (the default) `reload` shows the stored version. Both
  // end the event (ui::AlreadyReported).
  bool mayWrite(store::Connection& conn, const std::string& numQ, const std::function<void()>& reload);
  // Writes `values` as `group` to numQ, holding the question against other writers from the
  // comparison to the commit; what is then stored is the version compared with. False, with
  // nothing written, when the question changed again after mayWrite compared it (while the
  // user was asked): mayWrite must compare again.
  bool write(store::Connection& conn, const std::string& numQ, const Record& values, FieldWrite group);

 private:
  [[noreturn]] static void reportRemoved(const std::string& numQ);
  std::vector<store::Value> read(store::Connection& conn, const std::string& numQ) const;

  const RecordFields& def_;
  // Every field of the record as loaded or last written here; empty when none is loaded.
  std::vector<store::Value> stored_;
  // The stored question as mayWrite last found it, which the write may replace.
  std::vector<store::Value> compared_;
};

}  // namespace editor
