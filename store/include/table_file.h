#pragma once
// A file of ours written table by table with the program's values and no statement text: the
// migration of Jet banks builds its files through it, whichever engine keeps them. What one
// TableFile writes is one transaction: nothing is kept until commit().

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "value.h"

namespace store {

class Session;

// How a column keeps its values.
enum class ColumnType {
  Integer,
  Real,
  Text,       // compared without regard to case, as every text of the bank
  ExactText,  // kept and compared as written (exact decimals, dates)
  Bytes,      // binary; a text value given for it is stored as its bytes
};

struct ColumnDef {
  std::string name;
  ColumnType type = ColumnType::Text;
};

class TableFile {
 public:
  // An existing file of ours, to be written; the transaction begins here. Throws DbError.
  static TableFile openForWriting(const std::filesystem::path& file, const std::string& key);
  // An existing file of ours, to be read back. Throws DbError.
  static TableFile openForReading(const std::filesystem::path& file, const std::string& key);
  // A new file of ours (it must not exist) with its table of table definitions; the
  // transaction begins here. Throws DbError.
  static TableFile create(const std::filesystem::path& file, const std::string& key);

  TableFile(TableFile&&) noexcept;
  TableFile& operator=(TableFile&&) noexcept;
  ~TableFile();  // what was not committed is rolled back

  // Every method throws DbError. Names may hold any character.
  // The file's spelling of a table of that name (letter case aside); empty when it has none.
  std::string existingTable(const std::string& name);
  std::vector<std::string> columnNames(const std::string& table);
  void createTable(const std::string& name, const std::vector<ColumnDef>& columns);
  // Adds those of columns that the table lacks (names compared without regard to case).
  void addMissingColumns(const std::string& table, const std::vector<ColumnDef>& columns);
  // Writes rows, each holding one value per column, in the order of columns.
  void insertRows(const std::string& table, const std::vector<ColumnDef>& columns,
                  const std::vector<const std::vector<Value>*>& rows);
  // Points every link whose connect string is `from` at `to`.
  void repointLinks(const std::string& from, const std::string& to);
  void commit();

  // Every row of the table in the order they were written, with the values of columns;
  // each returns false to stop.
  void readRows(const std::string& table, const std::vector<std::string>& columns,
                const std::function<bool(const std::vector<Value>&)>& each);

 private:
  TableFile(std::unique_ptr<Session> file, bool writing);
  std::unique_ptr<Session> file_;
  bool open_ = false;  // a transaction not yet committed
};

}  // namespace store
