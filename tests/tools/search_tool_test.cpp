// zorbex-bank search and reindex, run as the program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>
#include <sstream>

#include "pg_server.h"
#include "schema.h"
#include "sqlite_db.h"
#include "temp_dir.h"
#include "tool_run.h"

using testing_support::bankTool;
using testing_support::ToolRun;

TEST(BankToolSearch, PrintsOneHitPerLineAndReindexes) {
  testing_support::TempDir dir;
  const std::string d = dir.path().string();
  ASSERT_EQ(bankTool({"create", d}).status, 0);
  ASSERT_EQ(bankTool({"sql", d, "insert into SCtbl (numQ, src, question, choiceB) values ('01001', 'X010', "
                            "'{\\rtf1\\ansi A \\b Zebra\\b0  crossing}', 'zebra')"}).status, 0);
  ToolRun built = bankTool({"reindex", d});
  EXPECT_EQ(built.status, 0) << built.out;

  ToolRun found = bankTool({"search", d, "ZEBRA", "--kind", "sc"});
  EXPECT_EQ(found.status, 0) << found.out;
  EXPECT_EQ(found.out, "SC\t01001\tchoice B\t«zebra»\nSC\t01001\tstem\tA «Zebra» crossing\n");
  EXPECT_EQ(bankTool({"search", d, "zebra crossing"}).out, "SC\t01001\tstem\tA «Zebra crossing»\n");

  // A question written since is found (the index follows every writer).
  ASSERT_EQ(bankTool({"sql", d, "insert into PStbl (numQ, src, question) values ('03001', 'X030', 'zebra')"}).status, 0);
  EXPECT_EQ(bankTool({"search", d, "zebra", "--kind", "PS"}).out.substr(0, 13), "PS\t03001\tstem");
  EXPECT_NE(bankTool({"search", d, "zebra", "--kind", "XX"}).status, 0);
  // An essay type by the name that the editor shows.
  ASSERT_EQ(bankTool({"sql", d, "insert into AWAtbl (numQ, type, question) values ('0001', 'A', 'zebra')"}).status, 0);
  EXPECT_EQ(bankTool({"search", d, "zebra", "--pool", "Argument"}).out, "AWA\t0001\ttopic\t«zebra»\n");
}

// Another program empties the index and drops a trigger of the history: check names both and
// fails; the next command says what it made again, and check passes after the next search.
TEST(BankToolSearch, CheckFailsOnWhatAnotherProgramBrokeAndTheNextCommandsSayWhatTheyMadeAgain) {
  testing_support::TempDir dir;
  const std::string d = dir.path().string();
  ASSERT_EQ(bankTool({"create", "--demo", d}).status, 0);
  ASSERT_EQ(bankTool({"reindex", d}).status, 0);
  store::SqliteDb::openExisting(bank::schema::bankPath(d).string(), bank::schema::kBankKey, false)
      ->script("DELETE FROM zx_search_questions; DROP TRIGGER zx_history_SC_delete;");
  const ToolRun checked = bankTool({"check", d});
  EXPECT_EQ(checked.status, 1) << checked.out;
  EXPECT_NE(checked.out.find("missing: zorbex_be.mdb: history: the trigger zx_history_SC_delete was missing"), std::string::npos)
      << checked.out;
  EXPECT_NE(checked.out.find("missing: zorbex_be.mdb: search index: the search index holds 0 entries"), std::string::npos)
      << checked.out;
  const ToolRun searched = bankTool({"search", d, "the"});
  EXPECT_EQ(searched.status, 0) << searched.out;
  EXPECT_NE(searched.out.find("zorbex-bank: made again: history: the trigger zx_history_SC_delete was missing"),
            std::string::npos)
      << searched.out;
  EXPECT_NE(searched.out.find("zorbex-bank: made again: search index: the search index holds 0 entries"), std::string::npos)
      << searched.out;
  EXPECT_NE(searched.out.find("SC\t"), std::string::npos) << searched.out;  // hits again
  EXPECT_EQ(bankTool({"check", d}).status, 0);
}

TEST(BankToolSearch, TakesTheUriOfABankOnAServer) {
  testing_support::ServerDb server;
  bank::schema::createServerBank(server.uri());
  ASSERT_EQ(bankTool({"sql", server.uri(), "insert into SCtbl (numQ, src, question) values ('01001', 'X010', "
                                       "'{\\rtf1\\ansi A \\b Zebra\\b0  crossing}')"}).status, 0);
  ToolRun built = bankTool({"reindex", server.uri()});
  EXPECT_EQ(built.status, 0) << built.out;
  ToolRun found = bankTool({"search", server.uri(), "zebra crossing"});
  EXPECT_EQ(found.status, 0) << found.out;
  EXPECT_EQ(found.out, "SC\t01001\tstem\tA «Zebra crossing»\n");
}

// The tool killed at random moments while it builds the index or indexes what another program
// changed: afterwards a search finds exactly the questions that hold the word, no more, no fewer.
TEST(BankToolSearch, KilledWhileIndexingLeavesNoStaleIndex) {
  testing_support::TempDir dir;
  const std::string d = dir.path().string();
  ASSERT_EQ(bankTool({"create", d}).status, 0);
  auto otherProgram = [&](const std::string& sql) {
    store::SqliteDb::openExisting(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey, false)->script(sql);
  };
  otherProgram(
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 1999) "
      "INSERT INTO SCtbl (numQ, src, question) SELECT printf('%05d', i), 'X010', "
      "(CASE WHEN i % 2 THEN 'azure ' ELSE 'crimson ' END) || printf('%05d', i) FROM n;");
  std::mt19937 rng(20261208);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    otherProgram("UPDATE SCtbl SET question = (CASE WHEN question LIKE 'azure%' THEN 'crimson ' ELSE 'azure ' END) || "
                 "numQ WHERE abs(random()) % 3 = 0;");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execl(ZORBEX_BANK_TOOL, "zorbex-bank", round % 3 == 0 ? "reindex" : "search", d.c_str(), "crimson", nullptr);
      _exit(127);
    }
    usleep(10000 + rng() % 150000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    std::set<std::string> held;
    auto db = store::SqliteDb::openExisting(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey, false);
    auto st = db->prepare("SELECT numQ FROM SCtbl WHERE question LIKE 'crimson%';");
    while (st.step()) held.insert(st.column(0).toString());
    db.reset();
    const ToolRun found = bankTool({"search", d, "crimson"});
    ASSERT_EQ(found.status, 0) << found.out;
    std::set<std::string> hits;
    std::istringstream lines(found.out);
    for (std::string line; std::getline(lines, line);)  // the hits, not the lines of the index build's progress
      if (line.starts_with("SC\t")) hits.insert(line.substr(3, 5));
    EXPECT_EQ(hits, held);
  }
}
