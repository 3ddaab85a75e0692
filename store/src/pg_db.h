#pragma once
// A connection to a bank on a PostgreSQL server through libpq. The bank's tables live in the
// schema "public", the user tables in "zx_user"; one connection works in one of them.

#include <memory>
#include <string>
#include <vector>

#include "db_error.h"
#include "engine.h"

struct pg_conn;
struct pg_result;

namespace store {

class PgDb : public Engine {
 public:
  // Connects with a libpq connection string or URI and works in the given schema. A server that
  // cannot be reached fails here (3151, naming the server and libpq's reason).
  static std::unique_ptr<PgDb> connect(const std::string& conninfo, const std::string& schema);
  ~PgDb() override;
  PgDb(const PgDb&) = delete;
  PgDb& operator=(const PgDb&) = delete;

  // "database on host", for messages and the log; never the password.
  const std::string& serverName() const { return name_; }
  const std::string& schema() const { return schema_; }
  // Runs every statement of the text (no parameters): for the bank's own definitions.
  void exec(const std::string& sql);

  Dialect dialect() const override { return Dialect::Postgres; }
  std::string param(int n) const override { return "$" + std::to_string(n); }
  std::unique_ptr<EngineRows> query(const std::string& sql, const std::vector<Value>& params = {}) override;
  long long run(const std::string& sql, const std::vector<Value>& params = {}) override;
  std::vector<std::string> columnNames(const std::string& select) override;
  Value writeRow(const std::string& sql, const std::vector<Value>& params, const Value& rowidBefore) override;
  std::string rowidIs(int n) const override { return "ctid = " + param(n) + "::tid"; }
  void begin(bool serializable = false) override;
  void beginReading() override;
  void commit() override;
  void rollback() override;
  bool inTransaction() const override;
  void script(const std::string& sql) override { exec(sql); }
  std::string schemaName() const override { return schema_; }
  bool hasTable(const std::string& name) override;
  std::string location() const override { return name_; }
  void savepoint(const std::string& name) override;
  void releaseSavepoint(const std::string& name) override;
  void rollbackToSavepoint(const std::string& name) override;
  // Who holds what a statement waited for past a timeout ("the table ... is held by session ..."),
  // as the server tells; empty when it cannot tell.
  std::string holderOfWait();
  // Whether a change is under way (a tagged write of the history): a connection lost under it is
  // reported rather than made again for its reads.
  void setChanging(bool on) override { changing_ = on; }

 private:
  PgDb(pg_conn* conn, std::string name, std::string schema);
  // A connection lost outside a transaction is made again before the next statement; inside
  // one, the transaction is gone and the caller hears so.
  void reconnectIfLost();
  void settle();  // the session settings every connection gets
  // Runs one statement; one that the lost connection of an idle session failed runs once more on a
  // new connection when it changes nothing and no change is under way.
  std::unique_ptr<pg_result, void (*)(pg_result*)> statement(const std::string& sql, const std::vector<Value>& params);
  bool changing_ = false;
  pg_conn* conn_;
  std::string name_;
  std::string schema_;
};

// The environment variables that set the server's lock timeout (10s without) and statement timeout
// (5min without) for the sessions of the program, in the server's units (500ms, 10s, 5min).
inline constexpr const char* kLockTimeoutVariable = "ZORBEX_LOCK_TIMEOUT";
inline constexpr const char* kStatementTimeoutVariable = "ZORBEX_STATEMENT_TIMEOUT";
// The value of one of them (or its default); a value that is no time is refused (DbError).
std::string serverTimeout(const char* variable);
// A statement that waited for another session past a timeout (what: "... (the lock timeout of 10s
// passed)"), with its holder as holderOfWait names it, or none.
DbError heldTooLong(const std::string& what, const std::string& holder);

// A DbError from the server's SQLSTATE and message, numbered as the callers expect.
DbError serverError(const std::string& sqlstate, const std::string& message, const std::string& server);



}  // namespace store
