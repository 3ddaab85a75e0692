#pragma once
// What the program knows about itself: its folder, version and title, and whether another
// copy of it runs on the same application folder.

#include <filesystem>
#include <memory>
#include <string>

namespace platform {
class HeldLock;
}

namespace ui {

// The folder of the executable, without a trailing separator.
std::filesystem::path AppFolder();
// major.minor.revision without leading zeros, from the project version.
std::string AppVersion();
// "ZORBEXEditor"
std::string AppTitle();

// Held for the life of a running copy. Copies are told apart by their application folder:
// two copies on one folder would share its database files and log.
class InstanceLock {
 public:
  explicit InstanceLock(const std::filesystem::path& appFolder);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  // True when another copy holds the folder (App.PrevInstance).
  bool PrevInstance() const { return !lock_; }

 private:
  std::unique_ptr<platform::HeldLock> lock_;
};

}  // namespace ui
