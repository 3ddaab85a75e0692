#include "bank_files.h"
#include "file_kind.h"

#include <atomic>
#include <cstdlib>
#include <random>
#include <system_error>

#include "db_error.h"
#include "dialect.h"
#include "engine.h"
#include "extension.h"
#include "platform.h"
#include "schema.h"

namespace bank {

// The bank is built of the store's connections, engines and values.
using namespace store;

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
    return target.string() + ".zx-copy-" + std::to_string(platform::processId()) + "-" + std::to_string(++counter) + "-" +
           std::to_string(random());
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
    std::string verdict = db->file()->integrityCheck();
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

// Whether a failure of the system while writing under folder was for lack of space.
bool outOfSpace(const std::error_code& ec, const fs::path& folder) {
  if (platform::isOutOfSpace(ec)) return true;
  return ec == std::errc::io_error && diskNearlyFull((folder / "x").string());
}

fs::path withSuffix(const fs::path& file, const char* suffix) { return fs::path(file.string() + suffix); }

// The bank held by this connection alone until it closes: in exclusive locking mode the first
// write lock is kept. Every other connection to the bank holds a shared lock (write-ahead
// log), so the lock is refused while one is open. nullptr while another connection, restore
// or compaction has the bank. The held file must still carry the bank's name: a run that
// waited while another put a new file in place would otherwise hold the old one.
std::unique_ptr<Engine> tryHold(const fs::path& bank, ErrorStyle style) {
  auto db = openOurFileUnlessHeld(bank.string(), schema::kBankKey, style, /*createAttached=*/true);
  if (!db || !db->file()->holdExclusively() || db->file()->fileHasMoved()) return nullptr;
  return db;
}

// Ends the held bank's write-ahead log (its commits go into the file about to be replaced)
// and removes what is left of it: beside the new file the engine would replay it into that
// file at its next opening. Returns what could not be removed (empty when nothing is left).
std::string retireLog(Engine& held, const fs::path& bank) {
  held.file()->useRollbackJournal();
  // Held alone, the bank keeps an emptied rollback journal rather than deleting it.
  std::string left = removeLogFiles(bank.string());
  if (!left.empty()) return left;
  std::error_code ec;
  for (const char* suffix : {"-wal", "-shm", "-journal"})
    if (fs::exists(withSuffix(bank, suffix), ec)) return "'" + withSuffix(bank, suffix).string() + "' is still present.";
  return {};
}

// After a failure once the log was retired: the bank, still held, goes on with its log.
void keepLog(Engine& held) {
  try {
    held.file()->useWriteAheadLog();
  } catch (const DbError&) {
  }
}

}  // namespace

LogWait unfinishedLog(const fs::path& dbFile) {
  if (!hasContent(dbFile.string() + "-wal")) return LogWait::None;
  return diskNearlyFull(dbFile.string()) ? LogWait::DiskFull : LogWait::Reader;
}

std::string unfinishedLogWarning(const fs::path& dbFile) { return unfinishedLogWarning(dbFile, unfinishedLog(dbFile)); }

std::string unfinishedLogWarning(const fs::path& dbFile, LogWait wait) {
  const fs::path log = dbFile.string() + "-wal";
  if (wait == LogWait::None) return {};
  const std::string start = "The change is saved, but the bank file '" + dbFile.string() + "' is not yet whole on its own";
  const std::string keep = " Until then keep the -wal file beside the bank, and do not copy the bank file alone: take a "
                           "copy with 'zorbex-bank backup'.";
  if (wait == LogWait::Reader)
    return start + " because another program was reading it: the change waits in '" + log.string() +
           "' and reaches the file when that program ends its reading (at the latest with the next change or the next "
           "opening of the bank)." + keep;
  return start + " because the disk is full: the change waits in '" + log.string() +
         "'. Free some space on the disk; the next change or the next opening of the bank completes the file." + keep;
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
    std::unique_ptr<Engine> copy;
    try {
      copy = createFileEngine(temp.path().string(), schema::kBankKey);
    } catch (const DbError& e) {
      if (e.fault == EngineFault::DiskFull || diskNearlyFull(file.string())) throw noRoom();
      throw copyFailed(file, e.engineMessage + ".");
    }
    // The copy is the bank as of one commit.
    try {
      source->file()->copyInto(*copy->file());
    } catch (const DbError& e) {
      if (e.fault == EngineFault::DiskFull) throw noRoom();
      throw;
    }
    // The pages are in the copy's log; only the copy's file takes the name, so it must hold them.
    if (!copy->file()->checkpoint()) {
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
  // Its links could not name the folder's user database: refused before anything is written.
  schema::userLinkConnect(fs::absolute(folder, ec));
  const fs::path bank = schema::bankPath(folder);
  if (const std::string why = notAFile(file); !why.empty())
    throw DbError(err::Generic, "'" + file.string() + "' " + why + "; nothing was changed.");
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
  // A bank that does not open as ours (damaged at its first page) is not held either: no
  // connection can have it open, and restoring it is what its damage asks for.
  const bool hadBank = fs::exists(bank, ec);
  auto inUse = [&] {
    return DbError(err::Locked, "The bank in '" + folder.string() +
                                    "' is open in another program (the editor, a tool, or another restore or "
                                    "compaction); close it and try again. The bank was not changed.");
  };
  std::unique_ptr<Engine> held;
  if (hadBank) {
    try {
      held = tryHold(bank, ErrorStyle::Ado);
      if (!held) throw inUse();
    } catch (const DbError& e) {
      if (e.number != err::BadPassword) throw;
    }
  }
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
  // The old bank's log goes before the new file takes the name: beside the new file, the
  // engine would replay it into that file at its next opening.
  std::string logLeft;
  try {
    logLeft = held ? retireLog(*held, bank) : removeLogFiles(bank.string());
  } catch (const DbError& e) {
    logLeft = e.description;
  }
  if (!logLeft.empty()) {
    if (held) keepLog(*held);
    throw DbError(err::Generic, "The old bank's log files could not be removed: " + logLeft +
                                    " The bank was not changed.");
  }
  try {
    if (hadBank)
      platform::replaceFile(temp.path(), bank);
    else
      platform::placeNewFile(temp.path(), bank);
  } catch (const std::system_error& e) {
    if (held) keepLog(*held);
    if (outOfSpace(e.code(), folder)) throw diskFull("the bank could not be replaced; it was not changed.");
    if (e.code() == std::errc::file_exists)
      throw DbError(err::Locked, "Another program put a bank into '" + folder.string() + "' while '" + file.string() +
                                     "' was being restored; that bank was left as it is, and '" + file.string() +
                                     "' was not put in place.");
    throw DbError(err::Generic, "The bank could not be replaced: " + std::string(e.what()) + ". It was not changed.");
  }
  held.reset();  // the old file, no longer named
}


// ----- a pair put in place together

namespace {

constexpr const char* kStagingPrefix = ".zorbex-publish-";
constexpr const char* kDueFolder = ".zorbex-publish-due";  // the staged pair, committed to
constexpr const char* kStagingLock = ".held";

// The tests stop a publication at each step of putting its pair in place (ZORBEX_FAULT_STEP=N
// ends the process at the Nth step, as a kill would).
void faultPoint() {
  static const char* const at = std::getenv("ZORBEX_FAULT_STEP");
  static int count = 0;
  if (at && ++count == std::atoi(at)) std::_Exit(70);
}

DbError stillInUse(const fs::path& folder, const std::string& then) {
  return DbError(err::Locked, "The bank in '" + folder.string() +
                                  "' is open in another program (the editor, a tool, or a restore or compaction); "
                                  "close it and try again. " + then);
}

// The folder's bank held for a replacement, or nullptr when there is none to hold (missing, or
// not opening as ours, which no connection can have open either). Throws when another has it.
std::unique_ptr<Engine> holdForReplacing(const fs::path& folder, const std::string& then) {
  std::error_code ec;
  const fs::path bank = schema::bankPath(folder);
  if (!fs::exists(bank, ec)) return nullptr;
  try {
    auto held = tryHold(bank, ErrorStyle::Ado);
    if (!held) throw stillInUse(folder, then);
    return held;
  } catch (const DbError& e) {
    if (e.number != err::BadPassword) throw;
  }
  return nullptr;
}

// Moves what is left of a due pair into place (the bank first, without its old log, then the user
// database, without its own) and removes the due folder.
void finishDuePair(const fs::path& due, const fs::path& folder, Engine* held) {
  std::error_code ec;
  auto failed = [&](const std::string& why) {
    return DbError(err::ReplaceFailed, "The new pair waiting in '" + due.string() + "' could not be put in place (" +
                                           why + "); the next command completes it.");
  };
  const fs::path bank = schema::bankPath(folder), user = schema::userPath(folder);
  try {
    if (fs::exists(schema::bankPath(due), ec)) {
      if (std::string left = held ? retireLog(*held, bank) : removeLogFiles(bank.string()); !left.empty())
        throw failed(left);
      faultPoint();
      platform::replaceFile(schema::bankPath(due), bank);
      faultPoint();
    }
    if (fs::exists(schema::userPath(due), ec)) {
      if (std::string left = removeLogFiles(user.string()); !left.empty()) throw failed(left);
      faultPoint();
      platform::replaceFile(schema::userPath(due), user);
      faultPoint();
    }
  } catch (const std::system_error& e) {
    throw failed(e.what());
  } catch (const DbError& e) {
    if (e.fault == EngineFault::None) throw;  // already in this operation's words
    throw failed(e.description);
  }
  fs::remove_all(due, ec);
  faultPoint();
}

// The lock of a staging folder, or nullptr while a running run holds it.
std::unique_ptr<platform::HeldLock> holdStaging(const fs::path& staging) {
  try {
    return platform::tryHoldLock(staging / kStagingLock);
  } catch (const std::system_error&) {
    return nullptr;  // gone meanwhile, or not ours to take
  }
}

}  // namespace

StagedPair::StagedPair(const fs::path& folder)
    : folder_(folder), path_(folder / (kStagingPrefix + std::to_string(platform::processId()))) {
  std::error_code ec;
  fs::remove_all(path_, ec);
  fs::create_directory(path_, ec);
  if (ec) throw DbError(err::FileAccess, "The folder '" + path_.string() + "' could not be made: " + ec.message() + ".");
  lock_ = holdStaging(path_);
  if (!lock_) throw DbError(err::FileAccess, "The folder '" + path_.string() + "' could not be held.");
}

StagedPair::~StagedPair() {
  std::error_code ec;
  if (path_.filename() != kDueFolder) fs::remove_all(path_, ec);
}

void StagedPair::putInPlace() {
  faultPoint();
  const fs::path due = folder_ / kDueFolder;
  auto held = holdForReplacing(folder_, "Nothing was changed.");
  // The links reach the user database where it will be, beside the bank.
  openOurFile(schema::bankPath(path_).string(), schema::kBankKey, false, ErrorStyle::Ado)
      ->run("UPDATE zx_tabledefs SET connect = ?1 WHERE connect IS NOT NULL", {Value(schema::userLinkConnect(folder_))});
  // A rename takes no log with it: only files whole on their own go in place.
  for (const auto& [f, key] : {std::pair{schema::bankPath(path_), schema::kBankKey},
                               std::pair{schema::userPath(path_), schema::kUserKey}}) {
    openOurFile(f.string(), key, false, ErrorStyle::Ado)->file()->checkpoint();
    if (hasContent(f.string() + "-wal"))
      throw diskFull("the new bank and user database could not be written whole; nothing was changed.");
  }
  try {
    for (const fs::path& f : {schema::bankPath(path_), schema::userPath(path_)}) {
      platform::syncFile(f);
      faultPoint();
    }
    if (fs::exists(due)) throw DbError(err::Locked, "'" + due.string() + "' is in the way; nothing was changed.");
    fs::rename(path_, due);
    platform::syncFile(due);  // the rename is on the disk: from here on the new pair is the one in place
  } catch (const std::system_error& e) {
    if (outOfSpace(e.code(), folder_)) throw diskFull("the new bank and user database could not be written; nothing was changed.");
    throw DbError(err::ReplaceFailed, std::string("The new bank and user database could not be made ready (") + e.what() +
                                          "); nothing was changed.");
  }
  path_ = due;
  faultPoint();
  finishDuePair(due, folder_, held.get());
}

std::vector<std::string> settleFolder(const fs::path& folder) {
  std::vector<std::string> notes;
  std::error_code ec;
  const fs::path due = folder / kDueFolder;
  std::unique_ptr<Engine> held;
  if (fs::exists(due, ec)) {
    if (auto lock = holdStaging(due)) {  // else its own run is putting it in place now
      held = holdForReplacing(folder, "A publication or creation into it was stopped part-way, so the bank and user database in "
                                      "place were not made together; the new pair waits in '" +
                                          due.string() + "' and goes in place at the next command.");
      finishDuePair(due, folder, held.get());
      notes.push_back("a publication or creation stopped part-way was completed: the bank and user database in '" +
                      folder.string() + "' are the pair it made");
    }
  }
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(kStagingPrefix, 0) != 0 || name == kDueFolder) continue;
    if (auto lock = holdStaging(e.path())) {
      fs::remove_all(e.path(), ec);
      notes.push_back("a half-made bank and user database that an earlier run left in '" + e.path().string() +
                      "' were removed");
    }
  }
  // A restore's copy is only made while its run holds the bank: held here, none is running.
  const std::string copyPrefix = std::string(schema::kBankFile) + ".zx-copy-";
  std::vector<fs::path> copies;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    const bool logFile = name.ends_with("-wal") || name.ends_with("-shm") || name.ends_with("-journal");
    if (name.rfind(copyPrefix, 0) == 0 && !logFile) copies.push_back(e.path());
  }
  held.reset();  // the file it held is no longer the bank
  if (!copies.empty() && fs::exists(schema::bankPath(folder), ec)) {
    try {
      held = tryHold(schema::bankPath(folder), ErrorStyle::Ado);
    } catch (const DbError&) {
    }
  }
  if (held)
    for (const fs::path& c : copies)
      if (removeDatabaseFiles(c.string()).empty())
        notes.push_back("a half-made copy of the bank that an earlier run left in '" + c.string() + "' was removed");
  return notes;
}

// ----- compaction

namespace {

// Everything that makes two banks equivalent: the definitions of tables and indexes, the
// rows of the table definitions (links included) and the row count of every table.
std::vector<std::string> contentsOf(Engine& db) {
  std::vector<std::string> out;
  std::vector<std::string> tables;
  auto master = db.query(
      "SELECT type, name, tbl_name, sql, rootpage FROM sqlite_master WHERE name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
      "ORDER BY type, name;");
  while (master->next()) {
    out.push_back(master->column(0).toString() + " " + master->column(1).toString() + " on " +
                  master->column(2).toString() + ": " + master->column(3).toString());
    // A virtual table (the search index's words) is counted through the tables that hold it.
    if (master->column(0).toString() == "table" && !master->column(4).isNull() && master->column(4).toInt() > 0)
      tables.push_back(master->column(1).toString());
  }
  for (const std::string& t : tables) {
    auto count = db.query("SELECT count(*) FROM " + tableIdent(Dialect::Sqlite, t) + ";");
    count->next();
    out.push_back("rows of " + t + ": " + count->column(0).toString());
  }
  auto defs = db.query(std::string("SELECT name, attributes, connect, source_table FROM ") + kTableDefsTable +
                       " ORDER BY name;");
  while (defs->next())
    out.push_back("definition " + defs->column(0).toString() + " " + defs->column(1).toString() + " " +
                  defs->column(2).toString() + " " + defs->column(3).toString());
  // The versions of the extensions, which the copy must carry as the bank holds them.
  for (const auto& [name, version] : recordedExtensions(db)) out.push_back("extension " + name + " " + std::to_string(version));
  return out;
}

// The copy opens with the bank's key, passes the integrity check and holds what the bank
// holds. It keeps the bank's write-ahead log mode.
void verifyCompactCopy(Engine& bank, const fs::path& copy) {
  auto db = openOurFile(copy.string(), schema::kBankKey, false, ErrorStyle::Dao);
  db->file()->useWriteAheadLog();
  std::string verdict = db->file()->integrityCheck();
  if (verdict != "ok")
    throw DbError(err::CopyDiffers, "The compacted copy failed its integrity check (" + verdict + "); the bank was kept.");
  std::vector<std::string> want = contentsOf(bank), got = contentsOf(*db);
  for (size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
    std::string w = i < want.size() ? want[i] : "(nothing)", g = i < got.size() ? got[i] : "(nothing)";
    if (w != g)
      throw DbError(err::CopyDiffers, "The compacted copy differs from the bank (bank: " + w + "; copy: " + g +
                                          "); the bank was kept.");
  }
}

// Removes a copy left by an earlier run, or this run's; it must be gone before the next step.
void removeCompactCopy(const fs::path& copy) {
  if (std::string left = removeDatabaseFiles(copy.string()); !left.empty()) throw DbError(err::Generic, left);
}

// The file that a bank path names: the target of a symbolic link (the link stays a link
// when the target is replaced), the path itself otherwise.
fs::path fileBehind(const fs::path& bank) {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(bank, ec))) return bank;
  fs::path target = fs::canonical(bank, ec);
  if (ec) throw DbError(err::FileNotFound, "The bank '" + bank.string() + "' is a symbolic link to '" +
                                               fs::read_symlink(bank, ec).string() + "', which does not exist.");
  return target;
}

}  // namespace

void compactBank(const fs::path& folder, const CompactProgress& progress) {
  auto report = [&](CompactStep s) {
    if (progress) progress(s);
  };
  // In the words of every other command, not the engine's.
  auto compactDiskFull = [] { return diskFull("the bank could not be compacted; it was kept."); };
  const fs::path bank = fileBehind(schema::bankPath(folder));
  const fs::path copy = bank.parent_path() / schema::kCompactFile;

  // Held before the copy's name is touched: a second run meanwhile is refused rather than
  // deleting this run's copy.
  std::unique_ptr<Engine> held = tryHold(bank, ErrorStyle::Dao);
  if (!held)
    throw DbError(err::Locked, "Could not use '" + bank.string() +
                                   "'; file already in use. Close every other program that has the bank open "
                                   "(another copy of the editor, the test application, zorbex-bank, sqlcipher) "
                                   "and try again.");
  report(CompactStep::BankHeld);
  bool logRetired = false;
  try {
    removeCompactCopy(copy);
    report(CompactStep::StaleCopyRemoved);
    held->file()->writeCompactCopy(copy.string(), schema::kBankKey);
    report(CompactStep::CopyWritten);
    verifyCompactCopy(*held, copy);
    report(CompactStep::CopyVerified);
    try {
      platform::syncFile(copy);
    } catch (const std::system_error& e) {
      throw DbError(err::ReplaceFailed,
                    std::string("The compacted copy could not be written to the disk (") + e.what() + ").");
    }
    report(CompactStep::CopySynced);
    logRetired = true;
    if (std::string left = retireLog(*held, bank); !left.empty())
      throw DbError(err::ReplaceFailed, left + " The bank was kept.");
    try {
      platform::replaceFile(copy, bank);  // durable once the folder is on the disk, which it syncs
    } catch (const std::system_error& e) {
      throw DbError(err::ReplaceFailed, std::string("The bank could not be replaced by the compacted copy (") +
                                            e.what() + "); the bank was kept.");
    }
  } catch (...) {
    if (logRetired) keepLog(*held);
    // The copy goes while the bank is still held: released first, the name may already be
    // another run's.
    removeCompactCopy(copy);
    held.reset();
    try {
      throw;
    } catch (const DbError& e) {
      if (e.fault != EngineFault::None) {  // the engine's failure, in the engine's words so far
        // The export reports the copy's full disk as a plain error of its statement: the free
        // space tells them apart.
        const bool noRoom = e.fault == EngineFault::Statement && diskNearlyFull(copy.string());
        if (e.number == err::DiskFull || noRoom) throw compactDiskFull();
        throw DbError(e.number, "The bank could not be compacted: " + e.description);
      }
      if (e.number == err::DiskFull || (e.number == err::Generic && diskNearlyFull(copy.string())))
        throw compactDiskFull();
      throw;
    }
  }
  report(CompactStep::Replaced);
  held.reset();  // the old file, no longer named
  report(CompactStep::Done);
}

// ----- the integrity check

bool onlyFirstPageOpens(const fs::path& file, const std::string& key) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  if (ec || size < kPageSize) return false;  // an empty file would open as an empty database
  try {
    openFileEngine(file.string(), key, false);
    return false;
  } catch (const DbError& e) {
    // The engine reads the first page's header only once the key has opened it: a fault found
    // there or after it is damage; a first page that the key does not open is no database.
    return e.fault == EngineFault::Damaged;
  }
}

FileCheck checkFile(const fs::path& file, const std::string& key, bool countRows) {
  auto db = openOurFile(file.string(), key, false, ErrorStyle::Ado);
  FileCheck out;
  try {
    out.integrity = db->file()->integrityCheck();
    if (!countRows) return out;
    // Virtual tables (the search index's words) hold no rows of their own: their tables are counted.
    auto tables = db->query(
        "SELECT name FROM sqlite_master WHERE type='table' AND rootpage > 0 AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
        "ORDER BY name;");
    while (tables->next()) {
      std::string name = tables->column(0).toString();
      auto count = db->query("SELECT count(*) FROM " + tableIdent(Dialect::Sqlite, name) + ";");
      count->next();
      out.tableRows.emplace_back(name, count->column(0).toInt());
    }
  } catch (const DbError& e) {
    if (e.number != err::Damaged || e.fault == EngineFault::None) throw;
    out.stoppedAt = e.engineMessage;
  }
  return out;
}

}  // namespace bank
