#include "table_file.h"

#include "db_error.h"
#include "dialect.h"
#include "engine.h"
#include "session.h"
#include "text.h"

namespace store {

namespace {

const char* declaredType(ColumnType t) {
  switch (t) {
    case ColumnType::Integer: return "INTEGER";
    case ColumnType::Real: return "REAL";
    case ColumnType::Text: return "TEXT COLLATE NOCASE";
    case ColumnType::Bytes: return "BLOB";
    case ColumnType::ExactText: break;
  }
  return "TEXT";
}

std::string columnList(const std::vector<ColumnDef>& columns) {
  std::string out;
  for (size_t i = 0; i < columns.size(); ++i) out += (i ? ", " : "") + quotedName(columns[i].name);
  return out;
}

}  // namespace

TableFile::TableFile(std::unique_ptr<Session> file, bool writing) : file_(std::move(file)) {
  if (!writing) return;
  file_->engine().begin();
  open_ = true;
}

TableFile::TableFile(TableFile&&) noexcept = default;
TableFile& TableFile::operator=(TableFile&&) noexcept = default;

TableFile::~TableFile() {
  if (!file_ || !open_) return;
  try {
    file_->engine().rollback();
  } catch (const DbError&) {
    // Closing the handle rolls back what is left.
  }
}

TableFile TableFile::openForWriting(const std::filesystem::path& file, const std::string& key) {
  return TableFile(std::make_unique<Session>(openOurFile(file.string(), key, false, ErrorStyle::Ado)), true);
}

TableFile TableFile::openForReading(const std::filesystem::path& file, const std::string& key) {
  return TableFile(std::make_unique<Session>(openOurFile(file.string(), key, true, ErrorStyle::Ado)), false);
}

TableFile TableFile::create(const std::filesystem::path& file, const std::string& key) {
  TableFile made(std::make_unique<Session>(createFileEngine(file.string(), key)), true);
  made.file_->engine().script(kTableDefsSql);
  return made;
}

std::string TableFile::existingTable(const std::string& name) {
  auto st = file_->engine().query("SELECT name FROM sqlite_master WHERE type='table' AND name = ?1 COLLATE NOCASE;",
                                  {Value(name)});
  return st->next() ? st->column(0).toString() : std::string();
}

std::vector<std::string> TableFile::columnNames(const std::string& table) {
  auto st = file_->engine().query("PRAGMA table_info(" + quotedName(table) + ");");
  std::vector<std::string> names;
  while (st->next()) names.push_back(st->column(1).toString());
  return names;
}

void TableFile::createTable(const std::string& name, const std::vector<ColumnDef>& columns) {
  std::string sql = "CREATE TABLE " + quotedName(name) + " (";
  for (size_t i = 0; i < columns.size(); ++i)
    sql += (i ? ", " : "") + quotedName(columns[i].name) + " " + declaredType(columns[i].type);
  file_->engine().script(sql + ");");
}

void TableFile::addMissingColumns(const std::string& table, const std::vector<ColumnDef>& columns) {
  std::vector<std::string> have = columnNames(table);
  for (const ColumnDef& c : columns) {
    bool found = false;
    for (const std::string& h : have) found = found || equalsIgnoringCase(h, c.name);
    if (!found)
      file_->engine().script("ALTER TABLE " + quotedName(table) + " ADD COLUMN " + quotedName(c.name) + " " +
                             declaredType(c.type) + ";");
  }
}

void TableFile::insertRows(const std::string& table, const std::vector<ColumnDef>& columns,
                           const std::vector<const std::vector<Value>*>& rows) {
  // Text for a column of bytes is stored as bytes (a BLOB), whatever else it holds as it is.
  std::string params;
  for (size_t i = 0; i < columns.size(); ++i) {
    const std::string p = "?" + std::to_string(i + 1);
    params += (i ? ", " : "") + (columns[i].type == ColumnType::Bytes
                                     ? "CASE WHEN typeof(" + p + ") = 'text' THEN CAST(" + p + " AS BLOB) ELSE " + p + " END"
                                     : p);
  }
  const std::string sql = "INSERT INTO " + quotedName(table) + " (" + columnList(columns) + ") VALUES (" + params + ");";
  Engine& e = file_->engine();
  std::vector<Value> values(columns.size());
  for (const std::vector<Value>* row : rows) {
    // Values a row does not have stay Null.
    for (size_t i = 0; i < columns.size(); ++i) values[i] = i < row->size() ? (*row)[i] : Value();
    auto written = e.queryKept(sql, values);
    while (written->next()) {
    }
  }
}

void TableFile::repointLinks(const std::string& from, const std::string& to) {
  file_->engine().run(std::string("UPDATE ") + kTableDefsTable + " SET connect = ?1 WHERE connect = ?2;",
                      {Value(to), Value(from)});
}

void TableFile::commit() {
  file_->engine().commit();
  open_ = false;
}

void TableFile::readRows(const std::string& table, const std::vector<std::string>& columns,
                         const std::function<bool(const std::vector<Value>&)>& each) {
  // The row order, by a name for it that no column hides; where every alias is a column,
  // a table scan still gives the order of insertion.
  std::string order;
  for (const char* alias : {"rowid", "_rowid_", "oid"}) {
    bool taken = false;
    for (const std::string& c : columns) taken = taken || equalsIgnoringCase(c, alias);
    if (!taken) {
      order = alias;
      break;
    }
  }
  std::string names;
  for (size_t i = 0; i < columns.size(); ++i) names += (i ? ", " : "") + quotedName(columns[i]);
  auto st = file_->engine().query("SELECT " + names + " FROM " + quotedName(table) +
                                  (order.empty() ? "" : " ORDER BY " + order) + ";");
  std::vector<Value> row(columns.size());
  while (st->next()) {
    for (size_t i = 0; i < columns.size(); ++i) row[i] = st->column(static_cast<int>(i));
    if (!each(row)) return;
  }
}

}  // namespace store
