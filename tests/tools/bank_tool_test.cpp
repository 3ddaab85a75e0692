// The administrators' tool, run as a program: its output, exit status and what it
// leaves untouched on bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>

#include "temp_dir.h"

using testing_support::TempDir;
using testing_support::bytesOf;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
  int status;
  std::string out;  // stdout and stderr together
};

std::string quoteArg(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

ToolRun bank(const std::vector<std::string>& args) {
  std::string cmd = quoteArg(ZORBEX_BANK_TOOL);
  for (const auto& a : args) cmd += " " + quoteArg(a);
  cmd += " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(BankTool, DemoBankFollowsTheNumberingRules) {
  TempDir dir;
  ASSERT_EQ(bank({"create", "--demo", dir.path().string()}).status, 0);
  ToolRun check = bank({"check", dir.path().string()});
  ASSERT_EQ(check.status, 0) << check.out;
  EXPECT_NE(check.out.find("integrity ok"), std::string::npos);
  EXPECT_NE(check.out.find("link tblMemo"), std::string::npos);

  // Ordinary pools: letter + three digits, 5 to 20 questions numbered pool + 01...
  for (const char* table : {"SCtbl", "CRtbl", "RCtbl", "DStbl", "PStbl"}) {
    SCOPED_TRACE(table);
    ToolRun pools = bank({"sql", dir.path().string(),
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
  EXPECT_NE(bank({"sql", dir.path().string(), "select count(*) as n from RCtbl where reading like '%(10) %'"})
                .out.find("\n16\n"),
            std::string::npos);
  EXPECT_EQ(bank({"sql", dir.path().string(), "select count(*) as n from SCtbl where question like '%CBTLINE%'"})
                .out.find("\n0\n"),
            std::string::npos);
}

TEST(BankTool, SqlPrintsRowsOrANumberedError) {
  TempDir dir;
  ASSERT_EQ(bank({"create", dir.path().string()}).status, 0);
  ToolRun ok = bank({"sql", dir.path().string(), "select count(*) as numQCount from SCtbl where SCtbl.numQ Like '012%';"});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out, "numQCount\n0\n");
  ToolRun bad = bank({"sql", dir.path().string(), "select * from NoSuch"});
  EXPECT_NE(bad.status, 0);
  EXPECT_EQ(bad.out.rfind("-2147217865:", 0), 0u) << bad.out;
}

TEST(BankTool, BadFoldersAndFilesGiveOneMessageAndChangeNothing) {
  TempDir dir;
  ToolRun missing = bank({"check", (dir / "none").string()});
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.out.find("does not exist"), std::string::npos);
  ToolRun empty = bank({"check", dir.path().string()});
  EXPECT_NE(empty.status, 0);
  EXPECT_NE(empty.out.find("zorbex_be.mdb"), std::string::npos);

  ASSERT_EQ(bank({"create", dir.path().string()}).status, 0);
  ToolRun again = bank({"create", dir.path().string()});
  EXPECT_NE(again.status, 0);
  // A damaged bank: the check refuses it and leaves both files as they are.
  fs::path be = dir / "zorbex_be.mdb";
  std::string good = bytesOf(be);
  { std::ofstream(be, std::ios::binary) << good.substr(0, 1000); }
  std::string damaged = bytesOf(be), user = bytesOf(dir / "zorbex_user.mdb");
  for (const char* cmd : {"check", "sql"}) {
    ToolRun r = cmd == std::string("sql") ? bank({cmd, dir.path().string(), "select numQ from SCtbl"})
                                      : bank({cmd, dir.path().string()});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("-2147217843:"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  }
  EXPECT_EQ(bytesOf(be), damaged);
  EXPECT_EQ(bytesOf(dir / "zorbex_user.mdb"), user);
}

TEST(BankTool, CompactAndImportRunTheSectionWindowsOperations) {
  TempDir here, there;
  const std::string a = here.path().string(), b = there.path().string();
  ASSERT_EQ(bank({"create", "--demo", a}).status, 0);
  ASSERT_EQ(bank({"create", "--demo", b}).status, 0);
  auto rows = [&](const std::string& sql) { return bank({"sql", a, sql}).out; };

  ToolRun compact = bank({"compact", a});
  EXPECT_EQ(compact.status, 0) << compact.out;
  EXPECT_FALSE(fs::exists(here / "zorbex_comp.mdb"));
  EXPECT_NE(bank({"check", a}).out.find("integrity ok"), std::string::npos);

  // The demo pools are in both banks: a repeated number fails and adds nothing.
  const std::string before = rows("select count(*) as n from SCtbl;");
  ToolRun dup = bank({"import", a, (there / "zorbex_be.mdb").string(), "SC", "X012"});
  EXPECT_EQ(dup.status, 1);
  EXPECT_NE(dup.out.find("\n-2147467259:The changes were not made"), std::string::npos) << dup.out;
  EXPECT_EQ(rows("select count(*) as n from SCtbl;"), before);
  ToolRun own = bank({"import", a, (here / "zorbex_be.mdb").string(), "SC", "X012"});
  EXPECT_EQ(own.out, "3055:Invalid File Name.\n");

  ASSERT_EQ(bank({"sql", b, "insert into SCtbl (numQ, src) values ('77701', 'N777');"}).status, 0);
  ToolRun pool = bank({"import", a, (there / "zorbex_be.mdb").string(), "SC", "N777"});
  EXPECT_EQ(pool.status, 0) << pool.out;
  EXPECT_EQ(rows("select src from SCtbl where numQ='77701';"), "src\nN777\n");

  const std::string memoBefore = rows("select description from tblMemo where numQ='01201';");
  ToolRun memos = bank({"import-memos", a, (there / "zorbex_user.mdb").string(), "01201"});
  EXPECT_EQ(memos.status, 0) << memos.out;
  EXPECT_NE(rows("select description from tblMemo where numQ='01201';").find(std::string(70, '-')), std::string::npos);
  EXPECT_EQ(memoBefore.find('-'), std::string::npos);
}

}  // namespace
