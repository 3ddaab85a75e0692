#include "question_record.h"

#include "recordset.h"
#include "statements.h"

namespace editor {

using store::Recordset;
using store::Value;

std::optional<Record> readRecord(store::Connection& conn, const RecordFields& def, const std::string& numQ,
                                 std::vector<Value>* all) {
  Recordset rs;
  rs.open(store::statements::questionByNumber(def.table, numQ), conn, store::adOpenDynamic, store::adLockReadOnly);
  if (rs.eof()) {
    rs.close();
    return std::nullopt;
  }
  Record r;
  for (const FieldDef& f : def.fields) {
    Value v = rs.value(f.name);
    if (f.type == FieldType::Single) v = Value(static_cast<double>(static_cast<float>(v.toDouble())));
    r[f.name] = v;
  }
  if (all) {
    all->clear();
    for (const std::string& name : rs.fieldNames()) all->push_back(rs.value(name));
  }
  rs.close();
  return r;
}

bool writeRecord(store::Connection& conn, const RecordFields& def, const std::string& numQ, const Record& values,
                 FieldWrite group) {
  Recordset rs;
  rs.cursorType = store::adOpenKeyset;
  rs.lockType = store::adLockOptimistic;
  rs.open(store::statements::questionSource(def.table, numQ), conn, store::adOpenUnspecified,
          store::adLockUnspecified, store::adCmdTable);
  if (rs.eof()) {  // none shown, or removed elsewhere: nothing to write
    rs.close();
    return false;
  }
  for (const FieldDef& f : def.fields) {
    const bool inGroup = f.write == group || (group == FieldWrite::Content && f.write == FieldWrite::ContentIfGiven);
    if (!inGroup) continue;
    auto it = values.find(f.name);
    if (it == values.end()) continue;
    if (f.write == FieldWrite::ContentIfGiven && (it->second.isNull() || it->second.toString().empty())) continue;
    rs.setValue(f.name, it->second);
  }
  rs.update();
  rs.close();
  return true;
}

const RecordFields& recordFields(store::schema::Kind kind) {
  static const std::vector<RecordFields> all = [] {
    std::vector<RecordFields> v;
    for (store::schema::Kind k : store::schema::kAllKinds) {
      const store::schema::KindEntry& entry = store::schema::kindEntry(k);
      RecordFields def{entry.table, {}};
      for (const store::schema::Field& f : entry.fields)
        if (f.write != FieldWrite::Unread) def.fields.push_back({f.name, f.type, f.write});
      v.push_back(def);
    }
    return v;
  }();
  return all.at(static_cast<size_t>(kind));
}

}  // namespace editor
