// The bank commands on hostile input: files that are no bank, folders whose names a link
// cannot carry, sources that never end, banks that lack part of their structure.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <random>

#include "schema.h"
#include "temp_dir.h"
#include "tool_run.h"

using testing_support::bankTool;
using testing_support::bytesOf;
using testing_support::TempDir;
using testing_support::ToolRun;
namespace fs = std::filesystem;
namespace schema = bank::schema;

namespace {

void execRaw(const fs::path& file, const char* key, const std::string& sql) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
  sqlite3_key(raw, key, static_cast<int>(std::strlen(key)));
  char* message = nullptr;
  int rc = sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, &message);
  std::string why = message ? message : "";
  sqlite3_free(message);
  sqlite3_close(raw);
  ASSERT_EQ(rc, SQLITE_OK) << why;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> namesIn(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

class BankFaults : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(bankTool({"create", "--demo", d()}).status, 0); }
  std::string d() const { return dir.path().string(); }
  fs::path be() const { return schema::bankPath(dir.path()); }
  TempDir dir;
};

TEST_F(BankFaults, RestoreRefusesAFileThatIsNoBankBeforeCopyingAndNamesIt) {
  const std::string before = bytesOf(be());
  const std::vector<std::string> files = namesIn(dir.path());
  TempDir elsewhere;
  const fs::path junk = elsewhere / "junk.mdb";
  {
    std::ofstream out(junk, std::ios::binary);
    std::mt19937 random(7);
    for (int i = 0; i < 4 * 1024 * 1024; ++i) out.put(static_cast<char>(random()));
  }
  ToolRun r = bankTool({"restore", junk.string(), d()});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.out, "'" + junk.string() + "' is not a ZORBEX database file")) << r.out;
  EXPECT_FALSE(has(r.out, ".zx-copy")) << r.out;
  EXPECT_EQ(bytesOf(be()), before);
  EXPECT_EQ(namesIn(dir.path()), files);

  // A bank path that is a folder is said to be one, not a bank in use.
  TempDir other;
  fs::create_directory(schema::bankPath(other.path()));
  ASSERT_EQ(bankTool({"backup", d(), (elsewhere / "copy.mdb").string()}).status, 0);
  ToolRun folder = bankTool({"restore", (elsewhere / "copy.mdb").string(), other.path().string()});
  EXPECT_EQ(folder.status, 1);
  EXPECT_TRUE(has(folder.out, "is a folder")) << folder.out;
}

TEST_F(BankFaults, AChangeThatAReaderKeepsInTheLogIsSavedAndSaysWhyWithoutBlamingTheDisk) {
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open(be().c_str(), &reader), SQLITE_OK);
  sqlite3_key(reader, schema::kBankKey, static_cast<int>(std::strlen(schema::kBankKey)));
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM SCtbl;", nullptr, nullptr, nullptr), SQLITE_OK);
  ToolRun r = bankTool({"sql", d(), "update SCtbl set question = 'read meanwhile'"});
  sqlite3_exec(reader, "COMMIT;", nullptr, nullptr, nullptr);
  sqlite3_close(reader);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(has(r.out, "because another program was reading it")) << r.out;
  EXPECT_FALSE(has(r.out, "Free some space")) << r.out;
  EXPECT_EQ(bankTool({"sql", d(), "select count(*) as n from SCtbl where question = 'read meanwhile'"}).out, "n\n34\n");
}

TEST_F(BankFaults, ARestoreRemovesTheCopyAStoppedRestoreLeftAndSaysSo) {
  ASSERT_EQ(bankTool({"backup", d(), (dir / "copy.mdb").string()}).status, 0);
  const fs::path left = be().string() + ".zx-copy-4242-1-7";
  fs::copy_file(be(), left);
  ToolRun r = bankTool({"restore", (dir / "copy.mdb").string(), d()});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(has(r.out, "note: a half-made copy of the bank that an earlier run left in '" + left.string() +
                             "' was removed")) << r.out;
  EXPECT_FALSE(fs::exists(left));
}

TEST_F(BankFaults, EveryCommandUsesTheFoldersOwnUserDatabaseAndCheckReportsLinksElsewhere) {
  TempDir otherDir;
  const std::string other = otherDir.path().string();
  ASSERT_EQ(bankTool({"create", "--demo", other}).status, 0);
  ASSERT_EQ(bankTool({"sql", other, "delete from tblMemo"}).status, 0);
  const std::string ownMemos = bankTool({"sql", other, "select count(*) as n from tblMemo"}).out;
  ASSERT_EQ(ownMemos, "n\n0\n");

  // A bank file copied by hand from the first folder still links there.
  fs::copy_file(be(), schema::bankPath(otherDir.path()), fs::copy_options::overwrite_existing);
  ToolRun check = bankTool({"check", other});
  EXPECT_NE(check.status, 0);
  EXPECT_TRUE(has(check.out, "missing: the link tblMemo points at '" + schema::userPath(dir.path()).string() + "'"))
      << check.out;
  // Any other command points the links home before it reads.
  EXPECT_EQ(bankTool({"sql", other, "select count(*) as n from tblMemo"}).out, ownMemos);
  EXPECT_EQ(bankTool({"check", other}).status, 0);

  // A restored backup of another folder links to this folder's user database.
  fs::copy_file(be(), otherDir / "copy.mdb");
  ASSERT_EQ(bankTool({"restore", (otherDir / "copy.mdb").string(), other}).status, 0);
  EXPECT_EQ(bankTool({"check", other}).status, 0);
  EXPECT_EQ(bankTool({"sql", other, "select count(*) as n from tblMemo"}).out, ownMemos);
}

TEST_F(BankFaults, CheckNamesEveryMissingTableColumnAndLink) {
  struct Case {
    const char* what;
    bool inBank;
    const char* sql;
    const char* named;
  };
  const Case cases[] = {
      {"links deleted", true, "DELETE FROM zx_tabledefs WHERE connect IS NOT NULL;", "the link tblAnswer is missing"},
      {"link to nothing", true, "UPDATE zx_tabledefs SET connect = ';DATABASE=/nonexistent/u.mdb;pwd=marigold;' "
                                "WHERE name = 'tblMemo';", "the link tblMemo points at '/nonexistent/u.mdb', which does not exist"},
      {"tblMemo dropped", false, "DROP TABLE tblMemo;", "zorbex_user.mdb has no table tblMemo"},
      {"SCtbl dropped", true, "DROP TABLE SCtbl;", "zorbex_be.mdb has no table SCtbl"},
      {"column dropped", true, "CREATE TABLE x AS SELECT numQ, type FROM AWAtbl; DROP TABLE AWAtbl; ALTER TABLE x RENAME TO AWAtbl;",
       "zorbex_be.mdb: table AWAtbl has no column question"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir copy;
    for (const char* f : {schema::kBankFile, schema::kUserFile}) fs::copy_file(dir / f, copy / f);
    execRaw(copy / (c.inBank ? schema::kBankFile : schema::kUserFile), c.inBank ? schema::kBankKey : schema::kUserKey,
            c.sql);
    ToolRun r = bankTool({"check", copy.path().string()});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has(r.out, std::string("missing: ") + c.named)) << r.out;
  }
}

TEST(BankNames, FolderNamesALinkCannotCarryAreRefusedBeforeAnythingIsWritten) {
  TempDir top;
  const fs::path here = fs::current_path();
  for (const char* name : {"E;x", "D_pwd=x;DATABASE=evil"}) {
    SCOPED_TRACE(name);
    ToolRun r = bankTool({"create", (top / name).string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.out, "has a ';' in its path")) << r.out;
    EXPECT_FALSE(fs::exists(top / name));
  }
  // A bank moved into such a folder: a command that would link to it writes nothing anywhere.
  ASSERT_EQ(bankTool({"create", "--demo", (top / "plain").string()}).status, 0);
  ASSERT_EQ(bankTool({"create", "--demo", (top / "source").string()}).status, 0);
  const fs::path hostile = top / "D_pwd=x;DATABASE=evil";
  fs::rename(top / "plain", hostile);
  const std::string before = bytesOf(schema::bankPath(hostile));
  ToolRun memos = bankTool({"import-memos", hostile.string(), (top / "source" / schema::kUserFile).string(), "01201"});
  EXPECT_EQ(memos.status, 1);
  EXPECT_TRUE(has(memos.out, "has a ';' in its path")) << memos.out;
  EXPECT_EQ(bytesOf(schema::bankPath(hostile)), before);
  EXPECT_FALSE(fs::exists(here / "evil"));
  EXPECT_FALSE(fs::exists(top / "evil"));
  ASSERT_EQ(bankTool({"backup", (top / "source").string(), (top / "copy.mdb").string()}).status, 0);
  ToolRun restore = bankTool({"restore", (top / "copy.mdb").string(), hostile.string()});
  EXPECT_EQ(restore.status, 1);
  EXPECT_TRUE(has(restore.out, "has a ';' in its path")) << restore.out;
  EXPECT_EQ(bytesOf(schema::bankPath(hostile)), before);

  // Other characters are carried exactly.
  const fs::path odd = top / "a=b 'c'%_";
  ASSERT_EQ(bankTool({"create", "--demo", odd.string()}).status, 0);
  EXPECT_EQ(bankTool({"import-memos", odd.string(), (top / "source" / schema::kUserFile).string(), "01201"}).status, 0);
  EXPECT_EQ(bankTool({"check", odd.string()}).status, 0);
}

TEST_F(BankFaults, ImportRefusesAPipeAsItsSourceWithoutHoldingTheBank) {
  TempDir other;
  const fs::path pipe = other / "source.mdb";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"import", d(), pipe.string(), "SC", "X012"},
        std::vector<std::string>{"import-memos", d(), pipe.string(), "01201"}}) {
    ToolRun r = bankTool(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.out, "It is a named pipe (FIFO), not a file.")) << r.out;
  }
}

TEST_F(BankFaults, ImportOfAPoolThatIsNotThereSaysSoAndChangesNothing) {
  TempDir otherDir;
  ASSERT_EQ(bankTool({"create", "--demo", otherDir.path().string()}).status, 0);
  const std::string rows = bankTool({"sql", d(), "select count(*) as n from SCtbl"}).out;
  ToolRun r = bankTool({"import", d(), schema::bankPath(otherDir.path()).string(), "SC", "Q999"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.out, "There is no pool Q999 in SCtbl")) << r.out;
  EXPECT_FALSE(has(r.out, "successfully completed")) << r.out;
  EXPECT_EQ(bankTool({"sql", d(), "select count(*) as n from SCtbl"}).out, rows);
  EXPECT_FALSE(has(bankTool({"check", d()}).out, "ImportTbl"));
}

TEST_F(BankFaults, CompactOfABankThatIsASymbolicLinkReplacesItsTarget) {
  TempDir store;
  const fs::path target = store / "kept.mdb";
  fs::rename(be(), target);
  fs::create_symlink(target, be());
  ToolRun r = bankTool({"compact", d()});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(fs::is_symlink(be()));
  EXPECT_EQ(fs::read_symlink(be()), target);
  EXPECT_FALSE(fs::exists(store / schema::kCompactFile));
  EXPECT_EQ(bankTool({"check", d()}).status, 0);
}

TEST_F(BankFaults, AWrongCommandLineExits2AndChangesNothing) {
  const std::string before = bytesOf(be());
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"create", d(), d()}, {"check"}, {"backup", d()}, {"restore", d()}, {"sql", d()}, {"search", d()},
           {"search", d(), "word", "--kind", "XX"}, {"search", d(), "word", "--pool"}, {"reindex"},
           {"prune-history", d(), "2025-02-30"}, {"prune-history", d(), "2025-2-3"}, {"revert", d(), "01201", "1x"},
           {"history", d(), "01201", "--kind", "XX"}, {"import", d(), d(), "XX", "X012"}, {"migrate", d()}}) {
    ToolRun r = bankTool(args);
    EXPECT_EQ(r.status, 2) << args[0] << ": " << r.out;
  }
  EXPECT_EQ(bytesOf(be()), before);
}

TEST_F(BankFaults, PipesAndDevicesAreNamedForWhatTheyAre) {
  TempDir other;
  const fs::path pipe = other / "pipe.mdb";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const std::string before = bytesOf(be());
  for (const std::string& file : {pipe.string(), std::string("/dev/zero")}) {
    const std::string what = file == "/dev/zero" ? "is a device, not a file" : "is a named pipe (FIFO), not a file";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"restore", file, d()}, {"jet-tables", file}, {"migrate", file, file, (other / "m").string()}}) {
      ToolRun r = bankTool(args);
      EXPECT_EQ(r.status, 1) << args[0];
      EXPECT_TRUE(has(r.out, "'" + file + "' " + what)) << args[0] << ": " << r.out;
    }
  }
  EXPECT_EQ(bytesOf(be()), before);
}

TEST_F(BankFaults, AUserDatabaseAsAPoolSourceIsRefusedWithTheReason) {
  TempDir other;
  ASSERT_EQ(bankTool({"create", "--demo", other.path().string()}).status, 0);
  ToolRun r = bankTool({"import", d(), schema::userPath(other.path()).string(), "SC", "X012"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "3055:Invalid File Name. It is a user database, which has another key than a bank. "
                   "Nothing was imported.\n");
}

TEST_F(BankFaults, ASearchLongerThanTheBoundExits2WithItsLength) {
  std::vector<std::string> args{"search", d()};
  for (int i = 0; i < 300; ++i) args.push_back("w" + std::to_string(i));
  ToolRun r = bankTool(args);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "zorbex-bank: Too long: a search takes at most 200 words; this one has 300. Nothing was searched.\n");
}

TEST(CreateStopped, ACreateStoppedAtAnyStepLeavesTheWholeBankOrNoneAndTheNextCommandClearsUp) {
  TempDir top;
  const fs::path d = top / "bank";
  int whole = 0, none = 0;
  for (int step = 1;; ++step) {
    SCOPED_TRACE("stopped at step " + std::to_string(step));
    fs::remove_all(d);
    setenv("ZORBEX_FAULT_STEP", std::to_string(step).c_str(), 1);
    ToolRun create = bankTool({"create", "--demo", d.string()});
    unsetenv("ZORBEX_FAULT_STEP");
    if (create.status == 0) break;  // past the last step
    ASSERT_EQ(create.status, 70) << create.out;
    ToolRun check = bankTool({"check", d.string()});
    if (check.status == 0) {
      ++whole;
      EXPECT_TRUE(has(check.out, "table SCtbl            34 rows")) << check.out;
    } else {
      ++none;
      EXPECT_TRUE(has(check.out, "has no zorbex_be.mdb")) << check.out;
      EXPECT_EQ(bankTool({"create", "--demo", d.string()}).status, 0);
    }
    EXPECT_EQ(namesIn(d), (std::vector<std::string>{schema::kBankFile, schema::kUserFile})) << check.out;
  }
  EXPECT_GT(whole, 0);
  EXPECT_GT(none, 0);
}

}  // namespace
