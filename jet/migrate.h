#pragma once
// Moves an existing Jet bank and user database into this program's files: every table,
// every live row, verified by reading the results back. Takes the reader's table model,
// so that the bank's own steps can be fed tables built elsewhere.

#include <filesystem>
#include <functional>
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
};

struct MigrationResult {
  std::vector<TableResult> tables;
  // Rows kept aside because they repeat a question number, and links left as they were.
  std::vector<std::string> notes;
};

// Anything that stopped the migration; nothing is left behind when it is thrown.
struct MigrationError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Question tables keep numQ unique: a row that repeats a number (case aside) goes to
// "<table>_duplicate_numQ" in the same file, and a note names it.
inline constexpr const char* kDuplicateSuffix = "_duplicate_numQ";

// Creates dir/zorbex_be.mdb and dir/zorbex_user.mdb (dir is made when missing; neither
// file may exist) from the two sources, then reads both back and compares them with the
// sources table by table, row by row.
MigrationResult migrate(const Database& bank, const Database& user, const std::filesystem::path& dir);

// Reads both Jet files in full first, so that a damaged source leaves nothing written.
MigrationResult migrateFiles(const std::filesystem::path& jetBank, const std::filesystem::path& jetUser,
                             const std::filesystem::path& dir, const std::string& jet3Charset = {});

// Writes a new file of ours (key) holding one table, tableName, with the given rows of
// source, in one transaction; an earlier file of that name is replaced. Throws
// store::DbError, and leaves no file then.
void stageTable(const std::filesystem::path& file, const char* key, const std::string& tableName, const Table& source,
                const std::vector<size_t>& rows);

}  // namespace jet
