#include "file_kind.h"

namespace store {

std::string notAFile(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  switch (st.type()) {
    case fs::file_type::regular:
      return {};
    case fs::file_type::directory:
      return "is a folder, not a file";
    case fs::file_type::fifo:
      return "is a named pipe (FIFO), not a file";
    case fs::file_type::character:
    case fs::file_type::block:
      return "is a device, not a file";
    case fs::file_type::socket:
      return "is a socket, not a file";
    case fs::file_type::not_found:
      return fs::is_symlink(fs::symlink_status(path, ec)) ? "is a link to nothing" : "does not exist";
    default:
      return ec ? "cannot be reached (" + ec.message() + ")" : "is not a file";
  }
}

}  // namespace store
