#pragma once
// What stands at a path that a command was told to read as a file, in words for its message.

#include <filesystem>
#include <string>

namespace store {

// Empty for a regular file (or a link to one); otherwise what the path is instead, as the end
// of a sentence that begins with the path: "does not exist", "is a folder, not a file",
// "is a named pipe (FIFO), not a file", "is a device, not a file", "is a socket, not a file".
// Nothing is opened: a pipe or a device would never end.
std::string notAFile(const std::filesystem::path& path);

}  // namespace store
