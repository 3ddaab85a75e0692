// Long runs of the bank commands: on a small file system filled to a range of free sizes,
// and started together against one folder. Each run must tell the truth about what it left.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <functional>

#include "bank_files.h"
#include "connection.h"
#include "schema.h"
#include "session.h"
#include "sqlite_db.h"
#include "temp_dir.h"
#include "tool_run.h"

using testing_support::bankTool;
using testing_support::TempDir;
using testing_support::ToolRun;
namespace fs = std::filesystem;
namespace schema = bank::schema;

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every row of every table of a file, as text; opening it folds a log left beside it in.
std::string contentOf(const fs::path& file, const char* key) {
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(raw);
    return "(does not open)";
  }
  sqlite3_key(raw, key, static_cast<int>(std::strlen(key)));
  std::string out;
  std::vector<std::string> tables;
  auto each = [&](const std::string& sql, const std::function<void(sqlite3_stmt*)>& row) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      out += "(" + std::string(sqlite3_errmsg(raw)) + ")";
      return;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
    if (rc != SQLITE_DONE) out += "(" + std::string(sqlite3_errmsg(raw)) + ")";
    sqlite3_finalize(st);
  };
  each("PRAGMA integrity_check;", [&](sqlite3_stmt* st) { out += reinterpret_cast<const char*>(sqlite3_column_text(st, 0)); });
  each("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name;",
       [&](sqlite3_stmt* st) { tables.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))); });
  for (const std::string& t : tables) {
    out += "\n" + t + ":";
    each("SELECT * FROM [" + t + "] ORDER BY 1;", [&](sqlite3_stmt* st) {
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        const unsigned char* v = sqlite3_column_text(st, i);
        out += v ? reinterpret_cast<const char*>(v) : "<null>";
        out += "|";
      }
      out += ";";
    });
  }
  sqlite3_close(raw);
  return out;
}

std::string bankContent(const fs::path& folder) { return contentOf(schema::bankPath(folder), schema::kBankKey); }

bool leftovers(const fs::path& folder) {
  for (const auto& e : fs::directory_iterator(folder))
    if (has(e.path().filename().string(), "zx-copy") || e.path().filename() == schema::kCompactFile) return true;
  return false;
}

// A small file system of its own, mounted by the test (which runs as root in CI).
class SmallDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::mount("tmpfs", mount_.path().c_str(), "tmpfs", 0, "size=6m") != 0)
      GTEST_SKIP() << "\n*** THE FULL-DISK SWEEP DID NOT RUN: a small file system cannot be mounted here (" << std::strerror(errno)
                   << "); run the tests as root to cover the full disk. ***\n";
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) ::umount2(mount_.path().c_str(), MNT_DETACH);
  }
  const fs::path& disk() const { return mount_.path(); }
  // Fills the disk until about free bytes are left.
  void leave(std::uintmax_t free) {
    const std::uintmax_t available = fs::space(disk()).available;
    if (available <= free) return;
    std::ofstream out(disk() / "filler", std::ios::binary);
    const std::string block(4096, 'f');
    for (std::uintmax_t n = 0; n + free < available; n += block.size()) out.write(block.data(), block.size());
  }
  void freeAll() { fs::remove(disk() / "filler"); }

 private:
  TempDir mount_;
  bool mounted_ = false;
};

TEST_F(SmallDisk, EveryWritingCommandSucceedsWholeOrSaysTheDiskIsFull) {
  TempDir source, demo;
  ASSERT_EQ(bankTool({"create", "--demo", demo.path().string()}).status, 0);
  ASSERT_EQ(bankTool({"create", "--demo", source.path().string()}).status, 0);
  ASSERT_EQ(bankTool({"sql", source.path().string(), "insert into SCtbl (numQ, src) values ('77701', 'N777')"}).status, 0);
  ASSERT_EQ(bankTool({"backup", source.path().string(), (source / "restorable.mdb").string()}).status, 0);
  const std::string restorable = contentOf(source / "restorable.mdb", schema::kBankKey);
  const fs::path dir = disk() / "bank";
  const std::string d = dir.string(), copy = (disk() / "copy.mdb").string();
  // A copy of the demo bank whose links point home, as every command first makes them.
  auto freshCopy = [&] {
    fs::remove_all(dir);
    fs::create_directory(dir);
    for (const char* f : {schema::kBankFile, schema::kUserFile}) fs::copy_file(demo / f, dir / f);
    ASSERT_EQ(bankTool({"trash", d}).status, 0);
  };
  freshCopy();
  const std::string original = bankContent(dir);

  const std::string userOriginal = contentOf(demo / schema::kUserFile, schema::kUserKey);
  enum class After { BankChanged, UserChanged, BankAsBefore, BankRestored };
  struct Command {
    std::vector<std::string> args;
    After after;  // what a run that succeeded leaves
  };
  const std::vector<Command> commands = {
      {{"edition-pool", d, "SC", "O131", "5"}, After::BankChanged},
      {{"import", d, schema::bankPath(source.path()).string(), "SC", "N777"}, After::BankChanged},
      {{"import-memos", d, schema::userPath(source.path()).string(), "01201"}, After::UserChanged},
      {{"sql", d, "update SCtbl set question = 'changed everywhere'"}, After::BankChanged},
      {{"backup", d, copy}, After::BankAsBefore},
      {{"restore", (source / "restorable.mdb").string(), d}, After::BankRestored},
      {{"compact", d}, After::BankAsBefore},
  };
  const std::vector<std::uintmax_t> freeSizes = {0,         8 << 10,   16 << 10,   32 << 10,   48 << 10,
                                                 64 << 10,  96 << 10,  128 << 10,  256 << 10,  512 << 10,
                                                 800 << 10, 1000 << 10, 1200 << 10, 2 << 20};
  int succeeded = 0, full = 0, unfinished = 0;
  for (const Command& c : commands) {
    const bool user = c.after == After::UserChanged;
    const fs::path written = dir / (user ? schema::kUserFile : schema::kBankFile);
    const char* key = user ? schema::kUserKey : schema::kBankKey;
    const std::string before = user ? userOriginal : original;
    for (std::uintmax_t free : freeSizes) {
      SCOPED_TRACE(c.args[0] + " with " + std::to_string(free >> 10) + " KiB free");
      fs::remove(copy);
      freshCopy();
      leave(free);
      ToolRun r = bankTool(c.args);
      freeAll();
      ASSERT_FALSE(leftovers(dir)) << r.out;
      if (r.status == 0) {
        ++succeeded;
        TempDir alone;
        fs::copy_file(written, alone / "alone.mdb");
        const std::string content = contentOf(alone / "alone.mdb", key);
        EXPECT_TRUE(content == contentOf(written, key)) << "reported success, but the file alone is not whole\n" << r.out;
        const bool changes = c.after == After::BankChanged || c.after == After::UserChanged;
        if (changes) {
          EXPECT_TRUE(content != before) << r.out;
        } else if (c.after == After::BankRestored) {
          EXPECT_TRUE(has(content, "77701|N777|")) << r.out;  // the restored file's own question
        } else {
          EXPECT_TRUE(content == original) << r.out;
        }
        if (c.args[0] == "backup") {
          const std::string copied = contentOf(copy, schema::kBankKey);
          EXPECT_TRUE(copied == original) << r.out << copied.substr(0, 200);
        }
      } else if (r.status == 3) {
        ++unfinished;
        EXPECT_TRUE(has(r.out, "is not yet whole on its own because the disk is full")) << r.out;
        EXPECT_TRUE(has(r.out, "-wal")) << r.out;
        EXPECT_TRUE(contentOf(written, key) != before) << "the saved change was lost\n" << r.out;
      } else {
        ++full;
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(has(r.out, "3026:The disk is full")) << r.out;
        EXPECT_FALSE(has(r.out, "I/O error")) << r.out;
        EXPECT_TRUE(contentOf(written, key) == before) << "a failed run changed the file\n" << r.out;
        EXPECT_TRUE(c.args[0] != "backup" || !fs::exists(copy));
      }
    }
  }
  for (const bool demo : {false, true})
    for (std::uintmax_t free : freeSizes) {
      SCOPED_TRACE(std::string(demo ? "create --demo" : "create") + " with " + std::to_string(free >> 10) + " KiB free");
      fs::remove_all(dir);
      leave(free);
      ToolRun r = bankTool(demo ? std::vector<std::string>{"create", "--demo", d} : std::vector<std::string>{"create", d});
      freeAll();
      if (r.status == 0 || r.status == 3) {
        r.status == 0 ? ++succeeded : ++unfinished;
        EXPECT_TRUE(r.status == 0 || has(r.out, "because the disk is full")) << r.out;
        EXPECT_EQ(bankTool({"check", d}).status, 0) << r.out;
        EXPECT_EQ(bankTool({"sql", d, "select count(*) as n from SCtbl"}).out, demo ? "n\n34\n" : "n\n0\n") << r.out;
      } else {
        ++full;
        EXPECT_TRUE(r.status == 1 && has(r.out, "3026:The disk is full")) << r.out;
        EXPECT_FALSE(fs::exists(dir)) << "a half-made bank is left\n" << r.out;
      }
    }
  // The range reaches from too little room for anything to room for everything.
  EXPECT_GT(succeeded, 0);
  EXPECT_GT(full, 0);
  std::printf("full-disk sweep: %d runs succeeded, %d said the disk is full, %d saved into the log only\n", succeeded,
              full, unfinished);
}

TEST_F(SmallDisk, ACommitTheDiskKeepsFromTheFileIsReportedAndFoldedInLater) {
  TempDir demo;
  ASSERT_EQ(bankTool({"create", "--demo", demo.path().string()}).status, 0);
  const fs::path dir = disk() / "bank";
  fs::create_directory(dir);
  for (const char* f : {schema::kBankFile, schema::kUserFile}) fs::copy_file(demo / f, dir / f);
  ASSERT_EQ(bankTool({"sql", dir.string(), "select count(*) as n from SCtbl"}).status, 0);  // both files' own log files made
  const fs::path be = schema::bankPath(dir);
  {
    store::Connection c;
    c.open(be.string(), schema::kBankKey);
    {
      store::DeferCheckpoint batch(c);
      store::sqliteFile(c.session().engine()).exec("UPDATE SCtbl SET question = question || hex(randomblob(3000));");
      leave(0);
    }  // the checkpoint owed now needs a larger file than the disk allows
    EXPECT_TRUE(c.session().file()->savedOnlyInLog());
    c.close();
  }
  EXPECT_TRUE(has(bank::unfinishedLogWarning(be), "is not yet whole on its own because the disk is full"));
  const std::string select = "select count(*) as n from SCtbl where Len(question) > 6000";
  freeAll();
  leave(48 << 10);  // room to open, none to fold the log in
  ToolRun held = bankTool({"sql", dir.string(), select});
  EXPECT_EQ(held.status, 3) << held.out;
  EXPECT_TRUE(has(held.out, "because the disk is full")) << held.out;
  EXPECT_TRUE(has(held.out, "keep the -wal file")) << held.out;
  freeAll();
  ToolRun folded = bankTool({"sql", dir.string(), select});
  EXPECT_EQ(folded.status, 0) << folded.out;
  EXPECT_NE(folded.out, "n\n0\n");
  EXPECT_TRUE(has(held.out, folded.out)) << held.out;
  EXPECT_EQ(bank::unfinishedLogWarning(be), "");
}

// Two runs at once against one folder, many times: each report must match what is in place.
TEST(Together, RestoresAndCompactionsStartedTogetherReportTruthfully) {
  TempDir dir, files;
  const std::string d = dir.path().string();
  ASSERT_EQ(bankTool({"create", "--demo", d}).status, 0);
  // Two different backups to restore, told apart by one question's text.
  for (const char* name : {"first", "second"}) {
    ASSERT_EQ(bankTool({"sql", d, std::string("update SCtbl set question = '") + name + "'"}).status, 0);
    ASSERT_EQ(bankTool({"backup", d, (files / (std::string(name) + ".mdb")).string()}).status, 0);
  }
  const std::string first = contentOf(files / "first.mdb", schema::kBankKey);
  const std::string second = contentOf(files / "second.mdb", schema::kBankKey);
  ASSERT_NE(first, second);
  auto both = [](const std::vector<std::string>& a, const std::vector<std::string>& b) {
    ToolRun ra, rb;
    pid_t child = fork();
    if (child == 0) {
      ToolRun r = bankTool(b);
      _exit(r.status == 0 ? 0 : (r.out.find("open in another program") != std::string::npos ||
                                  r.out.find("file already in use") != std::string::npos ||
                                  r.out.find("database is locked") != std::string::npos ||
                                  r.out.find("was not put in place") != std::string::npos)
                                     ? 10
                                     : 20);
    }
    ra = bankTool(a);
    int status = 0;
    waitpid(child, &status, 0);
    rb.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return std::make_pair(ra, rb);
  };
  int restoresWon = 0, refused = 0;
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    if (round % 2 == 1)  // into a folder that holds no bank: nothing to hold, the name decides
      for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(schema::bankPath(dir.path()).string() + suffix);
    auto [a, b] = both({"restore", (files / "first.mdb").string(), d}, {"restore", (files / "second.mdb").string(), d});
    const std::string now = bankContent(dir.path());
    ASSERT_FALSE(leftovers(dir.path()));
    // Whichever reports success is the file in place; the other was refused and touched nothing.
    EXPECT_TRUE(b.status == 0 || b.status == 10) << "the second run's report was neither success nor a refusal";
    if (a.status == 0 && b.status == 0) {
      // Only when one run ended before the other began (a start can be slow): the later one is
      // in place, whole.
      EXPECT_TRUE(now == first || now == second) << "both restores reported success and neither is in place";
    } else if (a.status == 0) {
      EXPECT_TRUE(now == first) << a.out;
      ++restoresWon;
    } else if (b.status == 0) {
      EXPECT_TRUE(now == second) << a.out;
      ++restoresWon;
    } else {
      ++refused;
    }
  }
  EXPECT_GT(restoresWon, 0);
  const std::string content = bankContent(dir.path());
  int compacted = 0;
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("compaction round " + std::to_string(round));
    auto [a, b] = both({"compact", d}, {"compact", d});
    EXPECT_TRUE(a.status == 0 || has(a.out, "file already in use") || has(a.out, "database is locked")) << a.out;
    EXPECT_TRUE(b.status == 0 || b.status == 10) << "the second compaction neither succeeded nor was refused";
    EXPECT_FALSE(has(a.out, "Could not find the file")) << a.out;
    compacted += (a.status == 0) + (b.status == 0);
    ASSERT_FALSE(leftovers(dir.path()));
    ASSERT_TRUE(bankContent(dir.path()) == content);
  }
  EXPECT_GT(compacted, 0);
  std::printf("together: %d restores won, %d rounds refused both, %d compactions done\n", restoresWon, refused, compacted);
}

}  // namespace
