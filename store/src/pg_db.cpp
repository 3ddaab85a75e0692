#include "pg_db.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "connection.h"
#include "db_error.h"
#include "text.h"

namespace store {

namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '.')) s.pop_back();
  return s;
}

// Type numbers of the server's built-in types that come back as numbers.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
              kNumeric = 1700;

Value valueOf(const PGresult* r, int row, int col) {
  if (PQgetisnull(r, row, col)) return Value();
  const char* text = PQgetvalue(r, row, col);
  const size_t size = static_cast<size_t>(PQgetlength(r, row, col));
  switch (PQftype(r, col)) {
    case kBool:
      return Value(text[0] == 't' ? -1 : 0);  // Jet's True
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid: {
      long long v = 0;
      std::from_chars(text, text + size, v);
      return Value(v);
    }
    case kFloat4:
    case kFloat8:
    case kNumeric: {
      double v = 0;
      std::from_chars(text, text + size, v);  // the server writes numbers without the locale
      return Value(v);
    }
    default:
      return Value(std::string(text, size));
  }
}

class PgRows : public EngineRows {
 public:
  explicit PgRows(Result r) : r_(std::move(r)) {}
  bool next() override { return ++row_ < PQntuples(r_.get()); }
  int columnCount() const override { return PQnfields(r_.get()); }
  std::string columnName(int i) const override { return PQfname(r_.get(), i); }
  Value column(int i) const override { return valueOf(r_.get(), row_, i); }

 private:
  Result r_;
  int row_ = -1;
};

std::string nameOf(PGconn* c) {
  std::string db = PQdb(c) ? PQdb(c) : "";
  std::string host = PQhost(c) ? PQhost(c) : "";
  std::string port = PQport(c) ? PQport(c) : "";
  return "'" + db + "' on " + (host.empty() ? "the local server" : host) + (port.empty() ? "" : ":" + port);
}

}  // namespace

std::string serverTimeout(const char* variable) {
  const char* set = std::getenv(variable);
  const std::string value = set && *set ? set : std::strcmp(variable, kLockTimeoutVariable) == 0 ? "10s" : "5min";
  const size_t digits = value.find_first_not_of("0123456789");
  const std::string unit = digits == std::string::npos ? "" : value.substr(digits);
  if (digits == 0 || !(unit.empty() || unit == "ms" || unit == "s" || unit == "min" || unit == "h"))
    throw DbError(err::Generic, std::string(variable) + " is '" + value + "'; it must be a time such as 10s, 500ms or 5min.");
  return value;
}

DbError heldTooLong(const std::string& what, const std::string& holder) {
  if (holder.empty()) return DbError(err::Locked, what + "; nothing was changed. Try again when it has finished.");
  return DbError(err::Locked, what + ": " + holder + ". Nothing was changed; try again when it has finished.");
}

bool isServerUri(const std::string& name) {
  return name.rfind("postgresql://", 0) == 0 || name.rfind("postgres://", 0) == 0;
}

DbError serverError(const std::string& sqlstate, const std::string& message, const std::string& server) {
  const std::string m = trimmed(message);
  const std::string cls = sqlstate.substr(0, 2);
  if (sqlstate == "23505")
    return DbError(err::Generic, std::string(kRepeatedValue) + " (" + m + ").");
  if (sqlstate == "23502") return DbError(err::FieldRequired, "A field that cannot be left empty got Null (" + m + ").");
  if (cls == "23") return DbError(err::Generic, "The changes were not made because they break a rule of the table (" + m + ").");
  if (sqlstate == "42P01") return DbError(err::TableNotFound, "The table or query could not be found (" + m + ").");
  if (sqlstate == "42703") return DbError(err::MissingParameter, "A field is not known to the table (" + m + ").");
  if (sqlstate == "42P07") return DbError(err::CommandError, "The " + m + ".");
  if (sqlstate == "42601") return DbError(err::CommandError, "Syntax error in the SQL statement (" + m + ").");
  if (sqlstate == "55P03" || sqlstate == "57014")
    return heldTooLong(std::string(kHeldTooLong) + " (the " +
                           (sqlstate == "55P03" ? "lock timeout of " + serverTimeout(kLockTimeoutVariable)
                                                : "statement timeout of " + serverTimeout(kStatementTimeoutVariable)) +
                           " passed)",
                       "");
  if (sqlstate == "40001" || sqlstate == "40P01")
    return DbError(err::Locked, "The bank is busy with another editor's change; try again (" + m + ").");
  if (sqlstate == "25006" || sqlstate == "42501")
    return DbError(err::ReadOnly, "The bank cannot be changed through this connection (" + m + ").");
  if (sqlstate == "53100") return DbError(err::DiskFull, "The server's disk is full: the change was not written (" + m + ").");
  if (cls == "XX" && sqlstate != "XX000") return DbError(err::Damaged, "The server reports damaged data (" + m + ").");
  // The client's own text of a lost connection runs over several indented lines: the program says it.
  if (cls == "08" || cls == "57")
    return DbError(err::ServerUnreachable, "The connection to the server " + server +
                                               " was lost; the change was not made. The next action connects again.");
  return DbError(err::Generic, "The database engine reported: " + m + ".");
}

PgDb::PgDb(pg_conn* conn, std::string name, std::string schema)
    : conn_(conn), name_(std::move(name)), schema_(std::move(schema)) {}

PgDb::~PgDb() { PQfinish(conn_); }

std::unique_ptr<PgDb> PgDb::connect(const std::string& conninfo, const std::string& schema) {
  // The bank's sessions show by name to the server's administrators (and in our own message of a
  // session that holds a table); a name in the connection string wins.
  const char* keywords[] = {"dbname", "fallback_application_name", nullptr};
  const std::string client = serverClientName();
  const char* values[] = {conninfo.c_str(), client.c_str(), nullptr};
  PGconn* c = PQconnectdbParams(keywords, values, 1);
  std::unique_ptr<PgDb> db(new PgDb(c, c ? nameOf(c) : "", schema));
  if (!c || PQstatus(c) != CONNECTION_OK) {
    std::string reason = c ? trimmed(PQerrorMessage(c)) : "out of memory";
    throw DbError(err::ServerUnreachable, "The server " + db->name_ + " could not be reached: " + reason + ".");
  }
  PQsetNoticeProcessor(c, [](void*, const char*) {}, nullptr);  // notes such as "already exists, skipping"
  db->settle();
  return db;
}

void PgDb::settle() {
  // Quoted texts as the file bank reads them (only apostrophes doubled), UTF-8 both ways, and
  // names without a schema found in this connection's own schema first.
  exec("SET client_encoding = 'UTF8'; SET standard_conforming_strings = on; SET search_path = " +
       tableIdent(Dialect::Postgres, schema_) + ", public;");
  // Behind a table or row that another session holds, a statement waits this long, not for ever;
  // and no statement runs longer than the statement timeout.
  exec("SET lock_timeout = '" + serverTimeout(kLockTimeoutVariable) + "'; SET statement_timeout = '" +
       serverTimeout(kStatementTimeoutVariable) + "';");
}

void PgDb::reconnectIfLost() {
  if (PQstatus(conn_) == CONNECTION_OK) return;
  PQreset(conn_);
  if (PQstatus(conn_) != CONNECTION_OK)
    throw DbError(err::ServerUnreachable, "The server " + name_ + " could not be reached; nothing was done or saved. "
                                          "The next action tries again.");
  settle();
}

namespace {
// The result of a statement, or the DbError it failed with.
Result checked(PGconn* c, PGresult* raw, const std::string& server) {
  Result r(raw, &PQclear);
  ExecStatusType st = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
  if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK || st == PGRES_EMPTY_QUERY) return r;
  const char* state = r ? PQresultErrorField(r.get(), PG_DIAG_SQLSTATE) : nullptr;
  std::string message = r && PQresultErrorMessage(r.get())[0] ? PQresultErrorMessage(r.get()) : PQerrorMessage(c);
  if (PQstatus(c) != CONNECTION_OK) state = "08006";
  const char* field = r ? PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  throw serverError(state ? state : "XX000", field ? field : message, server);
}
}  // namespace

std::unique_ptr<Engine> connectServerEngine(const std::string& conninfo, const std::string& schema) {
  return PgDb::connect(conninfo, schema);
}

void requireServerBank(Engine& db) {
  auto links = db.query("SELECT to_regclass('public.zx_tabledefs') IS NOT NULL", {});
  if (links->next() && links->column(0).toInt() != 0) return;
  throw DbError(err::CannotOpen, "The database " + db.location() +
                                     " holds no bank; move one there with 'zorbex-bank server-push DIR URL'.");
}

bool connectionStringSetsPassword(const std::string& conninfo) {
  char* parseError = nullptr;
  std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> options(PQconninfoParse(conninfo.c_str(), &parseError),
                                                                          &PQconninfoFree);
  if (!options) {
    std::string why = parseError ? parseError : "it cannot be read";
    PQfreemem(parseError);
    throw DbError(err::Generic, why);
  }
  for (const PQconninfoOption* o = options.get(); o->keyword; ++o)
    if (std::string(o->keyword) == "password" && o->val && *o->val) return true;
  return false;
}

void PgDb::savepoint(const std::string& name) { statement("SAVEPOINT " + name, {}); }
void PgDb::releaseSavepoint(const std::string& name) { statement("RELEASE " + name, {}); }
void PgDb::rollbackToSavepoint(const std::string& name) { statement("ROLLBACK TO " + name, {}); }

void PgDb::exec(const std::string& sql) {
  reconnectIfLost();
  checked(conn_, PQexec(conn_, sql.c_str()), name_);
}

namespace {
// Runs one statement with its parameters as texts (the server converts them to the fields'
// types). One statement only: a second one behind a semicolon is refused by the server.
Result withParams(PGconn* c, const std::string& sql, const std::vector<Value>& params, const std::string& server) {
  std::vector<std::string> texts;
  texts.reserve(params.size());
  for (const Value& v : params) texts.push_back(v.toString());
  std::vector<const char*> values;
  for (size_t i = 0; i < params.size(); ++i) values.push_back(params[i].isNull() ? nullptr : texts[i].c_str());
  return checked(c, PQexecParams(c, sql.c_str(), static_cast<int>(params.size()), nullptr,
                                 values.empty() ? nullptr : values.data(), nullptr, nullptr, 0),
                 server);
}
}  // namespace

namespace {
bool isTransactionControl(const std::string& sql) {
  for (const char* w : {"BEGIN", "COMMIT", "ROLLBACK", "SAVEPOINT", "RELEASE"})
    if (sql.rfind(w, 0) == 0) return true;
  return false;
}

// A failed statement inside a transaction takes back only itself, as on the file: the server
// would otherwise refuse every later statement of the transaction.
Result oneStatement(PGconn* c, bool inTransaction, const std::string& sql, const std::vector<Value>& params,
                    const std::string& server) {
  const bool guarded = inTransaction && !isTransactionControl(sql);
  if (guarded) checked(c, PQexec(c, "SAVEPOINT zx_statement"), server);
  try {
    Result r = withParams(c, sql, params, server);
    if (guarded) checked(c, PQexec(c, "RELEASE SAVEPOINT zx_statement"), server);
    return r;
  } catch (const DbError&) {
    if (guarded && PQstatus(c) == CONNECTION_OK) PQclear(PQexec(c, "ROLLBACK TO SAVEPOINT zx_statement"));
    throw;
  }
}
}  // namespace

namespace {
// Whether a statement changes nothing, so that it may run again: a read, or a transaction's beginning.
bool changesNothing(const std::string& sql) {
  const std::string first = sql.substr(0, sql.find_first_of(" \t\r\n"));
  return equalsIgnoringCase(first, "SELECT") || equalsIgnoringCase(first, "BEGIN");
}
}  // namespace

Result PgDb::statement(const std::string& sql, const std::vector<Value>& params) {
  reconnectIfLost();
  const bool idle = !inTransaction();
  try {
    return oneStatement(conn_, !idle, sql, params, name_);
  } catch (const DbError& e) {
    if (isHeldTooLong(e)) {
      const std::string holder = holderOfWait();
      if (holder.empty()) throw;
      throw heldTooLong(e.description.substr(0, e.description.find(';')), holder);
    }
    // The server ended the connection while it was idle (a restart, an administrator): it is
    // made again, silently, for a statement that changes nothing and is no part of a change.
    // A change hears of the loss (nothing of it was written), and its next attempt connects.
    if (!idle || changing_ || PQstatus(conn_) == CONNECTION_OK || !changesNothing(sql)) throw;
  }
  reconnectIfLost();
  return oneStatement(conn_, false, sql, params, name_);
}

std::string PgDb::holderOfWait() {
  if (PQstatus(conn_) != CONNECTION_OK || PQtransactionStatus(conn_) == PQTRANS_INERROR) return {};
  // The session holding a table of the bank in the strongest mode, the longest; a row's holder
  // holds its table in a row mode.
  static const char* const kHolder =
      "SELECT c.relname, a.pid, coalesce(a.usename, ''), coalesce(a.application_name, ''), "
      "coalesce(host(a.client_addr), 'this machine'), to_char(a.xact_start, 'YYYY-MM-DD HH24:MI:SS TZ') "
      "FROM pg_locks l JOIN pg_class c ON c.oid = l.relation JOIN pg_stat_activity a ON a.pid = l.pid "
      "WHERE l.granted AND l.pid <> pg_backend_pid() AND c.relkind IN ('r', 'p') AND a.xact_start IS NOT NULL "
      "AND c.relnamespace::regnamespace::text IN ('public', 'zx_user') AND l.mode <> 'AccessShareLock' "
      "ORDER BY CASE l.mode WHEN 'AccessExclusiveLock' THEN 0 WHEN 'ExclusiveLock' THEN 1 "
      "WHEN 'ShareRowExclusiveLock' THEN 2 WHEN 'ShareLock' THEN 3 ELSE 4 END, a.xact_start LIMIT 1";
  try {
    PgRows rows(oneStatement(conn_, inTransaction(), kHolder, {}, name_));
    if (!rows.next()) return {};
    const std::string app = rows.column(3).toString();
    return "the table " + rows.column(0).toString() + " is held by session " + rows.column(1).toString() +
           " of user " + rows.column(2).toString() + (app.empty() ? "" : ", application '" + app + "'") + ", from " +
           rows.column(4).toString() + ", since " + rows.column(5).toString();
  } catch (const DbError&) {
    return {};  // the wait is reported without its holder
  }
}

std::unique_ptr<EngineRows> PgDb::query(const std::string& sql, const std::vector<Value>& params) {
  return std::make_unique<PgRows>(statement(sql, params));
}

long long PgDb::run(const std::string& sql, const std::vector<Value>& params) {
  Result r = statement(sql, params);
  const char* n = PQcmdTuples(r.get());
  return n && *n ? std::atoll(n) : 0;
}

std::vector<std::string> PgDb::columnNames(const std::string& select) {
  auto rows = query("SELECT * FROM (" + select + ") AS zx_names LIMIT 0");
  std::vector<std::string> names;
  for (int i = 0; i < rows->columnCount(); ++i) names.push_back(rows->columnName(i));
  return names;
}

Value PgDb::writeRow(const std::string& sql, const std::vector<Value>& params, const Value& /*rowidBefore*/) {
  // A row's place changes with every update: the statement says where it is now.
  auto rows = query(sql + " RETURNING ctid::text", params);
  return rows->next() ? rows->column(0) : Value();
}

void PgDb::begin(bool serializable) { statement(serializable ? "BEGIN ISOLATION LEVEL SERIALIZABLE" : "BEGIN", {}); }

void PgDb::beginReading() { statement("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", {}); }

void PgDb::commit() { statement("COMMIT", {}); }

void PgDb::rollback() {
  if (inTransaction()) statement("ROLLBACK", {});
}

bool PgDb::inTransaction() const { return PQtransactionStatus(conn_) != PQTRANS_IDLE; }

bool PgDb::hasTable(const std::string& name) {
  auto rows = query("SELECT to_regclass($1) IS NOT NULL", {Value("public." + tableIdent(Dialect::Postgres, name))});
  return rows->next() && rows->column(0).toInt() != 0;
}

}  // namespace store
