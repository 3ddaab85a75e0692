// The POSIX platform calls: file replacement, exclusive use, the held lock and the
// termination watch.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <future>
#include <system_error>

#include "platform.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using testing_support::bytesOf;
using testing_support::TempDir;

namespace {

void write(const fs::path& p, const std::string& content) { std::ofstream(p, std::ios::binary) << content; }

TEST(PlatformFiles, ReplaceFileOverwritesAndPlaceNewFileOnlyTakesAFreeName) {
  TempDir dir;
  write(dir / "new", "new");
  write(dir / "old", "old");
  platform::replaceFile(dir / "new", dir / "old");
  EXPECT_EQ(bytesOf(dir / "old"), "new");
  EXPECT_FALSE(fs::exists(dir / "new"));

  write(dir / "copy", "copy");
  try {
    platform::placeNewFile(dir / "copy", dir / "old");
    ADD_FAILURE() << "a name that exists was overwritten";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::file_exists);
  }
  EXPECT_EQ(bytesOf(dir / "old"), "new");
  EXPECT_EQ(bytesOf(dir / "copy"), "copy");

  platform::placeNewFile(dir / "copy", dir / "free");
  EXPECT_EQ(bytesOf(dir / "free"), "copy");
  EXPECT_FALSE(fs::exists(dir / "copy"));
}

TEST(PlatformFiles, AMissingFileIsAnErrorNotASilentSuccess) {
  TempDir dir;
  EXPECT_THROW(platform::syncFile(dir / "missing"), std::system_error);
  EXPECT_THROW(platform::replaceFile(dir / "missing", dir / "to"), std::system_error);
  EXPECT_FALSE(fs::exists(dir / "to"));
}

TEST(PlatformFiles, AFullDiskAndAUsedUpQuotaAreOutOfSpace) {
  EXPECT_TRUE(platform::isOutOfSpace(std::make_error_code(std::errc::no_space_on_device)));
  EXPECT_TRUE(platform::isOutOfSpace(std::error_code(EDQUOT, std::generic_category())));
  EXPECT_TRUE(platform::isOutOfSpace(std::error_code(EDQUOT, std::system_category())));
  EXPECT_FALSE(platform::isOutOfSpace(std::make_error_code(std::errc::permission_denied)));
}

TEST(PlatformLock, HeldByOneHolderUntilItEnds) {
  TempDir dir;
  {
    auto first = platform::tryHoldLock(dir / "lock");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(platform::tryHoldLock(dir / "lock"), nullptr) << "a second holder in the same process";
    EXPECT_NE(platform::tryHoldLock(dir / "other"), nullptr);
  }
  EXPECT_NE(platform::tryHoldLock(dir / "lock"), nullptr);
  EXPECT_THROW(platform::tryHoldLock(dir / "no-folder" / "lock"), std::system_error);
}

TEST(PlatformTermination, ARequestReachesTheWatchAndItsEndRestoresTheHandling) {
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGTERM, nullptr, &before), 0);
  {
    std::promise<void> called;
    auto watch = platform::watchTermination([&called] { called.set_value(); });
    ASSERT_EQ(raise(SIGTERM), 0);  // the process lives on: the watch handles it
    called.get_future().wait();
  }
  struct sigaction after {};
  ASSERT_EQ(sigaction(SIGTERM, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
