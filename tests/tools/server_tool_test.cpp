// The bank tool on a bank on a server: the push, a URI in place of a folder, the publication.
#include <gtest/gtest.h>

#include "pg_server.h"
#include "schema.h"
#include "temp_dir.h"
#include "tool_run.h"

using namespace testing_support;

namespace {

TEST(ServerTool, APushedBankIsWorkedOnByItsUriAndPublishedBackAsAFilePairThatChecks) {
  TempDir dir;
  ServerDb server;
  ASSERT_EQ(bank({"create", "--demo", (dir / "a").string()}).status, 0);
  ToolRun push = bank({"server-push", (dir / "a").string(), server.uri()});
  ASSERT_EQ(push.status, 0) << push.out;
  EXPECT_NE(push.out.find("SCtbl            34 rows copied, every row the same"), std::string::npos) << push.out;
  EXPECT_NE(push.out.find("tblMemo          3 rows copied"), std::string::npos) << push.out;
  EXPECT_EQ(bank({"server-push", (dir / "a").string(), server.uri()}).status, 1);

  ToolRun check = bank({"check", server.uri()});
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_NE(check.out.find("link tblMemo      -> tblMemo in the schema zx_user (3 rows)"), std::string::npos) << check.out;
  ToolRun made = bank({"edition-pool", server.uri(), "SC", "O140", "3"});
  EXPECT_EQ(made.status, 0) << made.out;
  EXPECT_EQ(bank({"sql", server.uri(), "select count(*) as n from SCtbl where src = 'o140'"}).out, "n\n3\n");
  EXPECT_EQ(bank({"compact", server.uri()}).out, std::string(
                "The bank is on a server, which keeps its own files: there is nothing to compress.\n"));

  std::filesystem::create_directory(dir / "b");
  ToolRun publish = bank({"server-publish", server.uri(), (dir / "b").string()});
  ASSERT_EQ(publish.status, 0) << publish.out;
  ToolRun published = bank({"check", (dir / "b").string()});
  EXPECT_EQ(published.status, 0) << published.out;
  EXPECT_NE(published.out.find("table SCtbl            37 rows"), std::string::npos) << published.out;
}

}  // namespace
