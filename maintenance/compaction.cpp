#include "compaction.h"

#include <sqlite3.h>

#include <memory>
#include <system_error>
#include <string>

#include "db_error.h"
#include "platform.h"
#include "schema.h"
#include "session.h"
#include "sqlite_db.h"

namespace maintenance {

namespace fs = std::filesystem;
using store::DbError;
using store::SqliteDb;
using store::SqliteFailure;

namespace {

fs::path withSuffix(const fs::path& file, const char* suffix) { return fs::path(file.string() + suffix); }

void removeFileAndJournals(const fs::path& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    std::error_code ec;
    fs::remove(withSuffix(file, suffix), ec);
    if (ec)
      throw DbError(store::err::Generic, "The file '" + withSuffix(file, suffix).string() +
                                             "' could not be deleted (" + ec.message() + ").");
  }
}

// Opens the bank and takes its file for this connection alone until the connection closes:
// in exclusive locking mode the first write lock is kept. Any other connection to the bank
// holds a shared lock (write-ahead log), so the lock is refused while one is open.
std::unique_ptr<SqliteDb> holdBank(const fs::path& bank) {
  auto db = store::openOurFile(bank.string(), store::schema::kBankKey, false, store::ErrorStyle::Dao,
                               /*createAttached=*/true);
  try {
    db->exec("PRAGMA busy_timeout=1000;");
    db->exec("PRAGMA locking_mode=EXCLUSIVE;");
    db->exec("BEGIN IMMEDIATE;");
    db->exec("COMMIT;");
  } catch (const SqliteFailure& f) {
    if (f.primary() == SQLITE_BUSY || f.primary() == SQLITE_LOCKED)
      throw DbError(store::err::Locked, "Could not use '" + bank.string() +
                                    "'; file already in use. Close every other program that has the bank open "
                                    "(another copy of the editor, the test application, zorbex-bank, sqlcipher) "
                                    "and try again.");
    throw store::engineError(f);
  }
  return db;
}

// Everything that makes two banks equivalent: the definitions of tables and indexes, the
// rows of the table definitions (links included) and the row count of every table.
std::vector<std::string> contentsOf(SqliteDb& db) {
  std::vector<std::string> out;
  std::vector<std::string> tables;
  auto schema = db.prepare(
      "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
      "ORDER BY type, name;");
  while (schema.step()) {
    out.push_back(schema.column(0).toString() + " " + schema.column(1).toString() + " on " +
                  schema.column(2).toString() + ": " + schema.column(3).toString());
    if (schema.column(0).toString() == "table") tables.push_back(schema.column(1).toString());
  }
  for (const std::string& t : tables) {
    auto count = db.prepare("SELECT count(*) FROM " + store::sqlIdent(t) + ";");
    count.step();
    out.push_back("rows of " + t + ": " + count.column(0).toString());
  }
  auto defs = db.prepare(std::string("SELECT name, attributes, connect, source_table FROM ") +
                         store::kTableDefsTable + " ORDER BY name;");
  while (defs.step())
    out.push_back("definition " + defs.column(0).toString() + " " + defs.column(1).toString() + " " +
                  defs.column(2).toString() + " " + defs.column(3).toString());
  return out;
}

void writeCopy(SqliteDb& bank, const fs::path& copy) {
  bank.exec("ATTACH DATABASE " + store::sqlLiteral(copy.string()) + " AS zx_compact KEY " +
            store::sqlLiteral(store::schema::kBankKey) + ";");
  bank.exec("SELECT sqlcipher_export('zx_compact');");
  bank.exec("DETACH DATABASE zx_compact;");
}

// The copy opens with the bank's key, passes the integrity check and holds what the bank
// holds. It keeps the bank's write-ahead log mode.
void verifyCopy(SqliteDb& bank, const fs::path& copy) {
  auto db = store::openOurFile(copy.string(), store::schema::kBankKey, false, store::ErrorStyle::Dao);
  db->useWriteAheadLog();
  auto ic = db->prepare("PRAGMA integrity_check;");
  std::string verdict;
  while (ic.step()) verdict += (verdict.empty() ? "" : "; ") + ic.column(0).toString();
  if (verdict != "ok")
    throw DbError(kCopyDiffers, "The compacted copy failed its integrity check (" + verdict + "); the bank was kept.");
  std::vector<std::string> want = contentsOf(bank), got = contentsOf(*db);
  for (size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
    std::string w = i < want.size() ? want[i] : "(nothing)", g = i < got.size() ? got[i] : "(nothing)";
    if (w != g)
      throw DbError(kCopyDiffers, "The compacted copy differs from the bank (bank: " + w + "; copy: " + g +
                                      "); the bank was kept.");
  }
}

// The file that a bank path names: the target of a symbolic link (the link stays a link
// when the target is replaced), the path itself otherwise.
fs::path fileBehind(const fs::path& bank) {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(bank, ec))) return bank;
  fs::path target = fs::canonical(bank, ec);
  if (ec) throw DbError(store::err::FileNotFound, "The bank '" + bank.string() + "' is a symbolic link to '" +
                                                      fs::read_symlink(bank, ec).string() + "', which does not exist.");
  return target;
}

void requireAbsent(const fs::path& file) {
  std::error_code ec;
  if (fs::exists(file, ec))
    throw DbError(kReplaceFailed, "'" + file.string() + "' is still present; the bank was kept.");
}

}  // namespace

void compactBank(const fs::path& folder, const CompactProgress& progress) {
  auto report = [&](CompactStep s) {
    if (progress) progress(s);
  };
  const fs::path bank = fileBehind(store::schema::bankPath(folder));
  const fs::path copy = bank.parent_path() / store::schema::kCompactFile;

  // Held before the copy's name is touched: a second run meanwhile is refused rather than
  // deleting this run's copy.
  std::unique_ptr<SqliteDb> held = holdBank(bank);
  report(CompactStep::BankHeld);
  bool logClosed = false;
  try {
    removeFileAndJournals(copy);
    report(CompactStep::StaleCopyRemoved);
    writeCopy(*held, copy);
    report(CompactStep::CopyWritten);
    verifyCopy(*held, copy);
    report(CompactStep::CopyVerified);
    try {
      platform::syncFile(copy);
    } catch (const std::system_error& e) {
      throw DbError(kReplaceFailed, std::string("The compacted copy could not be written to the disk (") + e.what() + ").");
    }
    report(CompactStep::CopySynced);
    // The old bank's log would be replayed into the new file: end it while this run alone
    // holds the bank, and make sure that nothing of it is left.
    held->exec("PRAGMA journal_mode=DELETE;");
    logClosed = true;
    // Held alone, the bank keeps an emptied rollback journal rather than deleting it.
    std::error_code ec;
    fs::remove(withSuffix(bank, "-journal"), ec);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) requireAbsent(withSuffix(bank, suffix));
    try {
      platform::replaceFile(copy, bank);  // durable once the folder is on the disk, which it syncs
    } catch (const std::system_error& e) {
      throw DbError(kReplaceFailed, std::string("The bank could not be replaced by the compacted copy (") + e.what() +
                                        "); the bank was kept.");
    }
  } catch (...) {
    try {
      if (logClosed) held->exec("PRAGMA journal_mode=WAL;");
    } catch (const SqliteFailure&) {
    }
    // The copy goes while the bank is still held: released first, the name may already be
    // another run's.
    removeFileAndJournals(copy);
    held.reset();
    try {
      throw;
    } catch (const SqliteFailure& f) {
      DbError e = store::engineError(f);
      throw DbError(e.number, "The bank could not be compacted: " + e.description);
    }
  }
  report(CompactStep::Replaced);
  held.reset();  // the old file, no longer named
  report(CompactStep::Done);
}

}  // namespace maintenance
