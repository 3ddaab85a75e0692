#pragma once
// A thin RAII layer over the SQLCipher C API: an open, keyed database file and its
// prepared statements. Knows nothing of Jet numbering; callers map failures.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "db_error.h"
#include "engine.h"
#include "value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace store {

class SqliteStatement;

// Failure of the engine itself, with SQLite's extended result code and message.
struct SqliteFailure {
  int code;
  std::string message;
  int primary() const { return code & 0xff; }
};

class SqliteDb : public Engine {
 public:
  // Opens an existing file (never creates one) with the key, reads once so that a wrong
  // key or a foreign file fails here, and refuses a library without encryption.
  // Throws SqliteFailure.
  // createAttached lets ATTACH make a new file (compaction writes its copy that way).
  static std::unique_ptr<SqliteDb> openExisting(const std::string& path, const std::string& key,
                                                bool readOnly, bool createAttached = false);
  // Creates a new, empty encrypted file. Throws SqliteFailure.
  static std::unique_ptr<SqliteDb> create(const std::string& path, const std::string& key);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  sqlite3* handle() const { return db_; }
  const std::string& path() const { return path_; }

  // Runs every statement of the text in turn. Throws SqliteFailure.
  void exec(const std::string& sql);
  void useWriteAheadLog();

  // Each commit empties the write-ahead log into the file (a truncating checkpoint), so
  // that whenever no write is in progress the file alone holds every committed change.
  // While deferred (counted), commits only note that a checkpoint is owed; the last
  // resume pays it.
  void deferCheckpoints() { ++deferrals_; }
  void resumeCheckpoints();
  // Empties the logs of this file and of the files attached to it, as far as readers of
  // other connections allow. Returns false when some of the log had to stay.
  bool checkpoint();
  // The failure of the last checkpoint when the file itself could not take the log (a full
  // disk, a failing disk), not merely readers holding it back; nullptr once one succeeds.
  // The commits are safe in the log meanwhile, and every later commit tries again.
  const SqliteFailure* checkpointFailure() const { return checkpointFailure_.get(); }

  // After the engine has reported the file damaged (corrupt, or not a database) the
  // handle writes nothing more: each later write or commit fails with that failure.
  bool damaged() const { return damage_ != nullptr; }
  const SqliteFailure* damage() const { return damage_.get(); }
  bool inTransaction() const override;

  // The engine interface; failures come out as DbErrors.
  Dialect dialect() const override { return Dialect::Sqlite; }
  std::string param(int n) const override { return "?" + std::to_string(n); }
  std::unique_ptr<EngineRows> query(const std::string& sql, const std::vector<Value>& params = {}) override;
  std::unique_ptr<EngineRows> queryKept(const std::string& sql, const std::vector<Value>& params) override;
  long long run(const std::string& sql, const std::vector<Value>& params = {}) override;
  std::vector<std::string> columnNames(const std::string& select) override;
  Value writeRow(const std::string& sql, const std::vector<Value>& params, const Value& rowidBefore) override;
  std::string rowidIs(int n) const override { return "rowid = " + param(n); }
  // Takes the write lock at once (waiting out another writer), so that a transaction never
  // fails half-way for a lock it could not upgrade.
  void begin(bool serializable = false) override;  // a file's writer is alone anyway
  void commit() override;
  void rollback() override;
  void script(const std::string& sql) override;
  std::string schemaName() const override { return "main"; }
  // Whether the file this handle has open no longer carries its path's name (another file was
  // renamed over it, or it was deleted).
  bool fileHasMoved() const;
  // "ok", or the integrity check's findings joined by "; ". Throws SqliteFailure.
  std::string integrityCheck();
  SqliteStatement prepare(const std::string& sql);
  // The same, from statements kept for reuse: a row write of a shape written before is not
  // prepared again, since each preparation also compiles the triggers on its table (the
  // history's and the search index's). A kept statement still in use gives a fresh one.
  SqliteStatement prepareKept(const std::string& sql);
  bool tableExists(const std::string& schema, const std::string& name);
  bool hasTable(const std::string& name) override { return tableExists("main", name); }
  long long totalChanges() const;
  long long changes() const;
  long long lastInsertRowid() const;  // rows changed by the last statement

 private:
  friend class SqliteStatement;
  SqliteDb(sqlite3* db, std::string path);
  void applyKey(const std::string& key);
  // The failure for result code rc, noting damage.
  SqliteFailure failure(int rc);
  static int onCommit(void* self, sqlite3* db, const char* schema, int pages);
  sqlite3* db_;
  std::string path_;
  int deferrals_ = 0;
  bool checkpointOwed_ = false;
  std::unique_ptr<SqliteFailure> damage_;
  std::unique_ptr<SqliteFailure> checkpointFailure_;
  std::map<std::string, sqlite3_stmt*> kept_;
  std::set<sqlite3_stmt*> lent_;
  // Notes the outcome of a checkpoint; returns whether the log was emptied.
  bool noteCheckpoint(int rc);
};

class SqliteStatement {
 public:
  SqliteStatement(SqliteDb* db, sqlite3_stmt* stmt, bool kept = false) : db_(db), stmt_(stmt), kept_(kept) {}
  SqliteStatement(SqliteStatement&& o) noexcept : db_(o.db_), stmt_(o.stmt_), kept_(o.kept_) { o.stmt_ = nullptr; }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  ~SqliteStatement();

  void bind(int index1, const Value& v);
  void bindBlob(int index1, const std::string& bytes);  // bytes stored as a BLOB
  bool step();  // true while a row is available; throws SqliteFailure
  void reset();
  int columnCount() const;
  std::string columnName(int i) const;
  Value column(int i) const;
  // The column's bytes without a copy, valid until the next step or reset (a hot loop's reader).
  std::string_view columnBytes(int i) const;
  bool readOnly() const;  // the statement changes nothing in the file

 private:
  bool writesOrCommits() const;
  SqliteDb* db_;
  sqlite3_stmt* stmt_;
  bool kept_;  // reset and given back to db_ at the end, not finalized
};

// A failure of the engine while running a statement, numbered as the callers expect.
DbError engineError(const SqliteFailure& f);

// Whether the disk that holds path has too little room left for the engine's own files
// (its shared-memory file alone takes 32 KiB): an I/O error there is a full disk.
bool diskNearlyFull(const std::string& path);

// Removes a database file with the engine's files beside it (log, shared memory, journal),
// each that is there. Returns what could not be removed (empty when nothing is left): a copy
// being given up ignores it, a stale copy that must go first does not.
std::string removeDatabaseFiles(const std::string& path);
// The same for the engine's files beside path alone (log, shared memory, journal).
std::string removeLogFiles(const std::string& path);

// Text for an identifier in generated SQL: [name].
std::string sqlIdent(const std::string& name);
// A literal in generated SQL: 'text' with apostrophes doubled.
std::string sqlLiteral(const std::string& text);

}  // namespace store
