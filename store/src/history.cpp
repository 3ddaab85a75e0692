#include "history.h"

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
  auto st = db.prepare("PRAGMA table_info(" + tableIdent(Dialect::Sqlite, table) + ");");
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
    names += ", " + tableIdent(Dialect::Sqlite, cols[i].name);
    olds += ", OLD." + tableIdent(Dialect::Sqlite, cols[i].name);
    hasPool = hasPool || lower(cols[i].name) == "src";
  }
  return kKeepInsert +
         std::string("zx_history (kind, numQ, pool, change, at, operation, user, machine, batch) VALUES (") +
         textLiteral(schema::kindName(k)) + ", OLD.numQ, " + (hasPool ? "OLD.src" : "NULL") + ", " +
         textLiteral(change) +
         ", strftime('%Y-%m-%d %H:%M:%f', 'now'), "
         "coalesce((SELECT operation FROM zx_change_context), " +
         textLiteral(kAnotherProgram) +
         "), (SELECT user FROM zx_change_context), (SELECT machine FROM zx_change_context), "
         "(SELECT id FROM zx_change_context)); " +
         kKeepInsert + tableIdent(Dialect::Sqlite, rowsTable(k)) + " (id" + names + ") VALUES (last_insert_rowid()" + olds + "); ";
}

// A row's first change within one tagged change is the one kept. The change's number is looked
// up first, so that the probe is one index search however long the row's history is.
std::string firstInChange(Kind k) {
  return "NOT EXISTS (SELECT 1 FROM zx_history h WHERE h.kind = " + textLiteral(schema::kindName(k)) +
         " AND h.numQ = OLD.numQ AND h.batch = (SELECT id FROM zx_change_context))";
}

// The text of a trigger of kind k as this build makes it, from the text an earlier build made:
// the probe that walked every kept version of the row, and inserts that made the engine keep a
// statement journal, are replaced; the rest (the columns kept) stays as it is.
std::string currentTriggerText(Kind k, std::string sql) {
  const std::string slowProbe =
      "NOT EXISTS (SELECT 1 FROM zx_history h JOIN zx_change_context c ON h.batch = c.id WHERE h.kind = " +
      textLiteral(schema::kindName(k)) + " AND h.numQ = OLD.numQ)";
  const std::pair<std::string, std::string> replacements[] = {
      {slowProbe, firstInChange(k)},
      {kEarlierKeepInsert + std::string("zx_history ("), kKeepInsert + std::string("zx_history (")},
      {kEarlierKeepInsert + tableIdent(Dialect::Sqlite, rowsTable(k)) + " (", kKeepInsert + tableIdent(Dialect::Sqlite, rowsTable(k)) + " ("}};
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
    std::string sql = "CREATE TABLE " + tableIdent(Dialect::Sqlite, rowsTable(k)) + " (id INTEGER PRIMARY KEY";
    for (const ColumnInfo& c : cols) sql += ", " + tableIdent(Dialect::Sqlite, c.name) + " " + c.type;
    db.exec(sql + ");");
  }
  if (!triggers.count(lower(updateTrigger(k)))) {
    std::string changed;
    for (const ColumnInfo& c : cols)
      changed += std::string(changed.empty() ? "" : " OR ") + "OLD." + tableIdent(Dialect::Sqlite, c.name) + " IS NOT NEW." +
                 tableIdent(Dialect::Sqlite, c.name) + " COLLATE BINARY";
    db.exec("CREATE TRIGGER " + tableIdent(Dialect::Sqlite, updateTrigger(k)) + " AFTER UPDATE ON " + tableIdent(Dialect::Sqlite, table) + " WHEN (" +
            changed + ") AND " + firstInChange(k) + " BEGIN " + keepOldRow(k, cols, "update") + "END;");
  }
  if (!triggers.count(lower(deleteTrigger(k))))
    db.exec("CREATE TRIGGER " + tableIdent(Dialect::Sqlite, deleteTrigger(k)) + " AFTER DELETE ON " + tableIdent(Dialect::Sqlite, table) + " BEGIN " +
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
  for (const auto& [name, sql] : earlierTriggers(db)) db.exec("DROP TRIGGER " + tableIdent(Dialect::Sqlite, name) + "; " + sql + ";");
}

Kind kindNamed(const std::string& name) {
  if (const std::optional<Kind> k = schema::kindNamed(name)) return *k;
  throw DbError(err::Generic, "The history names an unknown kind '" + name + "'.");
}

template <typename F>
auto engineCall(F&& f) {
  return f();
}

// The readers and writers below run on either engine: the same statements, with each engine's
// names and parameter marks.
struct Sql {
  Engine& e;
  explicit Sql(Connection& conn) : e(conn.session().engine()) {}
  std::string table(const std::string& name) const { return tableIdent(e.dialect(), name); }
  std::string field(const std::string& name) const { return fieldIdent(e.dialect(), name); }
  std::string p(int n) const { return e.param(n); }
};

bool hasTable(Connection& conn, const std::string& name) {
  return engineCall([&] { return conn.session().engine().hasTable(name); });
}

bool questionExists(Connection& conn, Kind k, const std::string& numQ) {
  const Sql q(conn);
  return q.e.query("SELECT 1 FROM " + q.table(schema::tableName(k)) + " WHERE " + q.field("numQ") + " = " + q.p(1),
                   {Value(numQ)})
      ->next();
}

// A kept field under the question table's own name for it (the server keeps names in lower case).
std::string fieldName(Kind k, const std::string& stored) {
  for (const schema::Column& c : schema::questionColumns(k))
    if (lower(c.name) == lower(stored)) return c.name;
  return stored;
}

Version readVersion(EngineRows& r, Kind k) {
  Version v;
  v.kind = k;
  v.id = r.column(0).toInt();
  v.numQ = r.column(1).toString();
  v.change = r.column(2).toString();
  v.at = r.column(3).toString();
  v.operation = r.column(4).toString();
  v.user = r.column(5).toString();
  v.machine = r.column(6).toString();
  for (int i = 8; i < r.columnCount(); ++i) v.fields.emplace_back(fieldName(k, r.columnName(i)), r.column(i));  // 7: d.id
  return v;
}

std::vector<Version> readVersions(Connection& conn, Kind k, const std::string& numQ, long long id) {
  std::vector<Version> out;
  if (!hasTable(conn, rowsTable(k))) return out;
  const Sql q(conn);
  std::vector<Value> params{Value(schema::kindName(k)), Value(numQ)};
  if (id) params.emplace_back(id);
  auto r = q.e.query("SELECT h.id, h." + q.field("numQ") + ", h.change, h.at, h.operation, h." + q.field("user") +
                         ", h.machine, d.* FROM zx_history h JOIN " + q.table(rowsTable(k)) +
                         " d ON d.id = h.id WHERE h.kind = " + q.p(1) + " AND h." + q.field("numQ") + " = " + q.p(2) +
                         (id ? " AND h.id = " + q.p(3) : "") + " ORDER BY h.id DESC",
                     params);
  while (r->next()) out.push_back(readVersion(*r, k));
  return out;
}

struct TrashRow {
  long long id;
  long long batch;
  Kind kind;
  std::string numQ, pool, at, operation, user, machine;
};

std::vector<TrashRow> trashRows(Connection& conn) {
  std::vector<TrashRow> rows;
  if (!hasTable(conn, "zx_history")) return rows;
  const Sql q(conn);
  auto r = q.e.query("SELECT id, coalesce(batch, -id), kind, " + q.field("numQ") + ", pool, at, operation, " +
                     q.field("user") + ", machine FROM zx_history WHERE change = 'delete' AND restored = 0 ORDER BY id");
  while (r->next())
    rows.push_back({r->column(0).toInt(), r->column(1).toInt(), kindNamed(r->column(2).toString()),
                    r->column(3).toString(), r->column(4).toString(), r->column(5).toString(),
                    r->column(6).toString(), r->column(7).toString(), r->column(8).toString()});
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


}  // namespace

// ----- the store's side

void createHistory(Engine& e) { addMissing(sqliteFile(e)); }

bool ensureHistory(Engine& e) {
  SqliteDb& db = sqliteFile(e);
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
  } catch (const DbError& f) {
    // A bank that cannot be written cannot change either: it is read as it is.
    if (f.fault == EngineFault::ReadOnly) return whole;
    throw;
  }
  return true;
}

void writeContext(Engine& e, Tag& tag) {
  SqliteDb& db = sqliteFile(e);
  clearContext(e);
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

void clearContext(Engine& e) { sqliteFile(e).prepareKept("DELETE FROM zx_change_context;").step(); }

// ----- tags

struct ChangeTag::State {
  Session* session;
  Tag tag;
};

ChangeTag::ChangeTag(Connection& conn, std::string operation)
    : conn_(conn), state_(new State{&conn.session(), {std::move(operation), platform::loginName(), platform::machineName()}}) {
  try {
    engineCall([&] { state_->session->pushTag(state_->tag); });
  } catch (...) {
    delete state_;
    throw;
  }
}

void ChangeTag::commit() {
  if (conn_.isOpen() && &conn_.session() == state_->session) engineCall([&] { state_->session->commitTag(state_->tag); });
}

ChangeTag::~ChangeTag() {
  // A connection closed meanwhile took its transaction, and the context row, with it.
  if (conn_.isOpen() && &conn_.session() == state_->session) {
    try {
      state_->session->popTag(state_->tag);
    } catch (const DbError&) {
      // The transaction fails at its commit instead (on a server, a lost connection took it with
      // it); a destructor must not throw.
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
  std::vector<Kind> out;
  const bool kept = hasTable(conn, "zx_history");
  const Sql q(conn);
  for (Kind k : schema::kAllKinds) {
    if (!hasTable(conn, schema::tableName(k))) continue;
    if (questionExists(conn, k, numQ) ||
        (kept && q.e.query("SELECT 1 FROM zx_history WHERE kind = " + q.p(1) + " AND " + q.field("numQ") + " = " + q.p(2),
                           {Value(schema::kindName(k)), Value(numQ)})
                     ->next()))
      out.push_back(k);
  }
  return out;
}

// ----- putting back

void revert(Connection& conn, Kind kind, const std::string& numQ, long long id) {
  std::optional<Version> v = version(conn, kind, numQ, id);
  if (!v)
    throw DbError(err::Generic, "Question " + numQ + " (" + schema::kindName(kind) + ") has no version " +
                                    std::to_string(id) + "; nothing was changed.");
  if (!questionExists(conn, kind, numQ))
    throw DbError(err::Generic, "Question " + numQ + " (" + schema::kindName(kind) +
                                    ") does not exist now; a deleted question comes back with undelete. Nothing was changed.");
  ChangeTag tag(conn, kRestoreFromHistory);
  Transaction tx(conn);  // the tag's change is this transaction
  const Sql q(conn);
  std::string sql = "UPDATE " + q.table(schema::tableName(kind)) + " SET ";
  std::vector<Value> params;
  for (const auto& [name, value] : v->fields) {
    if (lower(name) == "numq") continue;
    params.push_back(value);
    sql += std::string(params.size() > 1 ? ", " : "") + q.field(name) + " = " + q.p(static_cast<int>(params.size()));
  }
  params.emplace_back(numQ);
  // Deleted by another program since it was looked for: nothing to put the version into.
  if (q.e.run(sql + " WHERE " + q.field("numQ") + " = " + q.p(static_cast<int>(params.size())), params) == 0)
    throw DbError(err::RowNotFound, "Question " + numQ + " (" + schema::kindName(kind) +
                                        ") was deleted meanwhile; nothing was changed.");
  tx.commit();
  tag.commit();
}

std::vector<TrashEntry> trash(Connection& conn) { return group(trashRows(conn)); }

std::vector<TrashEntry> entriesFor(Connection& conn, const std::string& arg) {
  const std::vector<TrashRow> rows = trashRows(conn);
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
  if (!hasTable(conn, schema::tableName(entry.kind)))
    return std::string("The bank has no ") + schema::tableName(entry.kind) + " table to restore into.";
  std::vector<std::string> taken;
  for (const std::string& n : entry.numbers)
    if (questionExists(conn, entry.kind, n)) taken.push_back(n);
  if (taken.empty()) return {};
  std::string list;
  for (const std::string& n : taken) list += (list.empty() ? "" : ", ") + n;
  return "The question number" + std::string(taken.size() > 1 ? "s " : " ") + list + (taken.size() > 1 ? " are" : " is") +
         " taken by another question; nothing was restored.";
}

void undelete(Connection& conn, const TrashEntry& entry) {
  if (std::string problem = undeleteProblem(conn, entry); !problem.empty()) throw DbError(err::Generic, problem);
  ChangeTag tag(conn, kUndelete);
  Transaction tx(conn);
  const Sql q(conn);
  const std::string table = schema::tableName(entry.kind);
  std::string names;
  for (const std::string& c : q.e.columnNames("SELECT * FROM " + q.table(table)))
    names += (names.empty() ? "" : ", ") + q.table(c);  // as the table names them
  for (const std::string& n : entry.numbers) {
    auto pick = q.e.query("SELECT id FROM zx_history WHERE change = 'delete' AND restored = 0 AND coalesce(batch, -id) = " +
                              q.p(1) + " AND kind = " + q.p(2) + " AND " + q.field("numQ") + " = " + q.p(3) +
                              " ORDER BY id DESC LIMIT 1",
                          {Value(entry.batch), Value(schema::kindName(entry.kind)), Value(n)});
    if (!pick->next()) throw DbError(err::Generic, "Question " + n + " is no longer in the trash; nothing was restored.");
    const Value id = pick->column(0);
    q.e.run("INSERT INTO " + q.table(table) + " (" + names + ") SELECT " + names + " FROM " +
                q.table(rowsTable(entry.kind)) + " WHERE id = " + q.p(1),
            {id});
    q.e.run("UPDATE zx_history SET restored = 1 WHERE id = " + q.p(1), {id});
  }
  tx.commit();
  tag.commit();
}

bool isCalendarDate(const std::string& d) {
  if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (d[i] < '0' || d[i] > '9') return false;
  const int year = std::stoi(d.substr(0, 4)), month = std::stoi(d.substr(5, 2)), day = std::stoi(d.substr(8, 2));
  if (month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

long prune(Connection& conn, const std::string& beforeDate) {
  if (!isCalendarDate(beforeDate))
    throw DbError(err::Generic, "'" + beforeDate + "' is not a day of the calendar written YYYY-MM-DD; nothing was pruned.");
  if (!hasTable(conn, "zx_history")) return 0;
  Transaction tx(conn);
  const Sql q(conn);
  for (Kind k : schema::kAllKinds)
    if (hasTable(conn, rowsTable(k)))
      q.e.run("DELETE FROM " + q.table(rowsTable(k)) + " WHERE id IN (SELECT id FROM zx_history WHERE kind = " + q.p(1) +
                  " AND at < " + q.p(2) + ")",
              {Value(schema::kindName(k)), Value(beforeDate)});
  const long gone = static_cast<long>(q.e.run("DELETE FROM zx_history WHERE at < " + q.p(1), {Value(beforeDate)}));
  tx.commit();
  return gone;
}

}  // namespace store::history
