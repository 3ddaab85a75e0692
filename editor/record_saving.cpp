#include "record_saving.h"

#include "db_error.h"

namespace editor {

std::optional<Record> RecordSaving::load(store::Connection& conn, const std::string& numQ) {
  std::optional<Record> r = stored_.load(conn, numQ);
  if (!r) shown_.clear();
  return r;
}

void RecordSaving::clear() {
  stored_.clear();
  shown_.clear();
}

void RecordSaving::save(store::Connection& conn, const std::string& numQ, const Record& values, FieldWrite group) {
  try {
    // A question that changed again while the user decided is compared (and asked about) again.
    do {
      if (!stored_.mayWrite(conn, numQ, screen_.reload)) return;
    } while (!stored_.write(conn, numQ, values, group));
  } catch (const store::DbError& e) {
    // The server's connection went: nothing was written, and the user saves again.
    if (e.number != store::err::ServerUnreachable) throw;
    throw store::DbError(e.number, e.description + " Your edits are still on screen.");
  }
  for (const auto& [name, value] : values) shown_[name] = asShown(name, value);
}

Record RecordSaving::screenNow() const {
  Record r = screen_.values();
  for (auto& [name, value] : r) value = asShown(name, value);
  return r;
}

}  // namespace editor
