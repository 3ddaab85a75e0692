#pragma once
// What a crash-safe replacement of a file needs from the platform: its data and its
// directory entry on the disk, and an atomic rename over an existing file.

#include <filesystem>
#include <string>

namespace maintenance::platform {

// Each returns an empty string on success, else the system's reason.
std::string syncFile(const std::filesystem::path& file);
std::string syncDirectory(const std::filesystem::path& dir);
std::string replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace maintenance::platform
