// The Windows implementation of platform.h, with the Windows API. Compiled in the test run by
// the MinGW cross compiler (scripts/check-windows-build.sh).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "platform.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

// The callers compare codes with std::errc (a name that exists, a full disk); the Windows
// numbers they would meet are given in those terms, every other one as the system's own.
std::error_code codeOf(DWORD error) {
  switch (error) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return std::make_error_code(std::errc::file_exists);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
      return std::make_error_code(std::errc::permission_denied);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return std::make_error_code(std::errc::device_or_resource_busy);
    default:
      return std::error_code(static_cast<int>(error), std::system_category());
  }
}

std::system_error lastError(const std::string& what, const fs::path& p) {
  return std::system_error(codeOf(::GetLastError()), what + " '" + p.string() + "'");
}

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() {
    if (valid()) ::CloseHandle(h_);
  }
  Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, INVALID_HANDLE_VALUE)) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// Shares everything, so that the engine's and other programs' handles stay usable.
Handle openShared(const fs::path& p, DWORD creation) {
  return Handle(::CreateFileW(p.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, creation,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Writes the file's content to the disk. A folder entry needs no flush of its own here: the
// renames below are made with MOVEFILE_WRITE_THROUGH, and the file system journals its entries.
void flushFile(const fs::path& p) {
  Handle h = openShared(p, OPEN_EXISTING);
  if (!h.valid()) throw lastError("cannot open", p);
  if (!::FlushFileBuffers(h.get())) throw lastError("cannot write to the disk", p);
}

void move(const fs::path& from, const fs::path& to, DWORD flags) {
  if (!::MoveFileExW(from.c_str(), to.c_str(), flags | MOVEFILE_WRITE_THROUGH))
    throw lastError("cannot rename onto", to);
}

bool lockRange(HANDLE h, DWORD start, DWORD length) {
  OVERLAPPED at{};
  at.Offset = start;
  return ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, length, 0, &at) != 0;
}

class WindowsHeldLock : public HeldLock {
 public:
  explicit WindowsHeldLock(Handle h) : h_(std::move(h)) {}

 private:
  Handle h_;
};

// The console control handler runs on a thread that the system starts for each event.
std::mutex g_watchMutex;
std::function<void()> g_onRequest;

BOOL WINAPI onConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  {
    std::lock_guard<std::mutex> lock(g_watchMutex);
    if (!g_onRequest) return FALSE;
    g_onRequest();
  }
  // After these the system ends the process as soon as the handler returns: waiting here
  // leaves the program its time to close its windows and end by itself.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) ::Sleep(INFINITE);
  return TRUE;
}

class WindowsTerminationWatch : public TerminationWatch {
 public:
  explicit WindowsTerminationWatch(std::function<void()> onRequest) {
    {
      std::lock_guard<std::mutex> lock(g_watchMutex);
      g_onRequest = std::move(onRequest);
    }
    if (!::SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
      const DWORD error = ::GetLastError();
      std::lock_guard<std::mutex> lock(g_watchMutex);
      g_onRequest = nullptr;
      throw std::system_error(codeOf(error), "cannot watch for termination requests");
    }
  }
  ~WindowsTerminationWatch() override {
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    std::lock_guard<std::mutex> lock(g_watchMutex);
    g_onRequest = nullptr;
  }
};

}  // namespace

void syncFile(const fs::path& file) { flushFile(file); }

void replaceFile(const fs::path& from, const fs::path& to) {
  flushFile(from);
  move(from, to, MOVEFILE_REPLACE_EXISTING);
}

void placeNewFile(const fs::path& from, const fs::path& to) {
  flushFile(from);
  move(from, to, 0);  // without MOVEFILE_REPLACE_EXISTING a name that exists is refused
}

bool isOutOfSpace(const std::error_code& ec) {
  if (ec == std::errc::no_space_on_device) return true;
  if (ec.category() != std::system_category()) return false;
  const auto error = static_cast<DWORD>(ec.value());
  return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

long processId() { return static_cast<long>(::GetCurrentProcessId()); }

namespace {
std::string fromEnvironment(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}
}  // namespace

std::string loginName() { return fromEnvironment("USERNAME"); }

std::string machineName() { return fromEnvironment("COMPUTERNAME"); }

std::unique_ptr<HeldLock> tryHoldLock(const fs::path& lockFile) {
  Handle h = openShared(lockFile, OPEN_ALWAYS);
  if (!h.valid()) throw lastError("cannot open", lockFile);
  if (!lockRange(h.get(), 0, 1)) {
    if (::GetLastError() == ERROR_LOCK_VIOLATION) return nullptr;
    throw lastError("cannot lock", lockFile);
  }
  return std::make_unique<WindowsHeldLock>(std::move(h));
}

std::unique_ptr<TerminationWatch> watchTermination(std::function<void()> onRequest) {
  return std::make_unique<WindowsTerminationWatch>(std::move(onRequest));
}

}  // namespace platform
