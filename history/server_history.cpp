// The history on a bank on a PostgreSQL server: the same zx_ tables as on a file, filled by
// PL/pgSQL triggers of the server itself, so that a change by any client (psql included) is
// kept in the transaction that makes it.
//
// Editors may not write the zx_ tables (the README's grants): the trigger functions run with the
// rights of the bank's owner (SECURITY DEFINER), and so does the one function that hands out a
// change's number. What a client cannot forge comes from the server, never from a setting: the
// user is the session's role, and a question keeps one version per transaction, recognised by the
// transaction's own number. What the program tells the triggers travels in transaction-local
// settings (set_config(..., true)), which vanish with the transaction: the operation, the machine
// and the change's number. The number is trusted only when the server handed it out and no other
// user's change carries it; otherwise the change counts as another program's.
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
// update that changes nothing (compared as texts: a case change is a change) is not kept, nor a
// row that the same transaction has kept already: a version is always a state that was committed.
// A row deleted after its version was kept in the same transaction turns that version into its
// deletion, so that the trash still holds it.
std::string keepFunctionSql(Kind k) {
  const std::string kind = quoted(schema::kindName(k));
  std::string names, olds;
  for (const schema::Column& c : schema::questionColumns(k)) {
    names += ", " + fieldIdent(kPg, c.name);
    olds += ", OLD." + fieldIdent(kPg, c.name);
  }
  return "CREATE OR REPLACE FUNCTION public." + tableIdent(kPg, keepFunction(k)) +
         "() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $f$\n"
         "DECLARE\n"
         "  x bigint := txid_current();\n"
         "  b bigint := public.zx_change_of(current_setting('zorbex.batch', true));\n"
         "  v bigint;\n"
         "BEGIN\n"
         "  IF TG_OP = 'UPDATE' AND OLD::text IS NOT DISTINCT FROM NEW::text THEN RETURN NULL; END IF;\n"
         "  SELECT h.id INTO v FROM public.zx_history h WHERE h.xact = x AND h.kind = " + kind +
         " AND h.numq = OLD.numq ORDER BY h.id LIMIT 1;\n"
         "  IF v IS NOT NULL THEN\n"
         "    IF TG_OP = 'DELETE' THEN UPDATE public.zx_history SET change = 'delete' WHERE id = v; END IF;\n"
         "    RETURN NULL;\n"
         "  END IF;\n"
         "  INSERT INTO public.zx_history (kind, numq, pool, change, at, operation, \"user\", machine, batch, xact)\n"
         "  VALUES (" + kind + ", OLD.numq, " + (hasPool(k) ? "OLD.src" : "NULL") +
         ", lower(TG_OP), to_char(clock_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS.MS'),\n"
         "          CASE WHEN b IS NULL THEN " + quoted(kAnotherProgram) +
         " ELSE coalesce(nullif(current_setting('zorbex.operation', true), ''), " + quoted(kAnotherProgram) + ") END,\n"
         "          session_user::text,\n"
         "          CASE WHEN b IS NULL THEN host(inet_client_addr()) ELSE nullif(current_setting('zorbex.machine', true), '') END,\n"
         "          b, x)\n"
         "  RETURNING id INTO v;\n"
         "  INSERT INTO public." + tableIdent(kPg, rowsTable(k)) + " (id" + names + ") VALUES (v" + olds + ");\n"
         "  RETURN NULL;\n"
         "END $f$;\n";
}

std::string triggerName(Kind k, const char* change) { return rowsTable(k) + "_" + change; }

constexpr int kTriggersPerKind = 2;

// For zx_history_restored: whether question n of kind k stands in its table.
std::string questionStandsCases() {
  std::string cases;
  for (Kind k : schema::kAllKinds)
    cases += "    WHEN " + quoted(schema::kindName(k)) + " THEN EXISTS (SELECT 1 FROM public." +
             tableIdent(kPg, schema::tableName(k)) + " WHERE numq = n)\n";
  return cases;
}

// The history's tables, trigger functions and triggers; what exists is made again as this
// program makes it, so that the same statements make a new bank's and upgrade an older one's.
std::string serverHistorySql() {
  std::string sql =
      "CREATE SEQUENCE IF NOT EXISTS public.zx_change_batch;\n"
      "CREATE TABLE IF NOT EXISTS public.zx_history (id bigserial PRIMARY KEY, kind text NOT NULL, numq citext, "
      "pool citext, change text NOT NULL, at text NOT NULL, operation text NOT NULL, \"user\" text, machine text, "
      "batch bigint, restored bigint NOT NULL DEFAULT 0);\n"
      "CREATE INDEX IF NOT EXISTS zx_history_question ON public.zx_history (kind, numq, batch);\n"
      "CREATE INDEX IF NOT EXISTS zx_history_trash ON public.zx_history (batch) WHERE change = 'delete' AND restored = 0;\n"
      // The transaction that kept a version (the server's own number for it), which the copies
      // of the bank do not carry.
      "ALTER TABLE public.zx_history ADD COLUMN IF NOT EXISTS xact bigint;\n"
      "CREATE INDEX IF NOT EXISTS zx_history_xact ON public.zx_history (xact) WHERE xact IS NOT NULL;\n"
      "CREATE INDEX IF NOT EXISTS zx_history_batch ON public.zx_history (batch);\n"
      // A change's number, handed out with the owner's rights: editors may not use the sequence.
      "CREATE OR REPLACE FUNCTION public.zx_next_change() RETURNS bigint LANGUAGE sql SECURITY DEFINER "
      "SET search_path = public, pg_temp AS $f$ SELECT nextval('public.zx_change_batch') $f$;\n"
      // The change's number that a client's setting names, when it is one that the server handed
      // out and that no other user's change carries; null otherwise.
      "CREATE OR REPLACE FUNCTION public.zx_change_of(setting text) RETURNS bigint LANGUAGE plpgsql STABLE "
      "SECURITY DEFINER SET search_path = public, pg_temp AS $f$\n"
      "DECLARE b bigint;\n"
      "BEGIN\n"
      "  IF setting IS NULL OR setting !~ '^[0-9]{1,18}$' THEN RETURN NULL; END IF;\n"
      "  b := setting::bigint;\n"
      "  IF b > (SELECT last_value FROM public.zx_change_batch) THEN RETURN NULL; END IF;\n"
      "  IF EXISTS (SELECT 1 FROM public.zx_history h WHERE h.batch = b AND h.\"user\" IS DISTINCT FROM session_user::text)\n"
      "    THEN RETURN NULL; END IF;\n"
      "  RETURN b;\n"
      "END $f$;\n"
      // Marks a trash entry's version restored, once its question stands in the bank again.
      "CREATE OR REPLACE FUNCTION public.zx_history_restored(version bigint) RETURNS boolean LANGUAGE plpgsql "
      "SECURITY DEFINER SET search_path = public, pg_temp AS $f$\n"
      "DECLARE k text; n text; found boolean;\n"
      "BEGIN\n"
      "  SELECT kind, numq INTO k, n FROM public.zx_history WHERE id = version AND change = 'delete' AND restored = 0;\n"
      "  IF k IS NULL THEN RETURN false; END IF;\n"
      "  found := CASE k\n" + questionStandsCases() +
      "  ELSE false END;\n"
      "  IF NOT found THEN RETURN false; END IF;\n"
      "  UPDATE public.zx_history SET restored = 1 WHERE id = version;\n"
      "  RETURN true;\n"
      "END $f$;\n";
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
    if (version == 0) return {};
    if (!present()) return {"the history lacks tables or triggers (open the bank for writing to add them)"};
    // Functions that run with the writer's rights need editors who may write the history.
    auto r = e_.query(
        "SELECT count(*) FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = 'public' "
        "AND (p.proname LIKE 'zx\\_history\\_%\\_keep' OR p.proname IN ('zx_next_change', 'zx_change_of', "
        "'zx_history_restored')) AND p.prosecdef");
    const long long expected = static_cast<long long>(schema::kAllKinds.size()) + 3;
    if (r->next() && r->column(0).toInt() != expected)
      return {"the history's functions do not all run with the owner's rights (open the bank as its owner to make them again)"};
    return {};
  }

  bool keepsChanges() const override { return true; }

  void changeWriting(TaggedChange& change) override {
    auto r = e_.query(
        "SELECT set_config('zorbex.batch', coalesce($1::bigint, public.zx_next_change())::text, true), "
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
