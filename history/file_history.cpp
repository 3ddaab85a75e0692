// The history on a bank file: zx_ tables filled by triggers of the file's engine, in its own SQL,
// so that any program can still write the bank; this program tells the triggers who writes
// through a context row that lives only inside the transaction of a tagged change.
#include <map>
#include <set>
#include <utility>

#include "db_error.h"
#include "history.h"
#include "history_backends.h"

namespace history {

namespace {

using schema::Kind;
using store::Engine;
using store::TaggedChange;

const char* kTableSql =
    "CREATE TABLE IF NOT EXISTS zx_history (id INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL, "
    "numQ TEXT COLLATE NOCASE, pool TEXT COLLATE NOCASE, change TEXT NOT NULL, at TEXT NOT NULL, "
    "operation TEXT NOT NULL, user TEXT, machine TEXT, batch INTEGER, restored INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX IF NOT EXISTS zx_history_question ON zx_history (kind, numQ, batch);"
    "CREATE INDEX IF NOT EXISTS zx_history_trash ON zx_history (batch) WHERE change = 'delete' AND restored = 0;"
    "CREATE TABLE IF NOT EXISTS zx_change_context (id INTEGER PRIMARY KEY AUTOINCREMENT, operation TEXT NOT NULL, "
    "user TEXT, machine TEXT);";

// The file engine's names: the triggers that earlier builds made are recognised by their text.
std::string ident(const std::string& name) { return "[" + name + "]"; }

std::string updateTrigger(Kind k) { return rowsTable(k) + "_update"; }
std::string deleteTrigger(Kind k) { return rowsTable(k) + "_delete"; }

struct ColumnInfo {
  std::string name;
  std::string type;
};

std::vector<ColumnInfo> columnsOf(Engine& e, const std::string& table) {
  std::vector<ColumnInfo> out;
  auto r = e.query("PRAGMA table_info(" + ident(table) + ");");
  while (r->next()) out.push_back({r->column(1).toString(), r->column(2).toString()});
  return out;
}

std::set<std::string> namesOfType(Engine& e, const char* type) {
  std::set<std::string> names;
  auto r = e.query("SELECT lower(name) FROM sqlite_master WHERE type = ?1;", {store::Value(type)});
  while (r->next()) names.insert(r->column(0).toString());
  return names;
}

// How the triggers insert a kept version. A failed insert takes the whole transaction back, so
// the change and its history go together; since nothing in a trigger can then fail halfway
// through one statement, the engine keeps no statement journal for a write in a transaction
// (each of its pages would be one more page to encrypt: most of the cost of a Save's history).
const char* kKeepInsert = "INSERT OR ROLLBACK INTO ";

// The statement that keeps OLD as a version: the meta row, then the row itself under its id.
// Everything the triggers do is the engine's own SQL, so that any program can write the bank.
std::string keepOldRow(Kind k, const std::vector<ColumnInfo>& cols, const char* change) {
  bool hasPool = false;
  std::string names, olds;
  for (size_t i = 0; i < cols.size(); ++i) {
    names += ", " + ident(cols[i].name);
    olds += ", OLD." + ident(cols[i].name);
    hasPool = hasPool || lower(cols[i].name) == "src";
  }
  return kKeepInsert +
         std::string("zx_history (kind, numQ, pool, change, at, operation, user, machine, batch) VALUES (") +
         literal(schema::kindName(k)) + ", OLD.numQ, " + (hasPool ? "OLD.src" : "NULL") + ", " + literal(change) +
         ", strftime('%Y-%m-%d %H:%M:%f', 'now'), "
         "coalesce((SELECT operation FROM zx_change_context), " +
         literal(kAnotherProgram) +
         "), (SELECT user FROM zx_change_context), (SELECT machine FROM zx_change_context), "
         "(SELECT id FROM zx_change_context)); " +
         kKeepInsert + ident(rowsTable(k)) + " (id" + names + ") VALUES (last_insert_rowid()" + olds + "); ";
}

// A row's first change within one tagged change is the one kept. The change's number is looked
// up first, so that the probe is one index search however long the row's history is.
std::string firstInChange(Kind k) {
  return "NOT EXISTS (SELECT 1 FROM zx_history h WHERE h.kind = " + literal(schema::kindName(k)) +
         " AND h.numQ = OLD.numQ AND h.batch = (SELECT id FROM zx_change_context))";
}

// The triggers of kind k as this program makes them for the question table's columns, by name;
// the text is the one the file's catalogue keeps.
std::vector<std::pair<std::string, std::string>> triggersOf(Kind k, const std::vector<ColumnInfo>& cols) {
  const std::string table = schema::tableName(k);
  std::string changed;
  for (const ColumnInfo& c : cols)
    changed += std::string(changed.empty() ? "" : " OR ") + "OLD." + ident(c.name) + " IS NOT NEW." + ident(c.name) +
               " COLLATE BINARY";
  return {{updateTrigger(k), "CREATE TRIGGER " + ident(updateTrigger(k)) + " AFTER UPDATE ON " + ident(table) + " WHEN (" +
                                 changed + ") AND " + firstInChange(k) + " BEGIN " + keepOldRow(k, cols, "update") + "END"},
          {deleteTrigger(k), "CREATE TRIGGER " + ident(deleteTrigger(k)) + " AFTER DELETE ON " + ident(table) + " BEGIN " +
                                 keepOldRow(k, cols, "delete") + "END"}};
}

// The stored text of every trigger of the file, by name in lower case: one read of the catalogue
// for all of them.
std::map<std::string, std::string> triggerTexts(Engine& e) {
  std::map<std::string, std::string> out;
  auto r = e.query("SELECT lower(name), sql FROM sqlite_master WHERE type = 'trigger';");
  while (r->next()) out[r->column(0).toString()] = r->column(1).toString();
  return out;
}

// What of the history is not as this program makes it, one line each, and (when repair is set)
// made again, in the caller's transaction. Nothing that is kept is touched: a missing table is
// made empty, a missing column is added, a trigger that is missing or says something else is made
// again. Versions that another program took away stay gone, and the line says so.
std::vector<std::string> examine(Engine& e, bool repair) {
  std::vector<std::string> out;
  const std::set<std::string> tables = namesOfType(e, "table");
  const std::map<std::string, std::string> triggers = triggerTexts(e);
  auto lacks = [&](const std::string& name) { return !tables.count(lower(name)); };
  if (lacks("zx_history")) {
    out.push_back("the table zx_history was missing: the versions kept before are gone");
    if (repair) {
      e.script(kTableSql);
      // Kept rows may outlive it: new versions are numbered after them.
      std::string maxId = "0";
      for (Kind k : schema::kAllKinds)
        if (!lacks(rowsTable(k))) maxId = "max(" + maxId + ", coalesce((SELECT max(id) FROM " + ident(rowsTable(k)) + "), 0))";
      e.script("INSERT INTO sqlite_sequence (name, seq) SELECT 'zx_history', " + maxId +
               " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'zx_history');");
    }
  }
  if (lacks("zx_change_context")) {
    out.push_back("the table zx_change_context was missing (without it no change keeps a version)");
    if (repair) e.script(kTableSql);
  }
  for (Kind k : schema::kAllKinds) {
    if (lacks(schema::tableName(k))) continue;
    const std::vector<ColumnInfo> cols = columnsOf(e, schema::tableName(k));
    if (lacks(rowsTable(k))) {
      out.push_back("the table " + rowsTable(k) + " was missing: the versions of " + schema::kindName(k) + " are gone");
      if (repair) {
        std::string sql = "CREATE TABLE " + ident(rowsTable(k)) + " (id INTEGER PRIMARY KEY";
        for (const ColumnInfo& c : cols) sql += ", " + ident(c.name) + " " + c.type;
        e.script(sql + ");");
      }
    } else {
      std::set<std::string> kept;
      for (const ColumnInfo& c : columnsOf(e, rowsTable(k))) kept.insert(lower(c.name));
      for (const ColumnInfo& c : cols)
        if (!kept.count(lower(c.name))) {
          out.push_back("the table " + rowsTable(k) + " lacked the column " + c.name);
          if (repair) e.script("ALTER TABLE " + ident(rowsTable(k)) + " ADD COLUMN " + ident(c.name) + " " + c.type + ";");
        }
    }
    for (const auto& [name, sql] : triggersOf(k, cols)) {
      const auto found = triggers.find(lower(name));
      const std::string stored = found == triggers.end() ? std::string() : found->second;
      if (stored == sql) continue;
      out.push_back("the trigger " + name + (stored.empty() ? " was missing" : " did not keep versions as this program's does"));
      if (repair) e.script("DROP TRIGGER IF EXISTS " + ident(name) + "; " + sql + ";");
    }
  }
  return out;
}

// Versions listed in zx_history whose rows another program took away, per kind, one line each.
std::vector<std::string> lostVersions(Engine& e) {
  std::vector<std::string> out;
  if (!e.hasTable("zx_history")) return out;
  for (Kind k : schema::kAllKinds) {
    const std::string rows = e.hasTable(rowsTable(k)) ? ident(rowsTable(k)) : std::string();
    auto r = e.query("SELECT count(*) FROM zx_history h WHERE h.kind = ?1" +
                         (rows.empty() ? std::string() : " AND NOT EXISTS (SELECT 1 FROM " + rows + " r WHERE r.id = h.id)") + ";",
                     {store::Value(schema::kindName(k))});
    if (r->next() && r->column(0).toInt() > 0)
      out.push_back(std::string("versions of ") + schema::kindName(k) + " whose rows are gone, which cannot be restored: " +
                    std::to_string(r->column(0).toInt()));
  }
  return out;
}

class FileHistory : public store::ExtensionBackend {
 public:
  explicit FileHistory(Engine& e) : e_(e) {}

  bool appliesTo() override {
    for (Kind k : schema::kAllKinds)
      if (e_.hasTable(schema::tableName(k))) return true;
    return false;
  }

  void create() override { examine(e_, true); }

  bool present() override {
    const std::set<std::string> tables = namesOfType(e_, "table");
    if (!tables.count("zx_history") || !tables.count("zx_change_context")) return false;
    for (Kind k : schema::kAllKinds)
      if (tables.count(lower(schema::tableName(k))) && !tables.count(lower(rowsTable(k)))) return false;
    return true;
  }

  // A context row is only ever written inside a transaction and removed before its commit: one
  // that another connection can see was left by a program that did not keep to that. Each open
  // reads the catalogue once: whatever another program took away or rewrote is made again.
  bool settled() override {
    return examine(e_, false).empty() && !e_.query("SELECT 1 FROM zx_change_context;")->next();
  }

  void upgrade(int from) override {
    std::vector<std::string> found = examine(e_, true);
    // A bank that never had the history gets it: nothing was broken there.
    if (from > 0) notes_.insert(notes_.end(), found.begin(), found.end());
    e_.run("DELETE FROM zx_change_context;");
  }

  std::vector<std::string> takeRepairNotes() override { return std::exchange(notes_, {}); }

  std::vector<std::string> problems(int version) override {
    // A bank that never had it gets it from its first writable open: nothing is amiss.
    if (version == 0) return {};
    std::vector<std::string> out;
    for (const std::string& m : examine(e_, false)) out.push_back("history: " + m + " (opening the bank for writing makes it again)");
    for (const std::string& m : lostVersions(e_)) out.push_back("history: " + m);
    return out;
  }

  bool keepsChanges() const override { return true; }

  void changeWriting(TaggedChange& change) override {
    changeEnded(false);
    const std::vector<store::Value> params = {store::Value(change.operation), store::Value(change.user),
                                              store::Value(change.machine)};
    if (change.batch) {
      std::vector<store::Value> withBatch = params;
      withBatch.emplace_back(change.batch);
      drain(e_.queryKept("INSERT INTO zx_change_context (operation, user, machine, id) VALUES (?1, ?2, ?3, ?4);",
                         withBatch));
      return;
    }
    const store::Value id =
        e_.writeRow("INSERT INTO zx_change_context (operation, user, machine) VALUES (?1, ?2, ?3);", params, store::Value());
    change.batch = id.toInt();
    change.batchFresh = true;
  }

  void changeEnded(bool /*committing*/) override { drain(e_.queryKept("DELETE FROM zx_change_context;", {})); }

 private:
  static void drain(std::unique_ptr<store::EngineRows> rows) {
    while (rows->next()) {
    }
  }

  Engine& e_;
  std::vector<std::string> notes_;
};

}  // namespace

std::unique_ptr<store::ExtensionBackend> fileBackend(Engine& e) { return std::make_unique<FileHistory>(e); }

}  // namespace history
