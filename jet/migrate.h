#pragma once
// Moves an existing Jet bank and user database into this program's files: every table,
// every live row, verified by reading the results back. Takes the reader's table model,
// so that the bank's own steps can be fed tables built elsewhere.

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "jet_reader.h"

namespace jet {

struct TableResult {
  std::string file;   // zorbex_be.mdb or zorbex_user.mdb
  std::string table;
  size_t read = 0;     // rows read from the source
  size_t written = 0;  // rows found in the result when it was read back
  std::optional<size_t> stated;  // the source's own row count, when it differs from `read`
};

struct MigrationResult {
  std::vector<TableResult> tables;
  // Rows kept aside because they repeat a question number, and links left as they were.
  std::vector<std::string> notes;
  // A salvage that left rows, pages or tables behind (salvage-report.txt says which).
  bool leftBehind = false;
};

// Anything that stopped the migration; nothing is left behind when it is thrown.
struct MigrationError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Question tables keep numQ unique: a row that repeats a number (case aside) goes to
// "<table>_duplicate_numQ" in the same file, and a note names it.
inline constexpr const char* kDuplicateSuffix = "_duplicate_numQ";

// The salvage's account, written beside the two files.
inline constexpr const char* kSalvageReportFile = "salvage-report.txt";

// Creates dir/zorbex_be.mdb and dir/zorbex_user.mdb (dir is made when missing; neither
// file may exist) from the two sources, then reads both back and compares them with the
// sources table by table, row by row. Everything is built in a folder beside dir
// (stagingFolder) and only moved into dir once verified, so that a run killed at any point
// leaves dir as it was; the next run removes what such a run left. A non-empty
// salvageReport is written into dir as salvage-report.txt, which may not exist either.
MigrationResult migrate(const Database& bank, const Database& user, const std::filesystem::path& dir,
                        const std::string& salvageReport = {});

// Where migrate builds the files for dir: a hidden folder beside it.
std::filesystem::path stagingFolder(const std::filesystem::path& dir);

// Whole: reads both Jet files in full first, so that a damaged source leaves nothing
// written. Salvage: moves every row that can be read, and says in salvage-report.txt what
// could not be, table by table (leftBehind is then set).
MigrationResult migrateFiles(const std::filesystem::path& jetBank, const std::filesystem::path& jetUser,
                             const std::filesystem::path& dir, const std::string& jet3Charset = {},
                             Reading reading = Reading::Whole);

// Writes a new file of ours (key) holding one table, tableName, with the given rows of
// source, in one transaction; an earlier file of that name is replaced. Throws
// store::DbError, and leaves no file then.
void stageTable(const std::filesystem::path& file, const char* key, const std::string& tableName, const Table& source,
                const std::vector<size_t>& rows);

}  // namespace jet
