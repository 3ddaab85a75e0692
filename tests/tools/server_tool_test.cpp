// The bank tool on a bank on a server: the push, a URI in place of a folder, the publication.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cstdlib>

#include "pg_server.h"
#include "schema.h"
#include "temp_dir.h"
#include "tool_run.h"

using namespace testing_support;
namespace fs = std::filesystem;
namespace schema = store::schema;

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

TEST(ServerTool, ImportAndImportMemosIntoAServerBankRefuseAndAddAsIntoAFile) {
  TempDir dir;
  ServerDb server;
  const fs::path a = dir / "a", b = dir / "b";
  ASSERT_EQ(bank({"create", "--demo", a.string()}).status, 0);
  ASSERT_EQ(bank({"create", "--demo", b.string()}).status, 0);
  ASSERT_EQ(bank({"server-push", a.string(), server.uri()}).status, 0);
  auto rows = [&](const std::string& sql) { return bank({"sql", server.uri(), sql}).out; };
  const std::string sourceBank = schema::bankPath(b).string();

  // The demo pools are in both: the repeated number adds nothing, not even the pool's other questions.
  const std::string before = rows("select count(*) as n from SCtbl;");
  ToolRun dup = bank({"import", server.uri(), sourceBank, "SC", "X012"});
  EXPECT_EQ(dup.status, 1);
  EXPECT_NE(dup.out.find("\n-2147467259:The changes were not made"), std::string::npos) << dup.out;
  EXPECT_EQ(rows("select count(*) as n from SCtbl;"), before);
  ToolRun missing = bank({"import", server.uri(), sourceBank, "SC", "Q999"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("3021:There is no pool Q999"), std::string::npos) << missing.out;

  ASSERT_EQ(bank({"sql", b.string(), "insert into SCtbl (numQ, src, question) values ('77701', 'N777', 'stem');"})
                .status, 0);
  ASSERT_EQ(bank({"sql", b.string(), "insert into SCtbl (numQ, src) values ('77702', 'N777');"}).status, 0);
  ToolRun pool = bank({"import", server.uri(), sourceBank, "SC", "N777"});
  EXPECT_EQ(pool.status, 0) << pool.out;
  EXPECT_NE(pool.out.find("Import completed."), std::string::npos) << pool.out;
  EXPECT_EQ(rows("select question from SCtbl where src = 'N777' order by numQ;"), "question\nstem\n\n");

  const std::string memoBefore = rows("select description from tblMemo where numQ='01201';");
  ToolRun memos = bank({"import-memos", server.uri(), schema::userPath(b).string(), "01201"});
  EXPECT_EQ(memos.status, 0) << memos.out;
  const std::string memoAfter = rows("select description from tblMemo where numQ='01201';");
  EXPECT_NE(memoAfter.find(std::string(70, '-')), std::string::npos) << memoAfter;
  EXPECT_EQ(memoBefore.find('-'), std::string::npos);
}

}  // namespace

namespace {

// Another session holds a table of the bank: a command waits the lock timeout (set short here),
// then names the table and its holder and changes nothing.
TEST(ServerTool, ATableHeldByAnotherSessionEndsTheCommandNamingTheHolder) {
  ServerDb server;
  schema::createServerBank(server.uri());
  PGconn* holder = PQconnectdb((server.uri() + "&application_name=nightly-cleanup").c_str());
  ASSERT_EQ(PQstatus(holder), CONNECTION_OK);
  PQclear(PQexec(holder, "BEGIN"));
  PGresult* locked = PQexec(holder, "LOCK TABLE \"SCtbl\" IN ACCESS EXCLUSIVE MODE");
  ASSERT_EQ(PQresultStatus(locked), PGRES_COMMAND_OK) << PQresultErrorMessage(locked);
  PQclear(locked);
  setenv("ZORBEX_LOCK_TIMEOUT", "1s", 1);
  ToolRun run = bank({"edition-pool", server.uri(), "SC", "O140", "3"});
  unsetenv("ZORBEX_LOCK_TIMEOUT");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("3218:The server waited too long for another session (the lock timeout of 1s passed): the "
                         "table SCtbl is held by session " + std::to_string(PQbackendPID(holder)) +
                         " of user postgres, application 'nightly-cleanup', from this machine, since "),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(". Nothing was changed; try again when it has finished.\n"), std::string::npos) << run.out;
  PQfinish(holder);
  EXPECT_EQ(bank({"sql", server.uri(), "select count(*) as n from SCtbl"}).out, "n\n0\n");
}

}  // namespace
