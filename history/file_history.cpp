// The history on a bank file: zx_ tables filled by triggers of the file's engine, in its own SQL,
// so that any program can still write the bank; this program tells the triggers who writes
// through a context row that lives only inside the transaction of a tagged change.
#include <set>

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
const char* kEarlierKeepInsert = "INSERT INTO ";

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

// The text of a trigger of kind k as this build makes it, from the text a build before the
// version table made: the probe that walked every kept version of the row, and inserts that made
// the engine keep a statement journal, are replaced; the rest (the columns kept) stays as it is.
std::string currentTriggerText(Kind k, std::string sql) {
  const std::string slowProbe =
      "NOT EXISTS (SELECT 1 FROM zx_history h JOIN zx_change_context c ON h.batch = c.id WHERE h.kind = " +
      literal(schema::kindName(k)) + " AND h.numQ = OLD.numQ)";
  const std::pair<std::string, std::string> replacements[] = {
      {slowProbe, firstInChange(k)},
      {kEarlierKeepInsert + std::string("zx_history ("), kKeepInsert + std::string("zx_history (")},
      {kEarlierKeepInsert + ident(rowsTable(k)) + " (", kKeepInsert + ident(rowsTable(k)) + " ("}};
  for (const auto& [before, after] : replacements)
    if (size_t at = sql.find(before); at != std::string::npos) sql.replace(at, before.size(), after);
  return sql;
}

// The history's triggers that an earlier build made, each with its text of today.
std::vector<std::pair<std::string, std::string>> earlierTriggers(Engine& e) {
  std::vector<std::pair<std::string, std::string>> out;
  for (Kind k : schema::kAllKinds)
    for (const std::string& name : {updateTrigger(k), deleteTrigger(k)}) {
      auto r = e.query("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ?1 COLLATE NOCASE;",
                       {store::Value(name)});
      if (!r->next()) continue;
      const std::string sql = r->column(0).toString(), current = currentTriggerText(k, sql);
      if (current != sql) out.emplace_back(name, current);
    }
  return out;
}

void addForKind(Engine& e, Kind k, const std::set<std::string>& tables, const std::set<std::string>& triggers) {
  const std::string table = schema::tableName(k);
  const std::vector<ColumnInfo> cols = columnsOf(e, table);
  if (!tables.count(lower(rowsTable(k)))) {
    std::string sql = "CREATE TABLE " + ident(rowsTable(k)) + " (id INTEGER PRIMARY KEY";
    for (const ColumnInfo& c : cols) sql += ", " + ident(c.name) + " " + c.type;
    e.script(sql + ");");
  }
  if (!triggers.count(lower(updateTrigger(k)))) {
    std::string changed;
    for (const ColumnInfo& c : cols)
      changed += std::string(changed.empty() ? "" : " OR ") + "OLD." + ident(c.name) + " IS NOT NEW." + ident(c.name) +
                 " COLLATE BINARY";
    e.script("CREATE TRIGGER " + ident(updateTrigger(k)) + " AFTER UPDATE ON " + ident(table) + " WHEN (" + changed +
             ") AND " + firstInChange(k) + " BEGIN " + keepOldRow(k, cols, "update") + "END;");
  }
  if (!triggers.count(lower(deleteTrigger(k))))
    e.script("CREATE TRIGGER " + ident(deleteTrigger(k)) + " AFTER DELETE ON " + ident(table) + " BEGIN " +
             keepOldRow(k, cols, "delete") + "END;");
}

// What of the history is missing for the question tables that exist, named.
std::vector<std::string> missing(const std::set<std::string>& tables, const std::set<std::string>& triggers) {
  std::vector<std::string> out;
  for (const char* t : {"zx_history", "zx_change_context"})
    if (!tables.count(t)) out.push_back(std::string("the table ") + t);
  for (Kind k : schema::kAllKinds) {
    if (!tables.count(lower(schema::tableName(k)))) continue;
    if (!tables.count(lower(rowsTable(k)))) out.push_back("the table " + rowsTable(k));
    for (const std::string& trigger : {updateTrigger(k), deleteTrigger(k)})
      if (!triggers.count(lower(trigger))) out.push_back("the trigger " + trigger);
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

  void create() override { addMissing(); }

  bool present() override { return missing(namesOfType(e_, "table"), namesOfType(e_, "trigger")).empty(); }

  // A context row is only ever written inside a transaction and removed before its commit: one
  // that another connection can see was left by a program that did not keep to that.
  bool settled() override { return present() && !e_.query("SELECT 1 FROM zx_change_context;")->next(); }

  void upgrade(int /*from*/) override {
    addMissing();
    e_.run("DELETE FROM zx_change_context;");
  }

  std::vector<std::string> problems(int version) override {
    // A bank that never had it gets it from its first writable open: nothing is amiss.
    if (version == 0) return {};
    std::vector<std::string> out;
    for (const std::string& m : missing(namesOfType(e_, "table"), namesOfType(e_, "trigger")))
      out.push_back("the history lacks " + m + " (open the bank for writing to add it)");
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

  void addMissing() {
    const std::set<std::string> tables = namesOfType(e_, "table"), triggers = namesOfType(e_, "trigger");
    e_.script(kTableSql);
    for (Kind k : schema::kAllKinds)
      if (tables.count(lower(schema::tableName(k)))) addForKind(e_, k, tables, triggers);
    for (const auto& [name, sql] : earlierTriggers(e_)) e_.script("DROP TRIGGER " + ident(name) + "; " + sql + ";");
  }

  Engine& e_;
};

}  // namespace

std::unique_ptr<store::ExtensionBackend> fileBackend(Engine& e) { return std::make_unique<FileHistory>(e); }

}  // namespace history
