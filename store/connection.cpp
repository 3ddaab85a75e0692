#include "connection.h"

#include "db_error.h"

namespace store {

void Connection::setProvider(const std::string& provider) {
  if (isOpen()) throw DbError(3705, "The provider cannot be changed while the connection is open.");
  if (!equalsIgnoringCase(provider, kJetProvider))
    throw DbError(3706, "The provider '" + provider + "' cannot be found; only " + kJetProvider + " is known.");
  provider_ = provider;
}

void Connection::setProperty(const std::string& name, const std::string& value) {
  if (!equalsIgnoringCase(name, kPasswordProperty))
    throw DbError(err::ItemNotFound, "The connection has no property named '" + name + "'.");
  password_ = value;
}

void Connection::open(const std::string& connectionString) {
  if (isOpen()) throw DbError(3705, "The connection is already open.");
  session_ = std::make_unique<Session>(openOurFile(connectionString, password_, false, ErrorStyle::Ado));
  path_ = connectionString;
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
    while (st.step()) {
    }
    return static_cast<long>(s.db().changes());
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
}

void Connection::close() {
  if (!session_) throw DbError(err::ObjectClosed, "The operation is not allowed while the connection is closed.");
  session_.reset();
  path_.clear();
}

}  // namespace store
