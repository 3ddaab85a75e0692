#include "connection.h"

#include "db_error.h"
#include "session.h"
#include "statements.h"

namespace store {

namespace {
DbError noTransaction() { return DbError(err::NoTransaction, "No transaction is active."); }
}  // namespace

Connection::Connection() = default;
Connection::~Connection() = default;

namespace {
std::string& clientNameSetting() {
  static std::string name = "zorbex-editor";
  return name;
}
}  // namespace

void setServerClientName(const std::string& name) { clientNameSetting() = name; }
const std::string& serverClientName() { return clientNameSetting(); }

bool Connection::savedOnlyInLog() const {
  return session_ && session_->file() && session_->file()->savedOnlyInLog();
}

void Connection::setProvider(const std::string& provider) {
  if (isOpen()) throw DbError(err::AlreadyOpen, "The provider cannot be changed while the connection is open.");
  if (!equalsIgnoringCase(provider, kJetProvider))
    throw DbError(err::ProviderNotFound, "The provider '" + provider + "' cannot be found; only " + kJetProvider + " is known.");
  provider_ = provider;
}

void Connection::setProperty(const std::string& name, const std::string& value) {
  if (!equalsIgnoringCase(name, kPasswordProperty))
    throw DbError(err::ItemNotFound, "The connection has no property named '" + name + "'.");
  password_ = value;
}

void Connection::open(const std::string& connectionString) {
  if (isOpen()) throw DbError(err::AlreadyOpen, "The connection is already open.");
  if (isServerUri(connectionString)) {
    openServer(connectionString, Space::Bank);
    return;
  }
  session_ = std::make_unique<Session>(openOurFile(connectionString, password_, false, ErrorStyle::Ado));
  path_ = connectionString;
  // A log left by a crash still holds commits: fold them into the file now, not at the
  // first write, so that the file alone is complete from the start.
  session_->file()->checkpoint();
  try {
    session_->openExtensions();
  } catch (...) {
    session_.reset();
    path_.clear();
    throw;
  }
}

void Connection::openServer(const std::string& conninfo, Space space) {
  if (isOpen()) throw DbError(err::AlreadyOpen, "The connection is already open.");
  auto db = connectServerEngine(conninfo, space == Space::User ? kUserSchema : "public");
  requireServerBank(*db);
  const std::string name = db->location();
  auto session = std::make_unique<Session>(std::move(db));
  if (space == Space::Bank) session->openExtensions();  // the user tables' schema keeps none
  path_ = name;
  session_ = std::move(session);
}

bool Connection::onServer() const { return session_ && !session_->file(); }

void Connection::open(const std::string& path, const std::string& key) {
  setProperty(kPasswordProperty, key);
  open(path);
}

Session& Connection::session() {
  if (!session_) throw DbError(err::ObjectClosed, "The operation is not allowed while the connection is closed.");
  return *session_;
}

Engine& Connection::engine() { return session().engine(); }

long Connection::execute(const std::string& jetSql) {
  Session& s = session();
  Translation t = s.translate(jetSql);
  long changed = 0;
  s.writing([&] { changed = static_cast<long>(s.engine().run(t.sql)); });
  return changed;
}

std::vector<std::string> Connection::fieldNames(const std::string& table) {
  Session& s = session();
  s.translate(statements::everyRowOf(table));  // the current table definitions, a link's file attached
  ResolvedTable r = s.resolve(table);
  return s.engine().columnNames("SELECT * FROM " + r.qualified);
}

void Connection::holdRows(const std::string& tableSource) {
  Session& s = session();
  if (level_ == 0) throw noTransaction();
  if (s.file()) return;
  s.engine().run(s.translate(statements::everyFieldOf(tableSource)).sql + " FOR UPDATE");
}

void Connection::reachTable(const std::string& table) { session().translate(statements::everyRowOf(table)); }

void Connection::releaseFile(const std::string& file) { session().detach(file); }

void Connection::close() {
  if (!session_) throw DbError(err::ObjectClosed, "The operation is not allowed while the connection is closed.");
  // A log that a full disk kept from the file gets one more try before the handle goes.
  if (FileStorage* f = session_->file(); f && f->savedOnlyInLog() && !session_->engine().inTransaction())
    f->checkpoint();
  session_.reset();  // an open transaction is rolled back with the handle
  path_.clear();
  level_ = 0;
}

long Connection::BeginTrans() {
  Engine& e = session().engine();
  // The outer level takes the write lock at once (waiting out another writer), so a
  // transaction never fails half-way for a lock it could not upgrade.
  if (level_ == 0) outerIsSavepoint_ = e.inTransaction();
  if (level_ == 0 && !outerIsSavepoint_) {
    e.begin(serializable_);
    try {
      session().transactionBegun();
    } catch (...) {
      e.rollback();
      session().afterRollback();
      throw;
    }
  } else {
    e.savepoint("zx_level" + std::to_string(level_ + 1));
  }
  return ++level_;
}

void Connection::CommitTrans() {
  Engine& e = session().engine();
  if (level_ == 0) throw noTransaction();
  try {
    const bool outermost = level_ == 1 && !outerIsSavepoint_;
    if (outermost) session().beforeCommit();
    if (outermost)
      e.commit();
    else
      e.releaseSavepoint("zx_level" + std::to_string(level_));
  } catch (const DbError&) {
    RollbackTrans();
    throw;
  }
  if (level_ == 1 && !outerIsSavepoint_) session().afterCommit();
  --level_;
}

void Connection::RollbackTrans() {
  Engine& e = session().engine();
  if (level_ == 0) throw noTransaction();
  --level_;
  if (level_ == 0 && !outerIsSavepoint_) {
    // The engine may have rolled back already (a full disk does that).
    session().afterRollback();
    e.rollback();
  } else {
    std::string name = "zx_level" + std::to_string(level_ + 1);
    e.rollbackToSavepoint(name);
    e.releaseSavepoint(name);
  }
}

Transaction::Transaction(Connection& conn) : conn_(conn), level_(conn.BeginTrans()) {}

Transaction::~Transaction() {
  if (done_ || !conn_.isOpen() || conn_.transactionLevel() != level_) return;
  try {
    conn_.RollbackTrans();
  } catch (const DbError&) {
    // Closing the connection rolls back what is left; a destructor must not throw.
  }
}

void Transaction::commit() {
  done_ = true;
  conn_.CommitTrans();
}

DeferCheckpoint::DeferCheckpoint(Connection& conn) : conn_(conn) {
  if (!conn.isOpen() || !conn.session().file()) return;  // a server keeps no log of ours
  session_ = &conn.session();
  session_->file()->deferCheckpoints();
}

DeferCheckpoint::~DeferCheckpoint() {
  // A connection closed or reopened meanwhile has checkpointed on its own.
  if (session_ && conn_.isOpen() && &conn_.session() == session_) session_->file()->resumeCheckpoints();
}

}  // namespace store
