#pragma once
// A question as its kind's table holds it: the kind's fields as data (what is read, what
// "Save" and auto-save write, which hold RTF), read and written through the store. No
// widgets: the windows turn these values into controls and back.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "connection.h"
#include "kind_registry.h"
#include "value.h"

namespace editor {

using store::schema::FieldType;
using store::schema::FieldWrite;

struct FieldDef {
  const char* name;
  FieldType type;
  FieldWrite write;
};

struct RecordFields {
  const char* table;
  std::vector<FieldDef> fields;
};

using Record = std::map<std::string, store::Value>;

// The question numbered numQ, with every field of the record; nothing when there is none.
// `all`, when given, receives every field of the stored row in table order.
std::optional<Record> readRecord(store::Connection& conn, const RecordFields& def, const std::string& numQ,
                                 std::vector<store::Value>* all = nullptr);

// Writes the fields of the record written as `group` (Content covers ContentIfGiven) from
// `values`: a field the values lack is left as stored, and a ContentIfGiven field also
// when its value is empty. False when there is no question numQ (nothing is written).
bool writeRecord(store::Connection& conn, const RecordFields& def, const std::string& numQ, const Record& values,
                 FieldWrite group);

// The record that the kind's editor reads: its table and every field of the kind registry
// that the editor reads, in stored order.
const RecordFields& recordFields(store::schema::Kind kind);

}  // namespace editor
