#include "sqlite_db.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "dialect.h"

namespace store {

namespace {
// A failure of the engine itself, with SQLite's extended result code and message; it leaves
// this file only as a DbError.
struct SqliteFailure {
  int code;
  std::string message;
  int primary() const { return code & 0xff; }
};

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

EngineFault faultOf(int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return EngineFault::Busy;
    case SQLITE_FULL: return EngineFault::DiskFull;
    case SQLITE_IOERR: return EngineFault::IoError;
    case SQLITE_CORRUPT: return EngineFault::Damaged;
    case SQLITE_NOTADB:
    case SQLITE_EMPTY: return EngineFault::NotADatabase;
    case SQLITE_READONLY: return EngineFault::ReadOnly;
    case SQLITE_CANTOPEN: return EngineFault::CannotOpen;
    case SQLITE_CONSTRAINT: return EngineFault::Constraint;
    case SQLITE_MISUSE: return EngineFault::NoEncryption;
    case SQLITE_ERROR: return EngineFault::Statement;
    default: return EngineFault::Other;
  }
}

std::string damagedFileText() {
  return "The database file is damaged. Nothing more is written through this connection; close the "
         "program and run 'zorbex-bank check' on the application folder, then restore a backup.";
}

DbError numbered(int code, const std::string& m) {
  // The message is read only for the name it carries after "...: ".
  auto named = [&]() { return m.find(": ") == std::string::npos ? m : m.substr(m.find(": ") + 2); };
  switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
      if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY)
        return DbError(err::Generic, std::string(kRepeatedValue) + " (" + named() + ").");
      if (code == SQLITE_CONSTRAINT_NOTNULL)
        return DbError(err::FieldRequired, "The field '" + named() + "' cannot be left empty (Null).");
      return DbError(err::Generic, "The changes were not made because they break a rule of the table (" + m + ").");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return DbError(err::Locked, "The database is locked by another program; try again.");
    case SQLITE_READONLY:
      return DbError(err::ReadOnly, "The database cannot be changed: the file, its folder or the connection is read-only.");
    case SQLITE_FULL:
      return DbError(err::DiskFull, "The disk is full: the change was not written. Free some space and try again.");
    case SQLITE_IOERR:
      return DbError(err::DiskError, "The disk could not read or write the database file (" + m + ").");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return DbError(err::Damaged, damagedFileText());
    case SQLITE_CANTOPEN:
      return DbError(err::CannotOpen, "The database file could not be opened (" + m + ").");
    case SQLITE_ERROR:
      break;
    default:
      return DbError(err::Generic, "The database engine reported: " + m + ".");
  }
  // The engine gives one code to every fault of a statement's text; its wording tells them apart.
  auto after = [&](const char* prefix) { return m.substr(std::string(prefix).size()); };
  if (m.rfind("no such table: ", 0) == 0)
    return DbError(err::TableNotFound, "The table or query '" + after("no such table: ") + "' could not be found.");
  if (m.rfind("no such column: ", 0) == 0)
    return DbError(err::MissingParameter, "The field '" + after("no such column: ") + "' is not known to the table.");
  if (m.find("already exists") != std::string::npos)
    return DbError(err::CommandError, "The " + m + ".");
  if (m.find("columns but") != std::string::npos || m.find("values for") != std::string::npos)
    return DbError(err::CommandError, "The number of values does not match the number of fields (" + m + ").");
  if (m.find("syntax error") != std::string::npos)
    return DbError(err::CommandError, "Syntax error in the SQL statement (" + m + ").");
  return DbError(err::Generic, "The database engine reported: " + m + ".");
}

DbError errorOf(const SqliteFailure& f) { return store::engineError(f.code, f.message); }

// ---------------------------------------------------------------------------------------
// Jet's + and & for values whose type shows only when the statement runs

enum class Num { No, Int, Real };

Num asNumber(sqlite3_value* v, long long* i, double* d) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      *i = sqlite3_value_int64(v);
      *d = static_cast<double>(*i);
      return Num::Int;
    case SQLITE_FLOAT:
      *d = sqlite3_value_double(v);
      return Num::Real;
    case SQLITE_TEXT: {
      std::string s(reinterpret_cast<const char*>(sqlite3_value_text(v)), static_cast<size_t>(sqlite3_value_bytes(v)));
      size_t b = s.find_first_not_of(' ');
      size_t e = s.find_last_not_of(' ');
      if (b == std::string::npos) return Num::No;
      s = s.substr(b, e - b + 1);
      char* end = nullptr;
      errno = 0;
      long long asInt = std::strtoll(s.c_str(), &end, 10);
      if (*end == '\0' && errno == 0) {
        *i = asInt;
        *d = static_cast<double>(asInt);
        return Num::Int;
      }
      double asReal = std::strtod(s.c_str(), &end);
      if (*end != '\0' || s.find_first_of("xXnN") != std::string::npos) return Num::No;  // no hex, inf, nan
      *d = asReal;
      return Num::Real;
    }
    default:
      return Num::No;
  }
}

std::string textOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_FLOAT: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.15g", sqlite3_value_double(v));
      return buf;
    }
    default:
      return std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)), static_cast<size_t>(sqlite3_value_bytes(v)));
  }
}

void jetAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* a = argv[0];
  sqlite3_value* b = argv[1];
  if (sqlite3_value_type(a) == SQLITE_NULL || sqlite3_value_type(b) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  if (sqlite3_value_type(a) == SQLITE_TEXT && sqlite3_value_type(b) == SQLITE_TEXT) {
    std::string s = textOf(a) + textOf(b);
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    return;
  }
  long long ia = 0, ib = 0;
  double da = 0, db = 0;
  Num na = asNumber(a, &ia, &da);
  Num nb = asNumber(b, &ib, &db);
  if (na == Num::No || nb == Num::No) {
    sqlite3_result_error(ctx, "Type mismatch in expression.", -1);
    return;
  }
  long long sum = 0;
  if (na == Num::Int && nb == Num::Int && !__builtin_add_overflow(ia, ib, &sum))
    sqlite3_result_int64(ctx, sum);
  else
    sqlite3_result_double(ctx, da + db);
}

// Jet's &: Null counts as empty text, and only Null & Null is Null.
void jetConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::string s;
  bool allNull = true;
  for (int i = 0; i < argc; ++i) {
    allNull = allNull && sqlite3_value_type(argv[i]) == SQLITE_NULL;
    s += textOf(argv[i]);
  }
  if (allNull) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// The functions through which translated statements keep Jet's + and & on values whose type
// shows only when the statement runs; every handle registers them.
void registerJetFunctions(sqlite3* db) {
  sqlite3_create_function(db, "zx_add", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, jetAdd, nullptr, nullptr);
  sqlite3_create_function(db, "zx_concat", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, jetConcat, nullptr,
                          nullptr);
}
// The files' format: SQLCipher 3 (the format of every bank and user database so far, which the
// old engine's shell still reads). A connection keyed without it would write the engine's own
// default format, which no earlier version of the program reads.
void useSqlCipher3(sqlite3* db) {
  const int cipher = sqlite3mc_cipher_index("sqlcipher");
  if (cipher <= 0 || sqlite3mc_config(db, "default:cipher", cipher) != cipher ||
      sqlite3mc_config_cipher(db, "sqlcipher", "default:legacy", 3) != 3)
    throw engineError(SQLITE_MISUSE, "the SQLite library in use cannot read SQLCipher 3 files");
}
}  // namespace

DbError engineError(int code, const std::string& message) {
  DbError numberedError = numbered(code, message);
  return DbError(numberedError.number, numberedError.description, faultOf(code), message);
}

SqliteDb::SqliteDb(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {
  if (!db_) return;
  // Classification needs the extended codes (UNIQUE among the constraints, and so on).
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_wal_hook(db_, &SqliteDb::onCommit, this);
  // Translated statements call the functions that keep Jet's + and & apart (on a server, the
  // bank carries them).
  registerJetFunctions(db_);
}

DbError SqliteDb::failure(int rc) {
  SqliteFailure f = withFullDiskNamed(failureOf(db_, rc), path_);
  DbError e = errorOf(f);
  if (isDamage(f.code) && !damage_) damage_ = std::make_unique<DbError>(e);
  return e;
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
  DbError f = failure(rc);
  if (!f.busy()) checkpointFailure_ = std::make_unique<DbError>(f);
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

long long SqliteDb::schemaVersion() {
  auto st = prepare("PRAGMA schema_version;");
  st.step();
  return st.column(0).toInt();
}

void SqliteDb::attach(const std::string& path, const std::string& key, const std::string& alias) {
  exec("ATTACH DATABASE " + textLiteral(path) + " AS " + tableIdent(Dialect::Sqlite, alias) + " KEY " +
       textLiteral(key) + ";");
}

void SqliteDb::detach(const std::string& alias) { exec("DETACH DATABASE " + tableIdent(Dialect::Sqlite, alias) + ";"); }

void SqliteDb::useRollbackJournal() { exec("PRAGMA journal_mode=DELETE;"); }

bool SqliteDb::holdExclusively() {
  // In exclusive locking mode the first write lock is kept until the handle closes.
  try {
    exec("PRAGMA busy_timeout=1000;");
    exec("PRAGMA locking_mode=EXCLUSIVE;");
    exec("BEGIN IMMEDIATE;");
    exec("COMMIT;");
  } catch (const DbError& e) {
    if (e.busy()) return false;
    throw;
  }
  return true;
}

void SqliteDb::copyInto(FileStorage& target) {
  auto* to = dynamic_cast<SqliteDb*>(&target);
  if (!to) throw DbError(err::Generic, "A file can be copied only into another file.");
  // One step under one read transaction: the copy is the file as of one commit.
  sqlite3_backup* b = sqlite3_backup_init(to->db_, "main", db_, "main");
  if (!b) throw to->failure(sqlite3_extended_errcode(to->db_));
  int rc = sqlite3_backup_step(b, -1);
  sqlite3_backup_finish(b);
  if (rc != SQLITE_DONE) throw errorOf(withFullDiskNamed(SqliteFailure{rc, sqlite3_errstr(rc)}, to->path_));
}

void SqliteDb::writeCompactCopy(const std::string& path, const std::string& key) {
  // The copy is written page by page anew, in one transaction, under this file's key (the
  // engine keys the target like this file); another key is given to it afterwards.
  exec("VACUUM main INTO " + textLiteral(path) + ";");
  if (key == key_) return;
  std::unique_ptr<SqliteDb> copy = openExisting(path, key_, false);
  int rc = sqlite3_rekey(copy->db_, key.data(), static_cast<int>(key.size()));
  if (rc != SQLITE_OK) throw copy->failure(rc);
}

bool SqliteDb::fileHasMoved() const {
  int moved = 0;
  return sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || moved != 0;
}

std::string SqliteDb::integrityCheck() {
  auto st = prepare("PRAGMA integrity_check;");
  std::string verdict;
  while (st.step()) {
    const std::string finding = st.column(0).toString();
    if (finding == "ok" || unverifiableIndex(finding)) continue;
    verdict += (verdict.empty() ? "" : "; ") + finding;
  }
  return verdict.empty() ? "ok" : verdict;
}

bool SqliteDb::unverifiableIndex(const std::string& finding) {
  // The engine checks a full-text table's index against the text it was made from; a
  // contentless table (the search index) keeps no text, so that comparison cannot start and
  // fails as a plain error. Its pages are checked like every other table's; a damaged index
  // page still shows (as damage, not as this).
  static const std::string prefix = "unable to validate the inverted index for FTS4 table ";
  const std::string suffix = std::string(": ") + sqlite3_errstr(SQLITE_ERROR);
  if (finding.rfind(prefix, 0) != 0 || finding.size() <= prefix.size() + suffix.size() ||
      finding.compare(finding.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  const std::string qualified = finding.substr(prefix.size(), finding.size() - prefix.size() - suffix.size());
  const size_t dot = qualified.find('.');
  if (dot == std::string::npos) return false;
  const std::string schema = qualified.substr(0, dot), table = qualified.substr(dot + 1);
  // Contentless: an FTS4 table without its own table of text.
  auto fts = prepare("SELECT 1 FROM " + tableIdent(Dialect::Sqlite, schema) +
                     ".sqlite_master WHERE type='table' AND name=?1 AND sql LIKE 'CREATE VIRTUAL TABLE%fts4%';");
  fts.bind(1, Value(table));
  return fts.step() && !tableExists(schema, table + "_content");
}

std::unique_ptr<SqliteDb> SqliteDb::openExisting(const std::string& path, const std::string& key,
                                                 bool readOnly, bool createAttached) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec))
    throw engineError(SQLITE_CANTOPEN, "file not found");
  sqlite3* raw = nullptr;
  // A reader, too, opens the file for writing (and is then kept from changing it): only the
  // last connection that may write folds the log into the file and removes the -wal and -shm
  // files beside it, and a reader is often the last. A write-protected file still opens for
  // reading.
  int flags = SQLITE_OPEN_READWRITE;
  if (createAttached && !readOnly) flags |= SQLITE_OPEN_CREATE;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<SqliteDb> db(new SqliteDb(raw, path));
  if (rc != SQLITE_OK) throw errorOf(withFullDiskNamed(failureOf(raw, sqlite3_extended_errcode(raw)), path));
  db->applyKey(key);
  // The first read shows a wrong key or a foreign file (SQLITE_NOTADB).
  db->exec("SELECT count(*) FROM sqlite_master;");
  if (readOnly) db->exec("PRAGMA query_only = ON;");
  sqlite3_busy_timeout(raw, 5000);
  return db;
}

std::unique_ptr<SqliteDb> SqliteDb::create(const std::string& path, const std::string& key) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) throw engineError(SQLITE_CANTOPEN, "file exists");
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<SqliteDb> db(new SqliteDb(raw, path));
  if (rc != SQLITE_OK) throw errorOf(withFullDiskNamed(failureOf(raw, sqlite3_extended_errcode(raw)), path));
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
  // Set as the connection's default before its first key: every file it keys (this one, each
  // ATTACH ... KEY, the target of a compacted copy) is read and written in that format.
  useSqlCipher3(db_);
  int rc = sqlite3_key(db_, key.data(), static_cast<int>(key.size()));
  if (rc != SQLITE_OK) throw failure(rc);
  key_ = key;
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
  auto st = prepare("SELECT 1 FROM " + tableIdent(Dialect::Sqlite, schema) +
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
  DbError f = db_->failure(rc);
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

SqliteDb& sqliteFile(Engine& engine) {
  auto* file = dynamic_cast<SqliteDb*>(&engine);
  if (!file) throw DbError(err::Generic, "This operation works on a bank file, not on a bank on a server.");
  return *file;
}

std::unique_ptr<Engine> openFileEngine(const std::string& path, const std::string& key, bool readOnly,
                                       bool createAttached) {
  return SqliteDb::openExisting(path, key, readOnly, createAttached);
}

std::unique_ptr<Engine> createFileEngine(const std::string& path, const std::string& key) {
  return SqliteDb::create(path, key);
}

}  // namespace store

// ---------------------------------------------------------------------------------------
// The engine interface over the file

namespace store {

const char* const kTableDefsSql =
    "CREATE TABLE zx_tabledefs (name TEXT PRIMARY KEY COLLATE NOCASE, attributes INTEGER NOT NULL DEFAULT 0, "
    "connect TEXT, source_table TEXT);";

namespace {
class SqliteRows : public EngineRows {
 public:
  explicit SqliteRows(SqliteStatement st) : st_(std::move(st)) {}
  bool next() override { return st_.step(); }
  int columnCount() const override { return st_.columnCount(); }
  std::string columnName(int i) const override { return st_.columnName(i); }
  Value column(int i) const override { return st_.column(i); }

 private:
  SqliteStatement st_;
};

template <typename Prepare>
std::unique_ptr<EngineRows> rowsOf(Prepare prepare, const std::vector<Value>& params) {
  SqliteStatement st = prepare();
  for (size_t i = 0; i < params.size(); ++i) st.bind(static_cast<int>(i + 1), params[i]);
  return std::make_unique<SqliteRows>(std::move(st));
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

void SqliteDb::begin(bool /*serializable*/) { exec("BEGIN IMMEDIATE;"); }

// Deferred: the snapshot is taken at the first read, and no write lock is held.
void SqliteDb::beginReading() { exec("BEGIN;"); }

void SqliteDb::commit() { run("COMMIT"); }

void SqliteDb::rollback() {
  if (inTransaction()) run("ROLLBACK");
}

void SqliteDb::savepoint(const std::string& name) { run("SAVEPOINT " + name); }
void SqliteDb::releaseSavepoint(const std::string& name) { run("RELEASE " + name); }
void SqliteDb::rollbackToSavepoint(const std::string& name) { run("ROLLBACK TO " + name); }

}  // namespace store
