#pragma once
// Copies of the bank: taken while the editor runs, and put back in place.

#include <filesystem>
#include <string>

namespace store {

class SqliteDb;

// A consistent copy of the bank of folder, under the bank's key, written to file (which must
// not exist yet); readers and writers of the bank may go on meanwhile. The copy is checked
// before it takes its name. Throws DbError.
void backupBank(const std::filesystem::path& folder, const std::filesystem::path& file);

// Puts a copy of file in place of the bank of folder in one step: refused while any
// connection or another restore or compaction has the bank. file must open with the bank's
// key before anything is copied, and the copy must pass the integrity check before it takes
// the bank's name; the old bank's log and shared-memory files go with it. Throws DbError,
// and then the bank is as it was.
void restoreBank(const std::filesystem::path& file, const std::filesystem::path& folder);

// "ok", or the integrity check's findings joined by "; ". Throws SqliteFailure.
std::string integrityOf(SqliteDb& db);

// With every connection of this process to dbFile closed: empty when dbFile alone holds
// every committed change; otherwise what the user must know and do, because the changes
// still wait in its write-ahead log (the disk was full, or another program was reading).
std::string unfinishedLogWarning(const std::filesystem::path& dbFile);

// Whether a failure of the system while writing under folder was for lack of space.
bool outOfSpace(const std::error_code& ec, const std::filesystem::path& folder);

}  // namespace store
