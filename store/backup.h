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
// connection has the bank open; the old bank's log and shared-memory files go with it.
// The copy must open with the bank's key and pass the integrity check first. Throws DbError.
void restoreBank(const std::filesystem::path& file, const std::filesystem::path& folder);

// "ok", or the integrity check's findings joined by "; ". Throws SqliteFailure.
std::string integrityOf(SqliteDb& db);

}  // namespace store
