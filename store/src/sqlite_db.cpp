#include "sqlite_db.h"

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>

#include "quote.h"

namespace store {

namespace {
SqliteFailure failureOf(sqlite3* db, int rc) {
  return SqliteFailure{rc, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)};
}

// The engine reports a full disk as an I/O error where the system did (growing the
// shared-memory file, truncating the log): the free space tells the two apart.
SqliteFailure withFullDiskNamed(SqliteFailure f, const std::string& path) {
  if ((f.code & 0xff) == SQLITE_IOERR && diskNearlyFull(path))
    return SqliteFailure{SQLITE_FULL, sqlite3_errstr(SQLITE_FULL)};
  return f;
}

// The encryption layer can report a page that fails its authentication check as a bare
// SQLITE_ERROR with no detail of its own, where every fault of a statement's text carries one
// ("no such table: ...", "near ...: syntax error"): the message is then the engine's generic
// text for the code, and that page is damaged. (A damaged page that a read meets comes as
// SQLITE_CORRUPT with its own code; this is for the bare form, which the integrity check over
// such a page gets. The engine gives no other sign of it; a test of the bank tool's check holds
// the engine to this form.)
bool failedPageAuthentication(int rc, const std::string& message) {
  return rc == SQLITE_ERROR && message == sqlite3_errstr(SQLITE_ERROR);
}

bool isDamage(int code) {
  int primary = code & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool startsWithWord(const char* sql, const char* word) {
  while (*sql == ' ' || *sql == '\t' || *sql == '\r' || *sql == '\n') ++sql;
  for (; *word; ++sql, ++word)
    if ((*sql | 0x20) != *word) return false;
  return !((*sql >= 'a' && *sql <= 'z') || (*sql >= 'A' && *sql <= 'Z'));
}
}  // namespace

SqliteDb::SqliteDb(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {
  if (!db_) return;
  // Classification needs the extended codes (UNIQUE among the constraints, and so on).
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_wal_hook(db_, &SqliteDb::onCommit, this);
}

SqliteFailure SqliteDb::failure(int rc) {
  SqliteFailure f = withFullDiskNamed(failureOf(db_, rc), path_);
  if (failedPageAuthentication(rc, f.message))
    f = SqliteFailure{SQLITE_CORRUPT, "a page failed its authentication check (" + f.message + ")"};
  rc = f.code;
  if (isDamage(rc) && !damage_) damage_ = std::make_unique<SqliteFailure>(f);
  return f;
}

int SqliteDb::onCommit(void* self, sqlite3* db, const char* schema, int /*pages*/) {
  auto* me = static_cast<SqliteDb*>(self);
  if (me->damage_) return SQLITE_OK;  // copying a damaged log into the file spreads the damage
  if (me->deferrals_ > 0) {
    me->checkpointOwed_ = true;
    return SQLITE_OK;
  }
  // The commit itself has succeeded; a checkpoint that readers elsewhere hold back is
  // retried at the next commit, and the change is safe in the log meanwhile.
  me->noteCheckpoint(sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr));
  return SQLITE_OK;
}

bool SqliteDb::noteCheckpoint(int rc) {
  if (rc == SQLITE_OK) {
    checkpointFailure_.reset();
    return true;
  }
  SqliteFailure f = failure(rc);
  if (f.primary() != SQLITE_BUSY && f.primary() != SQLITE_LOCKED)
    checkpointFailure_ = std::make_unique<SqliteFailure>(f);
  return false;
}

void SqliteDb::resumeCheckpoints() {
  if (deferrals_ > 0 && --deferrals_ == 0 && checkpointOwed_) {
    checkpointOwed_ = false;
    checkpoint();
  }
}

bool SqliteDb::checkpoint() {
  if (damage_) return false;
  return noteCheckpoint(sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr));
}

bool SqliteDb::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

bool SqliteDb::fileHasMoved() const {
  int moved = 0;
  return sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || moved != 0;
}

std::string SqliteDb::integrityCheck() {
  auto st = prepare("PRAGMA integrity_check;");
  std::string verdict;
  while (st.step()) verdict += (verdict.empty() ? "" : "; ") + st.column(0).toString();
  return verdict;
}

std::unique_ptr<SqliteDb> SqliteDb::openExisting(const std::string& path, const std::string& key,
                                                 bool readOnly, bool createAttached) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec))
    throw SqliteFailure{SQLITE_CANTOPEN, "file not found"};
  sqlite3* raw = nullptr;
  // A reader, too, opens the file for writing (and is then kept from changing it): only the
  // last connection that may write folds the log into the file and removes the -wal and -shm
  // files beside it, and a reader is often the last. A write-protected file still opens for
  // reading.
  int flags = SQLITE_OPEN_READWRITE;
  if (createAttached && !readOnly) flags |= SQLITE_OPEN_CREATE;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<SqliteDb> db(new SqliteDb(raw, path));
  if (rc != SQLITE_OK) throw withFullDiskNamed(failureOf(raw, sqlite3_extended_errcode(raw)), path);
  db->applyKey(key);
  // The first read shows a wrong key or a foreign file (SQLITE_NOTADB).
  db->exec("SELECT count(*) FROM sqlite_master;");
  if (readOnly) db->exec("PRAGMA query_only = ON;");
  sqlite3_busy_timeout(raw, 5000);
  return db;
}

std::unique_ptr<SqliteDb> SqliteDb::create(const std::string& path, const std::string& key) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) throw SqliteFailure{SQLITE_CANTOPEN, "file exists"};
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<SqliteDb> db(new SqliteDb(raw, path));
  if (rc != SQLITE_OK) throw withFullDiskNamed(failureOf(raw, sqlite3_extended_errcode(raw)), path);
  db->applyKey(key);
  sqlite3_busy_timeout(raw, 5000);
  db->useWriteAheadLog();
  return db;
}

void SqliteDb::useWriteAheadLog() {
  // Readers then see an unchanged file without decrypting its first page again, and the
  // editor's connection and a table-definition session never block each other.
  exec("PRAGMA journal_mode=WAL;");
}

void SqliteDb::applyKey(const std::string& key) {
  int rc = sqlite3_key(db_, key.data(), static_cast<int>(key.size()));
  if (rc != SQLITE_OK) throw failure(rc);
  // A library without encryption ignores the key and would write the file in the clear.
  auto st = prepare("PRAGMA cipher_version;");
  if (!st.step() || st.column(0).toString().empty())
    throw SqliteFailure{SQLITE_MISUSE, "the SQLite library in use has no encryption (SQLCipher)"};
}

SqliteDb::~SqliteDb() {
  for (auto& [sql, stmt] : kept_) sqlite3_finalize(stmt);
  if (db_) sqlite3_close_v2(db_);
}

void SqliteDb::exec(const std::string& sql) {
  const char* next = sql.c_str();
  const char* end = next + sql.size();
  while (next < end) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, next, static_cast<int>(end - next), &stmt, &next);
    if (rc != SQLITE_OK) throw failure(rc);
    if (!stmt) break;  // only blanks or comments were left
    SqliteStatement st(this, stmt);
    while (st.step()) {
    }
  }
}

SqliteStatement SqliteDb::prepare(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) throw failure(rc);
  return SqliteStatement(this, stmt);
}

SqliteStatement SqliteDb::prepareKept(const std::string& sql) {
  constexpr size_t kMostKept = 64;
  auto it = kept_.find(sql);
  if (it == kept_.end()) {
    if (kept_.size() >= kMostKept) return prepare(sql);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) throw failure(rc);
    it = kept_.emplace(sql, stmt).first;
  } else if (lent_.count(it->second)) {
    return prepare(sql);
  }
  lent_.insert(it->second);
  return SqliteStatement(this, it->second, true);
}

bool SqliteDb::tableExists(const std::string& schema, const std::string& name) {
  auto st = prepare("SELECT 1 FROM " + sqlIdent(schema) +
                    ".sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE;");
  st.bind(1, Value(name));
  return st.step();
}

long long SqliteDb::totalChanges() const { return sqlite3_total_changes(db_); }
long long SqliteDb::changes() const { return sqlite3_changes(db_); }
long long SqliteDb::lastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }

SqliteStatement::~SqliteStatement() {
  if (!stmt_) return;
  if (!kept_) {
    sqlite3_finalize(stmt_);
    return;
  }
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  db_->lent_.erase(stmt_);
}

void SqliteStatement::bind(int index1, const Value& v) {
  int rc;
  if (v.isNull())
    rc = sqlite3_bind_null(stmt_, index1);
  else if (v.isInteger())
    rc = sqlite3_bind_int64(stmt_, index1, v.toInt());
  else if (v.isDouble())
    rc = sqlite3_bind_double(stmt_, index1, v.toDouble());
  else
    rc = sqlite3_bind_text(stmt_, index1, v.text().data(), static_cast<int>(v.text().size()),
                           SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) throw db_->failure(rc);
}

void SqliteStatement::bindBlob(int index1, const std::string& bytes) {
  int rc = sqlite3_bind_blob(stmt_, index1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) throw db_->failure(rc);
}

bool SqliteStatement::readOnly() const { return sqlite3_stmt_readonly(stmt_) != 0; }

bool SqliteStatement::writesOrCommits() const {
  // A commit counts as "read-only" to the engine, yet it is what writes a transaction.
  const char* sql = sqlite3_sql(stmt_);
  return !sqlite3_stmt_readonly(stmt_) ||
         (sql && (startsWithWord(sql, "commit") || startsWithWord(sql, "end") || startsWithWord(sql, "release")));
}

bool SqliteStatement::step() {
  if (db_->damage_ && writesOrCommits()) throw *db_->damage_;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  SqliteFailure f = db_->failure(rc);
  sqlite3_reset(stmt_);
  throw f;
}

void SqliteStatement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int SqliteStatement::columnCount() const { return sqlite3_column_count(stmt_); }

std::string SqliteStatement::columnName(int i) const {
  const char* n = sqlite3_column_name(stmt_, i);
  return n ? n : "";
}

Value SqliteStatement::column(int i) const {
  switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_INTEGER:
      return Value(static_cast<long long>(sqlite3_column_int64(stmt_, i)));
    case SQLITE_FLOAT:
      return Value(sqlite3_column_double(stmt_, i));
    case SQLITE_NULL:
      return Value();
    default: {
      const void* p = sqlite3_column_blob(stmt_, i);
      int n = sqlite3_column_bytes(stmt_, i);
      return Value(std::string(static_cast<const char*>(p ? p : ""), static_cast<size_t>(n)));
    }
  }
}

std::string_view SqliteStatement::columnBytes(int i) const {
  const void* p = sqlite3_column_blob(stmt_, i);
  return p ? std::string_view(static_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(stmt_, i)))
           : std::string_view();
}

std::string removeDatabaseFiles(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::string left = removeLogFiles(path);
  return ec ? "The file '" + path + "' could not be deleted (" + ec.message() + ")." : left;
}

std::string removeLogFiles(const std::string& path) {
  std::string left;
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    std::error_code ec;
    std::filesystem::remove(path + suffix, ec);
    if (ec && left.empty()) left = "The file '" + path + suffix + "' could not be deleted (" + ec.message() + ").";
  }
  return left;
}

bool diskNearlyFull(const std::string& path) {
  constexpr std::uintmax_t kRoomTheEngineNeeds = 1024 * 1024;
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::absolute(path, ec).parent_path();
  std::filesystem::space_info room = std::filesystem::space(folder, ec);
  return !ec && room.available < kRoomTheEngineNeeds;
}

std::string sqlIdent(const std::string& name) { return "[" + name + "]"; }
std::string sqlLiteral(const std::string& text) { return "'" + sqlText(text) + "'"; }

}  // namespace store

// ---------------------------------------------------------------------------------------
// The engine interface over the file

namespace store {

namespace {
class SqliteRows : public EngineRows {
 public:
  explicit SqliteRows(SqliteStatement st) : st_(std::move(st)) {}
  bool next() override {
    try {
      return st_.step();
    } catch (const SqliteFailure& f) {
      throw engineError(f);
    }
  }
  int columnCount() const override { return st_.columnCount(); }
  std::string columnName(int i) const override { return st_.columnName(i); }
  Value column(int i) const override { return st_.column(i); }

 private:
  SqliteStatement st_;
};

template <typename Prepare>
std::unique_ptr<EngineRows> rowsOf(Prepare prepare, const std::vector<Value>& params) {
  try {
    SqliteStatement st = prepare();
    for (size_t i = 0; i < params.size(); ++i) st.bind(static_cast<int>(i + 1), params[i]);
    return std::make_unique<SqliteRows>(std::move(st));
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
}
}  // namespace

std::unique_ptr<EngineRows> SqliteDb::query(const std::string& sql, const std::vector<Value>& params) {
  return rowsOf([&] { return prepare(sql); }, params);
}

std::unique_ptr<EngineRows> SqliteDb::queryKept(const std::string& sql, const std::vector<Value>& params) {
  return rowsOf([&] { return prepareKept(sql); }, params);
}

long long SqliteDb::run(const std::string& sql, const std::vector<Value>& params) {
  auto rows = query(sql, params);
  while (rows->next()) {
  }
  return changes();
}

std::vector<std::string> SqliteDb::columnNames(const std::string& select) {
  auto rows = query(select);
  std::vector<std::string> names;
  for (int i = 0; i < rows->columnCount(); ++i) names.push_back(rows->columnName(i));
  return names;
}

Value SqliteDb::writeRow(const std::string& sql, const std::vector<Value>& params, const Value& rowidBefore) {
  // Row writes of one shape repeat (a pool or edition operation writes hundreds): a kept
  // statement compiles the table's triggers once instead of once a row.
  auto rows = queryKept(sql, params);
  while (rows->next()) {
  }
  if (changes() == 0) return Value();
  return rowidBefore.isNull() ? Value(lastInsertRowid()) : rowidBefore;
}

void SqliteDb::begin(bool /*serializable*/) {
  try {
    exec("BEGIN IMMEDIATE;");
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
}

void SqliteDb::commit() { run("COMMIT"); }

void SqliteDb::rollback() {
  if (inTransaction()) run("ROLLBACK");
}

void SqliteDb::script(const std::string& sql) {
  try {
    exec(sql);
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
}

}  // namespace store
