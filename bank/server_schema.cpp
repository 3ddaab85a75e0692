// The bank on a PostgreSQL server: the same tables and fields as a new bank file, the user tables
// in their own schema, and the links between them.
#include <string>

#include "db_error.h"
#include "dialect.h"
#include "engine.h"
#include "extension.h"
#include "schema.h"
#include "connection.h"

namespace bank::schema {

// The bank is built of the store's connections, engines and values.
using namespace store;

namespace {

// The server's type for a field declared for the file's engine: text compared without regard
// to case is citext, as COLLATE NOCASE is on the file.
std::string serverType(const std::string& fileType) {
  std::string unique = fileType.find("UNIQUE") != std::string::npos ? " UNIQUE" : "";
  if (fileType.rfind("TEXT COLLATE NOCASE", 0) == 0) return "citext" + unique;
  if (fileType.rfind("TEXT", 0) == 0) return "text" + unique;
  if (fileType.rfind("REAL", 0) == 0) return "double precision" + unique;
  if (fileType.rfind("INTEGER", 0) == 0) return "bigint" + unique;
  throw DbError(err::Generic, "The field type '" + fileType + "' has no counterpart on the server.");
}

std::string createTable(const std::string& schemaName, const TableSpec& t) {
  const Dialect d = Dialect::Postgres;
  std::string sql = "CREATE TABLE " + tableIdent(d, schemaName) + "." + tableIdent(d, t.name) + " (";
  for (size_t i = 0; i < t.columns.size(); ++i)
    sql += (i ? ", " : "") + fieldIdent(d, t.columns[i].name) + " " + serverType(t.columns[i].type);
  return sql + ");\n";
}

// Jet's + on values whose type shows only when a statement runs: texts join, numbers add, a
// text that holds a number adds to a number, any other text beside a number is a type mismatch.
// (The file's engine has these as functions of the program; the server keeps them in the bank.)
const char* const kJetFunctions = R"(
CREATE FUNCTION public.zx_number(a text) RETURNS double precision LANGUAGE plpgsql IMMUTABLE STRICT AS $f$
BEGIN
  IF btrim(a, ' ') ~ '^[+-]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][+-]?[0-9]+)?$' THEN
    RETURN btrim(a, ' ')::double precision;
  END IF;
  RAISE EXCEPTION 'Type mismatch in expression.';
END $f$;
CREATE FUNCTION public.zx_add(a text, b text) RETURNS text LANGUAGE sql IMMUTABLE STRICT AS 'SELECT a || b';
CREATE FUNCTION public.zx_add(a double precision, b double precision) RETURNS double precision
  LANGUAGE sql IMMUTABLE STRICT AS 'SELECT a + b';
CREATE FUNCTION public.zx_add(a text, b double precision) RETURNS double precision
  LANGUAGE sql IMMUTABLE STRICT AS 'SELECT public.zx_number(a) + b';
CREATE FUNCTION public.zx_add(a double precision, b text) RETURNS double precision
  LANGUAGE sql IMMUTABLE STRICT AS 'SELECT a + public.zx_number(b)';
)";

}  // namespace

void requireEmptyServerDatabase(Engine& db) {
  auto taken = db.query("SELECT count(*) FROM pg_tables WHERE schemaname IN ('public', $1)", {Value(kUserSchema)});
  if (taken->next() && taken->column(0).toInt() != 0)
    throw DbError(err::Generic, "The database " + db.location() + " already holds tables; a bank is made only in an "
                                "empty database. Nothing was changed.");
}

std::string serverBankSql() {
  const Dialect d = Dialect::Postgres;
  std::string sql = "CREATE EXTENSION IF NOT EXISTS citext SCHEMA public;\n";
  sql += kJetFunctions;
  sql += "CREATE TABLE public.zx_tabledefs (name citext PRIMARY KEY, attributes bigint NOT NULL DEFAULT 0, "
         "connect text, source_table text);\n";
  for (const TableSpec& t : bankTables()) {
    sql += createTable("public", t);
    if (t.columns.size() > 1 && t.columns[1].name == "src")
      sql += "CREATE INDEX " + tableIdent(d, t.name + "_src") + " ON public." + tableIdent(d, t.name) + " (src);\n";
  }
  sql += "CREATE SCHEMA " + tableIdent(d, kUserSchema) + ";\n";
  sql += "CREATE TABLE " + tableIdent(d, kUserSchema) + ".zx_tabledefs (LIKE public.zx_tabledefs INCLUDING ALL);\n";
  for (const TableSpec& t : userTables()) sql += createTable(kUserSchema, t);
  sql += "CREATE INDEX tblmemo_numq ON " + tableIdent(d, kUserSchema) + ".\"tblMemo\" (numq);\n";
  for (const char* link : kLinkedUserTables)
    sql += std::string("INSERT INTO public.zx_tabledefs (name, attributes, connect, source_table) VALUES ('") + link +
           "', " + std::to_string(0x40000000L) + ", '" + serverUserLinkConnect() + "', '" + link + "');\n";
  return sql;
}

void createServerBank(const std::string& conninfo) {
  auto db = connectServerEngine(conninfo, "public");
  requireEmptyServerDatabase(*db);
  db->begin();
  db->script(serverBankSql());
  createExtensions(*db);
  db->commit();
  noteCatalogChanged();
}

std::string serverUserLinkConnect() { return std::string(";SCHEMA=") + kUserSchema + ";"; }

}  // namespace bank::schema
