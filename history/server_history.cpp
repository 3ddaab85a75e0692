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
#include "history_backends.h"
#include "schema.h"
#include "text.h"

namespace history {

namespace {

using schema::Kind;
using store::Engine;
using store::TaggedChange;
using store::Value;

constexpr store::Dialect kPg = store::Dialect::Postgres;

std::string keepFunction(Kind k) { return rowsTable(k) + "_keep"; }

std::string quoted(const std::string& s) { return "'" + s + "'"; }  // our own names and words only

bool hasPool(Kind k) {
  for (const schema::Column& c : schema::questionColumns(k))
    if (lower(c.name) == "src") return true;
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

// The history's tables, trigger functions and triggers; what exists is made again as this
// program makes it, so that the same statements make a new bank's and upgrade an older one's.
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

// The server's numbering of versions and changes follows the copied ones.
const char* const kNumbersFollowSql =
    "SELECT setval('public.zx_history_id_seq', coalesce(max(id), 0) + 1, false), "
    "setval('public.zx_change_batch', coalesce(max(batch), 0) + 1, false) FROM public.zx_history";

// The change context travels in transaction-local settings (see the top of this file).
class ServerHistory : public store::ExtensionBackend {
 public:
  explicit ServerHistory(Engine& e) : e_(e) {}

  // A database without the bank's question tables (the user tables' schema, say) keeps none.
  bool appliesTo() override {
    std::string names;
    for (Kind k : schema::kAllKinds) names += std::string(names.empty() ? "" : ", ") + quoted(schema::tableName(k));
    auto tables = e_.query("SELECT count(*) FROM pg_tables WHERE schemaname = 'public' AND tablename IN (" + names + ")");
    return tables->next() && tables->column(0).toInt() == static_cast<long long>(schema::kAllKinds.size());
  }

  void create() override { e_.script(serverHistorySql()); }

  bool present() override {
    auto r = e_.query(
        "SELECT to_regclass('public.zx_history') IS NOT NULL AND to_regclass('public.zx_change_batch') IS NOT NULL "
        "AND (SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid JOIN pg_namespace n ON "
        "n.oid = c.relnamespace WHERE n.nspname = 'public' AND t.tgname LIKE 'zx\\_history\\_%' AND NOT t.tgisinternal) = " +
        std::to_string(kTriggersPerKind * static_cast<int>(schema::kAllKinds.size())));
    return r->next() && r->column(0).toInt() != 0;
  }

  void upgrade(int /*from*/) override { e_.script(serverHistorySql()); }

  std::vector<std::string> problems(int version) override {
    if (version == 0 || present()) return {};
    return {"the history lacks tables or triggers (open the bank for writing to add them)"};
  }

  bool keepsChanges() const override { return true; }

  void changeWriting(TaggedChange& change) override {
    auto r = e_.query(
        "SELECT set_config('zorbex.batch', coalesce($1::bigint, nextval('public.zx_change_batch'))::text, true), "
        "set_config('zorbex.operation', $2, true), set_config('zorbex.user', $3, true), "
        "set_config('zorbex.machine', $4, true)",
        {change.batch ? Value(change.batch) : Value(), Value(change.operation), Value(change.user),
         Value(change.machine)});
    r->next();
    if (!change.batch) {
      change.batch = std::stoll(r->column(0).toString());
      change.batchFresh = true;
    }
  }

  // The settings end with the transaction by themselves: only a transaction that goes on after
  // its last tag forgets them here.
  void changeEnded(bool committing) override {
    if (committing) return;
    e_.run("SELECT set_config('zorbex.batch', '', true), set_config('zorbex.operation', '', true), "
           "set_config('zorbex.user', '', true), set_config('zorbex.machine', '', true)");
  }

  void copied() override { e_.run(kNumbersFollowSql); }

 private:
  Engine& e_;
};

}  // namespace

std::unique_ptr<store::ExtensionBackend> serverBackend(Engine& e) { return std::make_unique<ServerHistory>(e); }

}  // namespace history
