#include "migrate.h"

#include <map>
#include <set>

#include "db_error.h"
#include "schema.h"
#include "session.h"
#include "sqlite_db.h"
#include "text.h"

namespace jet {

namespace fs = std::filesystem;
using store::SqliteDb;
using store::SqliteFailure;
using store::Value;
using store::sqlIdent;

namespace {

bool sameName(const std::string& a, const std::string& b) { return store::equalsIgnoringCase(a, b); }

// How a Jet type is declared in our files; text keeps Jet's case-blind comparisons, and
// exact decimals and dates are text so that nothing converts them.
const char* declaredType(ColumnType t) {
  switch (t) {
    case ColumnType::Boolean:
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::LongInteger:
    case ColumnType::Complex: return "INTEGER";
    case ColumnType::Single:
    case ColumnType::Double: return "REAL";
    case ColumnType::Text:
    case ColumnType::Memo: return "TEXT COLLATE NOCASE";
    case ColumnType::Binary:
    case ColumnType::OleObject: return "BLOB";
    default: return "TEXT";
  }
}

bool isQuestionTable(const std::string& name) {
  for (auto k : store::schema::kAllKinds)
    if (sameName(name, store::schema::tableName(k))) return true;
  return false;
}

// Values equal as stored: numbers by value (an integer in a REAL column reads back as a
// double), text and bytes exactly.
bool sameValue(const Value& a, const Value& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  if (a.isInteger() && b.isInteger()) return a.toInt() == b.toInt();
  if (a.isNumber() && b.isNumber()) return a.toDouble() == b.toDouble();
  if (a.isText() && b.isText()) return a.text() == b.text();
  return false;
}

// One table as it is to be written: where each row goes.
struct Plan {
  const Table* source;
  std::string target;             // name in our file (the existing table's spelling)
  std::vector<size_t> kept;       // row indexes for the table
  std::vector<size_t> duplicates; // row indexes kept aside
};

class Writer {
 public:
  explicit Writer(SqliteDb& db) : db_(db) {}

  // The existing table's name when there is one, else empty.
  std::string existing(const std::string& name) {
    auto st = db_.prepare("SELECT name FROM sqlite_master WHERE type='table' AND name = ?1 COLLATE NOCASE;");
    st.bind(1, Value(name));
    return st.step() ? st.column(0).toString() : std::string();
  }

  std::vector<std::string> columnsOf(const std::string& table) {
    auto st = db_.prepare("PRAGMA table_info(" + sqlIdent(table) + ");");
    std::vector<std::string> names;
    while (st.step()) names.push_back(st.column(1).toString());
    return names;
  }

  void create(const std::string& name, const std::vector<Column>& cols) {
    std::string sql = "CREATE TABLE " + sqlIdent(name) + " (";
    for (size_t i = 0; i < cols.size(); ++i)
      sql += (i ? ", " : "") + sqlIdent(cols[i].name) + " " + declaredType(cols[i].type);
    db_.exec(sql + ");");
  }

  // Adds the source's columns that the table lacks, so no value is left behind.
  void complete(const std::string& table, const std::vector<Column>& cols) {
    std::vector<std::string> have = columnsOf(table);
    for (const Column& c : cols) {
      bool found = false;
      for (const std::string& h : have) found = found || sameName(h, c.name);
      if (!found)
        db_.exec("ALTER TABLE " + sqlIdent(table) + " ADD COLUMN " + sqlIdent(c.name) + " " + declaredType(c.type) + ";");
    }
  }

  void insert(const std::string& table, const Table& source, const std::vector<size_t>& rows) {
    std::string names, params;
    for (size_t i = 0; i < source.columns.size(); ++i) {
      names += (i ? ", " : "") + sqlIdent(source.columns[i].name);
      params += (i ? ", ?" : "?") + std::to_string(i + 1);
    }
    auto st = db_.prepare("INSERT INTO " + sqlIdent(table) + " (" + names + ") VALUES (" + params + ");");
    for (size_t r : rows) {
      const Row& row = source.rows[r];
      for (size_t i = 0; i < row.size(); ++i) {
        int index = static_cast<int>(i + 1);
        if (isBinary(source.columns[i].type) && row[i].isText())
          st.bindBlob(index, row[i].text());
        else
          st.bind(index, row[i]);
      }
      st.step();
      st.reset();
    }
  }

 private:
  SqliteDb& db_;
};

// Reads the table back in insertion order and compares it with the rows it was given.
// Returns the number of rows found.
size_t verify(SqliteDb& db, const std::string& fileName, const std::string& table, const Table& source,
              const std::vector<size_t>& rows) {
  std::string names;
  for (size_t i = 0; i < source.columns.size(); ++i) names += (i ? ", " : "") + sqlIdent(source.columns[i].name);
  auto st = db.prepare("SELECT " + names + " FROM " + sqlIdent(table) + " ORDER BY rowid;");
  size_t n = 0;
  while (st.step()) {
    if (n >= rows.size())
      throw MigrationError(fileName + ": table '" + table + "' holds more rows than were read from the source.");
    const Row& expected = source.rows[rows[n]];
    for (size_t i = 0; i < expected.size(); ++i) {
      if (!sameValue(expected[i], st.column(static_cast<int>(i))))
        throw MigrationError(fileName + ": table '" + table + "', row " + std::to_string(n + 1) + ", column '" +
                             source.columns[i].name + "' differs from the source after writing.");
    }
    ++n;
  }
  if (n != rows.size())
    throw MigrationError(fileName + ": table '" + table + "' holds " + std::to_string(n) + " rows where " +
                         std::to_string(rows.size()) + " were read.");
  return n;
}

std::vector<Plan> plan(const Database& source, bool isBank, MigrationResult& result) {
  std::vector<Plan> plans;
  for (const Table& t : source.tables) {
    if (sameName(t.name, "zx_tabledefs") || store::lowerAscii(t.name).rfind("sqlite_", 0) == 0)
      throw MigrationError("'" + source.file.string() + "' has a table named '" + t.name +
                           "', a name this program keeps for itself; rename it in the source first.");
    // The bank reaches these through its links; a local table of that name would hide them.
    for (const char* linked : store::schema::kLinkedUserTables)
      if (isBank && sameName(t.name, linked))
        throw MigrationError("'" + source.file.string() + "' holds its own table '" + t.name +
                             "', which belongs in the user database; move its rows there first.");
    Plan p{&t, t.name, {}, {}};
    int numQ = -1;
    for (size_t i = 0; i < t.columns.size(); ++i)
      if (sameName(t.columns[i].name, "numQ")) numQ = static_cast<int>(i);
    std::set<std::string> seen;
    for (size_t r = 0; r < t.rows.size(); ++r) {
      const Value& v = numQ >= 0 ? t.rows[r][static_cast<size_t>(numQ)] : Value();
      if (isQuestionTable(t.name) && !v.isNull() && !seen.insert(store::lowerAscii(v.toString())).second) {
        p.duplicates.push_back(r);
        result.notes.push_back(t.name + ": row " + std::to_string(r + 1) + " repeats numQ '" + v.toString() +
                               "'; it is kept in " + t.name + kDuplicateSuffix + ".");
      } else {
        p.kept.push_back(r);
      }
    }
    plans.push_back(std::move(p));
  }
  return plans;
}

void writeFile(const fs::path& file, const char* key, std::vector<Plan>& plans) {
  auto db = SqliteDb::openExisting(file.string(), key, false);
  Writer w(*db);
  db->exec("BEGIN;");
  for (Plan& p : plans) {
    const Table& t = *p.source;
    std::string have = w.existing(t.name);
    if (have.empty()) {
      w.create(t.name, t.columns);
    } else {
      p.target = have;
      w.complete(have, t.columns);
    }
    w.insert(p.target, t, p.kept);
    if (!p.duplicates.empty()) {
      w.create(p.target + kDuplicateSuffix, t.columns);
      w.insert(p.target + kDuplicateSuffix, t, p.duplicates);
    }
  }
  db->exec("COMMIT;");
}

void verifyFile(const fs::path& file, const char* key, const std::vector<Plan>& plans, MigrationResult& result) {
  auto db = SqliteDb::openExisting(file.string(), key, true);
  std::string name = file.filename().string();
  for (const Plan& p : plans) {
    size_t written = verify(*db, name, p.target, *p.source, p.kept);
    if (!p.duplicates.empty()) written += verify(*db, name, p.target + kDuplicateSuffix, *p.source, p.duplicates);
    result.tables.push_back({name, p.source->name, p.source->rows.size(), written});
  }
}

// Undoes what a failed migration made: the two files and the folder if it was new.
class Cleanup {
 public:
  Cleanup(fs::path dir, bool madeDir) : dir_(std::move(dir)), madeDir_(madeDir) {}
  ~Cleanup() {
    if (done_) return;
    std::error_code ec;
    for (const char* f : {store::schema::kBankFile, store::schema::kUserFile})
      for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(dir_ / (std::string(f) + suffix), ec);
    if (madeDir_) fs::remove(dir_, ec);
  }
  void keep() { done_ = true; }

 private:
  fs::path dir_;
  bool madeDir_;
  bool done_ = false;
};

}  // namespace

MigrationResult migrate(const Database& bank, const Database& user, const fs::path& dir) {
  namespace schema = store::schema;
  std::error_code ec;
  for (const fs::path& f : {schema::bankPath(dir), schema::userPath(dir)})
    if (fs::exists(f, ec))
      throw MigrationError("'" + f.string() + "' already exists; the migration writes only new files.");
  MigrationResult result;
  std::vector<Plan> bankPlans = plan(bank, true, result);
  std::vector<Plan> userPlans = plan(user, false, result);

  // A kind whose table the old bank lacks stays absent: the editor offers only kinds it finds.
  std::set<schema::Kind> omit;
  for (auto k : schema::kAllKinds) {
    bool present = false;
    for (const Table& t : bank.tables) present = present || sameName(t.name, schema::tableName(k));
    if (!present) omit.insert(k);
  }
  for (const Link& l : bank.links) {
    bool ours = false;
    for (const char* t : schema::kLinkedUserTables) ours = ours || sameName(l.name, t);
    result.notes.push_back("link " + l.name + (ours ? " now points to " + std::string(schema::kUserFile)
                                                    : " (to " + l.foreignName + " in " + l.database + ") was not copied"));
  }

  bool madeDir = !fs::exists(dir, ec);
  fs::create_directories(dir, ec);
  if (ec) throw MigrationError("The folder '" + dir.string() + "' cannot be made: " + ec.message() + ".");
  Cleanup cleanup(dir, madeDir);
  try {
    schema::createBank(dir, omit);
    writeFile(schema::bankPath(dir), schema::kBankKey, bankPlans);
    writeFile(schema::userPath(dir), schema::kUserKey, userPlans);
    verifyFile(schema::bankPath(dir), schema::kBankKey, bankPlans, result);
    verifyFile(schema::userPath(dir), schema::kUserKey, userPlans, result);
  } catch (const store::DbError& e) {
    throw MigrationError(e.description);
  } catch (const SqliteFailure& f) {
    throw MigrationError("The new files could not be written: " + f.message + ".");
  }
  cleanup.keep();
  return result;
}

MigrationResult migrateFiles(const fs::path& jetBank, const fs::path& jetUser, const fs::path& dir,
                             const std::string& jet3Charset) {
  Database bank = readDatabase(jetBank, jet3Charset);
  Database user = readDatabase(jetUser, jet3Charset);
  return migrate(bank, user, dir);
}

void stageTable(const fs::path& file, const char* key, const std::string& tableName, const Table& source,
                const std::vector<size_t>& rows) {
  std::error_code ec;
  fs::remove(file, ec);
  try {
    auto db = SqliteDb::create(file.string(), key);
    Writer w(*db);
    db->exec("BEGIN;");
    db->exec(store::schema::kTableDefsSql);
    w.create(tableName, source.columns);
    w.insert(tableName, source, rows);
    db->exec("COMMIT;");
  } catch (const SqliteFailure& f) {
    fs::remove(file, ec);
    throw store::engineError(f);
  }
}

}  // namespace jet
