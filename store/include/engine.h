#pragma once
// The one way into a database engine: what the session, the connection, the record set and the
// bank's features (their tables and triggers) ask of it, so that a bank in an encrypted file and
// a bank on a PostgreSQL server look the same to every caller. Every failure comes out as a
// DbError numbered as the callers expect.

#include <memory>
#include <string>
#include <vector>

#include "value.h"

namespace store {

// The SQL that an engine speaks: the embedded file's or the server's.
enum class Dialect { Sqlite, Postgres };

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
};

}  // namespace store
