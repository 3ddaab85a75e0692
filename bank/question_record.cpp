#include "question_record.h"

#include <algorithm>

#include "recordset.h"
#include "statements.h"

namespace bank {

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

bool writtenBy(const FieldDef& f, const std::vector<FieldWrite>& groups) {
  return std::any_of(groups.begin(), groups.end(), [&](FieldWrite g) {
    return f.write == g || (g == FieldWrite::Content && f.write == FieldWrite::ContentIfGiven);
  });
}

bool writeRecord(store::Connection& conn, const RecordFields& def, const std::string& numQ, const Record& values,
                 FieldWrite group) {
  std::vector<std::pair<std::string, Value>> fields;
  for (const FieldDef& f : def.fields) {
    if (!writtenBy(f, {group})) continue;
    auto it = values.find(f.name);
    if (it == values.end()) continue;
    if (f.write == FieldWrite::ContentIfGiven && (it->second.isNull() || it->second.toString().empty())) continue;
    fields.emplace_back(f.name, it->second);
  }
  return writeFields(conn, def.table, numQ, fields);
}

bool writeFields(store::Connection& conn, const std::string& table, const std::string& numQ,
                 const std::vector<std::pair<std::string, Value>>& fields) {
  Recordset rs;
  rs.cursorType = store::adOpenKeyset;
  rs.lockType = store::adLockOptimistic;
  rs.open(store::statements::questionSource(table, numQ), conn, store::adOpenUnspecified, store::adLockUnspecified,
          store::adCmdTable);
  if (rs.eof()) {  // none shown, or removed elsewhere: nothing to write
    rs.close();
    return false;
  }
  for (const auto& [field, value] : fields) rs.setValue(field, value);
  rs.update();
  rs.close();
  return true;
}

namespace {

// One definition per kind, in the order of kAllKinds, of the registry's fields that pass.
template <typename Pass>
std::vector<RecordFields> definitions(Pass pass) {
  std::vector<RecordFields> v;
  for (Kind k : bank::schema::kAllKinds) {
    const bank::schema::KindEntry& entry = bank::schema::kindEntry(k);
    RecordFields def{entry.table, {}};
    for (const bank::schema::Field& f : entry.fields)
      if (pass(f)) def.fields.push_back({f.name, f.type, f.write});
    v.push_back(def);
  }
  return v;
}

}  // namespace

const RecordFields& recordFields(Kind kind) {
  static const std::vector<RecordFields> all =
      definitions([](const bank::schema::Field& f) { return f.write != FieldWrite::Unread; });
  return all.at(static_cast<size_t>(kind));
}

const RecordFields& wholeRecordFields(Kind kind) {
  static const std::vector<RecordFields> all = definitions([](const bank::schema::Field&) { return true; });
  return all.at(static_cast<size_t>(kind));
}

}  // namespace bank
