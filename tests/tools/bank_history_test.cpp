// The history and trash commands of the administrators' tool, run as a program.
#include <gtest/gtest.h>

#include <optional>

#include "pg_server.h"
#include "temp_dir.h"
#include "tool_run.h"

using testing_support::bankTool;
using testing_support::ServerDb;
using testing_support::TempDir;
using testing_support::ToolRun;

namespace {

// On a bank file, and on the same bank pushed to a server (with its history) and named by URI.
class BankHistory : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_EQ(bankTool({"create", "--demo", folder}).status, 0);
    if (!GetParam()) return;
    server.emplace();
    ToolRun push = bankTool({"server-push", folder, server->uri()});
    ASSERT_EQ(push.status, 0) << push.out;
    d = server->uri();
  }
  ToolRun sql(const std::string& statement) { return bankTool({"sql", d, statement}); }
  std::string cell(const std::string& select) {
    const std::string out = sql(select).out;
    const size_t start = out.find('\n') + 1;
    return out.substr(start, out.find('\n', start) - start);
  }

  TempDir dir;
  std::optional<ServerDb> server;
  const std::string folder = dir.path().string();
  std::string d = folder;
};

INSTANTIATE_TEST_SUITE_P(Engines, BankHistory, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Server" : "File"; });

TEST_P(BankHistory, HistoryListsVersionsNewestFirstAndRevertPutsOneBack) {
  const std::string before = cell("select answer from SCtbl where numQ='01201'");
  ASSERT_EQ(sql("update SCtbl set answer='E' where numQ='01201'").status, 0);
  ASSERT_EQ(sql("update SCtbl set answer='D' where numQ='01201'").status, 0);
  ToolRun h = bankTool({"history", d, "01201"});
  ASSERT_EQ(h.status, 0) << h.out;
  // version \t time \t operation \t user \t machine \t change
  const std::string first = h.out.substr(0, h.out.find('\n'));
  EXPECT_EQ(std::count(h.out.begin(), h.out.end(), '\n'), 2) << h.out;
  EXPECT_NE(first.find("\tzorbex-bank sql\t"), std::string::npos) << first;
  const std::string oldest = h.out.substr(first.size() + 1, h.out.find('\t', first.size() + 1) - first.size() - 1);
  EXPECT_LT(std::stoll(oldest), std::stoll(first.substr(0, first.find('\t'))));

  ToolRun r = bankTool({"revert", d, "01201", oldest});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(cell("select answer from SCtbl where numQ='01201'"), before);
  EXPECT_NE(bankTool({"history", d, "01201"}).out.find("Restore from history"), std::string::npos);
  EXPECT_NE(bankTool({"revert", d, "01201", "99999"}).status, 0);
}

TEST_P(BankHistory, TrashAndUndeleteOfAPoolWithTakenAndFreeNumbers) {
  ASSERT_EQ(sql("delete * from SCtbl where src='X012'").status, 0);
  ToolRun t = bankTool({"trash", d});
  ASSERT_EQ(t.status, 0) << t.out;
  EXPECT_NE(t.out.find("\tSC\tX012\tzorbex-bank sql\t"), std::string::npos) << t.out;

  ASSERT_EQ(sql("insert into SCtbl (numQ, src) values ('01202', 'X099')").status, 0);
  ToolRun refused = bankTool({"undelete", d, "X012"});
  EXPECT_NE(refused.status, 0);
  EXPECT_NE(refused.out.find("The question number 01202 is taken by another question; nothing was restored."),
            std::string::npos)
      << refused.out;
  EXPECT_EQ(cell("select count(*) as n from SCtbl where src='X012'"), "0");

  ASSERT_EQ(sql("delete * from SCtbl where numQ='01202'").status, 0);
  ToolRun restored = bankTool({"undelete", d, "X012"});
  ASSERT_EQ(restored.status, 0) << restored.out;
  EXPECT_NE(cell("select count(*) as n from SCtbl where src='X012'"), "0");
  EXPECT_EQ(bankTool({"trash", d}).out.find("\tX012\tzorbex-bank sql"), std::string::npos);
  ToolRun again = bankTool({"undelete", d, "X012"});
  EXPECT_NE(again.status, 0);
  EXPECT_NE(again.out.find("X012 is not in the trash; nothing was changed."), std::string::npos) << again.out;
}

TEST_P(BankHistory, ANumberInTwoKindsNeedsKindAndOtherwiseChangesNothing) {
  ASSERT_EQ(sql("insert into DStbl (numQ, src, answer) values ('77001', 'Q770', 'A')").status, 0);
  ASSERT_EQ(sql("insert into PStbl (numQ, src, answer) values ('77001', 'Q770', 'A')").status, 0);
  ASSERT_EQ(sql("update PStbl set answer='B' where numQ='77001'").status, 0);
  ToolRun ambiguous = bankTool({"history", d, "77001"});
  EXPECT_NE(ambiguous.status, 0);
  EXPECT_NE(ambiguous.out.find("77001 is a number in PS and DS; name one with --kind KIND. Nothing was changed."),
            std::string::npos)
      << ambiguous.out;
  EXPECT_NE(bankTool({"revert", d, "77001", "1"}).status, 0);
  ToolRun ps = bankTool({"history", d, "77001", "--kind", "PS"});
  ASSERT_EQ(ps.status, 0) << ps.out;
  EXPECT_EQ(std::count(ps.out.begin(), ps.out.end(), '\n'), 1);
  EXPECT_EQ(bankTool({"history", d, "--kind", "DS", "77001"}).out, "");

  ASSERT_EQ(sql("delete * from PStbl where numQ='77001'").status, 0);
  ASSERT_EQ(sql("delete * from DStbl where numQ='77001'").status, 0);
  EXPECT_NE(bankTool({"undelete", d, "77001"}).status, 0);
  ASSERT_EQ(bankTool({"undelete", d, "77001", "--kind", "DS"}).status, 0);
  EXPECT_EQ(cell("select count(*) as n from DStbl where numQ='77001'"), "1");
  EXPECT_EQ(cell("select count(*) as n from PStbl where numQ='77001'"), "0");
}

TEST_P(BankHistory, PruneHistoryForgetsWhatCameBeforeTheDateOnly) {
  ASSERT_EQ(sql("update SCtbl set answer='E' where numQ='01201'").status, 0);
  EXPECT_NE(bankTool({"prune-history", d, "2026-13-01"}).status, 0);
  ToolRun none = bankTool({"prune-history", d, "2000-01-01"});
  ASSERT_EQ(none.status, 0) << none.out;
  EXPECT_EQ(none.out, "removed 0 version(s) kept before 2000-01-01\n");
  ASSERT_EQ(bankTool({"compact", d}).status, 0);
  EXPECT_NE(bankTool({"history", d, "01201"}).out, "");  // compaction keeps the history
  ToolRun all = bankTool({"prune-history", d, "9999-01-01"});
  EXPECT_EQ(all.out, "removed 1 version(s) kept before 9999-01-01\n");
  EXPECT_EQ(bankTool({"history", d, "01201"}).out, "");
}

}  // namespace
