#pragma once
// Compaction of the bank that never leaves the folder without one complete bank: the
// compact copy is written and checked beside the bank, then renamed over it in one step.

#include <filesystem>
#include <functional>

namespace maintenance {

// Numbers of failures that only the compaction reports. A bank that another program
// holds fails with store::err::Locked.
inline constexpr long kCopyDiffers = 3428;     // the compact copy is not equivalent to the bank
inline constexpr long kReplaceFailed = 3056;   // the bank could not be replaced by the copy

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
// keeps the link; the copy is then made beside that file). Every connection to the bank must be closed: another
// holder fails with store::err::Locked. On any failure the bank is as it was, no copy is left,
// and a store::DbError says why.
void compactBank(const std::filesystem::path& folder, const CompactProgress& progress = {});

}  // namespace maintenance
