#include "backup.h"

#include <sqlite3.h>

#include <system_error>

#include "db_error.h"
#include "platform_files.h"
#include "schema.h"
#include "session.h"

namespace store {

namespace fs = std::filesystem;

namespace {

DbError copyFailed(const fs::path& file, const std::string& why) {
  return DbError(err::Generic, "The copy '" + file.string() + "' could not be made: " + why);
}

// A name beside target for the copy in the making, removed again whatever happens.
class TemporaryBeside {
 public:
  explicit TemporaryBeside(const fs::path& target) : path_(target.string() + ".zx-copy") { removeAll(); }
  ~TemporaryBeside() { removeAll(); }
  const fs::path& path() const { return path_; }

 private:
  void removeAll() {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(path_.string() + suffix, ec);
  }
  fs::path path_;
};

// Opens a copy with the bank key and checks it whole; throws DbError naming what is wrong.
void verifyCopy(const fs::path& copy, const fs::path& named) {
  auto db = openOurFile(copy.string(), schema::kBankKey, false, ErrorStyle::Ado);
  std::string verdict;
  try {
    verdict = integrityOf(*db);
  } catch (const SqliteFailure& f) {
    throw engineError(f);
  }
  if (verdict != "ok")
    throw DbError(err::Damaged, "'" + named.string() + "' does not pass the integrity check: " + verdict);
}

}  // namespace

std::string integrityOf(SqliteDb& db) {
  auto st = db.prepare("PRAGMA integrity_check;");
  std::string verdict;
  while (st.step()) verdict += (verdict.empty() ? "" : "; ") + st.column(0).toString();
  return verdict;
}

void backupBank(const fs::path& folder, const fs::path& file) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(file, ec)))
    throw DbError(err::DatabaseExists, "The file '" + file.string() + "' already exists; a backup needs a new name.");
  // Opened for writing only so that, being the last connection, it takes its log files
  // away when it closes; nothing is written.
  auto source = openOurFile(schema::bankPath(folder).string(), schema::kBankKey, false, ErrorStyle::Ado);
  TemporaryBeside temp(file);
  {
    std::unique_ptr<SqliteDb> copy;
    try {
      copy = SqliteDb::create(temp.path().string(), schema::kBankKey);
    } catch (const SqliteFailure& f) {
      throw copyFailed(file, f.message + ".");
    }
    // One step under one read transaction: the copy is the bank as of one commit.
    sqlite3_backup* b = sqlite3_backup_init(copy->handle(), "main", source->handle(), "main");
    if (!b) throw copyFailed(file, std::string(sqlite3_errmsg(copy->handle())) + ".");
    int rc = sqlite3_backup_step(b, -1);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) throw engineError(SqliteFailure{rc, sqlite3_errstr(rc)});
  }
  source.reset();
  verifyCopy(temp.path(), file);
  try {
    platform::syncFile(temp.path());
    if (fs::exists(fs::symlink_status(file, ec)))
      throw DbError(err::DatabaseExists, "The file '" + file.string() + "' already exists; a backup needs a new name.");
    platform::replaceFile(temp.path(), file);
  } catch (const std::system_error& e) {
    throw copyFailed(file, std::string(e.what()) + ".");
  }
}

void restoreBank(const fs::path& file, const fs::path& folder) {
  std::error_code ec;
  const fs::path bank = schema::bankPath(folder);
  if (!fs::is_regular_file(file, ec))
    throw DbError(err::Generic, "Could not find the file '" + file.string() + "'.");
  if (fs::file_size(file.string() + "-wal", ec) > 0 && !ec)
    throw DbError(err::Locked, "'" + file.string() + "' has a log beside it: it is in use or was not closed; "
                               "take a backup of it with 'zorbex-bank backup' instead.");
  if (!fs::is_directory(folder, ec)) throw DbError(err::Generic, "The folder '" + folder.string() + "' does not exist.");
  TemporaryBeside temp(bank);
  try {
    fs::copy_file(file, temp.path(), fs::copy_options::none);
  } catch (const fs::filesystem_error& e) {
    throw DbError(err::Generic, "'" + file.string() + "' could not be copied into '" + folder.string() +
                                    "': " + e.code().message() + ".");
  }
  verifyCopy(temp.path(), file);  // its own connection, closed again: no log left with it
  auto use = platform::tryExclusiveUse(bank);
  if (!use)
    throw DbError(err::Locked, "The bank in '" + folder.string() +
                                   "' is open in another program (the editor or a tool); close it and try again.");
  try {
    platform::replaceFile(temp.path(), bank);
    // The log of the old bank would be replayed into the new one at its next opening.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(bank.string() + suffix);
    platform::syncFile(bank);
  } catch (const std::system_error& e) {
    throw DbError(err::Generic, "The bank could not be replaced: " + std::string(e.what()) + ".");
  }
}

}  // namespace store
