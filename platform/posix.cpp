#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <system_error>
#include <thread>

#include "platform.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

std::system_error lastError(const std::string& what, const fs::path& p) {
  return std::system_error(errno, std::generic_category(), what + " '" + p.string() + "'");
}

void syncPath(const fs::path& p, int flags) {
  int fd = ::open(p.c_str(), flags | O_CLOEXEC);
  if (fd < 0) throw lastError("cannot open", p);
  int rc = ::fsync(fd);
  int saved = errno;
  ::close(fd);
  errno = saved;
  if (rc != 0) throw lastError("cannot write to the disk", p);
}

fs::path folderOf(const fs::path& p) {
  fs::path parent = fs::absolute(p).parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

// flock() belongs to the open file description: a second open of the same file, in this
// process or another, conflicts, and the kernel drops the lock when the holder dies.
class PosixHeldLock : public HeldLock {
 public:
  explicit PosixHeldLock(int fd) : fd_(fd) {}
  ~PosixHeldLock() override { ::close(fd_); }

 private:
  int fd_;
};

// The write end of the watch's socket pair, for the signal handler (which may only write).
std::atomic<int> g_terminationFd{-1};

void onTerminationSignal(int) {
  const int saved = errno;
  const char request = 1;
  [[maybe_unused]] ssize_t n = ::write(g_terminationFd.load(), &request, 1);
  errno = saved;
}

constexpr int kWatchedSignals[] = {SIGTERM, SIGINT};

class PosixTerminationWatch : public TerminationWatch {
 public:
  explicit PosixTerminationWatch(std::function<void()> onRequest) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0)
      throw std::system_error(errno, std::generic_category(), "cannot watch for termination requests");
    try {
      reader_ = std::thread([fd = fds_[0], onRequest = std::move(onRequest)] {
        char c = 0;
        // A request is 1; the watch's end is 0 (or the socket closing).
        while (true) {
          ssize_t n = ::read(fd, &c, 1);
          if (n < 0 && errno == EINTR) continue;
          if (n != 1 || c == 0) return;
          onRequest();
        }
      });
    } catch (...) {
      ::close(fds_[0]);
      ::close(fds_[1]);
      throw;
    }
    g_terminationFd = fds_[1];
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kWatchedSignals); ++i) ::sigaction(kWatchedSignals[i], &sa, &previous_[i]);
  }
  ~PosixTerminationWatch() override {
    for (size_t i = 0; i < std::size(kWatchedSignals); ++i) ::sigaction(kWatchedSignals[i], &previous_[i], nullptr);
    g_terminationFd = -1;
    const char end = 0;
    [[maybe_unused]] ssize_t n = ::write(fds_[1], &end, 1);
    reader_.join();
    ::close(fds_[0]);
    ::close(fds_[1]);
  }

 private:
  int fds_[2] = {-1, -1};
  struct sigaction previous_[std::size(kWatchedSignals)] {};
  std::thread reader_;
};

}  // namespace

void syncFile(const fs::path& file) {
  syncPath(file, O_RDONLY);
  syncPath(folderOf(file), O_RDONLY | O_DIRECTORY);
}

void replaceFile(const fs::path& from, const fs::path& to) {
  syncPath(from, O_RDONLY);
  if (::rename(from.c_str(), to.c_str()) != 0) throw lastError("cannot rename onto", to);
  syncPath(folderOf(to), O_RDONLY | O_DIRECTORY);
}

void placeNewFile(const fs::path& from, const fs::path& to) {
  syncPath(from, O_RDONLY);
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) throw lastError("cannot rename onto", to);
    // A file system without the no-replace rename: a hard link fails the same way on a name
    // that exists.
    if (::link(from.c_str(), to.c_str()) != 0) throw lastError("cannot create", to);
    ::unlink(from.c_str());
  }
  syncPath(folderOf(to), O_RDONLY | O_DIRECTORY);
}

bool isOutOfSpace(const std::error_code& ec) {
  return ec == std::errc::no_space_on_device || ec == std::error_code(EDQUOT, std::generic_category()) ||
         ec == std::error_code(EDQUOT, std::system_category());
}

long processId() { return static_cast<long>(::getpid()); }

std::string loginName() {
  for (const char* name : {"LOGNAME", "USER"})
    if (const char* v = std::getenv(name); v && *v) return v;
  if (const passwd* p = ::getpwuid(::geteuid()); p && p->pw_name) return p->pw_name;
  return {};
}

std::string machineName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::unique_ptr<HeldLock> tryHoldLock(const fs::path& lockFile) {
  int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) throw lastError("cannot open", lockFile);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int saved = errno;
    ::close(fd);
    if (saved == EWOULDBLOCK) return nullptr;
    errno = saved;
    throw lastError("cannot lock", lockFile);
  }
  return std::make_unique<PosixHeldLock>(fd);
}

std::unique_ptr<TerminationWatch> watchTermination(std::function<void()> onRequest) {
  return std::make_unique<PosixTerminationWatch>(std::move(onRequest));
}

}  // namespace platform
