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
  EXPECT_NE(bank({"sql", dir.path().string(), "select count(*) as n from RCtbl where reading like '%(10) %' and src like 'X%'"})
                .out.find("\n16\n"),
            std::string::npos);
  EXPECT_EQ(bank({"sql", dir.path().string(), "select count(*) as n from SCtbl where question like '%CBTLINE%'"})
                .out.find("\n0\n"),
            std::string::npos);
}

TEST(BankTool, EditionCommandsWorkOnTheDemoBankAndFailWhole) {
  TempDir dir;
  ASSERT_EQ(bank({"create", "--demo", dir.path().string()}).status, 0);
  const std::string d = dir.path().string();
  for (const char* kind : {"SC", "CR", "RC", "DS", "PS"}) {
    ToolRun copy = bank({"edition-copy", d, kind});
    EXPECT_EQ(copy.status, 0) << kind << copy.out;
  }
  EXPECT_NE(bank({"sql", d, "select passageNum from RCtbl where numQ='130003'"}).out.find("13042"), std::string::npos);
  EXPECT_EQ(bank({"answer-keys", d, "ps"}).status, 0);
  ToolRun created = bank({"edition-pool", d, "SC", "O131", "2"});
  EXPECT_EQ(created.status, 0) << created.out;
  EXPECT_NE(created.out.find("13011 to 13012"), std::string::npos) << created.out;
  EXPECT_EQ(bank({"duplicates", d, "CR"}).status, 0);

  // A missing target: the message names it and no row of the copy stays.
  bank({"sql", d, "delete from SCtbl where numQ='13003'"});
  bank({"sql", d, "update SCtbl set choiceA = 'changed' where numQ like '13%'"});
  const std::string before = bank({"sql", d, "select * from SCtbl order by numQ"}).out;
  ToolRun failed = bank({"edition-copy", d, "SC"});
  EXPECT_NE(failed.status, 0);
  EXPECT_EQ(failed.out, "3021:The question 13003 does not exist in SCtbl.\n");
  EXPECT_EQ(bank({"sql", d, "select * from SCtbl order by numQ"}).out, before);
  EXPECT_NE(bank({"answer-keys", d, "CR"}).status, 0);
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

}  // namespace
