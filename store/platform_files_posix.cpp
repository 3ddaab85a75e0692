#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

#include "platform_files.h"

namespace store::platform {

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

// The byte ranges that the engine locks: on the database file the pending, reserved and
// shared bytes at 1 GiB; on its shared-memory file the byte every connection holds a read
// lock on for as long as it is open.
constexpr off_t kPendingByte = 0x40000000;
constexpr off_t kLockRangeLength = 2 + 510;
constexpr off_t kShmConnectionByte = 128;

class PosixExclusiveUse : public ExclusiveUse {
 public:
  ~PosixExclusiveUse() override {
    for (int fd : fds_)
      if (fd >= 0) ::close(fd);
  }
  // An open-file-description lock conflicts with every other lock on the range, also with
  // the engine's record locks held by this very process.
  bool lock(const fs::path& p, off_t start, off_t length) {
    int fd = ::open(p.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;  // no such file: nobody holds it
    fds_.push_back(fd);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
  }

 private:
  std::vector<int> fds_;
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

std::unique_ptr<ExclusiveUse> tryExclusiveUse(const fs::path& dbFile) {
  auto use = std::make_unique<PosixExclusiveUse>();
  if (!use->lock(fs::path(dbFile.string() + "-shm"), kShmConnectionByte, 1)) return nullptr;
  if (!use->lock(dbFile, kPendingByte, kLockRangeLength)) return nullptr;
  return use;
}

}  // namespace store::platform
