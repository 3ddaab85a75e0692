#pragma once
// Importing a pool of questions from another bank file, and memos from another user
// database, into this folder's bank and user database.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "db_error.h"
#include "program_state.h"

namespace maintenance {

inline constexpr const char* kImportTable = "ImportTbl";
inline constexpr long kInvalidFileName = 3055;   // the source is this folder's own bank or user database
inline constexpr long kColumnsDiffer = 3127;     // the source table's columns are not the bank table's

// The import's connection with its caller: the log, the question, failures passed over.
struct ImportHooks {
  // The log messages of the import after the log tag: " SQL:" + statement, " successfully completed.".
  std::function<void(const std::string& message)> log;
  // A failure that the import goes on after (an error in the command of a step that the
  // import does not depend on).
  std::function<void(const store::DbError&)> passedOver;
  // "Are you sure?" before anything is inserted; true goes on.
  std::function<bool()> confirm;
};

class ImportSource;

// The file beside the bank where a pool read from a genuine Jet file waits for the insert.
inline constexpr const char* kStagingFile = "zorbex_import.mdb";
std::filesystem::path stagingPath(const std::filesystem::path& folder);

// The failure of an insert that repeats a question number.
bool isKeyViolation(const store::DbError& e);

// A file that can be a source: not this folder's bank or user database (they cannot be
// their own source), and a name that a link's connect string can carry (no ';').
bool canImportFrom(const std::filesystem::path& folder, const std::string& sourceFile);

// Why a chosen file cannot be a source, as a sentence for the user after "Invalid File
// Name."; empty when it can be one. key: the key the source is read with (the bank's for
// pools, the user database's for memos); nullptr leaves the key unchecked.
std::string importFileProblem(const std::filesystem::path& folder, const std::string& sourceFile, const char* key);

// A source must be a regular file: a pipe, a device or a folder is refused (store::DbError)
// before anything is opened, as reading one may never end.
void requireRegularSource(const std::string& sourceFile);

// The pool names of a question table of a bank file (bank key); 3021 for an empty table.
std::vector<std::string> ListImportPools(const std::string& sourceFile, const std::string& table);
// The question numbers of the memos of a user-database file (user key); 3021 for none.
std::vector<std::string> ListImportMemos(const std::string& sourceFile);

// Copies every question of one pool of the source's table into the same table of the bank
// over state.pConn(), which must be open. The pool is staged in the source's ImportTbl and
// reached through the bank's link ImportTbl; both stay for the next import to replace.
// The insert runs only when confirm() says so; a repeated question number inserts nothing,
// and a pool that the source's table does not hold is refused before anything is written.
// Failures that stop the import are thrown as store::DbError.
void ImportPool(bank::ProgramState& state, const std::string& sourceFile, const std::string& table,
                const std::string& pool, const ImportHooks& hooks);
// The same from a source already open (the file checks are the caller's).
void ImportPool(bank::ProgramState& state, ImportSource& source, const std::string& table, const std::string& pool,
                const ImportHooks& hooks);

// Appends the source's memos of the given question numbers to this folder's memos (a new
// memo where there is none), all or nothing. The memos are read before confirm() is asked;
// nothing changes unless it says so.
void ImportMemos(bank::ProgramState& state, const std::string& sourceFile, const std::vector<std::string>& numbers,
                 const ImportHooks& hooks);
void ImportMemos(bank::ProgramState& state, ImportSource& source, const std::vector<std::string>& numbers,
                 const ImportHooks& hooks);

}  // namespace maintenance
