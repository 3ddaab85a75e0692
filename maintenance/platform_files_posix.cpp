#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform_files.h"

namespace maintenance::platform {

namespace {
std::string syncPath(const std::filesystem::path& p, int flags) {
  int fd = ::open(p.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  std::string reason;
  if (::fsync(fd) != 0) reason = std::strerror(errno);
  ::close(fd);
  return reason;
}
}  // namespace

std::string syncFile(const std::filesystem::path& file) { return syncPath(file, O_RDONLY); }

std::string syncDirectory(const std::filesystem::path& dir) { return syncPath(dir, O_RDONLY | O_DIRECTORY); }

std::string replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return std::strerror(errno);
  return {};
}

}  // namespace maintenance::platform
