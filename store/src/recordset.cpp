#include "recordset.h"

#include <cctype>

#include "db_error.h"
#include "session.h"
#include "statements.h"

namespace store {

namespace {

bool isBareName(const std::string& s) {
  if (s.size() > 2 && s.front() == '[' && s.back() == ']') return s.find(']') == s.size() - 1;
  if (s.empty()) return false;
  for (unsigned char c : s)
    if (!(std::isalnum(c) || c == '_' || c >= 0x80)) return false;
  return true;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

DbError closedError() {
  return DbError(err::ObjectClosed, "The operation is not allowed while the record set is closed.");
}

// The visible fields of a statement's rows: all but the trailing row id, when it carries one.
void readNames(const std::vector<std::string>& all, bool withRowid, std::vector<std::string>& names) {
  names.assign(all.begin(), all.end() - (withRowid && !all.empty() ? 1 : 0));
}

// The id of the row a write wrote. A write that found no row (another writer deleted it, or
// moved it, since it was read) is refused: reporting it as done would lose the change.
const Value& written(const Value& rowid) {
  if (rowid.isNull())
    throw DbError(err::RowNotFound, "Row cannot be located for updating: another program changed or deleted it "
                                    "since it was read. Nothing was written; read it again.");
  return rowid;
}

}  // namespace

Value Field::value() const { return rs_->get(index_); }
void Field::setValue(const Value& v) { rs_->set(index_, v); }
const std::string& Field::name() const { return rs_->names_[static_cast<size_t>(index_)]; }

void Recordset::open(const std::string& source, Connection& conn, int cursor, int lock, int options) {
  if (open_) throw DbError(err::AlreadyOpen, "The record set is already open.");
  if (cursor != adOpenUnspecified) cursorType = cursor;
  if (lock != adLockUnspecified) lockType = lock;
  Session& session = conn.session();
  std::string src = trim(source);
  bool tableSource = options == adCmdTable || isBareName(src);
  Translation t = session.translate(tableSource ? statements::everyFieldOf(src) : src);

  names_.clear();
  rows_.clear();
  rowids_.clear();
  edit_ = Edit::None;
  pos_ = 0;
  conn_ = &conn;
  sql_ = t.sql;
  withRowid_ = t.updatableTable.has_value();
  changesRows_ = t.kind != StatementKind::Select;
  // A whole table opened to add records is read only when its rows are asked for.
  loaded_ = false;
  if (tableSource && isBareName(src)) {
    readNames(session.engine().columnNames(t.sql), withRowid_, names_);
  } else {
    load();
  }
  updatable_ = t.updatableTable.has_value() &&
               (lockType == adLockOptimistic || lockType == adLockPessimistic);
  if (t.updatableTable) table_ = t.updatableTable->qualified;
  open_ = true;
}


void Recordset::load() const {
  if (loaded_) return;
  Value currentRowid = (pos_ >= 0 && pos_ < static_cast<long>(rowids_.size())) ? rowids_[static_cast<size_t>(pos_)] : Value();
  bool hadRows = !rows_.empty();
  rows_.clear();
  rowids_.clear();
  Session& session = conn_->session();
  auto readAll = [&] {
    auto rs = session.engine().query(sql_);
    if (names_.empty()) {
      std::vector<std::string> all;
      for (int i = 0; i < rs->columnCount(); ++i) all.push_back(rs->columnName(i));
      readNames(all, withRowid_, names_);
    }
    int n = static_cast<int>(names_.size());
    while (rs->next()) {
      std::vector<Value> row;
      row.reserve(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i) row.push_back(rs->column(i));
      rows_.push_back(std::move(row));
      if (withRowid_) rowids_.push_back(rs->column(n));
    }
  };
  if (changesRows_)
    session.writing(readAll);  // a statement that changes rows (a delete, say)
  else
    readAll();
  loaded_ = true;
  // Records added before the rows were read are among them now: stay on the last added.
  pos_ = 0;
  if (hadRows)
    for (size_t i = 0; i < rowids_.size(); ++i)
      if (rowids_[i] == currentRowid) pos_ = static_cast<long>(i);
}

void Recordset::requireOpen() const {
  if (!open_) throw closedError();
}

void Recordset::requireCurrent() const {
  requireOpen();
  if (edit_ == Edit::New) return;
  load();
  if (pos_ < 0 || pos_ >= static_cast<long>(rows_.size()))
    throw DbError(err::NoCurrentRecord, "There is no current record: the position is before the first or after the last record.");
}

void Recordset::requireUpdatable() const {
  requireOpen();
  if (!updatable_)
    throw DbError(err::NotUpdatable, "This record set cannot be updated: it is read-only or not over a single table.");
}

bool Recordset::eof() const {
  requireOpen();
  if (edit_ != Edit::New) load();
  return edit_ != Edit::New && pos_ >= static_cast<long>(rows_.size());
}

void Recordset::moveFirst() {
  requireOpen();
  flushPending();
  load();
  if (rows_.empty()) throw DbError(err::NoCurrentRecord, "There is no record to move to: the record set is empty.");
  pos_ = 0;
}

void Recordset::moveLast() {
  requireOpen();
  flushPending();
  load();
  if (rows_.empty()) throw DbError(err::NoCurrentRecord, "There is no record to move to: the record set is empty.");
  pos_ = static_cast<long>(rows_.size()) - 1;
}

void Recordset::moveNext() {
  requireOpen();
  flushPending();
  load();
  if (pos_ >= static_cast<long>(rows_.size()))
    throw DbError(err::NoCurrentRecord, "There is no next record: the position is already after the last record.");
  ++pos_;
}

long Recordset::recordCount() const {
  requireOpen();
  load();
  return static_cast<long>(rows_.size());
}

Field Recordset::field(const std::string& name) {
  requireOpen();
  for (size_t i = 0; i < names_.size(); ++i)
    if (equalsIgnoringCase(names_[i], name)) return Field(*this, static_cast<int>(i));
  throw DbError(err::ItemNotFound, "The record set has no field named '" + name + "'.");
}

std::vector<std::string> Recordset::fieldNames() const {
  requireOpen();
  return names_;
}

Value Recordset::get(int index) const {
  requireCurrent();
  if (edit_ != Edit::None) return editRow_[static_cast<size_t>(index)];
  return rows_[static_cast<size_t>(pos_)][static_cast<size_t>(index)];
}

void Recordset::set(int index, const Value& v) {
  requireUpdatable();
  requireCurrent();
  if (edit_ == Edit::None) {
    edit_ = Edit::Existing;
    editRow_ = rows_[static_cast<size_t>(pos_)];
    dirty_.assign(names_.size(), false);
  }
  editRow_[static_cast<size_t>(index)] = v;
  dirty_[static_cast<size_t>(index)] = true;
}

void Recordset::addNew() {
  requireUpdatable();
  flushPending();
  edit_ = Edit::New;
  editRow_.assign(names_.size(), Value());
  dirty_.assign(names_.size(), false);
}

void Recordset::flushPending() {
  if (edit_ != Edit::None) update();
}

void Recordset::update() {
  requireOpen();
  if (edit_ == Edit::None) return;
  requireUpdatable();
  Session& session = conn_->session();
  std::vector<size_t> cols;
  for (size_t i = 0; i < dirty_.size(); ++i)
    if (dirty_[i]) cols.push_back(i);
  session.writing([&] { write(session, cols); });
  edit_ = Edit::None;
}

void Recordset::write(Session& session, const std::vector<size_t>& cols) {
  Engine& engine = session.engine();
  const Dialect d = engine.dialect();
  std::vector<Value> params;
  for (size_t c : cols) params.push_back(editRow_[c]);
  if (edit_ == Edit::Existing) {
    if (!cols.empty()) {
      std::string sql = "UPDATE " + table_ + " SET ";
      for (size_t k = 0; k < cols.size(); ++k)
        sql += (k ? ", " : "") + fieldIdent(d, names_[cols[k]]) + " = " + engine.param(static_cast<int>(k + 1));
      sql += " WHERE " + engine.rowidIs(static_cast<int>(cols.size() + 1));
      Value& rowid = rowids_[static_cast<size_t>(pos_)];
      params.push_back(rowid);
      rowid = written(engine.writeRow(sql, params, rowid));
      reloadRow(rowid, static_cast<size_t>(pos_));
    }
  } else {
    std::string sql = "INSERT INTO " + table_;
    if (cols.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string names, marks;
      for (size_t k = 0; k < cols.size(); ++k) {
        names += (k ? ", " : "") + fieldIdent(d, names_[cols[k]]);
        marks += (k ? ", " : "") + engine.param(static_cast<int>(k + 1));
      }
      sql += " (" + names + ") VALUES (" + marks + ")";
    }
    Value rowid = written(engine.writeRow(sql, params, Value()));
    rows_.emplace_back();
    rowids_.push_back(rowid);
    pos_ = static_cast<long>(rows_.size()) - 1;
    reloadRow(rowid, static_cast<size_t>(pos_));
  }
}

void Recordset::reloadRow(const Value& rowid, size_t at) {
  Engine& engine = conn_->session().engine();
  auto rs = engine.queryKept("SELECT * FROM " + table_ + " WHERE " + engine.rowidIs(1), {rowid});
  std::vector<Value> row(names_.size());
  if (rs->next())
    for (size_t i = 0; i < names_.size() && static_cast<int>(i) < rs->columnCount(); ++i)
      row[i] = rs->column(static_cast<int>(i));
  rows_[at] = std::move(row);
}

void Recordset::close() {
  if (!open_) throw closedError();
  open_ = false;
  loaded_ = true;
  edit_ = Edit::None;
  rows_.clear();
  rowids_.clear();
  names_.clear();
  conn_ = nullptr;
}

}  // namespace store
