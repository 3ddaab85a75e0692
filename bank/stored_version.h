#pragma once
// The record on screen as this window loaded or last wrote it, and the stored record that a
// write may replace. A write holds the question against other writers from its last
// comparison to its commit. Shared by every editor window, whatever its record holds.

#include <optional>
#include <string>
#include <vector>

#include "question_record.h"

namespace bank {

class StoredVersion {
 public:
  explicit StoredVersion(const RecordFields& def) : def_(def) {}

  // Reads question numQ for the screen and remembers it; nothing when there is none.
  std::optional<Record> load(store::Connection& conn, const std::string& numQ);
  // Nothing is on screen.
  void clear() {
    loaded_.clear();
    isLoaded_ = false;
  }
  bool loaded() const { return isLoaded_; }
  // The record's fields as loaded or last written here.
  const Record& loadedRecord() const { return loaded_; }

  // Question numQ as it is stored now, remembered as what the next write may replace;
  // nothing when it has been deleted.
  std::optional<Record> current(store::Connection& conn, const std::string& numQ);
  // Writes the fields of `values` in `groups` to numQ and remembers what is then stored as
  // loaded. False, with nothing written, when any column of the question changed after
  // current() read it (while the user was asked, say): compare again.
  bool write(store::Connection& conn, const std::string& numQ, const Record& values,
             const std::vector<FieldWrite>& groups);

 private:
  std::optional<Record> read(store::Connection& conn, const std::string& numQ, std::vector<store::Value>* all) const;

  const RecordFields& def_;
  Record loaded_;
  bool isLoaded_ = false;
  // Every column of the question as current() last found it.
  std::vector<store::Value> compared_;
};

}  // namespace bank
