#pragma once
// The DAO-shaped side of the component: a database opened for its table definitions and
// links with connect strings.

#include <memory>
#include <string>
#include <vector>

#include "text.h"

namespace store {

class Session;

// Parts of a link's connect string ";DATABASE=path;pwd=key;", or on a server ";SCHEMA=name;".
struct ConnectString {
  std::string database;
  std::string password;
  std::string schema;
};
ConnectString parseConnect(const std::string& connect);

// One table definition as the file keeps it.
struct TableDefRow {
  std::string name;
  long attributes = 0;
  std::string connect;      // empty for a local table
  std::string sourceTable;  // links only
};

}  // namespace store

namespace store::dao {

inline constexpr long dbSystemObject = 0x80000002L;
inline constexpr long dbAttachedTable = 0x40000000L;

class Database;

class TableDef {
 public:
  TableDef() = default;
  const std::string& name() const { return row_.name; }
  long attributes() const { return row_.attributes; }
  const std::string& connect() const { return row_.connect; }
  void setConnect(const std::string& c) { row_.connect = c; }
  const std::string& sourceTableName() const { return row_.sourceTable; }
  void setSourceTableName(const std::string& s) { row_.sourceTable = s; }
  // Checks the linked file and table with the connect string set, then stores the string.
  void refreshLink();

 private:
  friend class Database;
  TableDef(Database* db, TableDefRow row) : db_(db), row_(std::move(row)) {}
  Database* db_ = nullptr;
  TableDefRow row_;
};

class Database {
 public:
  Database(Database&&) noexcept;
  Database& operator=(Database&&) noexcept;
  ~Database();

  // The TableDefs collection.
  std::vector<TableDef> tableDefs();
  TableDef tableDef(const std::string& name);  // item by name (3265 when missing)
  TableDef createTableDef(const std::string& name);
  void append(TableDef& def);  // a link: connect and source table must be set
  void deleteTableDef(const std::string& name);
  void close();
  bool isOpen() const { return session_ != nullptr; }
  const std::string& name() const { return name_; }

 private:
  friend Database openDatabase(const std::string&, bool, bool, const std::string&);
  friend Database openServerDatabase(const std::string&, bool);
  friend class TableDef;
  Database(std::string name, std::unique_ptr<Session> s, bool readOnly);
  Session& session();
  void requireWritable() const;
  void storeLink(const TableDefRow& row, bool insert);

  std::string name_;
  std::unique_ptr<Session> session_;
  bool readOnly_ = false;
};

// Connect "MS Access;pwd=KEY". Options (exclusive) is accepted; the file is opened shared.
Database openDatabase(const std::string& name, bool options, bool readOnly, const std::string& connect);
// The bank on a PostgreSQL server, by a libpq connection string or URI.
Database openServerDatabase(const std::string& conninfo, bool readOnly);

}  // namespace store::dao
