#pragma once
// The one way into a database engine: what the session, the connection, the record set and the
// bank's features (their tables and triggers) ask of it, so that a bank in an encrypted file and
// a bank on a PostgreSQL server look the same to every caller. Every failure comes out as a
// DbError numbered as the callers expect (its fault says what the engine found, where a caller
// acts on that). What only a file has is a capability of its own, FileStorage, that the engine
// of a file gives and the server's does not.

#include <memory>
#include <string>
#include <vector>

#include "dialect.h"
#include "value.h"

namespace store {

// What only a bank kept in an encrypted file has: its write-ahead log and the checkpoints that
// empty it, its integrity, its place on the disk, and the other files attached to it.
class FileStorage {
 public:
  virtual ~FileStorage() = default;
  // The path the file was opened under.
  virtual const std::string& path() const = 0;

  // Each commit empties the write-ahead log into the file (a truncating checkpoint), so that
  // whenever no write is in progress the file alone holds every committed change. While
  // deferred (counted), commits only note that a checkpoint is owed; the last resume pays it.
  virtual void deferCheckpoints() = 0;
  virtual void resumeCheckpoints() = 0;
  // Empties the logs of this file and of the files attached to it, as far as readers of other
  // connections allow. Returns false when some of the log had to stay.
  virtual bool checkpoint() = 0;
  // Whether committed changes wait in the log because the file itself could not take them (a
  // full disk, a failing disk), not merely because readers held the log; false again once a
  // checkpoint succeeds. The commits are safe in the log meanwhile, and every later commit
  // tries again.
  virtual bool savedOnlyInLog() const = 0;
  // After the engine has reported the file damaged (corrupt, or not a database) the handle
  // writes nothing more: each later write or commit fails with that failure.
  virtual bool damaged() const = 0;

  // "ok", or the integrity check's findings joined by "; ".
  virtual std::string integrityCheck() = 0;
  // Whether the file this handle has open no longer carries its path's name (another file was
  // renamed over it, or it was deleted).
  virtual bool fileHasMoved() const = 0;
  // The version of the file's schema: any program's change to a table, index or trigger
  // definition changes it.
  virtual long long schemaVersion() = 0;

  // Another file of ours, attached under alias so that statements reach its tables as
  // [alias].[table]; its key opens it.
  virtual void attach(const std::string& path, const std::string& key, const std::string& alias) = 0;
  virtual void detach(const std::string& alias) = 0;
  // Whether the file attached as alias ("main": this file) has a table of that name.
  virtual bool hasTableIn(const std::string& alias, const std::string& name) = 0;

  // How commits reach the file: through the write-ahead log (what every file of ours uses), or
  // straight into the file through a rollback journal (before the file is replaced, so that no
  // log is left to be replayed into its successor).
  virtual void useWriteAheadLog() = 0;
  virtual void useRollbackJournal() = 0;
  // Holds the file for this connection alone until it closes; false while another connection
  // has it open (every other connection holds a shared lock).
  virtual bool holdExclusively() = 0;
  // Copies every page of this file into target (a new, empty file of ours) as of one commit.
  virtual void copyInto(FileStorage& target) = 0;
  // Writes a compacted copy of this file, page by page anew, to a new file at path under key.
  virtual void writeCompactCopy(const std::string& path, const std::string& key) = 0;
};

// The rows of one statement, read one at a time.
class EngineRows {
 public:
  virtual ~EngineRows() = default;
  virtual bool next() = 0;  // true while a row is available
  virtual int columnCount() const = 0;
  virtual std::string columnName(int i) const = 0;
  virtual Value column(int i) const = 0;  // of the current row
};

class Engine {
 public:
  virtual ~Engine() = default;
  virtual Dialect dialect() const = 0;
  // The marker of the n-th parameter (from 1) in a statement text.
  virtual std::string param(int n) const = 0;
  // Runs one statement and gives its rows.
  virtual std::unique_ptr<EngineRows> query(const std::string& sql, const std::vector<Value>& params = {}) = 0;
  // As query, from a statement the engine keeps for the next call of the same text (a row read
  // back after each write, say).
  virtual std::unique_ptr<EngineRows> queryKept(const std::string& sql, const std::vector<Value>& params) {
    return query(sql, params);
  }
  // Runs one statement; returns the number of rows it changed.
  virtual long long run(const std::string& sql, const std::vector<Value>& params = {}) = 0;
  // The names of the fields a select gives, without reading its rows.
  virtual std::vector<std::string> columnNames(const std::string& select) = 0;
  // Runs an INSERT or an UPDATE of one row (found by rowidBefore, Null for an insert) and
  // gives the row's id afterwards, by which it is read back; Null when it wrote no row (the row
  // was deleted or moved by another writer since it was read).
  virtual Value writeRow(const std::string& sql, const std::vector<Value>& params, const Value& rowidBefore) = 0;
  // The condition that finds a row by its id, with the id as parameter n.
  virtual std::string rowidIs(int n) const = 0;
  // Begins the outermost transaction; levels inside it are savepoints. Serializable: isolated
  // from every other writer as if the transactions ran one after another.
  virtual void begin(bool serializable = false) = 0;
  // Begins a transaction that only reads: each of its statements sees the bank as of one moment,
  // whatever other connections write meanwhile.
  virtual void beginReading() = 0;
  virtual void commit() = 0;
  // Takes back the open transaction; nothing when none is open.
  virtual void rollback() = 0;
  virtual bool inTransaction() const = 0;
  // Runs every statement of a text, without parameters: a feature's tables and triggers.
  virtual void script(const std::string& sql) = 0;
  // The schema that the engine's own tables live in: "main" in a file, the schema on a server.
  virtual std::string schemaName() const = 0;
  // Whether the bank has its own table of that name (on a server: in the schema public).
  virtual bool hasTable(const std::string& name) = 0;

  // Where the bank is, for messages and the log: the file's path, or "database on host" on a
  // server (never a password).
  virtual std::string location() const = 0;
  // What only a file has; nullptr on a server.
  virtual FileStorage* file() { return nullptr; }
  // Levels inside the open transaction: a savepoint of that name, kept or taken back to.
  virtual void savepoint(const std::string& name) = 0;
  virtual void releaseSavepoint(const std::string& name) = 0;
  virtual void rollbackToSavepoint(const std::string& name) = 0;
  // Whether a change is under way (a tagged write of the history): on a server, a connection
  // lost under it is reported rather than made again for its reads. A file loses no connection.
  virtual void setChanging(bool /*on*/) {}
};

// ----- opening an engine (each throws DbError, its fault saying what the engine found)

// Opens an existing encrypted file (never creates one) with the key, reads once so that a wrong
// key or a foreign file fails here, and refuses a library without encryption. createAttached lets
// an attached file be made new (a compaction writes its copy that way).
std::unique_ptr<Engine> openFileEngine(const std::string& path, const std::string& key, bool readOnly,
                                       bool createAttached = false);
// Creates a new, empty encrypted file with its write-ahead log.
std::unique_ptr<Engine> createFileEngine(const std::string& path, const std::string& key);
// Connects with a libpq connection string or URI and works in the given schema. A server that
// cannot be reached fails here (3151, naming the server and the client library's reason).
std::unique_ptr<Engine> connectServerEngine(const std::string& conninfo, const std::string& schema);

// The table of table definitions that every file of ours carries; its presence is the mark of
// a ZORBEX database.
inline constexpr const char* kTableDefsTable = "zx_tabledefs";
// The statement that makes it in a new file.
extern const char* const kTableDefsSql;
// A server database that holds no bank (its table of table definitions is missing) is refused
// with a message that says so (DbError), before any of the bank's tables or types is reached.
void requireServerBank(Engine& db);
// The schema of the user tables on the server.
inline constexpr const char* kUserSchema = "zx_user";

// Which numbering a failure to open a file is reported in.
enum class ErrorStyle { Ado, Dao };

// Opens a file of ours with its key. Missing file, wrong key, foreign or damaged file become
// DbErrors numbered in the given style; nothing is created or changed.
std::unique_ptr<Engine> openOurFile(const std::string& path, const std::string& key, bool readOnly, ErrorStyle style,
                                    bool createAttached = false);
// As openOurFile, but nullptr while another connection holds the file exclusively (a compaction
// or a restore at work) instead of a failure.
std::unique_ptr<Engine> openOurFileUnlessHeld(const std::string& path, const std::string& key, ErrorStyle style,
                                              bool createAttached = false);

// Whether a server connection string sets a password; one that cannot be read is refused
// (DbError, Generic, with the client library's reason as its description).
bool connectionStringSetsPassword(const std::string& conninfo);

// ----- the files of a file engine

// Whether the disk that holds path has too little room left for the engine's own files (its
// shared-memory file alone takes 32 KiB): an I/O error there is a full disk.
bool diskNearlyFull(const std::string& path);
// Removes a database file with the engine's files beside it (log, shared memory, journal), each
// that is there. Returns what could not be removed (empty when nothing is left): a copy being
// given up ignores it, a stale copy that must go first does not.
std::string removeDatabaseFiles(const std::string& path);
// The same for the engine's files beside path alone (log, shared memory, journal).
std::string removeLogFiles(const std::string& path);

}  // namespace store
