// The administrators' tool, run as a program: its output, exit status and what it
// leaves untouched on bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>

#include "connection.h"
#include "corpus.h"
#include "recordset.h"
#include "schema.h"
#include "temp_dir.h"
#include "tool_run.h"

using testing_support::TempDir;
using testing_support::bytesOf;
using testing_support::bankTool;
using testing_support::ToolRun;
namespace fs = std::filesystem;

namespace {

TEST(BankTool, DemoBankFollowsTheNumberingRules) {
  TempDir dir;
  ASSERT_EQ(bankTool({"create", "--demo", dir.path().string()}).status, 0);
  ToolRun check = bankTool({"check", dir.path().string()});
  ASSERT_EQ(check.status, 0) << check.out;
  EXPECT_NE(check.out.find("integrity ok"), std::string::npos);
  EXPECT_NE(check.out.find("link tblMemo"), std::string::npos);

  // Ordinary pools: letter + three digits, 5 to 20 questions numbered pool + 01...
  for (const char* table : {"SCtbl", "CRtbl", "RCtbl", "DStbl", "PStbl"}) {
    SCOPED_TRACE(table);
    ToolRun pools = bankTool({"sql", dir.path().string(),
                      std::string("select src, count(*) as n, min(numQ) as lo, max(numQ) as hi from ") + table +
                          " where src like 'X%' group by src"});
    ASSERT_EQ(pools.status, 0) << pools.out;
    std::regex row(R"(X(\d{3})\t(\d+)\t(\d{5})\t(\d{5}))");
    int seen = 0;
    for (std::sregex_iterator it(pools.out.begin(), pools.out.end(), row), end; it != end; ++it, ++seen) {
      int n = std::stoi((*it)[2]);
      EXPECT_GE(n, 5);
      EXPECT_LE(n, 20);
      EXPECT_EQ((*it)[3].str(), (*it)[1].str() + "01");
      EXPECT_EQ((*it)[4].str(), (*it)[1].str() + (n < 10 ? "0" : "") + std::to_string(n));
    }
    EXPECT_GE(seen, 3);
  }
  // The RC passages carry their line marks; a CBTLINE run stands in the SC stems.
  EXPECT_NE(bankTool({"sql", dir.path().string(), "select count(*) as n from RCtbl where reading like '%(10) %' and src like 'X%'"})
                .out.find("\n16\n"),
            std::string::npos);
  EXPECT_EQ(bankTool({"sql", dir.path().string(), "select count(*) as n from SCtbl where question like '%CBTLINE%'"})
                .out.find("\n0\n"),
            std::string::npos);
}

TEST(BankTool, EditionCommandsWorkOnTheDemoBankAndFailWhole) {
  TempDir dir;
  ASSERT_EQ(bankTool({"create", "--demo", dir.path().string()}).status, 0);
  const std::string d = dir.path().string();
  for (const char* kind : {"SC", "CR", "RC", "DS", "PS"}) {
    ToolRun copy = bankTool({"edition-copy", d, kind});
    EXPECT_EQ(copy.status, 0) << kind << copy.out;
  }
  EXPECT_NE(bankTool({"sql", d, "select passageNum from RCtbl where numQ='130003'"}).out.find("13042"), std::string::npos);
  EXPECT_EQ(bankTool({"answer-keys", d, "ps"}).status, 0);
  ToolRun created = bankTool({"edition-pool", d, "SC", "O131", "2"});
  EXPECT_EQ(created.status, 0) << created.out;
  EXPECT_NE(created.out.find("13011 to 13012"), std::string::npos) << created.out;
  EXPECT_EQ(bankTool({"duplicates", d, "CR"}).status, 0);
  EXPECT_EQ(bankTool({"fix-numq", d, "PS"}).out, "numQ update completed. 5 questions moved.\n");

  // A missing target: the message names it and no row of the copy stays.
  bankTool({"sql", d, "delete from SCtbl where numQ='13003'"});
  bankTool({"sql", d, "update SCtbl set choiceA = 'changed' where numQ like '13%'"});
  const std::string before = bankTool({"sql", d, "select * from SCtbl order by numQ"}).out;
  ToolRun failed = bankTool({"edition-copy", d, "SC"});
  EXPECT_NE(failed.status, 0);
  EXPECT_EQ(failed.out, "3021:The question 13003 does not exist in SCtbl.\n");
  EXPECT_EQ(bankTool({"sql", d, "select * from SCtbl order by numQ"}).out, before);
  EXPECT_NE(bankTool({"answer-keys", d, "CR"}).status, 0);
}

TEST(BankTool, SqlPrintsRowsOrANumberedError) {
  TempDir dir;
  ASSERT_EQ(bankTool({"create", dir.path().string()}).status, 0);
  ToolRun ok = bankTool({"sql", dir.path().string(), "select count(*) as numQCount from SCtbl where SCtbl.numQ Like '012%';"});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out, "numQCount\n0\n");
  ToolRun bad = bankTool({"sql", dir.path().string(), "select * from NoSuch"});
  EXPECT_NE(bad.status, 0);
  EXPECT_EQ(bad.out.rfind("-2147217865:", 0), 0u) << bad.out;
}

TEST(BankTool, BadFoldersAndFilesGiveOneMessageAndChangeNothing) {
  TempDir dir;
  ToolRun missing = bankTool({"check", (dir / "none").string()});
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.out.find("does not exist"), std::string::npos);
  ToolRun empty = bankTool({"check", dir.path().string()});
  EXPECT_NE(empty.status, 0);
  EXPECT_NE(empty.out.find("zorbex_be.mdb"), std::string::npos);

  ASSERT_EQ(bankTool({"create", dir.path().string()}).status, 0);
  ToolRun again = bankTool({"create", dir.path().string()});
  EXPECT_NE(again.status, 0);
  // A damaged bank: the check refuses it and leaves both files as they are.
  fs::path be = dir / "zorbex_be.mdb";
  std::string good = bytesOf(be);
  { std::ofstream(be, std::ios::binary) << good.substr(0, 1000); }
  std::string damaged = bytesOf(be), user = bytesOf(dir / "zorbex_user.mdb");
  for (const char* cmd : {"check", "sql"}) {
    ToolRun r = cmd == std::string("sql") ? bankTool({cmd, dir.path().string(), "select numQ from SCtbl"})
                                      : bankTool({cmd, dir.path().string()});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("-2147217843:"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  }
  EXPECT_EQ(bytesOf(be), damaged);
  EXPECT_EQ(bytesOf(dir / "zorbex_user.mdb"), user);
}

// Backups, restores and the check's verdict on real banks.
class BankFiles : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(bankTool({"create", "--demo", dir.path().string()}).status, 0); }
  fs::path be() const { return dir / bank::schema::kBankFile; }
  static bool hasLogFiles(const fs::path& bankFile) {
    return fs::exists(bankFile.string() + "-wal") || fs::exists(bankFile.string() + "-shm");
  }
  static void open(store::Connection& c, const fs::path& folder) {
    c.open(bank::schema::bankPath(folder).string(), bank::schema::kBankKey);
  }
  static std::string stemOf(store::Connection& c, const std::string& numQ) {
    store::Recordset rs;
    rs.open("select question from SCtbl where numQ='" + numQ + "';", c, store::adOpenDynamic, store::adLockReadOnly);
    std::string out = rs.eof() ? "(none)" : rs.value("question").toString();
    rs.close();
    return out;
  }
  static void save(store::Connection& c, const std::string& numQ, const std::string& stem) {
    store::Recordset rs;
    rs.open("SCtbl where numQ='" + numQ + "'", c, store::adOpenKeyset, store::adLockOptimistic, store::adCmdTable);
    rs.setValue("question", stem);
    rs.update();
    rs.close();
  }
  std::string firstQuestion() {
    store::Connection c;
    open(c, dir.path());
    store::Recordset rs;
    rs.open("select numQ from SCtbl order by numQ;", c, store::adOpenDynamic, store::adLockReadOnly);
    return rs.value("numQ").toString();
  }
  TempDir dir;
};

namespace {
// The file with 16 bytes of page `page` (from 0) damaged.
std::string damagedAt(std::string bytes, size_t page) {
  for (size_t i = 0; i < 16; ++i) bytes[page * 1024 + 100 + i] ^= 0x5a;
  return bytes;
}

// What the engine itself says of a file's integrity, through its own API: the extended result
// code of the check, and its findings when it ran.
struct RawCheck {
  int code;
  std::string findings;
};
RawCheck rawIntegrityCheck(const fs::path& file) {
  sqlite3* raw = nullptr;
  if (sqlite3_open(file.string().c_str(), &raw) != SQLITE_OK) return {-1, ""};
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_key(raw, bank::schema::kBankKey, static_cast<int>(std::strlen(bank::schema::kBankKey)));
  RawCheck r{SQLITE_OK, ""};
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(raw, "PRAGMA integrity_check;", -1, &st, nullptr);
  if (rc == SQLITE_OK)
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) r.findings += reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  if (rc != SQLITE_DONE) r.code = sqlite3_extended_errcode(raw);
  sqlite3_finalize(st);
  sqlite3_close(raw);
  return r;
}
}  // namespace

TEST_F(BankFiles, CheckFailsOnADamagedMiddlePageAndLeavesNoLogFiles) {
  ToolRun ok = bankTool({"check", dir.path().string()});
  EXPECT_EQ(ok.status, 0) << ok.out;
  EXPECT_FALSE(hasLogFiles(be()));

  // The engine reports each damaged page as damage by its code (or as findings of the check),
  // never as a bare error that only its message could tell from a fault of a statement: the
  // store classifies by the code alone.
  const std::string bytes = bytesOf(be());
  const fs::path probe = dir / "probe.mdb";
  const size_t pages = bytes.size() / 1024;
  for (size_t page = 1; page < pages; ++page) {
    { std::ofstream(probe, std::ios::binary) << damagedAt(bytes, page); }
    const RawCheck r = rawIntegrityCheck(probe);
    const int primary = r.code & 0xff;
    EXPECT_TRUE(primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || (r.code == SQLITE_OK && r.findings != "ok"))
        << "page " << page << ": code " << r.code << ", findings " << r.findings;
  }
  fs::remove(probe);

  { std::ofstream(be(), std::ios::binary) << damagedAt(bytes, pages / 2); }
  ToolRun damaged = bankTool({"check", dir.path().string()});
  EXPECT_NE(damaged.status, 0) << damaged.out;
  EXPECT_NE(damaged.out.find("damage"), std::string::npos) << damaged.out;
  EXPECT_FALSE(hasLogFiles(be()));
}

TEST_F(BankFiles, BackupWhileTheBankIsOpenHoldsTheLatestSave) {
  std::string numQ = firstQuestion();
  store::Connection editor;
  open(editor, dir.path());
  save(editor, numQ, "saved while open");
  ToolRun r = bankTool({"backup", dir.path().string(), (dir / "copy.mdb").string()});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_FALSE(hasLogFiles(dir / "copy.mdb"));
  EXPECT_NE(bankTool({"backup", dir.path().string(), (dir / "copy.mdb").string()}).status, 0) << "overwrote a file";

  TempDir other;
  fs::copy_file(dir / "copy.mdb", bank::schema::bankPath(other.path()));
  store::Connection c;
  open(c, other.path());
  EXPECT_EQ(stemOf(c, numQ), "saved while open");
}

TEST_F(BankFiles, RestoreIsRefusedWhileOpenAndTakesTheOldLogAway) {
  std::string numQ = firstQuestion();
  ASSERT_EQ(bankTool({"backup", dir.path().string(), (dir / "copy.mdb").string()}).status, 0);
  {
    store::Connection editor;
    open(editor, dir.path());
    save(editor, numQ, "after the backup");
    // The bank's file is not opened here to keep its bytes: closing any descriptor of a file
    // drops every lock this process holds on it, the editor's included. A second name for it
    // shows whether it is still the file in place.
    fs::create_hard_link(be(), dir / "bank-before.mdb");
    ToolRun refused = bankTool({"restore", (dir / "copy.mdb").string(), dir.path().string()});
    EXPECT_NE(refused.status, 0) << refused.out;
    EXPECT_NE(refused.out.find("open"), std::string::npos) << refused.out;
    EXPECT_TRUE(fs::equivalent(be(), dir / "bank-before.mdb"));
    fs::remove(dir / "bank-before.mdb");
    EXPECT_EQ(stemOf(editor, numQ), "after the backup");
  }
  // A crash leaves a log holding the old bank's last commits beside it.
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(be().c_str(), &raw), SQLITE_OK);
  sqlite3_key(raw, bank::schema::kBankKey, static_cast<int>(std::strlen(bank::schema::kBankKey)));
  ASSERT_EQ(sqlite3_exec(raw, "PRAGMA wal_autocheckpoint=0; UPDATE SCtbl SET question='in the log';", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  std::string log = bytesOf(be().string() + "-wal");
  sqlite3_close(raw);
  { std::ofstream(be().string() + "-wal", std::ios::binary) << log; }
  ASSERT_GT(log.size(), 0u);

  ToolRun r = bankTool({"restore", (dir / "copy.mdb").string(), dir.path().string()});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_FALSE(hasLogFiles(be()));
  store::Connection c;
  open(c, dir.path());
  EXPECT_NE(stemOf(c, numQ), "in the log");
  EXPECT_NE(stemOf(c, numQ), "after the backup");
  c.close();
  EXPECT_EQ(bankTool({"check", dir.path().string()}).status, 0);
}

TEST(BankTool, CompactAndImportRunTheSectionWindowsOperations) {
  TempDir here, there;
  const std::string a = here.path().string(), b = there.path().string();
  ASSERT_EQ(bankTool({"create", "--demo", a}).status, 0);
  ASSERT_EQ(bankTool({"create", "--demo", b}).status, 0);
  auto rows = [&](const std::string& sql) { return bankTool({"sql", a, sql}).out; };

  ToolRun compact = bankTool({"compact", a});
  EXPECT_EQ(compact.status, 0) << compact.out;
  EXPECT_FALSE(fs::exists(here / "zorbex_comp.mdb"));
  EXPECT_NE(bankTool({"check", a}).out.find("integrity ok"), std::string::npos);

  // The demo pools are in both banks: a repeated number fails and adds nothing.
  const std::string before = rows("select count(*) as n from SCtbl;");
  ToolRun dup = bankTool({"import", a, (there / "zorbex_be.mdb").string(), "SC", "X012"});
  EXPECT_EQ(dup.status, 1);
  EXPECT_NE(dup.out.find("\n-2147467259:The changes were not made"), std::string::npos) << dup.out;
  EXPECT_EQ(rows("select count(*) as n from SCtbl;"), before);
  ToolRun own = bankTool({"import", a, (here / "zorbex_be.mdb").string(), "SC", "X012"});
  EXPECT_EQ(own.out, "3055:Invalid File Name. It is the bank itself. Nothing was imported.\n");

  ASSERT_EQ(bankTool({"sql", b, "insert into SCtbl (numQ, src) values ('77701', 'N777');"}).status, 0);
  ToolRun pool = bankTool({"import", a, (there / "zorbex_be.mdb").string(), "SC", "N777"});
  EXPECT_EQ(pool.status, 0) << pool.out;
  EXPECT_EQ(rows("select src from SCtbl where numQ='77701';"), "src\nN777\n");

  const std::string memoBefore = rows("select description from tblMemo where numQ='01201';");
  ToolRun memos = bankTool({"import-memos", a, (there / "zorbex_user.mdb").string(), "01201"});
  EXPECT_EQ(memos.status, 0) << memos.out;
  EXPECT_NE(rows("select description from tblMemo where numQ='01201';").find(std::string(70, '-')), std::string::npos);
  EXPECT_EQ(memoBefore.find('-'), std::string::npos);
}

TEST(BankTool, EveryCommandThatOpensAFolderPointsTheLinksAtItsOwnUserDatabase) {
  TempDir dir;
  const fs::path a = dir / "a", b = dir / "b";
  ASSERT_EQ(bankTool({"create", "--demo", a.string()}).status, 0);
  const std::string own = "-> tblMemo in " + bank::schema::userPath(b).string() + "\n";
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"history", b.string(), "01201"}, {"prune-history", b.string(), "2000-01-01"},
        {"search", b.string(), "the"}, {"reindex", b.string()}, {"compact", b.string()},
        {"backup", b.string(), (dir / "copy.mdb").string()}, {"sql", b.string(), "select count(*) as n from SCtbl"},
        {"print", b.string(), (dir / "printed.pdf").string(), "--pool", "X012"}}) {
    // A copy of folder a: its links name a's user database until a command points them home.
    fs::remove_all(b);
    fs::remove(dir / "copy.mdb");
    fs::create_directory(b);
    for (const fs::path& f : {bank::schema::bankPath(a), bank::schema::userPath(a)}) fs::copy_file(f, b / f.filename());
    ASSERT_EQ(bankTool({"check", b.string()}).out.find(own), std::string::npos);
    ToolRun r = bankTool(command);
    EXPECT_EQ(r.status, 0) << command[0] << ": " << r.out;
    EXPECT_NE(bankTool({"check", b.string()}).out.find(own), std::string::npos) << command[0];
  }
}

TEST(BankTool, ImportFromAGenuineJetFileIsReadThroughTheJetReader) {
  const fs::path jetFile = fs::path(ZORBEX_CORPUS_DIR) / "mdb/mdb-reader/V2003_no-password.mdb";
  SKIP_WITHOUT_CORPUS(jetFile);
  TempDir here;
  ASSERT_EQ(bankTool({"create", here.path().string()}).status, 0);
  const std::string before = bytesOf(jetFile);
  ToolRun memos = bankTool({"import-memos", here.path().string(), jetFile.string(), "01201"});
  EXPECT_EQ(memos.status, 1);
  EXPECT_EQ(memos.out, "-2147217865:The table or query 'tblMemo' could not be found.\n");
  EXPECT_EQ(bytesOf(jetFile), before);
}

}  // namespace
