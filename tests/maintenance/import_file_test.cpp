// Which files the import refuses as a source, and why, on real files: the reasons that the
// section window shows after "Invalid File Name.".
#include <gtest/gtest.h>

#include <fstream>

#include "connections.h"
#include "import.h"
#include "schema.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using bank::schema::kBankKey;
using bank::schema::kUserKey;
using testing_support::TempDir;

void write(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

TEST(ImportFile, EachRefusedFileGetsItsReason) {
  TempDir own, other, files;
  bank::schema::createBank(own.path());
  bank::schema::createBank(other.path());
  const fs::path bank = bank::schema::bankPath(other.path()), user = bank::schema::userPath(other.path());
  auto why = [&](const fs::path& f, const char* key = kBankKey) {
    return maintenance::importFileProblem(own.path(), f.string(), key);
  };
  EXPECT_EQ(why(bank), "");
  EXPECT_EQ(why(user, kUserKey), "");
  EXPECT_EQ(why(bank::schema::bankPath(own.path())), "It is the bank itself.");
  EXPECT_EQ(why(bank::schema::userPath(own.path()), kUserKey), "It is this folder's user database.");
  EXPECT_EQ(why(files / "gone.mdb"), "The file does not exist.");
  EXPECT_EQ(why(files.path()), "It is a folder, not a file.");
  write(files / "notes.mdb", std::string(8192, 'x'));
  EXPECT_EQ(why(files / "notes.mdb"), "It is not a database file.");
  write(files / "empty.mdb", "");
  EXPECT_EQ(why(files / "empty.mdb"), "It is not a database file.");
  EXPECT_EQ(why(user), "It is a user database, which has another key than a bank.");
  EXPECT_EQ(why(bank, kUserKey), "It is a bank, which has another key than a user database.");
  std::string noise(8192, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  write(files / "other-key.mdb", noise);
  EXPECT_EQ(why(files / "other-key.mdb"), "It is a database file with another key, or its first page is damaged.");
  // Without a key to check (no section chosen) a file of ours is not opened.
  EXPECT_EQ(why(files / "other-key.mdb", nullptr), "");

  // A page after the first overwritten: the key opens the file, its pages do not check.
  fs::copy_file(bank, files / "damaged.mdb");
  std::string bytes = testing_support::bytesOf(files / "damaged.mdb");
  ASSERT_GE(bytes.size(), 3 * 4096u);
  for (size_t i = 4096 + 100; i < 4096 + 400; ++i) bytes[i] = '\x5a';
  write(files / "damaged.mdb", bytes);
  EXPECT_EQ(why(files / "damaged.mdb"), "The database file is damaged.");

  // Cut short part-way through a page, and at a page's end; pages that the opening reads overwritten.
  const std::string whole = testing_support::bytesOf(bank);
  write(files / "cut.mdb", whole.substr(0, whole.size() - 700));
  EXPECT_EQ(why(files / "cut.mdb"), "The database file is damaged: it has been cut short.");
  write(files / "cut-at-page.mdb", whole.substr(0, whole.size() - 3 * 1024));
  EXPECT_EQ(why(files / "cut-at-page.mdb"), "The database file is damaged.");
  std::string middle = whole;
  for (size_t i = 1024; i < middle.size() / 2; ++i) middle[i] = '\x5a';
  write(files / "middle.mdb", middle);
  EXPECT_EQ(why(files / "middle.mdb"), "The database file is damaged.");
}

TEST(ImportFile, AMissingMemoSourceIsRefusedBeforeTheQuestion) {
  TempDir own, other;
  bank::schema::createBank(own.path());
  bank::schema::createBank(other.path());
  bank::ProgramState state(own.path());
  bank::OpenConnections(state);
  const fs::path source = bank::schema::userPath(other.path());
  fs::remove(source);
  bool asked = false;
  maintenance::ImportHooks hooks;
  hooks.log = [](const std::string&) {};
  hooks.passedOver = [](const store::DbError&) {};
  hooks.confirm = [&] { return asked = true; };
  EXPECT_THROW(maintenance::ImportMemos(state, source.string(), {"77701"}, hooks), store::DbError);
  EXPECT_FALSE(asked);
  bank::CloseConnections(state, [](const std::string&) {});
}

}  // namespace
