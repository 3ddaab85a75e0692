#pragma once
// A question as its kind's table holds it: the kind's fields as data (what is read, what
// "Save" and auto-save write, which hold RTF), read and written through the store. No
// widgets: the windows turn these values into controls and back; the search, the bank tool
// and the history read and write questions through here as well.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "connection.h"
#include "kind_registry.h"
#include "value.h"

namespace bank {

using bank::schema::FieldType;
using bank::schema::FieldWrite;
using bank::schema::Kind;

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
// `all`, when given, receives every column of the stored row in table order (numQ first):
// what a comparison before a write compares.
std::optional<Record> readRecord(store::Connection& conn, const RecordFields& def, const std::string& numQ,
                                 std::vector<store::Value>* all = nullptr);

// Writes the fields of the record written as `group` (Content covers ContentIfGiven) from
// `values`: a field the values lack is left as stored, and a ContentIfGiven field also
// when its value is empty. False when there is no question numQ (nothing is written).
bool writeRecord(store::Connection& conn, const RecordFields& def, const std::string& numQ, const Record& values,
                 FieldWrite group);

// Writes `fields` of question numQ in table as they are given: every write of a question's
// fields goes through here. False when there is no question numQ (nothing is written).
bool writeFields(store::Connection& conn, const std::string& table, const std::string& numQ,
                 const std::vector<std::pair<std::string, store::Value>>& fields);

// The record that the kind's editor reads: its table and every field of the kind registry
// that the editor reads, in stored order.
const RecordFields& recordFields(Kind kind);
// The whole question: its table and every field of the kind registry after numQ, in stored
// order (the pool and the box positions too).
const RecordFields& wholeRecordFields(Kind kind);

// Whether field f is written by one of groups (Content covers ContentIfGiven).
bool writtenBy(const FieldDef& f, const std::vector<FieldWrite>& groups);

}  // namespace bank
