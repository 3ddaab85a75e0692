#pragma once
// The bank as files: copies taken while the editor runs and put back in place, compaction,
// and the integrity check. Each holds the bank the same way (through the engine) and puts a
// new file in place the same way (the old log gone first, then one rename).

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class HeldLock;
}

namespace bank {

// A consistent copy of the bank of folder, under the bank's key, written to file (which must
// not exist yet); readers and writers of the bank may go on meanwhile. The copy is checked
// before it takes its name. Throws DbError.
void backupBank(const std::filesystem::path& folder, const std::filesystem::path& file);

// Puts a copy of file in place of the bank of folder in one step: refused while any
// connection or another restore or compaction has the bank. file must open with the bank's
// key before anything is copied, and the copy must pass the integrity check before it takes
// the bank's name; the old bank's log and shared-memory files go before it. Throws DbError,
// and then the bank is as it was.
void restoreBank(const std::filesystem::path& file, const std::filesystem::path& folder);

// A bank and user database built together (a publication, a new bank) in a folder of one run's own inside
// the folder whose pair they replace, on the same disk, so that renames put them in place. The
// folder is held while the run lives, so that a later run tells a killed run's folder from a
// running one's; it goes with the object unless its pair was put in place.
class StagedPair {
 public:
  explicit StagedPair(const std::filesystem::path& folder);  // throws DbError
  ~StagedPair();
  StagedPair(const StagedPair&) = delete;
  StagedPair& operator=(const StagedPair&) = delete;
  const std::filesystem::path& path() const { return path_; }

  // Points the staged bank's links at folder's user database and puts the staged pair in place of
  // folder's, both or neither: once both files are on the disk
  // the staging folder is renamed to a name that says the pair is due (one step, synced), and
  // the two renames follow; a run stopped after that step is completed by settleFolder. Refused
  // while any connection or a restore or compaction has folder's bank. Throws DbError; before
  // that step the pair in place is the old one.
  void putInPlace();

 private:
  std::filesystem::path folder_, path_;
  std::unique_ptr<platform::HeldLock> lock_;
};

// Brings folder to one pair again after runs that were stopped: completes a publication stopped
// after its pair was due, and removes what stopped runs left (a half-made publication, a
// restore's half-made copy of the bank). Returns one note for each thing done. Throws DbError
// when a due pair cannot be put in place (the bank is open elsewhere): the bank and user
// database in place were then not published together.
std::vector<std::string> settleFolder(const std::filesystem::path& folder);

// The moments of a compaction, in order, as the progress callback sees them.
enum class CompactStep {
  BankHeld,          // this run alone holds the bank, and will until the end
  StaleCopyRemoved,  // a copy left by an earlier run is gone (only the holder touches it)
  CopyWritten,       // zorbex_comp.mdb holds the compact copy
  CopyVerified,      // it opens with the key, passes the integrity check, matches the bank
  CopySynced,        // it is on the disk
  Replaced,          // it has been renamed over the bank
  Done,              // the folder is on the disk; only the bank remains
};

using CompactProgress = std::function<void(CompactStep)>;

// Compacts folder/zorbex_be.mdb (where it is a symbolic link, the file it points at, which
// keeps the link; the copy is then made beside that file), never leaving the folder without
// one complete bank: the compact copy is written and checked beside the bank, then renamed
// over it. Every connection to the bank must be closed: another holder fails with
// err::Locked. On any failure the bank is as it was, no copy is left, and a DbError says why
// (err::CopyDiffers, err::ReplaceFailed, ...).
void compactBank(const std::filesystem::path& folder, const CompactProgress& progress = {});

// What the integrity check of one file of ours found.
struct FileCheck {
  std::string integrity;  // "ok", or the findings joined by "; "; empty when the check stopped
  std::vector<std::pair<std::string, long long>> tableRows;  // every table and its rows, by name
  std::string stoppedAt;  // the damage that stopped the check or the count, if any
  bool whole() const { return integrity == "ok" && stoppedAt.empty(); }
};

// The size of a page of the bank and the user database (SQLCipher 3's, which the files keep): a
// whole file is a whole number of pages.
inline constexpr unsigned long long kPageSize = 1024;

// Whether the first page of file opens with key while the file as a whole does not: the file has
// that key and is damaged after its first page or cut short, rather than a file of another key or
// of another format.
bool onlyFirstPageOpens(const std::filesystem::path& file, const std::string& key);

// Opens file with key (DbError when it does not open as a file of ours), runs the integrity
// check and counts the rows of every table; nothing is written. Opened for writing only so
// that, when no other program has the file open, closing it takes its log files away.
FileCheck checkFile(const std::filesystem::path& file, const std::string& key, bool countRows = true);

// Why dbFile is not whole on its own: its write-ahead log still holds committed changes because
// the disk was too full to fold them in, or because another program's read held them there.
enum class LogWait { None, DiskFull, Reader };
LogWait unfinishedLog(const std::filesystem::path& dbFile);

// With every connection of this process to dbFile closed: empty when dbFile alone holds
// every committed change; otherwise what the user must know and do, because the changes
// still wait in its write-ahead log (the disk was full, or another program was reading).
std::string unfinishedLogWarning(const std::filesystem::path& dbFile);
// The same for a wait already found by unfinishedLog, so that the words and the status agree.
std::string unfinishedLogWarning(const std::filesystem::path& dbFile, LogWait wait);

}  // namespace bank
