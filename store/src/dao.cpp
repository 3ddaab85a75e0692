#include "dao.h"

#include <filesystem>

#include "connection.h"
#include "db_error.h"
#include "session.h"

namespace store::dao {

namespace {

DbError closedError() { return DbError(err::DaoObjectClosed, "The database object is no longer set: it was closed."); }

// The key in "MS Access;pwd=KEY" or ";pwd=KEY".
std::string keyOf(const std::string& connect) { return parseConnect(connect).password; }

// A linked file and table must be reachable before a link to them is stored; on a server, the
// table in the schema that the link names.
void checkLinkTarget(Session& session, const TableDefRow& row) {
  ConnectString c = parseConnect(row.connect);
  if (!session.file()) {
    const std::string& source = row.sourceTable.empty() ? row.name : row.sourceTable;
    auto rows = session.engine().query("SELECT 1 FROM pg_tables WHERE schemaname = $1 AND lower(tablename) = lower($2)",
                                       {Value(c.schema), Value(source)});
    if (c.schema.empty() || !rows->next())
      throw DbError(err::DaoObjectNotFound, "The table '" + source + "' could not be found in the schema '" + c.schema + "'.");
    return;
  }
  if (c.database.empty()) throw DbError(err::DaoNoConnect, "The connect string of '" + row.name + "' names no database file.");
  auto db = openOurFile(c.database, c.password, true, ErrorStyle::Dao);
  const std::string& source = row.sourceTable.empty() ? row.name : row.sourceTable;
  if (!db->hasTable(source))
    throw DbError(err::DaoObjectNotFound, "The table '" + source + "' could not be found in '" + c.database + "'.");
}

}  // namespace

void TableDef::refreshLink() {
  if (!db_) throw DbError(err::DaoNotInDatabase, "RefreshLink needs a table definition that belongs to a database.");
  if (row_.connect.empty()) throw DbError(err::DaoNoConnect, "'" + row_.name + "' is not a linked table.");
  db_->requireWritable();
  checkLinkTarget(db_->session(), row_);
  db_->storeLink(row_, false);
}

Database::Database(std::string name, std::unique_ptr<Session> s, bool readOnly)
    : name_(std::move(name)), session_(std::move(s)), readOnly_(readOnly) {}
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::~Database() = default;

Session& Database::session() {
  if (!session_) throw closedError();
  return *session_;
}

void Database::requireWritable() const {
  if (readOnly_) throw DbError(err::ReadOnly, "The database is open read-only; its table definitions cannot be changed.");
}

std::vector<TableDef> Database::tableDefs() {
  std::vector<TableDef> out;
  for (auto& row : session().tableDefs()) out.push_back(TableDef(this, row));
  return out;
}

TableDef Database::tableDef(const std::string& name) {
  for (auto& def : tableDefs())
    if (equalsIgnoringCase(def.name(), name)) return def;
  throw DbError(err::ItemNotFound, "Item not found in this collection: there is no table definition '" + name + "'.");
}

TableDef Database::createTableDef(const std::string& name) {
  session();
  return TableDef(this, TableDefRow{name, 0, {}, {}});
}

void Database::storeLink(const TableDefRow& row, bool insert) {
  Engine& e = session().engine();
  const std::string t = kTableDefsTable;
  if (!insert) {
    // An unchanged link writes nothing.
    auto now = e.query("SELECT attributes, connect, source_table FROM " + t + " WHERE name = " + e.param(1), {Value(row.name)});
    if (now->next() && now->column(0).toInt() == row.attributes && now->column(1) == Value(row.connect) &&
        now->column(2) == Value(row.sourceTable))
      return;
  }
  std::vector<Value> values{Value(row.name), Value(static_cast<long long>(row.attributes)), Value(row.connect),
                            Value(row.sourceTable)};
  e.run(insert ? "INSERT INTO " + t + " (name, attributes, connect, source_table) VALUES (" + e.param(1) + ", " +
                     e.param(2) + ", " + e.param(3) + ", " + e.param(4) + ")"
               : "UPDATE " + t + " SET attributes = " + e.param(2) + ", connect = " + e.param(3) +
                     ", source_table = " + e.param(4) + " WHERE name = " + e.param(1),
        values);
  noteCatalogChanged();
}

void Database::append(TableDef& def) {
  requireWritable();
  if (def.row_.connect.empty())
    throw DbError(err::DaoNoFields, "The table definition '" + def.name() + "' cannot be appended: it has no fields and no link.");
  for (auto& existing : tableDefs())
    if (equalsIgnoringCase(existing.name(), def.name()))
      throw DbError(err::DaoTableExists, "The table '" + def.name() + "' already exists.");
  checkLinkTarget(session(), def.row_);
  def.row_.attributes |= dbAttachedTable;
  storeLink(def.row_, true);
  def.db_ = this;
}

void Database::deleteTableDef(const std::string& name) {
  requireWritable();
  TableDef def = tableDef(name);
  Engine& e = session().engine();
  if (def.connect().empty()) e.run("DROP TABLE " + tableIdent(e.dialect(), def.name()));
  e.run(std::string("DELETE FROM ") + kTableDefsTable + " WHERE name = " + e.param(1), {Value(def.name())});
  noteCatalogChanged();
}

void Database::close() {
  if (!session_) throw closedError();
  session_.reset();
}

Database openDatabase(const std::string& name, bool /*options*/, bool readOnly, const std::string& connect) {
  if (isServerUri(name)) return openServerDatabase(name, readOnly);
  auto db = openOurFile(name, keyOf(connect), readOnly, ErrorStyle::Dao);
  return Database(name, std::make_unique<Session>(std::move(db)), readOnly);
}

Database openServerDatabase(const std::string& conninfo, bool readOnly) {
  auto db = connectServerEngine(conninfo, "public");
  requireServerBank(*db);
  std::string name = db->location();
  return Database(name, std::make_unique<Session>(std::move(db)), readOnly);
}

}  // namespace store::dao
