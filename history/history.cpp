#include "history.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "db_error.h"
#include "engine.h"
#include "history_backends.h"
#include "schema.h"

namespace history {

using schema::Kind;
using store::DbError;
using store::EngineRows;
using store::Transaction;
namespace err = store::err;

// ----- names

std::string rowsTable(Kind k) { return std::string("zx_history_") + schema::kindName(k); }

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<store::ExtensionTable> historyTables() {
  const char* text = "TEXT";
  const char* nocase = "TEXT COLLATE NOCASE";
  std::vector<store::ExtensionTable> t{{"zx_history",
                                        {{"id", "INTEGER"},
                                         {"kind", text},
                                         {"numQ", nocase},
                                         {"pool", nocase},
                                         {"change", text},
                                         {"at", text},
                                         {"operation", text},
                                         {"user", text},
                                         {"machine", text},
                                         {"batch", "INTEGER"},
                                         {"restored", "INTEGER"}}}};
  for (Kind k : schema::kAllKinds) {
    store::ExtensionTable rows{rowsTable(k), {{"id", "INTEGER"}}};
    for (const schema::Column& c : schema::questionColumns(k)) rows.columns.push_back({c.name, c.type});
    t.push_back(std::move(rows));
  }
  return t;
}

// ----- the extension

namespace {

// Version 1: the tables and triggers, recorded in the bank's table of versions. A bank that
// records none was made, or last upgraded, before that table existed; its triggers may still have
// an earlier text, which its first writable open replaces.
// Version 2: on a server, the history is kept by functions with the owner's rights, under the
// session's role and one version per question per transaction; on a file, the triggers are
// checked against their text as this program makes it.
class HistoryExtension : public store::Extension {
 public:
  std::string name() const override { return "history"; }
  int version() const override { return 2; }
  std::unique_ptr<store::ExtensionBackend> backendFor(store::Engine& e) const override {
    return e.dialect() == store::Dialect::Postgres ? serverBackend(e) : fileBackend(e);
  }
  std::vector<store::ExtensionTable> tables() const override { return historyTables(); }
  // A bank moved to a server keeps its past; a published file is a fresh start for the test
  // application, which keeps no history of its own.
  bool carriedByPush() const override { return true; }
  bool carriedByPublish() const override { return false; }
};

}  // namespace

const store::Extension& extension() {
  static const HistoryExtension ext;
  return ext;
}

namespace {

Kind kindNamed(const std::string& name) {
  if (const std::optional<Kind> k = schema::kindNamed(name)) return *k;
  throw DbError(err::Generic, "The history names an unknown kind '" + name + "'.");
}

// The readers and writers below run on either engine: the same statements, with each engine's
// names and parameter marks.
struct Sql {
  store::Engine& e;
  explicit Sql(Connection& conn) : e(conn.engine()) {}
  std::string table(const std::string& name) const { return tableIdent(e.dialect(), name); }
  std::string field(const std::string& name) const { return fieldIdent(e.dialect(), name); }
  std::string p(int n) const { return e.param(n); }
};

bool hasTable(Connection& conn, const std::string& name) { return conn.engine().hasTable(name); }

// Takes a restored version out of the trash. Editors may not write the server's history: a
// function with the owner's rights does it there, once the question stands in the bank again.
void markRestored(store::Engine& e, const Value& id) {
  if (e.dialect() == store::Dialect::Postgres) {
    auto r = e.query("SELECT public.zx_history_restored($1::bigint)::int", {id});
    if (r->next() && r->column(0).toInt() != 0) return;
    throw DbError(err::Generic, "The trash entry could not be marked restored; nothing was restored.");
  }
  e.run("UPDATE zx_history SET restored = 1 WHERE id = ?1", {id});
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
    const long long restored = hasTable(conn, rowsTable(entry.kind))
                                   ? q.e.run("INSERT INTO " + q.table(table) + " (" + names + ") SELECT " + names +
                                                 " FROM " + q.table(rowsTable(entry.kind)) + " WHERE id = " + q.p(1),
                                             {id})
                                   : 0;
    // Another program may have dropped or emptied the kept rows: the entry is still listed, but
    // there is nothing to bring back.
    if (restored != 1)
      throw DbError(err::Generic, std::string("Nothing was restored: the versions of ") + schema::kindName(entry.kind) +
                                      " are gone (question " + n + ").");
    markRestored(q.e, id);
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

}  // namespace history
