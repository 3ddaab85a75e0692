#include "connection.h"

#include "db_error.h"
#include "history_context.h"
#include "session.h"
#include "sqlite_db.h"
#include "statements.h"

namespace store {

Connection::Connection() = default;
Connection::~Connection() = default;

bool Connection::savedOnlyInLog() const { return session_ && session_->db().checkpointFailure() != nullptr; }

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
  session_ = std::make_unique<Session>(openOurFile(connectionString, password_, false, ErrorStyle::Ado));
  path_ = connectionString;
  // A log left by a crash still holds commits: fold them into the file now, not at the
  // first write, so that the file alone is complete from the start.
  session_->db().checkpoint();
  try {
    session_->noteKeepsHistory(history::ensureHistory(session_->db()));
  } catch (...) {
    session_.reset();
    path_.clear();
    throw;
  }
}

void Connection::open(const std::string& path, const std::string& key) {
  setProperty(kPasswordProperty, key);
  open(path);
}

Session& Connection::session() {
  if (!session_) throw DbError(err::ObjectClosed, "The operation is not allowed while the connection is closed.");
  return *session_;
}

long Connection::execute(const std::string& jetSql) {
  Session& s = session();
  Translation t = s.translate(jetSql);
  try {
    auto st = s.db().prepare(t.sql);
    long changed = 0;
    s.writing([&] {
      while (st.step()) {
      }
      changed = static_cast<long>(s.db().changes());
    });
    return changed;
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
}

std::vector<std::string> Connection::fieldNames(const std::string& table) {
  Session& s = session();
  s.translate(statements::everyRowOf(table));  // the current table definitions, a link's file attached
  ResolvedTable r = s.resolve(table);
  try {
    auto st = s.db().prepare("SELECT * FROM " + r.qualified + " LIMIT 0;");
    std::vector<std::string> names;
    for (int i = 0; i < st.columnCount(); ++i) names.push_back(st.columnName(i));
    return names;
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
}

void Connection::reachTable(const std::string& table) { session().translate(statements::everyRowOf(table)); }

void Connection::releaseFile(const std::string& file) { session().detach(file); }

void Connection::close() {
  if (!session_) throw DbError(err::ObjectClosed, "The operation is not allowed while the connection is closed.");
  // A log that a full disk kept from the file gets one more try before the handle goes.
  if (session_->db().checkpointFailure() && !session_->db().inTransaction()) session_->db().checkpoint();
  session_.reset();  // an open transaction is rolled back with the handle
  path_.clear();
  level_ = 0;
}

namespace {
DbError noTransaction() { return DbError(err::NoTransaction, "No transaction is active."); }
}  // namespace

long Connection::BeginTrans() {
  SqliteDb& db = session().db();
  try {
    // The outer level takes the write lock at once (waiting out another writer), so a
    // transaction never fails half-way for a lock it could not upgrade.
    if (level_ == 0) outerIsSavepoint_ = db.inTransaction();
    const bool outermost = level_ == 0 && !outerIsSavepoint_;
    db.exec(outermost ? "BEGIN IMMEDIATE;" : "SAVEPOINT zx_level" + std::to_string(level_ + 1) + ";");
    if (outermost) {
      try {
        session().transactionBegun();
      } catch (const SqliteFailure&) {
        db.exec("ROLLBACK;");
        session().afterRollback();
        throw;
      }
    }
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
  return ++level_;
}

void Connection::CommitTrans() {
  SqliteDb& db = session().db();
  if (level_ == 0) throw noTransaction();
  try {
    const bool outermost = level_ == 1 && !outerIsSavepoint_;
    if (outermost) session().beforeCommit();
    db.exec(outermost ? "COMMIT;" : "RELEASE zx_level" + std::to_string(level_) + ";");
  } catch (const SqliteFailure& f) {
    DbError e = engineError(f);
    RollbackTrans();
    throw e;
  }
  if (level_ == 1 && !outerIsSavepoint_) session().afterCommit();
  --level_;
}

void Connection::RollbackTrans() {
  SqliteDb& db = session().db();
  if (level_ == 0) throw noTransaction();
  --level_;
  try {
    if (level_ == 0 && !outerIsSavepoint_) {
      // The engine may have rolled back already (a full disk does that).
      session().afterRollback();
      if (db.inTransaction()) db.exec("ROLLBACK;");
    } else {
      std::string name = "zx_level" + std::to_string(level_ + 1);
      db.exec("ROLLBACK TO " + name + "; RELEASE " + name + ";");
    }
  } catch (const SqliteFailure& f) {
    throw engineError(f);
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
  if (!conn.isOpen()) return;
  session_ = &conn.session();
  session_->db().deferCheckpoints();
}

DeferCheckpoint::~DeferCheckpoint() {
  // A connection closed or reopened meanwhile has checkpointed on its own.
  if (session_ && conn_.isOpen() && &conn_.session() == session_) session_->db().resumeCheckpoints();
}

}  // namespace store
