// A file bank moved onto a server and the file pair published back from it.
#include <gtest/gtest.h>

#include "bank_files.h"
#include "history.h"
#include "pg_db.h"
#include "server_bank.h"
#include "support.h"

using namespace store;
namespace schema = bank::schema;
using namespace bank;
using namespace testing_support;

namespace {

class ServerBank : public ::testing::Test {
 protected:
  void SetUp() override {
    schema::createBank(files.path());
    Connection c;
    openBank(c, files.path());
    addQuestion(c, "SCtbl", "01201", "X012");
    addQuestion(c, "SCtbl", "01202", "O'Brien");
    c.execute("update SCtbl set questionHeight = 1.25 where numQ = '01201'");
    c.execute("insert into [12to13SC] ([12th], [13th]) values ('', 2)");  // the file lets a number field hold ''
    c.execute("insert into tblMemo (numQ, description) values ('01201', 'memo')");
  }
  TempDir files;
  ServerDb server;
};

TEST_F(ServerBank, APushCopiesEveryRowAndRefusesADatabaseThatHoldsTables) {
  std::vector<CopiedTable> copied = pushBankToServer(files.path(), server.uri());
  ASSERT_EQ(copied.size(),
            schema::bankTables().size() + schema::userTables().size() + history::extension().tables().size());
  EXPECT_EQ(copied[0].table, "SCtbl");
  EXPECT_EQ(copied[0].rows, 2);
  Connection c;
  c.open(server.uri());
  EXPECT_EQ(rowsOf(c, "select numQ, src, questionHeight from SCtbl order by numQ"), "01201|X012|1.25\n01202|O'Brien|\n");
  EXPECT_EQ(rowsOf(c, "select [12th], [13th] from 12to13SC"), "|2\n");
  EXPECT_EQ(rowsOf(c, "select description from tblMemo"), "memo\n");  // through the link, as on the file
  // The history came along, and the server's versions follow its numbers.
  const auto kept = history::versions(c, schema::Kind::SC, "01201");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].field("questionHeight")->toString(), "");
  c.execute("update SCtbl set answer = 'B' where numQ = '01201'");
  const auto now = history::versions(c, schema::Kind::SC, "01201");
  ASSERT_EQ(now.size(), 2u);
  EXPECT_GT(now[0].id, kept[0].id);
  EXPECT_EQ(now[0].field("questionHeight")->toDouble(), 1.25);
  EXPECT_EQ(errorNumberOf([&] { pushBankToServer(files.path(), server.uri()); }), err::Generic);
}

TEST_F(ServerBank, APublicationWritesAPairThatChecksAndLinksItsOwnUserDatabase) {
  pushBankToServer(files.path(), server.uri());
  {
    Connection c;
    c.open(server.uri());
    c.execute("update SCtbl set answer = 'D' where numQ = '01202'");
  }
  TempDir out;
  publishServerBank(server.uri(), out.path());
  for (const auto& [file, key] : {std::pair{schema::bankPath(out.path()), schema::kBankKey},
                                  std::pair{schema::userPath(out.path()), schema::kUserKey}})
    EXPECT_TRUE(checkFile(file, key).whole()) << file;
  Connection c;
  openBank(c, out.path());
  EXPECT_EQ(rowsOf(c, "select numQ, answer from SCtbl where numQ = '01202'"), "01202|D\n");
  EXPECT_EQ(rowsOf(c, "select description from tblMemo"), "memo\n");
  // Held by that connection: a second publication is refused and changes nothing.
  c.execute("update SCtbl set answer = 'E' where numQ = '01202'");
  EXPECT_EQ(errorNumberOf([&] { publishServerBank(server.uri(), out.path()); }), err::Locked);
  EXPECT_EQ(rowsOf(c, "select answer from SCtbl where numQ = '01202'"), "E\n");
}

}  // namespace

namespace {

// The server ends every session of the bank, as a restart does, and returns once they have ended.
void endSessions(const ServerDb& server) {
  pgAdmin("SELECT pg_terminate_backend(pid, 600000) FROM pg_stat_activity WHERE datname = '" + server.name() +
          "' AND pid <> pg_backend_pid()");
}

TEST(ServerConnection, ALostConnectionIsReportedAndTheNextStatementConnectsAgain) {
  ServerDb server;
  schema::createServerBank(server.uri());
  Connection c;
  c.open(server.uri());
  addQuestion(c, "SCtbl", "01201", "X012");
  endSessions(server);
  EXPECT_EQ(errorNumberOf([&] { c.execute("update SCtbl set answer = 'B'"); }), err::ServerUnreachable);
  EXPECT_EQ(c.execute("update SCtbl set answer = 'C'"), 1);
  EXPECT_EQ(rowsOf(c, "select answer from SCtbl"), "C\n");
}

// The server ends the sessions between actions: what changes nothing, a read or the beginning
// of a transaction, runs on a new connection without a word; a change hears of the loss in the
// program's words.
TEST(ServerConnection, AfterTheLossReadsAndTransactionsConnectAgainAndAChangeIsToldInWords) {
  ServerDb server;
  schema::createServerBank(server.uri());
  Connection c;
  c.open(server.uri());
  addQuestion(c, "SCtbl", "01201", "X012");
  endSessions(server);
  EXPECT_EQ(rowsOf(c, "select src from SCtbl"), "X012\n");
  endSessions(server);
  {
    Transaction t(c);
    c.execute("update SCtbl set answer = 'B'");
    t.commit();
  }
  endSessions(server);
  history::ChangeTag save(c, "Save");
  try {
    rowsOf(c, "select answer from SCtbl");
    ADD_FAILURE() << "a change went on over a lost connection";
  } catch (const DbError& e) {
    EXPECT_EQ(e.number, err::ServerUnreachable);
    EXPECT_EQ(e.description, "The connection to the server " + c.path() +
                                 " was lost; the change was not made. The next action connects again.");
  }
  EXPECT_EQ(rowsOf(c, "select answer from SCtbl"), "B\n");
}

}  // namespace

namespace {

TEST(ServerConnection, HeldRowsStayOutOfReachOfOtherWritersUntilTheCommit) {
  ServerDb server;
  schema::createServerBank(server.uri());
  Connection c;
  c.open(server.uri());
  addQuestion(c, "SCtbl", "01201", "X012");
  addQuestion(c, "SCtbl", "01202", "X012");
  EXPECT_EQ(errorNumberOf([&] { c.holdRows("SCtbl where numQ='01201'"); }), err::NoTransaction);
  auto other = PgDb::connect(server.uri(), "public");
  other->script("SET lock_timeout = '100ms'");
  {
    Transaction t(c);
    c.holdRows("SCtbl where numQ='01201'");
    EXPECT_EQ(errorNumberOf([&] { other->run("UPDATE \"SCtbl\" SET answer = 'X' WHERE numq = '01201'"); }), err::Locked);
    EXPECT_EQ(other->run("UPDATE \"SCtbl\" SET answer = 'Y' WHERE numq = '01202'"), 1);  // only that row is held
    t.commit();
  }
  EXPECT_EQ(other->run("UPDATE \"SCtbl\" SET answer = 'X' WHERE numq = '01201'"), 1);
}

}  // namespace

namespace {

TEST(RunIsolated, AConflictIsRunAgainABoundedNumberOfTimesThenReported) {
  NewBank bank(BankEngine::File);
  Connection c;
  bank.open(c);
  int runs = 0;
  EXPECT_EQ(runIsolated(c, [&] {
              if (++runs < 3) throw DbError(err::Locked, "conflict");
              return 7;
            }),
            7);
  EXPECT_EQ(runs, 3);
  runs = 0;
  auto alwaysInConflict = [&] {
    ++runs;
    throw DbError(err::Locked, "conflict");
  };
  EXPECT_EQ(errorNumberOf([&] { runIsolated(c, alwaysInConflict); }), err::Locked);
  EXPECT_EQ(runs, kIsolatedAttempts);
  // Inside the caller's own transaction the conflict has ended that transaction: no second run.
  Transaction t(c);
  runs = 0;
  EXPECT_EQ(errorNumberOf([&] { runIsolated(c, alwaysInConflict); }), err::Locked);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(c.serializable());
}

// The waits between attempts grow, differ by the draw, and stay within their bound in all.
TEST(RunIsolated, TheWaitsBetweenAttemptsGrowJitteredWithinABoundInAll) {
  std::chrono::milliseconds longest{0}, shortest{0};
  for (int attempt = 1; attempt < kIsolatedAttempts; ++attempt) {
    EXPECT_LT(isolatedRetryWait(attempt, 0.0), isolatedRetryWait(attempt, 0.999)) << attempt;
    EXPECT_LE(isolatedRetryWait(attempt, 0.5), isolatedRetryWait(attempt + 1, 0.5)) << attempt;
    longest += isolatedRetryWait(attempt, 0.999999);
    shortest += isolatedRetryWait(attempt, 0.0);
  }
  EXPECT_LT(isolatedRetryWait(1, 0.999), isolatedRetryWait(4, 0.0));
  EXPECT_LE(longest, kIsolatedWaitBound);
  EXPECT_GE(shortest, std::chrono::seconds(1));  // a few seconds in all, not a burst
}

// Two isolated transactions that each read what the other writes cannot both commit: the
// server ends one, and it comes out as the conflict that runIsolated runs again.
TEST(ServerConnection, IsolatedTransactionsThatOverlapEndOneOfThemAsAConflict) {
  NewBank bank(BankEngine::Server);
  Connection a, b;
  bank.open(a);
  bank.open(b);
  a.setSerializable(true);
  b.setSerializable(true);
  a.BeginTrans();
  b.BeginTrans();
  EXPECT_EQ(rowsOf(a, "select count(*) as n from SCtbl where src = 'O140'"), "0\n");
  EXPECT_EQ(rowsOf(b, "select count(*) as n from SCtbl where src = 'O140'"), "0\n");
  a.execute("insert into SCtbl (numQ, src) values ('14001', 'O140')");
  a.CommitTrans();
  EXPECT_EQ(errorNumberOf([&] {
              b.execute("insert into SCtbl (numQ, src) values ('14002', 'O140')");
              b.CommitTrans();
            }),
            err::Locked);
  EXPECT_EQ(rowsOf(a, "select numQ from SCtbl"), "14001\n");
}

}  // namespace

namespace {

TEST(ServerConnection, AFailedStatementInsideATransactionTakesBackOnlyItself) {
  NewBank bank(BankEngine::Server);
  Connection c;
  bank.open(c);
  Transaction t(c);
  addQuestion(c, "SCtbl", "01201", "X012");
  EXPECT_EQ(errorNumberOf([&] { c.execute("insert into SCtbl (numQ, src) values ('01201', 'X012')"); }), err::Generic);
  addQuestion(c, "SCtbl", "01202", "X012");
  t.commit();
  EXPECT_EQ(rowsOf(c, "select numQ from SCtbl order by numQ"), "01201\n01202\n");
}

}  // namespace
