// The bank tool on a bank on a server: the push, a URI in place of a folder, the publication.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cstdlib>

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>

#include "pg_server.h"
#include "schema.h"
#include "temp_dir.h"
#include "tool_run.h"

using namespace testing_support;
namespace fs = std::filesystem;
namespace schema = bank::schema;

namespace {

TEST(ServerTool, APushedBankIsWorkedOnByItsUriAndPublishedBackAsAFilePairThatChecks) {
  TempDir dir;
  ServerDb server;
  ASSERT_EQ(bankTool({"create", "--demo", (dir / "a").string()}).status, 0);
  ToolRun push = bankTool({"server-push", (dir / "a").string(), server.uri()});
  ASSERT_EQ(push.status, 0) << push.out;
  EXPECT_NE(push.out.find("SCtbl            34 rows copied, every row the same"), std::string::npos) << push.out;
  EXPECT_NE(push.out.find("tblMemo          3 rows copied"), std::string::npos) << push.out;
  EXPECT_EQ(bankTool({"server-push", (dir / "a").string(), server.uri()}).status, 1);

  ToolRun check = bankTool({"check", server.uri()});
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_NE(check.out.find("link tblMemo      -> tblMemo in the schema zx_user (3 rows)"), std::string::npos) << check.out;
  ToolRun made = bankTool({"edition-pool", server.uri(), "SC", "O140", "3"});
  EXPECT_EQ(made.status, 0) << made.out;
  EXPECT_EQ(bankTool({"sql", server.uri(), "select count(*) as n from SCtbl where src = 'o140'"}).out, "n\n3\n");
  EXPECT_EQ(bankTool({"compact", server.uri()}).out, std::string(
                "The bank is on a server, which keeps its own files: there is nothing to compress.\n"));

  std::filesystem::create_directory(dir / "b");
  ToolRun publish = bankTool({"server-publish", server.uri(), (dir / "b").string()});
  ASSERT_EQ(publish.status, 0) << publish.out;
  ToolRun published = bankTool({"check", (dir / "b").string()});
  EXPECT_EQ(published.status, 0) << published.out;
  EXPECT_NE(published.out.find("table SCtbl            37 rows"), std::string::npos) << published.out;
}

// The rows of a table of a file, read without the tool.
long long rowsOf(const fs::path& file, const char* key, const char* table) {
  sqlite3* raw = nullptr;
  sqlite3_open(file.c_str(), &raw);
  sqlite3_key(raw, key, static_cast<int>(std::strlen(key)));
  long long n = -1;
  sqlite3_exec(raw, (std::string("SELECT count(*) FROM ") + table).c_str(),
               [](void* out, int, char** v, char**) { *static_cast<long long*>(out) = std::atoll(v[0]); return 0; }, &n,
               nullptr);
  sqlite3_close(raw);
  return n;
}

TEST(ServerTool, APublicationStoppedAtAnyStepLeavesTheOldPairOrTheNewAndTheNextCommandSaysWhatItDid) {
  TempDir dir;
  ServerDb server;
  const fs::path a = dir / "a", b = dir / "b";
  ASSERT_EQ(bankTool({"create", "--demo", a.string()}).status, 0);
  ASSERT_EQ(bankTool({"server-push", a.string(), server.uri()}).status, 0);
  ASSERT_EQ(bankTool({"sql", server.uri(), "insert into tblMemo (numQ, description) values ('99901', 'published')"}).status, 0);
  auto pairIn = [&](const fs::path& folder) {
    return std::make_pair(rowsOf(schema::bankPath(folder), schema::kBankKey, "SCtbl"),
                          rowsOf(schema::userPath(folder), schema::kUserKey, "tblMemo"));
  };
  const auto oldPair = std::make_pair(0LL, 0LL), newPair = std::make_pair(34LL, 4LL);
  auto leftovers = [&] {
    std::string out;
    for (const auto& e : fs::directory_iterator(b))
      if (e.path().filename().string().find(".zorbex-") == 0 || e.path().string().find("zx-copy") != std::string::npos)
        out += e.path().filename().string() + " ";
    return out;
  };
  int stoppedOld = 0, stoppedNew = 0, completed = 0;
  for (int step = 1;; ++step) {
    SCOPED_TRACE("stopped at step " + std::to_string(step));
    fs::remove_all(b);
    ASSERT_EQ(bankTool({"create", b.string()}).status, 0);
    setenv("ZORBEX_FAULT_STEP", std::to_string(step).c_str(), 1);
    ToolRun publish = bankTool({"server-publish", server.uri(), b.string()});
    unsetenv("ZORBEX_FAULT_STEP");
    if (publish.status == 0) {  // past the last step: the run went through
      EXPECT_EQ(pairIn(b), newPair);
      EXPECT_EQ(leftovers(), "");
      break;
    }
    ASSERT_EQ(publish.status, 70) << publish.out;
    const bool mixed = pairIn(b) != oldPair && pairIn(b) != newPair;
    const bool leftSomething = !leftovers().empty();
    ToolRun check = bankTool({"check", b.string()});
    EXPECT_EQ(check.status, 0) << check.out;
    const auto now = pairIn(b);
    EXPECT_TRUE(now == oldPair || now == newPair) << check.out;
    (now == oldPair ? stoppedOld : stoppedNew)++;
    EXPECT_EQ(leftovers(), "") << check.out;
    if (mixed) {
      EXPECT_NE(check.out.find("note: a publication or creation stopped part-way was completed"), std::string::npos) << check.out;
    }
    if (leftSomething) {
      EXPECT_NE(check.out.find("note: "), std::string::npos) << check.out;
    }
    completed += mixed;
  }
  EXPECT_GT(stoppedOld, 0);
  EXPECT_GT(stoppedNew, 0);
  EXPECT_GT(completed, 0);
}

TEST(ServerTool, ImportAndImportMemosIntoAServerBankRefuseAndAddAsIntoAFile) {
  TempDir dir;
  ServerDb server;
  const fs::path a = dir / "a", b = dir / "b";
  ASSERT_EQ(bankTool({"create", "--demo", a.string()}).status, 0);
  ASSERT_EQ(bankTool({"create", "--demo", b.string()}).status, 0);
  ASSERT_EQ(bankTool({"server-push", a.string(), server.uri()}).status, 0);
  auto rows = [&](const std::string& sql) { return bankTool({"sql", server.uri(), sql}).out; };
  const std::string sourceBank = schema::bankPath(b).string();

  // The demo pools are in both: the repeated number adds nothing, not even the pool's other questions.
  const std::string before = rows("select count(*) as n from SCtbl;");
  ToolRun dup = bankTool({"import", server.uri(), sourceBank, "SC", "X012"});
  EXPECT_EQ(dup.status, 1);
  EXPECT_NE(dup.out.find("\n-2147467259:The changes were not made"), std::string::npos) << dup.out;
  EXPECT_EQ(rows("select count(*) as n from SCtbl;"), before);
  ToolRun missing = bankTool({"import", server.uri(), sourceBank, "SC", "Q999"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("3021:There is no pool Q999"), std::string::npos) << missing.out;

  ASSERT_EQ(bankTool({"sql", b.string(), "insert into SCtbl (numQ, src, question) values ('77701', 'N777', 'stem');"})
                .status, 0);
  ASSERT_EQ(bankTool({"sql", b.string(), "insert into SCtbl (numQ, src) values ('77702', 'N777');"}).status, 0);
  ToolRun pool = bankTool({"import", server.uri(), sourceBank, "SC", "N777"});
  EXPECT_EQ(pool.status, 0) << pool.out;
  EXPECT_NE(pool.out.find("Import completed."), std::string::npos) << pool.out;
  EXPECT_EQ(rows("select question from SCtbl where src = 'N777' order by numQ;"), "question\nstem\n\n");

  const std::string memoBefore = rows("select description from tblMemo where numQ='01201';");
  ToolRun memos = bankTool({"import-memos", server.uri(), schema::userPath(b).string(), "01201"});
  EXPECT_EQ(memos.status, 0) << memos.out;
  const std::string memoAfter = rows("select description from tblMemo where numQ='01201';");
  EXPECT_NE(memoAfter.find(std::string(70, '-')), std::string::npos) << memoAfter;
  EXPECT_EQ(memoBefore.find('-'), std::string::npos);
}

TEST(ServerTool, ADatabaseWithoutABankIsNamedSoByEveryCommand) {
  ServerDb server;
  TempDir dir;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"check", server.uri()}, {"history", server.uri(), "01201"}, {"search", server.uri(), "word"},
           {"sql", server.uri(), "select count(*) as n from SCtbl"}, {"edition-pool", server.uri(), "SC", "O140", "1"},
           {"server-publish", server.uri(), dir.path().string()}}) {
    ToolRun r = bankTool(args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_NE(r.out.find("holds no bank; move one there with 'zorbex-bank server-push DIR URL'."), std::string::npos)
        << args[0] << ": " << r.out;
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(ServerTool, APushLeavesTheSourceFolderAsItFoundIt) {
  TempDir dir;
  ServerDb server;
  ASSERT_EQ(bankTool({"create", "--demo", dir.path().string()}).status, 0);
  ASSERT_EQ(bankTool({"server-push", dir.path().string(), server.uri()}).status, 0);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{schema::kBankFile, schema::kUserFile}));
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
  ToolRun run = bankTool({"edition-pool", server.uri(), "SC", "O140", "3"});
  unsetenv("ZORBEX_LOCK_TIMEOUT");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("3218:The server waited too long for another session (the lock timeout of 1s passed): the "
                         "table SCtbl is held by session " + std::to_string(PQbackendPID(holder)) +
                         " of user postgres, application 'nightly-cleanup', from this machine, since "),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(". Nothing was changed; try again when it has finished.\n"), std::string::npos) << run.out;
  PQfinish(holder);
  EXPECT_EQ(bankTool({"sql", server.uri(), "select count(*) as n from SCtbl"}).out, "n\n0\n");
}

}  // namespace
