#include "schema.h"

#include "db_error.h"
#include "dialect.h"
#include "engine.h"
#include "extension.h"
#include "connection.h"
#include "text.h"

namespace bank::schema {

// The bank is built of the store's connections, engines and values.
using namespace store;

namespace {

const char* kText = "TEXT COLLATE NOCASE";

const char* sqlType(FieldType t) {
  switch (t) {
    case FieldType::Rtf:
    case FieldType::Text: return kText;
    case FieldType::Size:
    case FieldType::Single:
    case FieldType::Number: return "REAL";
    case FieldType::Flag: return "INTEGER";
  }
  return kText;
}

std::vector<Column> makeColumns(Kind k) {
  std::vector<Column> c{{"numQ", "TEXT COLLATE NOCASE UNIQUE"}};
  for (const Field& f : kindEntry(k).fields) c.push_back({f.name, sqlType(f.type)});
  return c;
}

std::string createTableSql(const std::string& name, const std::vector<Column>& cols) {
  std::string sql = "CREATE TABLE " + tableIdent(Dialect::Sqlite, name) + " (";
  for (size_t i = 0; i < cols.size(); ++i) sql += (i ? ", " : "") + tableIdent(Dialect::Sqlite, cols[i].name) + " " + cols[i].type;
  return sql + ");";
}

// Runs body in one transaction of the new file.
template <typename F>
void inFile(std::unique_ptr<Engine> db, F&& body) {
  try {
    db->begin();
    body(*db);
    db->commit();
  } catch (const DbError& e) {
    if (e.fault == EngineFault::None) throw;  // not the engine's: already in the program's words
    if (e.fault == EngineFault::DiskFull)
      throw DbError(err::DiskFull,
                    "The disk is full: '" + db->location() + "' could not be written. Free some space and try again.");
    throw DbError(err::Generic, "The database file could not be written: " + e.engineMessage + ".");
  }
}

std::unique_ptr<Engine> newFile(const std::filesystem::path& file, const char* key) {
  try {
    return createFileEngine(file.string(), key);
  } catch (const DbError& e) {
    if (e.fault == EngineFault::DiskFull)
      throw DbError(err::DiskFull,
                    "The disk is full: '" + file.string() + "' could not be created. Free some space and try again.");
    throw DbError(err::Generic, "The database file '" + file.string() + "' could not be created (" + e.engineMessage +
                                    ").");
  }
}

}  // namespace

const char* tableName(Kind k) { return kindEntry(k).table; }

const char* kindName(Kind k) { return kindEntry(k).name; }

std::optional<Kind> kindNamed(std::string_view name) {
  for (Kind k : kAllKinds)
    if (equalsIgnoringCase(name, kindName(k))) return k;
  return std::nullopt;
}

const std::vector<Column>& questionColumns(Kind k) {
  static const std::vector<std::vector<Column>> all = [] {
    std::vector<std::vector<Column>> v;
    for (Kind kind : kAllKinds) v.push_back(makeColumns(kind));
    return v;
  }();
  return all[static_cast<size_t>(k)];
}

std::filesystem::path bankPath(const std::filesystem::path& folder) { return folder / kBankFile; }
std::filesystem::path userPath(const std::filesystem::path& folder) { return folder / kUserFile; }

std::string userLinkConnect(const std::filesystem::path& folder) {
  const std::string file = std::filesystem::absolute(userPath(folder)).string();
  // The connect string is split at ';': such a name would point the links elsewhere.
  if (file.find(';') != std::string::npos)
    throw DbError(err::Generic, "The folder '" + folder.string() +
                                    "' has a ';' in its path, which the links to its user database cannot carry; "
                                    "use a folder without ';'. Nothing was written.");
  return ";DATABASE=" + file + ";pwd=" + kUserKey + ";";
}

const std::vector<TableSpec>& bankTables() {
  static const std::vector<TableSpec> tables = [] {
    std::vector<TableSpec> t;
    for (Kind k : kAllKinds) t.push_back({tableName(k), questionColumns(k)});
    // The edition tables that each multiple-choice kind's rules name: the mapping of running
    // numbers (with RC's passage), then the answer keys.
    for (Kind k : choiceKinds()) {
      const EditionRules& r = *kindEntry(k).edition;
      std::vector<Column> mapping{{r.oldField, "INTEGER"}, {r.newField, "INTEGER"}};
      if (r.passageField) mapping.push_back({r.passageField, "INTEGER"});
      t.push_back({r.mappingTable, mapping});
    }
    for (Kind k : choiceKinds())
      if (const EditionRules& r = *kindEntry(k).edition; r.answerKeyTable)
        t.push_back({r.answerKeyTable, {{"number", "INTEGER"}, {"key", "TEXT COLLATE NOCASE"}}});
    return t;
  }();
  return tables;
}

const std::vector<TableSpec>& userTables() {
  static const std::vector<TableSpec> tables = {
      {"tblMemo",
       {{"numQ", kText}, {"probtype", kText}, {"choice", kText}, {"category", kText}, {"description", "TEXT"}}},
      {"tblAnswer", {{"numQ", kText}, {"answer", "TEXT"}, {"answered", "TEXT"}, {"seconds", "REAL"}}},
      {"tblSuspend", {{"testId", "INTEGER"}, {"numQ", kText}, {"position", "INTEGER"}}},
      {"tblAnsBuf", {{"numQ", kText}, {"answer", "TEXT"}}},
  };
  return tables;
}

void createUserDatabase(const std::filesystem::path& file) {
  inFile(newFile(file, kUserKey), [](Engine& db) {
    db.script(kTableDefsSql);
    for (const TableSpec& t : userTables()) db.script(createTableSql(t.name, t.columns));
    db.script("CREATE INDEX tblMemo_numQ ON tblMemo (numQ);");
  });
}

void createBank(const std::filesystem::path& folder, const std::set<Kind>& omit,
                const std::function<void(const std::filesystem::path&)>& fill) {
  std::error_code ec;
  if (std::filesystem::exists(bankPath(folder), ec) || std::filesystem::exists(userPath(folder), ec))
    throw DbError(err::Generic, "A bank already exists in '" + folder.string() + "'; nothing was changed.");
  const std::string connect = userLinkConnect(folder);  // refused here, before either file exists
  // A failure part-way (a full disk, also while the first content is written) takes away what
  // was made: a half-made pair would pass as a bank, and stand in the way of the next attempt
  // as "a bank already exists".
  struct Undo {
    const std::filesystem::path& folder;
    bool done = false;
    ~Undo() {
      if (done) return;
      for (const auto& f : {bankPath(folder), userPath(folder)}) removeDatabaseFiles(f.string());
    }
  } undo{folder};
  createUserDatabase(userPath(folder));
  inFile(newFile(bankPath(folder), kBankKey), [&](Engine& db) {
    db.script(kTableDefsSql);
    for (const TableSpec& t : bankTables()) {
      bool omitted = false;
      for (Kind k : kAllKinds) omitted = omitted || (omit.count(k) && t.name == tableName(k));
      if (omitted) continue;
      db.script(createTableSql(t.name, t.columns));
      if (t.columns.size() > 1 && t.columns[1].name == "src")
        db.script("CREATE INDEX " + tableIdent(Dialect::Sqlite, t.name + "_src") + " ON " + tableIdent(Dialect::Sqlite, t.name) + " (src);");
    }
    for (const char* link : kLinkedUserTables) {
      db.run("INSERT INTO zx_tabledefs (name, attributes, connect, source_table) VALUES (?1, ?2, ?3, ?1);",
             {Value(link), Value(0x40000000LL), Value(connect)});
    }
    createExtensions(db);
  });
  if (fill) fill(folder);
  undo.done = true;
}

void setTableAttributes(const std::filesystem::path& file, const std::string& key, const std::string& table,
                        long attributes) {
  auto db = openOurFile(file.string(), key, false, ErrorStyle::Dao);
  db->run("INSERT OR REPLACE INTO zx_tabledefs (name, attributes) VALUES (?1, ?2);",
          {Value(table), Value(static_cast<long long>(attributes))});
  noteCatalogChanged();
}

}  // namespace bank::schema
