#include "backup.h"

#include <sqlite3.h>

#include <atomic>
#include <random>
#include <system_error>

#include "db_error.h"
#include "platform.h"
#include "schema.h"
#include "session.h"

namespace store {

namespace fs = std::filesystem;

namespace {

DbError copyFailed(const fs::path& file, const std::string& why) {
  return DbError(err::Generic, "The copy '" + file.string() + "' could not be made: " + why);
}

DbError diskFull(const std::string& what) {
  return DbError(err::DiskFull, "The disk is full: " + what + " Free some space and try again.");
}

// A name beside target for one operation's copy in the making, which no other run uses,
// removed again whatever happens.
class TemporaryBeside {
 public:
  explicit TemporaryBeside(const fs::path& target) : path_(uniqueName(target)) {}
  ~TemporaryBeside() { removeDatabaseFiles(path_.string()); }
  const fs::path& path() const { return path_; }

 private:
  static fs::path uniqueName(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    return target.string() + ".zx-copy-" + std::to_string(platform::processId()) + "-" + std::to_string(++counter) +
           "-" + std::to_string(random());
  }
  fs::path path_;
};

// Opens a file with the bank key and checks it whole; throws DbError naming the user's file
// (named) rather than the copy that was opened.
void verifyCopy(const fs::path& copy, const fs::path& named) {
  auto renamed = [&](const DbError& e) {
    std::string text = e.description;
    for (size_t at; (at = text.find(copy.string())) != std::string::npos;)
      text.replace(at, copy.string().size(), named.string());
    return DbError(e.number, text);
  };
  try {
    auto db = openOurFile(copy.string(), schema::kBankKey, false, ErrorStyle::Ado);
    std::string verdict;
    try {
      verdict = integrityOf(*db);
    } catch (const SqliteFailure& f) {
      throw engineError(f);
    }
    if (verdict != "ok")
      throw DbError(err::Damaged, "'" + named.string() + "' does not pass the integrity check: " + verdict);
  } catch (const DbError& e) {
    throw renamed(e);
  }
}

bool hasContent(const fs::path& file) {
  std::error_code ec;
  auto size = fs::file_size(file, ec);
  return !ec && size > 0;
}

}  // namespace

bool outOfSpace(const std::error_code& ec, const fs::path& folder) {
  if (platform::isOutOfSpace(ec)) return true;
  return ec == std::errc::io_error && diskNearlyFull((folder / "x").string());
}

std::string integrityOf(SqliteDb& db) {
  auto st = db.prepare("PRAGMA integrity_check;");
  std::string verdict;
  while (st.step()) verdict += (verdict.empty() ? "" : "; ") + st.column(0).toString();
  return verdict;
}

std::string unfinishedLogWarning(const fs::path& dbFile) {
  const fs::path log = dbFile.string() + "-wal";
  if (!hasContent(log)) return {};
  const std::string why = diskNearlyFull(dbFile.string()) ? " because the disk is full"
                                                          : " because another program was reading it";
  return "The change is saved, but the bank file '" + dbFile.string() + "' is not yet whole on its own" + why +
         ": the change waits in '" + log.string() + "'. Free some space on the disk; the next change or the next "
         "opening of the bank completes the file. Until then keep the -wal file beside the bank, and do not copy the "
         "bank file alone: take a copy with 'zorbex-bank backup'.";
}

void backupBank(const fs::path& folder, const fs::path& file) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(file, ec)))
    throw DbError(err::DatabaseExists, "The file '" + file.string() + "' already exists; a backup needs a new name.");
  // Opened for writing only so that, being the last connection, it takes its log files
  // away when it closes; nothing is written.
  auto source = openOurFile(schema::bankPath(folder).string(), schema::kBankKey, false, ErrorStyle::Ado);
  TemporaryBeside temp(file);
  const fs::path target = fs::absolute(file, ec).parent_path();
  auto noRoom = [&] { return diskFull("the copy '" + file.string() + "' could not be made; nothing was written."); };
  {
    std::unique_ptr<SqliteDb> copy;
    try {
      copy = SqliteDb::create(temp.path().string(), schema::kBankKey);
    } catch (const SqliteFailure& f) {
      if (f.primary() == SQLITE_FULL || diskNearlyFull(file.string())) throw noRoom();
      throw copyFailed(file, f.message + ".");
    }
    // One step under one read transaction: the copy is the bank as of one commit.
    sqlite3_backup* b = sqlite3_backup_init(copy->handle(), "main", source->handle(), "main");
    if (!b) throw copyFailed(file, std::string(sqlite3_errmsg(copy->handle())) + ".");
    int rc = sqlite3_backup_step(b, -1);
    sqlite3_backup_finish(b);
    if ((rc & 0xff) == SQLITE_FULL || ((rc & 0xff) == SQLITE_IOERR && diskNearlyFull(file.string()))) throw noRoom();
    if (rc != SQLITE_DONE) throw engineError(SqliteFailure{rc, sqlite3_errstr(rc)});
    // The pages are in the copy's log; only the copy's file takes the name, so it must hold them.
    if (!copy->checkpoint()) {
      if (diskNearlyFull(file.string())) throw noRoom();
      throw copyFailed(file, "its pages could not be written into the file.");
    }
  }
  if (hasContent(temp.path().string() + "-wal"))
    throw copyFailed(file, "its pages could not be written into the file.");
  source.reset();
  try {
    verifyCopy(temp.path(), file);
  } catch (const DbError& e) {
    if (e.number == err::DiskFull) throw noRoom();
    throw;
  }
  try {
    platform::syncFile(temp.path());
    if (fs::exists(fs::symlink_status(file, ec)))
      throw DbError(err::DatabaseExists, "The file '" + file.string() + "' already exists; a backup needs a new name.");
    platform::replaceFile(temp.path(), file);
  } catch (const std::system_error& e) {
    if (outOfSpace(e.code(), target)) throw noRoom();
    throw copyFailed(file, std::string(e.what()) + ".");
  }
}

void restoreBank(const fs::path& file, const fs::path& folder) {
  std::error_code ec;
  const fs::path bank = schema::bankPath(folder);
  if (fs::is_directory(file, ec)) throw DbError(err::Generic, "'" + file.string() + "' is a folder, not a bank file.");
  if (!fs::is_regular_file(file, ec))
    throw DbError(err::Generic, "Could not find the file '" + file.string() + "'.");
  if (hasContent(file.string() + "-wal"))
    throw DbError(err::Locked, "'" + file.string() + "' has a log beside it: it is in use or was not closed; "
                               "take a backup of it with 'zorbex-bank backup' instead.");
  if (!fs::is_directory(folder, ec))
    throw DbError(err::Generic, "The folder '" + folder.string() + "' does not exist.");
  if (fs::is_directory(bank, ec))
    throw DbError(err::Generic, "'" + bank.string() + "' is a folder, not a bank file; nothing was changed.");
  // The header and the key first: a file that is no bank is refused before a byte is copied.
  openOurFile(file.string(), schema::kBankKey, false, ErrorStyle::Ado);
  const auto needed = fs::file_size(file, ec);
  const auto room = fs::space(folder, ec);
  if (!ec && room.available < needed + 1024 * 1024)
    throw diskFull("'" + folder.string() + "' has " + std::to_string(room.available) + " bytes free, and a copy of '" +
                   file.string() + "' needs " + std::to_string(needed) + "; the bank was not changed.");
  // Held before any file beside the bank is made: a second restore or a compaction meanwhile
  // is refused instead of working on the same files.
  // Without a bank there is nothing to hold: the copy then goes in only while the name is
  // still free, so that of two restores into an empty folder just one can say it put its file.
  const bool hadBank = fs::exists(bank, ec);
  auto use = platform::tryExclusiveUse(bank);
  if (!use)
    throw DbError(err::Locked, "The bank in '" + folder.string() +
                                   "' is open in another program (the editor, a tool, or another restore or "
                                   "compaction); close it and try again. The bank was not changed.");
  TemporaryBeside temp(bank);
  try {
    fs::copy_file(file, temp.path(), fs::copy_options::none);
  } catch (const fs::filesystem_error& e) {
    if (outOfSpace(e.code(), folder))
      throw diskFull("'" + file.string() + "' could not be copied into '" + folder.string() +
                     "'; the bank was not changed.");
    throw DbError(err::Generic, "'" + file.string() + "' could not be copied into '" + folder.string() +
                                    "': " + e.code().message() + ". The bank was not changed.");
  }
  try {
    verifyCopy(temp.path(), file);  // its own connection, closed again: no log left with it
  } catch (const DbError& e) {
    if (e.number == err::DiskFull)
      throw diskFull("'" + file.string() + "' could not be checked in '" + folder.string() +
                     "'; the bank was not changed.");
    throw;
  }
  try {
    if (hadBank)
      platform::replaceFile(temp.path(), bank);
    else
      platform::placeNewFile(temp.path(), bank);
  } catch (const std::system_error& e) {
    if (outOfSpace(e.code(), folder)) throw diskFull("the bank could not be replaced; it was not changed.");
    if (e.code() == std::errc::file_exists)
      throw DbError(err::Locked, "Another program put a bank into '" + folder.string() + "' while '" + file.string() +
                                     "' was being restored; that bank was left as it is, and '" + file.string() +
                                     "' was not put in place.");
    throw DbError(err::Generic, "The bank could not be replaced: " + std::string(e.what()) + ". It was not changed.");
  }
  try {
    // The log of the old bank would be replayed into the new one at its next opening.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(bank.string() + suffix);
    platform::syncFile(bank);
  } catch (const std::system_error& e) {
    throw DbError(err::Generic, "The bank was replaced by '" + file.string() + "', but the old bank's log files could "
                                "not be removed: " + std::string(e.what()) + ". Delete zorbex_be.mdb-wal and "
                                "zorbex_be.mdb-shm in '" + folder.string() + "' before the bank is opened.");
  }
}

}  // namespace store
