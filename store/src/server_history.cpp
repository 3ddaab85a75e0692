// The history on a bank on a PostgreSQL server: the same zx_ tables as on a file, filled by
// PL/pgSQL triggers of the server itself, so that a change by any client (psql included) is
// kept in the transaction that makes it.
//
// The change context travels in transaction-local settings (set_config(..., true)) that the
// triggers read with current_setting(..., true): they are seen only by the transaction that
// set them and vanish with its end (commit, rollback, a lost connection), so nothing is ever
// left behind for another client to read. A context row in a shared table would work too (each
// transaction sees only its own row), but every change would then write and delete a row of
// one table that all editors share, and a serializable edition would read it beside every
// other editor's writes.
#include <string>
#include <vector>

#include "db_error.h"
#include "history.h"
#include "history_context.h"
#include "jet_sql.h"
#include "pg_db.h"
#include "schema.h"
#include "text.h"

namespace store::history {

namespace {

using schema::Kind;

constexpr Dialect kPg = Dialect::Postgres;

std::string rowsTable(Kind k) { return std::string("zx_history_") + schema::kindName(k); }
std::string keepFunction(Kind k) { return rowsTable(k) + "_keep"; }

std::string quoted(const std::string& s) { return "'" + s + "'"; }  // our own names and words only

bool hasPool(Kind k) {
  for (const schema::Column& c : schema::questionColumns(k))
    if (lowerAscii(c.name) == "src") return true;
  return false;
}

// What a change of a row of kind k keeps: the meta row, then the row itself under its id. An
// update that changes nothing (compared as texts: a case change is a change) is not kept, nor
// a row that the same tagged change has kept already. Another client's change names its role.
std::string keepFunctionSql(Kind k) {
  const std::string kind = quoted(schema::kindName(k));
  std::string names, olds;
  for (const schema::Column& c : schema::questionColumns(k)) {
    names += ", " + fieldIdent(kPg, c.name);
    olds += ", OLD." + fieldIdent(kPg, c.name);
  }
  return "CREATE OR REPLACE FUNCTION public." + tableIdent(kPg, keepFunction(k)) +
         "() RETURNS trigger LANGUAGE plpgsql AS $f$\n"
         "DECLARE\n"
         "  b bigint := nullif(current_setting('zorbex.batch', true), '')::bigint;\n"
         "  v bigint;\n"
         "BEGIN\n"
         "  IF TG_OP = 'UPDATE' THEN\n"
         "    IF OLD::text IS NOT DISTINCT FROM NEW::text THEN RETURN NULL; END IF;\n"
         "    IF b IS NOT NULL AND EXISTS (SELECT 1 FROM public.zx_history h WHERE h.kind = " + kind +
         " AND h.numq = OLD.numq AND h.batch = b) THEN RETURN NULL; END IF;\n"
         "  END IF;\n"
         "  INSERT INTO public.zx_history (kind, numq, pool, change, at, operation, \"user\", machine, batch)\n"
         "  VALUES (" + kind + ", OLD.numq, " + (hasPool(k) ? "OLD.src" : "NULL") +
         ", lower(TG_OP), to_char(clock_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS.MS'),\n"
         "          coalesce(nullif(current_setting('zorbex.operation', true), ''), " + quoted(kAnotherProgram) + "),\n"
         "          CASE WHEN b IS NULL THEN session_user::text ELSE nullif(current_setting('zorbex.user', true), '') END,\n"
         "          CASE WHEN b IS NULL THEN host(inet_client_addr()) ELSE nullif(current_setting('zorbex.machine', true), '') END,\n"
         "          b)\n"
         "  RETURNING id INTO v;\n"
         "  INSERT INTO public." + tableIdent(kPg, rowsTable(k)) + " (id" + names + ") VALUES (v" + olds + ");\n"
         "  RETURN NULL;\n"
         "END $f$;\n";
}

std::string triggerName(Kind k, const char* change) { return rowsTable(k) + "_" + change; }

constexpr int kTriggersPerKind = 2;

}  // namespace

std::string serverHistorySql() {
  std::string sql =
      "CREATE SEQUENCE IF NOT EXISTS public.zx_change_batch;\n"
      "CREATE TABLE IF NOT EXISTS public.zx_history (id bigserial PRIMARY KEY, kind text NOT NULL, numq citext, "
      "pool citext, change text NOT NULL, at text NOT NULL, operation text NOT NULL, \"user\" text, machine text, "
      "batch bigint, restored bigint NOT NULL DEFAULT 0);\n"
      "CREATE INDEX IF NOT EXISTS zx_history_question ON public.zx_history (kind, numq, batch);\n"
      "CREATE INDEX IF NOT EXISTS zx_history_trash ON public.zx_history (batch) WHERE change = 'delete' AND restored = 0;\n";
  for (Kind k : schema::kAllKinds) {
    const std::string table = "public." + tableIdent(kPg, schema::tableName(k));
    // The question table's fields and types; its unique number is not unique among versions.
    sql += "CREATE TABLE IF NOT EXISTS public." + tableIdent(kPg, rowsTable(k)) + " (id bigint PRIMARY KEY, LIKE " +
           table + ");\n";
    sql += keepFunctionSql(k);
    for (const char* change : {"update", "delete"}) {
      const std::string trigger = tableIdent(kPg, triggerName(k, change));
      sql += "DROP TRIGGER IF EXISTS " + trigger + " ON " + table + ";\n";
      sql += "CREATE TRIGGER " + trigger + " AFTER " + (std::string(change) == "update" ? "UPDATE" : "DELETE") + " ON " +
             table + " FOR EACH ROW EXECUTE FUNCTION public." + tableIdent(kPg, keepFunction(k)) + "();\n";
    }
  }
  return sql;
}

const std::vector<schema::TableSpec>& historyTables() {
  static const std::vector<schema::TableSpec> tables = [] {
    const char* text = "TEXT";
    const char* nocase = "TEXT COLLATE NOCASE";
    std::vector<schema::TableSpec> t{{"zx_history",
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
      schema::TableSpec rows{rowsTable(k), {{"id", "INTEGER"}}};
      for (const schema::Column& c : schema::questionColumns(k)) rows.columns.push_back(c);
      t.push_back(std::move(rows));
    }
    return t;
  }();
  return tables;
}

std::string serverHistoryNumbersSql() {
  return "SELECT setval('public.zx_history_id_seq', coalesce(max(id), 0) + 1, false), "
         "setval('public.zx_change_batch', coalesce(max(batch), 0) + 1, false) FROM public.zx_history";
}

bool ensureServerHistory(Engine& db) {
  auto whole = [&] {
    auto r = db.query(
        "SELECT to_regclass('public.zx_history') IS NOT NULL AND to_regclass('public.zx_change_batch') IS NOT NULL "
        "AND (SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid JOIN pg_namespace n ON "
        "n.oid = c.relnamespace WHERE n.nspname = 'public' AND t.tgname LIKE 'zx\\_history\\_%' AND NOT t.tgisinternal) = " +
        std::to_string(kTriggersPerKind * static_cast<int>(schema::kAllKinds.size())));
    return r->next() && r->column(0).toInt() != 0;
  };
  if (whole()) return true;
  // A database without the bank's question tables (the user tables' schema, say) keeps none.
  std::string names;
  for (Kind k : schema::kAllKinds) names += std::string(names.empty() ? "" : ", ") + quoted(schema::tableName(k));
  auto tables = db.query("SELECT count(*) FROM pg_tables WHERE schemaname = 'public' AND tablename IN (" + names + ")");
  if (!tables->next() || tables->column(0).toInt() != static_cast<long long>(schema::kAllKinds.size())) return false;
  try {
    // One editor adds it while another that opens the bank at the same moment waits.
    db.script("BEGIN; SELECT pg_advisory_xact_lock(hashtext('zx_history')); " + serverHistorySql() + "COMMIT;");
  } catch (const DbError& e) {
    if (db.inTransaction()) db.script("ROLLBACK;");
    // A role that may not add it reads the bank as it is.
    if (e.number == err::ReadOnly) return false;
    throw;
  }
  return true;
}

void writeServerContext(Engine& e, Tag& tag) {
  auto r = e.query(
      "SELECT set_config('zorbex.batch', coalesce($1::bigint, nextval('public.zx_change_batch'))::text, true), "
      "set_config('zorbex.operation', $2, true), set_config('zorbex.user', $3, true), "
      "set_config('zorbex.machine', $4, true)",
      {tag.batch ? Value(tag.batch) : Value(), Value(tag.operation), Value(tag.user), Value(tag.machine)});
  r->next();
  if (!tag.batch) {
    tag.batch = std::stoll(r->column(0).toString());
    tag.batchFresh = true;
  }
}

void clearServerContext(Engine& e) {
  e.run("SELECT set_config('zorbex.batch', '', true), set_config('zorbex.operation', '', true), "
        "set_config('zorbex.user', '', true), set_config('zorbex.machine', '', true)");
}

}  // namespace store::history
