#include "table_file.h"

#include "db_error.h"
#include "schema.h"
#include "session.h"
#include "sqlite_db.h"
#include "text.h"

namespace store {

namespace {

// A name in a statement: double quotes, with any inside doubled, so that whatever the name
// holds (brackets, quotes, semicolons) stays a name.
std::string quotedName(const std::string& name) {
  std::string q = "\"";
  for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

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

template <typename F>
auto engineCall(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const SqliteFailure& e) {
    throw engineError(e);
  }
}

}  // namespace

TableFile::TableFile(std::unique_ptr<Session> file, bool writing) : file_(std::move(file)) {
  if (!writing) return;
  engineCall([&] { file_->db().exec("BEGIN;"); });
  open_ = true;
}

TableFile::TableFile(TableFile&&) noexcept = default;
TableFile& TableFile::operator=(TableFile&&) noexcept = default;

TableFile::~TableFile() {
  if (!file_ || !open_) return;
  try {
    file_->db().exec("ROLLBACK;");
  } catch (const SqliteFailure&) {
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
  TableFile made(std::make_unique<Session>(engineCall([&] { return SqliteDb::create(file.string(), key); })), true);
  engineCall([&] { made.file_->db().exec(schema::kTableDefsSql); });
  return made;
}

std::string TableFile::existingTable(const std::string& name) {
  return engineCall([&] {
    auto st = file_->db().prepare("SELECT name FROM sqlite_master WHERE type='table' AND name = ?1 COLLATE NOCASE;");
    st.bind(1, Value(name));
    return st.step() ? st.column(0).toString() : std::string();
  });
}

std::vector<std::string> TableFile::columnNames(const std::string& table) {
  return engineCall([&] {
    auto st = file_->db().prepare("PRAGMA table_info(" + quotedName(table) + ");");
    std::vector<std::string> names;
    while (st.step()) names.push_back(st.column(1).toString());
    return names;
  });
}

void TableFile::createTable(const std::string& name, const std::vector<ColumnDef>& columns) {
  std::string sql = "CREATE TABLE " + quotedName(name) + " (";
  for (size_t i = 0; i < columns.size(); ++i)
    sql += (i ? ", " : "") + quotedName(columns[i].name) + " " + declaredType(columns[i].type);
  engineCall([&] { file_->db().exec(sql + ");"); });
}

void TableFile::addMissingColumns(const std::string& table, const std::vector<ColumnDef>& columns) {
  std::vector<std::string> have = columnNames(table);
  for (const ColumnDef& c : columns) {
    bool found = false;
    for (const std::string& h : have) found = found || equalsIgnoringCase(h, c.name);
    if (!found)
      engineCall([&] {
        file_->db().exec("ALTER TABLE " + quotedName(table) + " ADD COLUMN " + quotedName(c.name) + " " +
                  declaredType(c.type) + ";");
      });
  }
}

void TableFile::insertRows(const std::string& table, const std::vector<ColumnDef>& columns,
                           const std::vector<const std::vector<Value>*>& rows) {
  std::string params;
  for (size_t i = 0; i < columns.size(); ++i) params += (i ? ", ?" : "?") + std::to_string(i + 1);
  engineCall([&] {
    auto st = file_->db().prepare("INSERT INTO " + quotedName(table) + " (" + columnList(columns) + ") VALUES (" + params +
                           ");");
    for (const std::vector<Value>* row : rows) {
      for (size_t i = 0; i < row->size() && i < columns.size(); ++i) {
        int index = static_cast<int>(i + 1);
        const Value& v = (*row)[i];
        if (columns[i].type == ColumnType::Bytes && v.isText())
          st.bindBlob(index, v.text());
        else
          st.bind(index, v);
      }
      st.step();
      st.reset();
    }
  });
}

void TableFile::repointLinks(const std::string& from, const std::string& to) {
  engineCall([&] {
    auto st = file_->db().prepare(std::string("UPDATE ") + kTableDefsTable + " SET connect = ?1 WHERE connect = ?2;");
    st.bind(1, Value(to));
    st.bind(2, Value(from));
    st.step();
  });
}

void TableFile::commit() {
  engineCall([&] { file_->db().exec("COMMIT;"); });
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
  engineCall([&] {
    auto st = file_->db().prepare("SELECT " + names + " FROM " + quotedName(table) +
                           (order.empty() ? "" : " ORDER BY " + order) + ";");
    std::vector<Value> row(columns.size());
    while (st.step()) {
      for (size_t i = 0; i < columns.size(); ++i) row[i] = st.column(static_cast<int>(i));
      if (!each(row)) return;
    }
  });
}

}  // namespace store
