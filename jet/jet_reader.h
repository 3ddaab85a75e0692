#pragma once
// A read-only reader of genuine Jet 3/4 database files (and their ACE successors):
// tables with their columns and Jet types, every live row as store::Value, and the
// links a file holds. Nothing here ever writes to the file it reads.

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "value.h"

namespace jet {

// Jet's own column type codes.
enum class ColumnType {
  Boolean = 0x01,
  Byte = 0x02,
  Integer = 0x03,
  LongInteger = 0x04,
  Currency = 0x05,
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0a,
  OleObject = 0x0b,
  Memo = 0x0c,
  ReplicationId = 0x0f,
  Decimal = 0x10,
  Complex = 0x12,
};

// "Long Integer", "Memo", ... as Jet names them.
const char* typeName(ColumnType t);
// Binary and OLE values are carried as text holding the raw bytes.
inline bool isBinary(ColumnType t) { return t == ColumnType::Binary || t == ColumnType::OleObject; }

struct Column {
  std::string name;
  ColumnType type = ColumnType::Text;
  int size = 0;  // bytes as stored (0 for memo and OLE)
  int precision = 0;
  int scale = 0;
};

using Row = std::vector<store::Value>;

// Values as read: Null; booleans -1/0 and whole numbers as integers; Single and Double
// as double; text and memo as UTF-8; dates as "YYYY-MM-DD hh:mm:ss[.mmm]"; currency and
// decimals as exact decimal text; GUIDs as "{...}"; binary as its bytes.
struct Table {
  std::string name;
  std::vector<Column> columns;
  std::vector<Row> rows;
  // The row count the file's table definition holds; Jet keeps it, but it can be stale.
  // Empty for tables not read from a file.
  std::optional<size_t> statedRows = std::nullopt;
};

// What a salvaging read of one table could not read: one line per row or page, and why.
struct TableLoss {
  std::string table;
  size_t rowsLost = 0;   // rows that were found but could not be read
  size_t pagesLost = 0;  // pages (and the rows on them) that could not be read
  std::vector<std::string> why;
  bool unreadable = false;  // the table's definition itself could not be read
};

// A table that lives in another file.
struct Link {
  std::string name;
  std::string database;     // the linked file as stored
  std::string foreignName;  // the table's name there
  std::string connect;
};

// A file that is not a Jet database, or is damaged; the message names the file.
struct JetError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Whole: any damage ends the read in a JetError. Salvage: damaged rows and pages of the
// catalogue are passed over (see catalogueLoss) so that the readable tables can be found.
enum class Reading { Whole, Salvage };

class Reader {
 public:
  // Opens read-only. jet3Charset overrides the code page of Jet 3 text (files whose
  // header names a code page their text does not use); empty: the header's.
  explicit Reader(const std::filesystem::path& file, const std::string& jet3Charset = {},
                  Reading reading = Reading::Whole);
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  const std::filesystem::path& file() const;
  std::vector<std::string> tableNames() const;  // user tables, catalogue order
  std::vector<Link> links() const;
  Table readTable(const std::string& name) const;  // JetError if it cannot be read whole
  // Every row that can be read; what cannot is said in loss. Throws only when the file
  // has no such table, or its text cannot be converted at all.
  Table salvageTable(const std::string& name, TableLoss& loss) const;
  // What a salvaging open could not read of the catalogue (tables it may have named).
  const TableLoss& catalogueLoss() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// Whether the file's header is a Jet 3/4 (or ACE) database's; false for anything
// unreadable. Says nothing about the rest of the file.
bool isJetFile(const std::filesystem::path& file);

// Every user table and link of a file, read in full.
struct Database {
  std::filesystem::path file;
  std::vector<Table> tables;
  std::vector<Link> links;
};
Database readDatabase(const std::filesystem::path& file, const std::string& jet3Charset = {});

// Every row of the file that can be read. Tables whose definition cannot be read are
// left out of database.tables; losses holds one entry per table (and the catalogue,
// under "MSysObjects") that lost anything.
struct SalvagedDatabase {
  Database database;
  std::vector<TableLoss> losses;
};
SalvagedDatabase salvageDatabase(const std::filesystem::path& file, const std::string& jet3Charset = {});

}  // namespace jet
