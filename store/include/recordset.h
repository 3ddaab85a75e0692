#pragma once
// The ADO-shaped record set. The rows of its source are read when it opens; an updatable
// set (optimistic lock over one table) writes each change back by the row's id on Update.

#include <string>
#include <vector>

#include "connection.h"
#include "value.h"

namespace store {

enum CursorType : int { adOpenUnspecified = -1, adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockType : int { adLockUnspecified = -1, adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3 };
enum CommandOption : int { adCmdUnspecified = -1, adCmdText = 1, adCmdTable = 2 };

class Recordset;

// One field of the current record: read with value(), assign with setValue() or =.
class Field {
 public:
  Field(Recordset& rs, int index) : rs_(&rs), index_(index) {}
  Value value() const;
  void setValue(const Value& v);
  Field& operator=(const Value& v) {
    setValue(v);
    return *this;
  }
  const std::string& name() const;

 private:
  Recordset* rs_;
  int index_;
};

class Recordset {
 public:
  // Cursor and lock may be set before open; open's own arguments win when given.
  int cursorType = adOpenForwardOnly;
  int lockType = adLockReadOnly;

  // Source: a statement, a table name, or (with adCmdTable) "Table where condition".
  void open(const std::string& source, Connection& conn, int cursor = adOpenUnspecified,
            int lock = adLockUnspecified, int options = adCmdUnspecified);
  bool isOpen() const { return open_; }
  bool eof() const;
  void moveFirst();
  void moveNext();
  void moveLast();
  long recordCount() const;

  Field field(const std::string& name);
  Value value(const std::string& name) { return field(name).value(); }
  void setValue(const std::string& name, const Value& v) { field(name).setValue(v); }
  std::vector<std::string> fieldNames() const;

  void addNew();
  void update();
  // Pending changes that were not given to update() are dropped.
  void close();

 private:
  friend class Field;
  void requireOpen() const;
  void requireCurrent() const;
  void requireUpdatable() const;
  Value get(int index) const;
  void set(int index, const Value& v);
  void reloadRow(const Value& rowid, size_t at);
  void write(Session& session, const std::vector<size_t>& cols);  // the pending edit's statement
  void flushPending();
  void load() const;  // reads the rows when they were deferred

  bool open_ = false;
  // Rows are read on first need, also from const queries such as eof().
  mutable bool loaded_ = true;
  bool withRowid_ = false;
  bool changesRows_ = false;  // the source is a statement that writes (a delete, say)
  std::string sql_;
  Connection* conn_ = nullptr;
  mutable std::vector<std::string> names_;  // visible fields
  mutable std::vector<std::vector<Value>> rows_;
  mutable std::vector<Value> rowids_;  // each row's id in its table, as the engine gives it
  mutable long pos_ = 0;
  bool updatable_ = false;
  std::string table_;  // the updatable table, as the statement text reaches it
  // Editing state
  enum class Edit { None, Existing, New } edit_ = Edit::None;
  std::vector<Value> editRow_;
  std::vector<bool> dirty_;
};

}  // namespace store
