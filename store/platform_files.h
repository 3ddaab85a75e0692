#pragma once
// What replacing a database file safely needs of the operating system: a durable atomic
// replace, and exclusive use of a database file against every connection to it (of this
// and of other programs). One implementation per platform.

#include <filesystem>
#include <memory>

namespace store::platform {

// Writes from's content to the disk, renames it over to in one step (a reader sees the old
// file or the new one, never a mix) and makes the rename itself durable. Throws
// std::system_error.
void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// As replaceFile, but only while `to` does not exist: a file that another process put there
// first is never overwritten. Throws std::system_error, with EEXIST when `to` exists.
void placeNewFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Writes the file's content and the folder entry naming it to the disk. Throws
// std::system_error.
void syncFile(const std::filesystem::path& file);

// Held while no connection may open or use a database file in write-ahead-log mode.
class ExclusiveUse {
 public:
  virtual ~ExclusiveUse() = default;
};

// Exclusive use of the database file, or nullptr while any connection has it open.
// Call it with no connection of this process open on the file: on POSIX, closing the
// descriptors used here drops the engine's own locks of this process on the same files.
std::unique_ptr<ExclusiveUse> tryExclusiveUse(const std::filesystem::path& dbFile);

}  // namespace store::platform
