#pragma once
// A thin RAII layer over the engine's C API (SQLite3 Multiple Ciphers, files in SQLCipher 3's format): an open, keyed database file and its prepared
// statements, behind the engine interface and the file's own capability. Every failure leaves
// it as a DbError (numbered as the callers expect, its fault saying what the engine found); the
// engine's own result codes stay in here.

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

class SqliteDb : public Engine, public FileStorage {
 public:
  // Opens an existing file (never creates one) with the key, reads once so that a wrong
  // key or a foreign file fails here, and refuses a library without encryption.
  // createAttached lets ATTACH make a new file (compaction writes its copy that way).
  static std::unique_ptr<SqliteDb> openExisting(const std::string& path, const std::string& key,
                                                bool readOnly, bool createAttached = false);
  // Creates a new, empty encrypted file.
  static std::unique_ptr<SqliteDb> create(const std::string& path, const std::string& key);
  ~SqliteDb() override;
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  sqlite3* handle() const { return db_; }

  // Runs every statement of the text in turn.
  void exec(const std::string& sql);

  // The file's capability (see FileStorage).
  const std::string& path() const override { return path_; }
  void deferCheckpoints() override { ++deferrals_; }
  void resumeCheckpoints() override;
  bool checkpoint() override;
  bool savedOnlyInLog() const override { return checkpointFailure_ != nullptr; }
  // The failure of the last checkpoint when the file itself could not take the log; nullptr
  // once one succeeds.
  const DbError* checkpointFailure() const { return checkpointFailure_.get(); }
  bool damaged() const override { return damage_ != nullptr; }
  const DbError* damage() const { return damage_.get(); }
  std::string integrityCheck() override;
  bool fileHasMoved() const override;
  long long schemaVersion() override;
  void attach(const std::string& path, const std::string& key, const std::string& alias) override;
  void detach(const std::string& alias) override;
  bool hasTableIn(const std::string& alias, const std::string& name) override { return tableExists(alias, name); }
  void useWriteAheadLog() override;
  void useRollbackJournal() override;
  bool holdExclusively() override;
  void copyInto(FileStorage& target) override;
  void writeCompactCopy(const std::string& path, const std::string& key) override;

  // The engine interface.
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
  void beginReading() override;
  void commit() override;
  void rollback() override;
  bool inTransaction() const override;
  void script(const std::string& sql) override { exec(sql); }
  std::string schemaName() const override { return "main"; }
  bool hasTable(const std::string& name) override { return tableExists("main", name); }
  std::string location() const override { return path_; }
  FileStorage* file() override { return this; }
  void savepoint(const std::string& name) override;
  void releaseSavepoint(const std::string& name) override;
  void rollbackToSavepoint(const std::string& name) override;

  SqliteStatement prepare(const std::string& sql);
  // The same, from statements kept for reuse: a row write of a shape written before is not
  // prepared again, since each preparation also compiles the triggers on its table (the
  // history's and the search index's). A kept statement still in use gives a fresh one.
  SqliteStatement prepareKept(const std::string& sql);
  bool tableExists(const std::string& schema, const std::string& name);
  long long totalChanges() const;
  long long changes() const;
  long long lastInsertRowid() const;  // rows changed by the last statement

 private:
  friend class SqliteStatement;
  SqliteDb(sqlite3* db, std::string path);
  void applyKey(const std::string& key);
  // Whether a finding of the integrity check is only that a contentless full-text index cannot
  // be compared with its text.
  bool unverifiableIndex(const std::string& finding);
  // The failure for result code rc, noting damage.
  DbError failure(int rc);
  static int onCommit(void* self, sqlite3* db, const char* schema, int pages);
  sqlite3* db_;
  std::string path_;
  std::string key_;  // a compacted copy is written under it first
  int deferrals_ = 0;
  bool checkpointOwed_ = false;
  std::unique_ptr<DbError> damage_;
  std::unique_ptr<DbError> checkpointFailure_;
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
  bool step();  // true while a row is available
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

// The failure that the engine reported with an extended result code and its message, numbered
// as the callers expect.
DbError engineError(int code, const std::string& message);

// The file engine underneath, for the history and the search index until they run over the
// engine interface alone; a server there is a fault (DbError, Generic).
SqliteDb& sqliteFile(Engine& engine);

}  // namespace store
