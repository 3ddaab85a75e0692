#include "dao.h"

#include <filesystem>

#include "db_error.h"
#include "session.h"
#include "sqlite_db.h"

namespace store::dao {

namespace {

DbError closedError() { return DbError(err::DaoObjectClosed, "The database object is no longer set: it was closed."); }

// The key in "MS Access;pwd=KEY" or ";pwd=KEY".
std::string keyOf(const std::string& connect) { return parseConnect(connect).password; }

// A linked file and table must be reachable before a link to them is stored.
void checkLinkTarget(const TableDefRow& row) {
  ConnectString c = parseConnect(row.connect);
  if (c.database.empty()) throw DbError(err::DaoNoConnect, "The connect string of '" + row.name + "' names no database file.");
  auto db = openOurFile(c.database, c.password, true, ErrorStyle::Dao);
  const std::string& source = row.sourceTable.empty() ? row.name : row.sourceTable;
  try {
    if (!db->tableExists("main", source))
      throw DbError(err::DaoObjectNotFound,
                    "The table '" + source + "' could not be found in '" + c.database + "'.");
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
}

}  // namespace

void TableDef::refreshLink() {
  if (!db_) throw DbError(err::DaoNotInDatabase, "RefreshLink needs a table definition that belongs to a database.");
  if (row_.connect.empty()) throw DbError(err::DaoNoConnect, "'" + row_.name + "' is not a linked table.");
  db_->requireWritable();
  checkLinkTarget(row_);
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
  try {
    auto st = session().db().prepare(
        insert ? std::string("INSERT INTO ") + kTableDefsTable +
                     " (name, attributes, connect, source_table) VALUES (?1, ?2, ?3, ?4);"
               : std::string("UPDATE ") + kTableDefsTable +
                     " SET attributes = ?2, connect = ?3, source_table = ?4 WHERE name = ?1 AND NOT "
                     "(attributes IS ?2 AND connect IS ?3 AND source_table IS ?4);");  // an unchanged link writes nothing
    st.bind(1, Value(row.name));
    st.bind(2, Value(static_cast<long long>(row.attributes)));
    st.bind(3, Value(row.connect));
    st.bind(4, Value(row.sourceTable));
    st.step();
    noteCatalogChanged();
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
}

void Database::append(TableDef& def) {
  requireWritable();
  if (def.row_.connect.empty())
    throw DbError(err::DaoNoFields, "The table definition '" + def.name() + "' cannot be appended: it has no fields and no link.");
  for (auto& existing : tableDefs())
    if (equalsIgnoringCase(existing.name(), def.name()))
      throw DbError(err::DaoTableExists, "The table '" + def.name() + "' already exists.");
  checkLinkTarget(def.row_);
  def.row_.attributes |= dbAttachedTable;
  storeLink(def.row_, true);
  def.db_ = this;
}

void Database::deleteTableDef(const std::string& name) {
  requireWritable();
  TableDef def = tableDef(name);
  try {
    if (def.connect().empty()) session().db().exec("DROP TABLE " + sqlIdent(def.name()) + ";");
    auto st = session().db().prepare(std::string("DELETE FROM ") + kTableDefsTable + " WHERE name = ?1;");
    st.bind(1, Value(def.name()));
    st.step();
    noteCatalogChanged();
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
}

void Database::close() {
  if (!session_) throw closedError();
  session_.reset();
}

Database openDatabase(const std::string& name, bool /*options*/, bool readOnly, const std::string& connect) {
  auto db = openOurFile(name, keyOf(connect), readOnly, ErrorStyle::Dao);
  return Database(name, std::make_unique<Session>(std::move(db)), readOnly);
}

}  // namespace store::dao
