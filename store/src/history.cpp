#include "history.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <set>

#include "db_error.h"
#include "history_context.h"
#include "platform.h"
#include "schema.h"
#include "session.h"
#include "sqlite_db.h"

namespace store::history {

namespace {

using schema::Kind;

const char* kTableSql =
    "CREATE TABLE IF NOT EXISTS zx_history (id INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL, "
    "numQ TEXT COLLATE NOCASE, pool TEXT COLLATE NOCASE, change TEXT NOT NULL, at TEXT NOT NULL, "
    "operation TEXT NOT NULL, user TEXT, machine TEXT, batch INTEGER, restored INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX IF NOT EXISTS zx_history_question ON zx_history (kind, numQ, batch);"
    "CREATE INDEX IF NOT EXISTS zx_history_trash ON zx_history (batch) WHERE change = 'delete' AND restored = 0;"
    "CREATE TABLE IF NOT EXISTS zx_change_context (id INTEGER PRIMARY KEY AUTOINCREMENT, operation TEXT NOT NULL, "
    "user TEXT, machine TEXT);";

// The kept rows of a kind: the version's number, then the question table's columns.
std::string rowsTable(Kind k) { return std::string("zx_history_") + schema::kindName(k); }
std::string updateTrigger(Kind k) { return rowsTable(k) + "_update"; }
std::string deleteTrigger(Kind k) { return rowsTable(k) + "_delete"; }

struct ColumnInfo {
  std::string name;
  std::string type;
};

std::vector<ColumnInfo> columnsOf(SqliteDb& db, const std::string& table) {
  std::vector<ColumnInfo> out;
  auto st = db.prepare("PRAGMA table_info(" + sqlIdent(table) + ");");
  while (st.step()) out.push_back({st.column(1).toString(), st.column(2).toString()});
  return out;
}

std::set<std::string> namesOfType(SqliteDb& db, const char* type) {
  std::set<std::string> names;
  auto st = db.prepare("SELECT lower(name) FROM sqlite_master WHERE type = ?1;");
  st.bind(1, Value(type));
  while (st.step()) names.insert(st.column(0).toString());
  return names;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
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
    names += ", " + sqlIdent(cols[i].name);
    olds += ", OLD." + sqlIdent(cols[i].name);
    hasPool = hasPool || lower(cols[i].name) == "src";
  }
  return kKeepInsert +
         std::string("zx_history (kind, numQ, pool, change, at, operation, user, machine, batch) VALUES (") +
         sqlLiteral(schema::kindName(k)) + ", OLD.numQ, " + (hasPool ? "OLD.src" : "NULL") + ", " +
         sqlLiteral(change) +
         ", strftime('%Y-%m-%d %H:%M:%f', 'now'), "
         "coalesce((SELECT operation FROM zx_change_context), " +
         sqlLiteral(kAnotherProgram) +
         "), (SELECT user FROM zx_change_context), (SELECT machine FROM zx_change_context), "
         "(SELECT id FROM zx_change_context)); " +
         kKeepInsert + sqlIdent(rowsTable(k)) + " (id" + names + ") VALUES (last_insert_rowid()" + olds + "); ";
}

// A row's first change within one tagged change is the one kept. The change's number is looked
// up first, so that the probe is one index search however long the row's history is.
std::string firstInChange(Kind k) {
  return "NOT EXISTS (SELECT 1 FROM zx_history h WHERE h.kind = " + sqlLiteral(schema::kindName(k)) +
         " AND h.numQ = OLD.numQ AND h.batch = (SELECT id FROM zx_change_context))";
}

// The text of a trigger of kind k as this build makes it, from the text an earlier build made:
// the probe that walked every kept version of the row, and inserts that made the engine keep a
// statement journal, are replaced; the rest (the columns kept) stays as it is.
std::string currentTriggerText(Kind k, std::string sql) {
  const std::string slowProbe =
      "NOT EXISTS (SELECT 1 FROM zx_history h JOIN zx_change_context c ON h.batch = c.id WHERE h.kind = " +
      sqlLiteral(schema::kindName(k)) + " AND h.numQ = OLD.numQ)";
  const std::pair<std::string, std::string> replacements[] = {
      {slowProbe, firstInChange(k)},
      {kEarlierKeepInsert + std::string("zx_history ("), kKeepInsert + std::string("zx_history (")},
      {kEarlierKeepInsert + sqlIdent(rowsTable(k)) + " (", kKeepInsert + sqlIdent(rowsTable(k)) + " ("}};
  for (const auto& [before, after] : replacements)
    if (size_t at = sql.find(before); at != std::string::npos) sql.replace(at, before.size(), after);
  return sql;
}

// The history's triggers that an earlier build made, each with its text of today.
std::vector<std::pair<std::string, std::string>> earlierTriggers(SqliteDb& db) {
  std::vector<std::pair<std::string, std::string>> out;
  for (Kind k : schema::kAllKinds)
    for (const std::string& name : {updateTrigger(k), deleteTrigger(k)}) {
      auto st = db.prepare("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ?1 COLLATE NOCASE;");
      st.bind(1, Value(name));
      if (!st.step()) continue;
      const std::string sql = st.column(0).toString(), current = currentTriggerText(k, sql);
      if (current != sql) out.emplace_back(name, current);
    }
  return out;
}

void addForKind(SqliteDb& db, Kind k, const std::set<std::string>& tables, const std::set<std::string>& triggers) {
  const std::string table = schema::tableName(k);
  const std::vector<ColumnInfo> cols = columnsOf(db, table);
  if (!tables.count(lower(rowsTable(k)))) {
    std::string sql = "CREATE TABLE " + sqlIdent(rowsTable(k)) + " (id INTEGER PRIMARY KEY";
    for (const ColumnInfo& c : cols) sql += ", " + sqlIdent(c.name) + " " + c.type;
    db.exec(sql + ");");
  }
  if (!triggers.count(lower(updateTrigger(k)))) {
    std::string changed;
    for (const ColumnInfo& c : cols)
      changed += std::string(changed.empty() ? "" : " OR ") + "OLD." + sqlIdent(c.name) + " IS NOT NEW." +
                 sqlIdent(c.name) + " COLLATE BINARY";
    db.exec("CREATE TRIGGER " + sqlIdent(updateTrigger(k)) + " AFTER UPDATE ON " + sqlIdent(table) + " WHEN (" +
            changed + ") AND " + firstInChange(k) + " BEGIN " + keepOldRow(k, cols, "update") + "END;");
  }
  if (!triggers.count(lower(deleteTrigger(k))))
    db.exec("CREATE TRIGGER " + sqlIdent(deleteTrigger(k)) + " AFTER DELETE ON " + sqlIdent(table) + " BEGIN " +
            keepOldRow(k, cols, "delete") + "END;");
}

// Whether everything of the history is there for the question tables that exist.
bool complete(const std::set<std::string>& tables, const std::set<std::string>& triggers) {
  if (!tables.count("zx_history") || !tables.count("zx_change_context")) return false;
  for (Kind k : schema::kAllKinds)
    if (tables.count(lower(schema::tableName(k))) &&
        (!tables.count(lower(rowsTable(k))) || !triggers.count(lower(updateTrigger(k))) ||
         !triggers.count(lower(deleteTrigger(k)))))
      return false;
  return true;
}

bool hasQuestionTables(const std::set<std::string>& tables) {
  for (Kind k : schema::kAllKinds)
    if (tables.count(lower(schema::tableName(k)))) return true;
  return false;
}

void addMissing(SqliteDb& db) {
  const std::set<std::string> tables = namesOfType(db, "table"), triggers = namesOfType(db, "trigger");
  db.exec(kTableSql);
  for (Kind k : schema::kAllKinds)
    if (tables.count(lower(schema::tableName(k)))) addForKind(db, k, tables, triggers);
  for (const auto& [name, sql] : earlierTriggers(db)) db.exec("DROP TRIGGER " + sqlIdent(name) + "; " + sql + ";");
}

Kind kindNamed(const std::string& name) {
  for (Kind k : schema::kAllKinds)
    if (name == schema::kindName(k)) return k;
  throw DbError(err::Generic, "The history names an unknown kind '" + name + "'.");
}

SqliteDb& dbOf(Connection& conn) { return conn.session().db(); }

template <typename F>
auto engineCall(F&& f) {
  try {
    return f();
  } catch (const SqliteFailure& e) {
    throw engineError(e);
  }
}

bool tableHere(SqliteDb& db, Kind k) { return db.tableExists("main", schema::tableName(k)); }

bool questionExists(SqliteDb& db, Kind k, const std::string& numQ) {
  auto st = db.prepare("SELECT 1 FROM " + sqlIdent(schema::tableName(k)) + " WHERE numQ = ?1;");
  st.bind(1, Value(numQ));
  return st.step();
}

const char* kMetaColumns = "h.id, h.numQ, h.change, h.at, h.operation, h.user, h.machine";

Version readVersion(SqliteStatement& st, Kind k) {
  Version v;
  v.kind = k;
  v.id = st.column(0).toInt();
  v.numQ = st.column(1).toString();
  v.change = st.column(2).toString();
  v.at = st.column(3).toString();
  v.operation = st.column(4).toString();
  v.user = st.column(5).toString();
  v.machine = st.column(6).toString();
  for (int i = 8; i < st.columnCount(); ++i) v.fields.emplace_back(st.columnName(i), st.column(i));  // 7: d.id
  return v;
}

std::vector<Version> readVersions(Connection& conn, Kind k, const std::string& numQ, long long id) {
  SqliteDb& db = dbOf(conn);
  return engineCall([&] {
    std::vector<Version> out;
    if (!db.tableExists("main", rowsTable(k))) return out;
    auto st = db.prepare(std::string("SELECT ") + kMetaColumns + ", d.* FROM zx_history h JOIN " +
                         sqlIdent(rowsTable(k)) + " d ON d.id = h.id WHERE h.kind = ?1 AND h.numQ = ?2" +
                         (id ? " AND h.id = ?3" : "") + " ORDER BY h.id DESC;");
    st.bind(1, Value(schema::kindName(k)));
    st.bind(2, Value(numQ));
    if (id) st.bind(3, Value(id));
    while (st.step()) out.push_back(readVersion(st, k));
    return out;
  });
}

struct TrashRow {
  long long id;
  long long batch;
  Kind kind;
  std::string numQ, pool, at, operation, user, machine;
};

std::vector<TrashRow> trashRows(SqliteDb& db) {
  std::vector<TrashRow> rows;
  if (!db.tableExists("main", "zx_history")) return rows;
  auto st = db.prepare(
      "SELECT id, coalesce(batch, -id), kind, numQ, pool, at, operation, user, machine FROM zx_history "
      "WHERE change = 'delete' AND restored = 0 ORDER BY id;");
  while (st.step())
    rows.push_back({st.column(0).toInt(), st.column(1).toInt(), kindNamed(st.column(2).toString()),
                    st.column(3).toString(), st.column(4).toString(), st.column(5).toString(),
                    st.column(6).toString(), st.column(7).toString(), st.column(8).toString()});
  return rows;
}

// The trash's rows grouped by change and kind, newest first.
std::vector<TrashEntry> group(const std::vector<TrashRow>& rows) {
  std::vector<TrashEntry> entries;
  std::map<std::pair<long long, int>, size_t> at;
  std::vector<long long> newest;
  for (const TrashRow& r : rows) {
    auto key = std::make_pair(r.batch, static_cast<int>(r.kind));
    auto it = at.find(key);
    if (it == at.end()) {
      it = at.emplace(key, entries.size()).first;
      entries.push_back({r.batch, r.kind, r.at, r.operation, r.user, r.machine, r.pool, {}});
      newest.push_back(0);
    }
    entries[it->second].numbers.push_back(r.numQ);
    newest[it->second] = r.id;
  }
  std::vector<size_t> order(entries.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return newest[a] > newest[b]; });
  std::vector<TrashEntry> out;
  for (size_t i : order) out.push_back(entries[i]);
  return out;
}

bool validDate(const std::string& d) {
  if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (d[i] < '0' || d[i] > '9') return false;
  const int month = std::stoi(d.substr(5, 2)), day = std::stoi(d.substr(8, 2));
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

}  // namespace

// ----- the store's side

void createHistory(SqliteDb& db) { addMissing(db); }

bool ensureHistory(SqliteDb& db) {
  const std::set<std::string> tables = namesOfType(db, "table");
  if (!hasQuestionTables(tables)) return false;
  const bool whole = complete(tables, namesOfType(db, "trigger"));
  // A context row is only ever written inside a transaction and removed before its commit:
  // one that another connection can see was left by a program that did not keep to that.
  const bool staleContext = tables.count("zx_change_context") && [&] {
    auto st = db.prepare("SELECT 1 FROM zx_change_context;");
    return st.step();
  }();
  if (whole && !staleContext && earlierTriggers(db).empty()) return true;
  try {
    db.exec("BEGIN IMMEDIATE;");
    try {
      addMissing(db);
      db.exec("DELETE FROM zx_change_context;");
      db.exec("COMMIT;");
    } catch (...) {
      if (db.inTransaction()) db.exec("ROLLBACK;");
      throw;
    }
  } catch (const SqliteFailure& f) {
    // A bank that cannot be written cannot change either: it is read as it is.
    if (f.primary() == SQLITE_READONLY) return whole;
    throw engineError(f);
  }
  return true;
}

void writeContext(SqliteDb& db, Tag& tag) {
  clearContext(db);
  auto st = db.prepareKept(tag.batch ? "INSERT INTO zx_change_context (operation, user, machine, id) VALUES (?1, ?2, ?3, ?4);"
                                 : "INSERT INTO zx_change_context (operation, user, machine) VALUES (?1, ?2, ?3);");
  st.bind(1, Value(tag.operation));
  st.bind(2, Value(tag.user));
  st.bind(3, Value(tag.machine));
  if (tag.batch) st.bind(4, Value(tag.batch));
  st.step();
  if (!tag.batch) {
    tag.batch = db.lastInsertRowid();
    tag.batchFresh = true;
  }
}

void clearContext(SqliteDb& db) { db.prepareKept("DELETE FROM zx_change_context;").step(); }

// ----- tags

struct ChangeTag::State {
  Session* session;
  Tag tag;
};

ChangeTag::ChangeTag(Connection& conn, std::string operation)
    : conn_(conn), state_(new State{&conn.session(), {std::move(operation), platform::loginName(), platform::machineName()}}) {
  engineCall([&] { state_->session->pushTag(state_->tag); });
}

void ChangeTag::commit() {
  if (conn_.isOpen() && &conn_.session() == state_->session) engineCall([&] { state_->session->commitTag(state_->tag); });
}

ChangeTag::~ChangeTag() {
  // A connection closed meanwhile took its transaction, and the context row, with it.
  if (conn_.isOpen() && &conn_.session() == state_->session) {
    try {
      state_->session->popTag(state_->tag);
    } catch (const SqliteFailure&) {
      // The transaction fails at its commit instead; a destructor must not throw.
    }
  }
  delete state_;
}

// ----- reading

const Value* Version::field(const std::string& name) const {
  for (const auto& [n, v] : fields)
    if (lower(n) == lower(name)) return &v;
  return nullptr;
}

std::vector<Version> versions(Connection& conn, Kind kind, const std::string& numQ) {
  return readVersions(conn, kind, numQ, 0);
}

std::optional<Version> version(Connection& conn, Kind kind, const std::string& numQ, long long id) {
  std::vector<Version> v = readVersions(conn, kind, numQ, id);
  if (v.empty()) return std::nullopt;
  return v.front();
}

std::vector<Kind> kindsOf(Connection& conn, const std::string& numQ) {
  SqliteDb& db = dbOf(conn);
  return engineCall([&] {
    std::vector<Kind> out;
    const bool kept = db.tableExists("main", "zx_history");
    for (Kind k : schema::kAllKinds) {
      if (!tableHere(db, k)) continue;
      bool found = questionExists(db, k, numQ);
      if (!found && kept) {
        auto st = db.prepare("SELECT 1 FROM zx_history WHERE kind = ?1 AND numQ = ?2;");
        st.bind(1, Value(schema::kindName(k)));
        st.bind(2, Value(numQ));
        found = st.step();
      }
      if (found) out.push_back(k);
    }
    return out;
  });
}

// ----- putting back

void revert(Connection& conn, Kind kind, const std::string& numQ, long long id) {
  std::optional<Version> v = version(conn, kind, numQ, id);
  if (!v)
    throw DbError(err::Generic, "Question " + numQ + " (" + schema::kindName(kind) + ") has no version " +
                                    std::to_string(id) + "; nothing was changed.");
  SqliteDb& db = dbOf(conn);
  if (!engineCall([&] { return questionExists(db, kind, numQ); }))
    throw DbError(err::Generic, "Question " + numQ + " (" + schema::kindName(kind) +
                                    ") does not exist now; a deleted question comes back with undelete. Nothing was changed.");
  ChangeTag tag(conn, "Restore from history");
  Transaction tx(conn);  // the tag's change is this transaction
  engineCall([&] {
    std::string sql = "UPDATE " + sqlIdent(schema::tableName(kind)) + " SET ";
    int n = 0;
    for (const auto& [name, value] : v->fields) {
      if (lower(name) == "numq") continue;
      sql += std::string(n ? ", " : "") + sqlIdent(name) + " = ?" + std::to_string(n + 1);
      ++n;
    }
    auto st = db.prepare(sql + " WHERE numQ = ?" + std::to_string(n + 1) + ";");
    int i = 0;
    for (const auto& [name, value] : v->fields)
      if (lower(name) != "numq") st.bind(++i, value);
    st.bind(n + 1, Value(numQ));
    st.step();
  });
  tx.commit();
  tag.commit();
}

std::vector<TrashEntry> trash(Connection& conn) {
  SqliteDb& db = dbOf(conn);
  return engineCall([&] { return group(trashRows(db)); });
}

std::vector<TrashEntry> entriesFor(Connection& conn, const std::string& arg) {
  SqliteDb& db = dbOf(conn);
  const std::vector<TrashRow> rows = engineCall([&] { return trashRows(db); });
  std::vector<TrashEntry> out;
  for (Kind k : schema::kAllKinds) {
    // The newest deletion of that number, as a question of its own; otherwise the newest
    // deletion of questions of that pool, all of them.
    std::vector<TrashRow> picked;
    for (auto it = rows.rbegin(); it != rows.rend() && picked.empty(); ++it)
      if (it->kind == k && lower(it->numQ) == lower(arg)) picked.push_back(*it);
    if (picked.empty()) {
      long long batch = 0;
      bool found = false;
      for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (it->kind != k || lower(it->pool) != lower(arg)) continue;
        if (!found) batch = it->batch;
        found = true;
        if (it->batch == batch) picked.insert(picked.begin(), *it);
      }
    }
    std::vector<TrashEntry> e = group(picked);
    out.insert(out.end(), e.begin(), e.end());
  }
  return out;
}

std::string undeleteProblem(Connection& conn, const TrashEntry& entry) {
  SqliteDb& db = dbOf(conn);
  std::vector<std::string> taken;
  engineCall([&] {
    if (!tableHere(db, entry.kind)) return;
    for (const std::string& n : entry.numbers)
      if (questionExists(db, entry.kind, n)) taken.push_back(n);
  });
  if (!tableHere(db, entry.kind))
    return std::string("The bank has no ") + schema::tableName(entry.kind) + " table to restore into.";
  if (taken.empty()) return {};
  std::string list;
  for (const std::string& n : taken) list += (list.empty() ? "" : ", ") + n;
  return "The question number" + std::string(taken.size() > 1 ? "s " : " ") + list + (taken.size() > 1 ? " are" : " is") +
         " taken by another question; nothing was restored.";
}

void undelete(Connection& conn, const TrashEntry& entry) {
  if (std::string problem = undeleteProblem(conn, entry); !problem.empty()) throw DbError(err::Generic, problem);
  SqliteDb& db = dbOf(conn);
  ChangeTag tag(conn, "Undelete");
  Transaction tx(conn);
  engineCall([&] {
    const std::string table = schema::tableName(entry.kind);
    std::string names;
    for (const ColumnInfo& c : columnsOf(db, table))
      names += (names.empty() ? "" : ", ") + sqlIdent(c.name);
    for (const std::string& n : entry.numbers) {
      auto pick = db.prepare(
          "SELECT id FROM zx_history WHERE change = 'delete' AND restored = 0 AND coalesce(batch, -id) = ?1 "
          "AND kind = ?2 AND numQ = ?3 ORDER BY id DESC LIMIT 1;");
      pick.bind(1, Value(entry.batch));
      pick.bind(2, Value(schema::kindName(entry.kind)));
      pick.bind(3, Value(n));
      if (!pick.step()) throw DbError(err::Generic, "Question " + n + " is no longer in the trash; nothing was restored.");
      const long long id = pick.column(0).toInt();
      auto put = db.prepare("INSERT INTO " + sqlIdent(table) + " (" + names + ") SELECT " + names + " FROM " +
                            sqlIdent(rowsTable(entry.kind)) + " WHERE id = ?1;");
      put.bind(1, Value(id));
      put.step();
      auto mark = db.prepare("UPDATE zx_history SET restored = 1 WHERE id = ?1;");
      mark.bind(1, Value(id));
      mark.step();
    }
  });
  tx.commit();
  tag.commit();
}

long prune(Connection& conn, const std::string& beforeDate) {
  if (!validDate(beforeDate))
    throw DbError(err::Generic, "'" + beforeDate + "' is not a date of the form YYYY-MM-DD; nothing was pruned.");
  SqliteDb& db = dbOf(conn);
  Transaction tx(conn);
  long gone = engineCall([&] {
    if (!db.tableExists("main", "zx_history")) return 0L;
    for (Kind k : schema::kAllKinds) {
      if (!db.tableExists("main", rowsTable(k))) continue;
      auto st = db.prepare("DELETE FROM " + sqlIdent(rowsTable(k)) +
                           " WHERE id IN (SELECT id FROM zx_history WHERE kind = ?1 AND at < ?2);");
      st.bind(1, Value(schema::kindName(k)));
      st.bind(2, Value(beforeDate));
      st.step();
    }
    auto st = db.prepare("DELETE FROM zx_history WHERE at < ?1;");
    st.bind(1, Value(beforeDate));
    st.step();
    return static_cast<long>(db.changes());
  });
  tx.commit();
  return gone;
}

}  // namespace store::history
