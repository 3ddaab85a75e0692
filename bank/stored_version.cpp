#include "stored_version.h"

#include <algorithm>

#include "connection.h"
#include "statements.h"

namespace bank {

std::optional<Record> StoredVersion::read(store::Connection& conn, const std::string& numQ,
                                          std::vector<store::Value>* all) const {
  return readRecord(conn, def_, numQ, all);
}

std::optional<Record> StoredVersion::load(store::Connection& conn, const std::string& numQ) {
  std::optional<Record> r = read(conn, numQ, nullptr);
  isLoaded_ = r.has_value();
  loaded_ = r ? *r : Record();
  return r;
}

std::optional<Record> StoredVersion::current(store::Connection& conn, const std::string& numQ) {
  return read(conn, numQ, &compared_);
}

bool StoredVersion::write(store::Connection& conn, const std::string& numQ, const Record& values,
                          const std::vector<FieldWrite>& groups) {
  // Another editor on a server bank may write between the comparison and this write: the
  // question is held from here to the commit, and compared once more under the hold.
  store::Transaction t(conn);
  conn.holdRows(store::statements::questionSource(def_.table, numQ));
  std::vector<store::Value> now;
  if (!read(conn, numQ, &now) || now != compared_) return false;  // changed (or deleted) meanwhile; rolled back
  for (FieldWrite group : groups) {
    const bool any = std::any_of(def_.fields.begin(), def_.fields.end(),
                                 [&](const FieldDef& f) { return writtenBy(f, {group}) && values.count(f.name); });
    if (any) writeRecord(conn, def_, numQ, values, group);
  }
  loaded_ = read(conn, numQ, nullptr).value_or(Record());
  t.commit();
  return true;
}

}  // namespace bank
