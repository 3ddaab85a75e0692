#pragma once
// What differs per operating system, behind one interface: one implementation file per
// system (posix.cpp, windows.cpp). Nothing here knows of Qt, the database engine or the bank.

#include <filesystem>
#include <string>
#include <functional>
#include <memory>
#include <system_error>

namespace platform {

// --- Files ---

// Writes from's content to the disk, renames it over to in one step (a reader sees the old
// file or the new one, never a mix) and makes the rename itself durable. Throws
// std::system_error.
void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// As replaceFile, but only while `to` does not exist: a file that another process put there
// first is never overwritten. Throws std::system_error, with std::errc::file_exists when `to`
// exists.
void placeNewFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Writes the file's content and the folder entry naming it to the disk. Throws
// std::system_error.
void syncFile(const std::filesystem::path& file);

// Whether a failed file operation's error means that the disk (or the user's share of it)
// is full.
bool isOutOfSpace(const std::error_code& ec);

// --- Processes ---

// The operating system's number of this process.
long processId();

// Who makes a change and where, as a change's history records them: the user's login name
// and the machine's name (empty when the system does not say).
std::string loginName();
std::string machineName();

// A lock taken through a file of its own. It ends with the object, or with the process
// however it ends (a crash included), so a holder that died never blocks the next one.
class HeldLock {
 public:
  virtual ~HeldLock() = default;
};

// The lock named by lockFile (made when missing, and left in place), or nullptr while another
// holder has it, in this process or in another. Throws std::system_error when the file cannot
// be made or opened.
std::unique_ptr<HeldLock> tryHoldLock(const std::filesystem::path& lockFile);

// Watches for requests to end the program (on POSIX SIGTERM and SIGINT; on Windows Ctrl+C,
// Ctrl+Break and the end of the console or the session) while it lives; afterwards they are
// handled as before it was made.
class TerminationWatch {
 public:
  virtual ~TerminationWatch() = default;
};

// Calls onRequest once per request, on a thread other than the program's, never inside a
// signal handler: onRequest hands the work to the thread that owns what it ends. One watch at
// a time. Throws std::system_error when the watch cannot be set up.
std::unique_ptr<TerminationWatch> watchTermination(std::function<void()> onRequest);

}  // namespace platform
