#pragma once
// The ADO-shaped connection: provider and key set as properties, then Open with the bare
// file path; Execute runs one Jet statement; Close.

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "db_error.h"
#include "text.h"

namespace store {

class Session;
class Engine;

inline constexpr const char* kJetProvider = "Microsoft.Jet.OLEDB.4.0";
inline constexpr const char* kPasswordProperty = "Jet OLEDB:Database Password";

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void setProvider(const std::string& provider);
  const std::string& provider() const { return provider_; }
  // Dynamic properties; the one known is "Jet OLEDB:Database Password".
  void setProperty(const std::string& name, const std::string& value);

  void open(const std::string& connectionString);
  void open(const std::string& path, const std::string& key);  // both settings at once
  // A bank on a PostgreSQL server, by a libpq connection string or URI (the password as libpq
  // finds it); open() takes a "postgresql://" URI for the bank's own tables too.
  enum class Space { Bank, User };  // the bank's tables, or the user tables beside them
  void openServer(const std::string& conninfo, Space space);
  bool onServer() const;
  // Runs one statement; returns the number of rows it changed.
  long execute(const std::string& jetSql);
  void close();
  bool isOpen() const { return session_ != nullptr; }
  const std::string& path() const { return path_; }  // on a server: "'database' on host:port"

  // The fields of a table or link, in their stored order (a copy by position relies on it).
  std::vector<std::string> fieldNames(const std::string& table);
  // Reaches a table now: a linked table's file is attached here, outside any transaction that
  // follows (no file can be attached inside one).
  void reachTable(const std::string& table);
  // Inside a transaction: holds the rows of a table source ("SCtbl where numQ='01201'") against
  // every other writer until the transaction ends, so that what is compared before a write is
  // what the write replaces. On a server the rows are locked; a file is held whole already by
  // its transaction.
  void holdRows(const std::string& tableSource);
  // Lets go of a linked file reached for earlier statements (nothing when it was not).
  void releaseFile(const std::string& file);

  Session& session();  // 3704 when closed; for the component itself
  // The engine underneath (3704 when closed): for the bank's features, which keep tables and
  // triggers of their own.
  Engine& engine();
  // A commit is safe in the write-ahead log but a full (or failing) disk kept it from the
  // file; every later commit tries again.
  bool savedOnlyInLog() const;

  // Transactions, nestable; each returns or works on the level. A failed CommitTrans
  // rolls the level back, so that a failure part-way leaves nothing of it written.
  long BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  long transactionLevel() const { return level_; }
  // Whether an outermost transaction begun now is isolated from every other writer as if the
  // transactions ran one after another (a server's serializable level; a file's transaction
  // holds the whole bank anyway). See runIsolated.
  void setSerializable(bool on) { serializable_ = on; }
  bool serializable() const { return serializable_; }

 private:
  std::string provider_ = kJetProvider;
  long level_ = 0;
  bool serializable_ = false;
  bool outerIsSavepoint_ = false;  // begun inside the open change of a history tag
  std::string password_;
  std::string path_;
  std::unique_ptr<Session> session_;
};

// The name under which the program's sessions show on a server (its application_name), unless the
// connection string names one: "zorbex-editor" until the program says otherwise.
void setServerClientName(const std::string& name);

// Table definitions change only through this process's own connections (links are refreshed at
// start-up and by the import); code that makes or replaces a bank's tables underneath them says so
// here, and every open connection reads its table definitions again before its next statement.
void noteCatalogChanged();
const std::string& serverClientName();

// Whether a bank name is a libpq URI ("postgresql://..." or "postgres://...") rather than a folder.
bool isServerUri(const std::string& name);

// Rolls its transaction back when it goes out of scope uncommitted (an error left it).
class Transaction {
 public:
  explicit Transaction(Connection& conn);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit();

 private:
  Connection& conn_;
  long level_;
  bool done_ = false;
};

// How often runIsolated runs an operation that a conflict with another editor ended.
inline constexpr int kIsolatedAttempts = 10;
// What runIsolated waits in all, at most, between its attempts.
inline constexpr std::chrono::milliseconds kIsolatedWaitBound{3300};

// The wait after the given attempt (from 1) ended in a conflict. Its ceiling doubles from 10 ms up
// to 1 s, and the wait lies between half the ceiling and the ceiling as draw (in [0, 1)) says, so
// that writers who met once do not meet again in step. The waits of every attempt together stay
// within kIsolatedWaitBound.
inline std::chrono::milliseconds isolatedRetryWait(int attempt, double draw) {
  const long long ceiling = std::min(10LL << std::clamp(attempt - 1, 0, 20), 1000LL);
  return std::chrono::milliseconds(ceiling / 2 + static_cast<long long>(draw * static_cast<double>(ceiling / 2)));
}

// Runs work, an operation that begins and commits its own transaction (an edition, a
// renumbering), isolated from every other editor's: when the server ends it for a conflict
// with another transaction (or the file is locked), nothing of it is left and it runs again
// after a wait (isolatedRetryWait), at most kIsolatedAttempts times; then the conflict (3218)
// reaches the caller. A table that another session holds past the lock timeout is reported at
// once: it has been waited for already. Inside a transaction begun by the caller it runs once,
// and a conflict ends the caller's transaction.
template <typename F>
auto runIsolated(Connection& conn, F&& work) -> decltype(work()) {
  const bool outer = conn.transactionLevel() == 0;
  const bool was = conn.serializable();
  struct Restore {
    Connection& c;
    bool was;
    ~Restore() { c.setSerializable(was); }
  } restore{conn, was};
  conn.setSerializable(true);
  thread_local std::mt19937 random{std::random_device{}()};
  for (int attempt = 1;; ++attempt) {
    try {
      return work();
    } catch (const DbError& e) {
      if (e.number != err::Locked || isHeldTooLong(e) || !outer || attempt >= kIsolatedAttempts) throw;
    }
    std::this_thread::sleep_for(isolatedRetryWait(attempt, std::uniform_real_distribution<double>(0, 1)(random)));
  }
}

// A batch of writes (such as converting a whole pool) empties the write-ahead log once,
// when the guard ends, instead of after every write.
class DeferCheckpoint {
 public:
  explicit DeferCheckpoint(Connection& conn);
  ~DeferCheckpoint();
  DeferCheckpoint(const DeferCheckpoint&) = delete;
  DeferCheckpoint& operator=(const DeferCheckpoint&) = delete;

 private:
  Connection& conn_;
  Session* session_ = nullptr;
};

}  // namespace store
