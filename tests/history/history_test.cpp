// The bank's history: what the triggers keep, for this program's tagged writes and for another
// program's, the trash and undelete, revert, pruning, and a change that its history cannot
// follow.
#include "history.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "bank_files.h"
#include "pg_db.h"
#include "sqlite_db.h"
#include "platform.h"
#include "support.h"

using namespace store;
namespace schema = bank::schema;
using namespace testing_support;
using bank::schema::Kind;
namespace fs = std::filesystem;

namespace {

class History : public ::testing::TestWithParam<BankEngine> {
 protected:
  void SetUp() override {
    bank.open(c);
    for (const char* n : {"A12001", "A12002", "A12003"}) addQuestion(c, "SCtbl", n, "A12");
    c.execute("update SCtbl set question='stem one', choiceA='apple' where numQ='A12001'");
  }
  std::string stemOf(const std::string& numQ) {
    return rowsOf(c, "select question from SCtbl where numQ='" + numQ + "'");
  }
  long count(const std::string& sql) { return std::stol(rowsOf(c, sql)); }
  bool onFile() const { return GetParam() == BankEngine::File; }
  // Runs statements in the engine's own SQL through a connection of another program's own:
  // the sqlcipher shell on a file, psql on a server.
  void anotherProgram(const std::string& sql) {
    if (onFile())
      SqliteDb::openExisting(bank.name(), schema::kBankKey, false)->exec(sql);
    else
      PgDb::connect(bank.name(), "public")->exec(sql);
  }

  NewBank bank{GetParam()};
  Connection c;
};

INSTANTIATE_TEST_SUITE_P(Engines, History, ::testing::Values(BankEngine::File, BankEngine::Server), engineName);

TEST_P(History, AnUpdateKeepsTheWholeRowItReplacesWithItsTag) {
  const std::string before = rowsOf(c, "select * from SCtbl where numQ='A12001'");
  {
    history::ChangeTag tag(c, "Save");
    c.execute("update SCtbl set question='stem two' where numQ='A12001'");
    c.execute("update SCtbl set answer='C' where numQ='A12001'");  // the same change: no second version
    tag.commit();
  }
  auto v = history::versions(c, Kind::SC, "A12001");
  ASSERT_EQ(v.size(), 2u);  // the setup's change by an untagged write, then the Save
  EXPECT_EQ(v[0].operation, "Save");
  // A server names the role of the session that wrote, whatever the client says of itself.
  EXPECT_EQ(v[0].user, onFile() ? platform::loginName() : "postgres");
  EXPECT_EQ(v[0].machine, platform::machineName());
  EXPECT_EQ(v[0].change, "update");
  std::string kept;
  for (size_t i = 0; i < v[0].fields.size(); ++i) kept += (i ? "|" : "") + v[0].fields[i].second.toString();
  EXPECT_EQ(kept + "\n", before);
  EXPECT_EQ(v[1].operation, history::kAnotherProgram);
  if (onFile()) {
    EXPECT_EQ(count("select count(*) from zx_change_context"), 0);
  }
}

TEST_P(History, ATagThatEndsWithoutCommitTakesItsWritesBack) {
  {
    history::ChangeTag tag(c, "Save");
    c.execute("update SCtbl set question='half done' where numQ='A12001'");
    c.execute("update SCtbl set question='half done' where numQ='A12002'");
  }
  EXPECT_EQ(stemOf("A12001"), "stem one\n");
  EXPECT_EQ(count("select count(*) from zx_history where operation='Save'"), 0);
  EXPECT_EQ(c.session().engine().inTransaction(), false);
  {  // a transaction of the connection's own inside the tag's change is part of it
    history::ChangeTag tag(c, "Save");
    c.execute("update SCtbl set question='in change' where numQ='A12002'");
    Transaction tx(c);
    c.execute("update SCtbl set question='in change' where numQ='A12003'");
    tx.commit();
    tag.commit();
  }
  EXPECT_EQ(count("select count(*) from zx_history where operation='Save'"), 2);
  EXPECT_EQ(count("select max(batch) - min(batch) from zx_history where operation='Save'"), 0);  // one change
}

TEST_P(History, OnlyARealChangeIsKeptAndACaseChangeIsOne) {
  const size_t before = history::versions(c, Kind::SC, "A12001").size();
  c.execute("update SCtbl set question='stem one' where numQ='A12001'");
  EXPECT_EQ(history::versions(c, Kind::SC, "A12001").size(), before);
  c.execute("update SCtbl set question='Stem one' where numQ='A12001'");
  EXPECT_EQ(history::versions(c, Kind::SC, "A12001").size(), before + 1);
}

TEST_P(History, AnotherProgramsChangeIsKeptWithItsTime) {
  anotherProgram("UPDATE \"SCtbl\" SET answer = 'E' WHERE numQ = 'A12002';");
  auto v = history::versions(c, Kind::SC, "A12002");
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].operation, history::kAnotherProgram);
  EXPECT_EQ(v[0].user, onFile() ? "" : "postgres");  // a server knows the other client's role
  EXPECT_EQ(v[0].at.size(), 23u);  // YYYY-MM-DD HH:MM:SS.SSS
  EXPECT_EQ(v[0].field("answer")->toString(), "A");
}

TEST_P(History, RevertPutsAVersionBackAsAChangeOfItsOwn) {
  {
    history::ChangeTag tag(c, "Save");
    c.execute("update SCtbl set question='wrong' where numQ='A12001'");
    tag.commit();
  }
  const long long id = history::versions(c, Kind::SC, "A12001").front().id;
  history::revert(c, Kind::SC, "A12001", id);
  EXPECT_EQ(stemOf("A12001"), "stem one\n");
  auto v = history::versions(c, Kind::SC, "A12001");
  EXPECT_EQ(v.front().operation, "Restore from history");
  EXPECT_EQ(v.front().field("question")->toString(), "wrong");
  EXPECT_NE(errorNumberOf([&] { history::revert(c, Kind::SC, "A12001", 999); }), 0);
}

TEST_P(History, ADeletedPoolIsOneTrashEntryRestoredWholeOrRefusedNamingTakenNumbers) {
  {
    history::ChangeTag tag(c, "Delete Pool");
    c.execute("delete * from SCtbl where src='A12'");
    tag.commit();
  }
  auto t = history::trash(c);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].operation, "Delete Pool");
  EXPECT_EQ(t[0].pool, "A12");
  EXPECT_EQ(t[0].numbers, (std::vector<std::string>{"A12001", "A12002", "A12003"}));
  ASSERT_EQ(history::entriesFor(c, "A12").size(), 1u);
  EXPECT_EQ(history::entriesFor(c, "A12")[0].numbers, t[0].numbers);
  EXPECT_EQ(history::entriesFor(c, "a12003")[0].numbers, std::vector<std::string>{"A12003"});

  addQuestion(c, "SCtbl", "A12002", "A12");
  EXPECT_EQ(history::undeleteProblem(c, t[0]),
            "The question number A12002 is taken by another question; nothing was restored.");
  EXPECT_NE(errorNumberOf([&] { history::undelete(c, t[0]); }), 0);
  EXPECT_EQ(count("select count(*) from SCtbl"), 1);

  c.execute("delete * from SCtbl where numQ='A12002'");
  history::undelete(c, t[0]);
  EXPECT_EQ(stemOf("A12001"), "stem one\n");
  EXPECT_EQ(count("select count(*) from SCtbl"), 3);
  // What is left in the trash: the question deleted by another program.
  ASSERT_EQ(history::trash(c).size(), 1u);
  EXPECT_EQ(history::trash(c)[0].numbers, std::vector<std::string>{"A12002"});
}

TEST_P(History, AChangeWhoseHistoryCannotBeWrittenFailsWhole) {
  if (onFile()) {  // the next version's number is taken: the change's first write goes back with the second
    {
      const long long next = history::versions(c, Kind::SC, "A12001").front().id + 1;  // the newest so far
      anotherProgram("INSERT INTO zx_history_SC (id) VALUES (" + std::to_string(next + 1) + ");");
      history::ChangeTag tag(c, "Save");
      c.execute("update SCtbl set question='kept?' where numQ='A12002'");
      EXPECT_NE(errorNumberOf([&] { c.execute("update SCtbl set question='lost?' where numQ='A12001'"); }), 0);
    }
    EXPECT_EQ(stemOf("A12001"), "stem one\n");
    EXPECT_EQ(stemOf("A12002"), "\n");
    EXPECT_FALSE(c.engine().inTransaction());
    EXPECT_EQ(count("select count(*) from zx_change_context"), 0);
  }
  anotherProgram("DROP TABLE \"zx_history_SC\";");  // another program took it away
  history::ChangeTag tag(c, "Save");
  EXPECT_NE(errorNumberOf([&] { c.execute("update SCtbl set question='lost?' where numQ='A12001'"); }), 0);
  EXPECT_EQ(stemOf("A12001"), "stem one\n");
}

TEST_P(History, AnOlderBankGetsItsHistoryAtTheFirstOpenAndCompactionKeepsIt) {
  anotherProgram(onFile() ? "DROP TRIGGER zx_history_SC_update; DROP TRIGGER zx_history_SC_delete; DROP TABLE zx_history_SC;"
                          : "DROP TABLE \"zx_history_SC\"; DROP TRIGGER \"zx_history_SC_update\" ON \"SCtbl\";");
  c.close();
  bank.open(c);
  c.execute("update SCtbl set question='stem two' where numQ='A12001'");
  const size_t kept = history::versions(c, Kind::SC, "A12001").size();
  EXPECT_EQ(kept, 1u);  // the versions kept before the table went are gone with it
  if (!onFile()) return;  // a server keeps its own files
  c.close();
  bank::compactBank(fs::path(bank.name()).parent_path());
  bank.open(c);
  EXPECT_EQ(history::versions(c, Kind::SC, "A12001").size(), kept);
  c.execute("update SCtbl set question='stem three' where numQ='A12001'");
  EXPECT_EQ(history::versions(c, Kind::SC, "A12001").size(), kept + 1);
}

TEST_P(History, AnEarlierBuildsTriggersAreMadeCurrentAtTheFirstOpenAndTheVersionRecorded) {
  if (!onFile()) return;  // the server's triggers are made by the server bank's own code
  auto triggers = [&] {
    auto rows = c.engine().query(
        "SELECT group_concat(sql, ';') FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'zx_history_SC_%';");
    rows->next();
    return rows->column(0).toString();
  };
  const std::string current = triggers();
  // As an earlier build made them: a probe through every kept version, inserts that can abort.
  std::string earlier = current;
  auto replaceAll = [&](const std::string& from, const std::string& to) {
    for (size_t at = earlier.find(from); at != std::string::npos; at = earlier.find(from, at + to.size()))
      earlier.replace(at, from.size(), to);
  };
  replaceAll("INSERT OR ROLLBACK INTO", "INSERT INTO");
  replaceAll("WHERE h.kind = 'SC' AND h.numQ = OLD.numQ AND h.batch = (SELECT id FROM zx_change_context))",
             "JOIN zx_change_context c ON h.batch = c.id WHERE h.kind = 'SC' AND h.numQ = OLD.numQ)");
  ASSERT_NE(earlier, current);
  // An earlier build recorded no versions.
  c.engine().script("DROP TRIGGER zx_history_SC_update; DROP TRIGGER zx_history_SC_delete; " + earlier +
                        "; DROP TABLE zx_extensions;");
  c.close();
  bank.open(c);
  EXPECT_EQ(triggers(), current);
  EXPECT_EQ(recordedVersion(c.engine(), history::extension().name()), history::extension().version());
}

TEST_P(History, PruningForgetsWhatCameBeforeTheDate) {
  EXPECT_EQ(history::prune(c, "2000-01-01"), 0);
  EXPECT_NE(errorNumberOf([&] { history::prune(c, "2000-1-1"); }), 0);
  EXPECT_EQ(history::prune(c, "9999-12-31"), 1);
  EXPECT_TRUE(history::versions(c, Kind::SC, "A12001").empty());
  EXPECT_EQ(count("select count(*) from zx_history_SC"), 0);
}

TEST(HistoryDates, OnlyDaysOfTheCalendarAreDates) {
  for (const char* day : {"2024-02-29", "2000-02-29", "2025-12-31", "2025-04-30"})
    EXPECT_TRUE(history::isCalendarDate(day)) << day;
  for (const char* day : {"2025-02-29", "1900-02-29", "2025-02-30", "2025-04-31", "2025-13-01", "2025-00-10",
                          "2025-01-00", "2025-1-01", "2025/01/01", "20250101xx"})
    EXPECT_FALSE(history::isCalendarDate(day)) << day;
}

TEST_P(History, ANumberInTwoKindsIsNamedWithBoth) {
  addQuestion(c, "DStbl", "DS1001", "DS1");
  addQuestion(c, "PStbl", "DS1001", "DS1");
  EXPECT_EQ(history::kindsOf(c, "DS1001"), (std::vector<Kind>{Kind::PS, Kind::DS}));
  EXPECT_EQ(history::kindsOf(c, "A12003"), std::vector<Kind>{Kind::SC});
}

// Two editors save the same question at once on a server: the row lock orders them, and each
// Save keeps the version it replaced under its own change.
TEST(ServerHistory, TwoEditorsConcurrentSavesEachKeepTheirOwnVersion) {
  NewBank bank(BankEngine::Server);
  Connection a, b;
  bank.open(a);
  bank.open(b);
  addQuestion(a, "SCtbl", "A12001", "A12");
  auto save = [](Connection& c, const char* answer, const std::function<void()>& beforeCommit) {
    history::ChangeTag tag(c, "Save");
    Transaction tx(c);
    c.holdRows("SCtbl where numQ='A12001'");
    c.execute(std::string("update SCtbl set answer='") + answer + "' where numQ='A12001'");
    beforeCommit();
    tx.commit();
    tag.commit();
  };
  std::string failure;
  struct Joined {
    std::thread t;
    ~Joined() {
      if (t.joinable()) t.join();
    }
  } other;
  save(a, "B", [&] {
    other.t = std::thread([&] {
      try {
        save(b, "C", [] {});
      } catch (const DbError& e) {
        failure = e.message();
      }
    });
    // a commits only once b waits for the row that a holds.
    auto watch = PgDb::connect(bank.name(), "public");
    for (;;) {
      auto r = watch->query("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND "
                            "wait_event_type = 'Lock'");
      if (r->next() && r->column(0).toInt() > 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  other.t.join();
  EXPECT_EQ(failure, "");
  EXPECT_EQ(rowsOf(a, "select answer from SCtbl where numQ='A12001'"), "C\n");
  const auto v = history::versions(a, Kind::SC, "A12001");
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].field("answer")->toString(), "B");  // what b's Save replaced: a's
  EXPECT_EQ(v[1].field("answer")->toString(), "A");
  EXPECT_EQ(v[0].operation, "Save");
  EXPECT_EQ(v[1].operation, "Save");
}

// The server restarted in the middle of a Save: the change goes whole, and the next one
// connects again and is kept.
TEST(ServerHistory, ALostConnectionTakesTheTaggedChangeBackAndTheNextIsKept) {
  NewBank bank(BankEngine::Server);
  Connection c;
  bank.open(c);
  addQuestion(c, "SCtbl", "A12001", "A12");
  {
    history::ChangeTag tag(c, "Save");
    c.execute("update SCtbl set answer='B' where numQ='A12001'");
    PgDb::connect(bank.name(), "public")
        ->exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database() AND "
               "pid <> pg_backend_pid()");
    EXPECT_EQ(errorNumberOf([&] { c.execute("update SCtbl set src='A13' where numQ='A12001'"); }), err::ServerUnreachable);
  }
  {
    history::ChangeTag tag(c, "Save");
    c.execute("update SCtbl set answer='D' where numQ='A12001'");
    tag.commit();
  }
  EXPECT_EQ(rowsOf(c, "select answer, src from SCtbl"), "D|A12\n");
  const auto v = history::versions(c, Kind::SC, "A12001");
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].operation, "Save");
  EXPECT_EQ(v[0].field("answer")->toString(), "A");
}

// A writer killed in the middle of long tagged changes: each change is there with its history,
// or neither is, and no context row is left behind.
TEST(HistoryCrash, AKilledTaggedWriteLeavesTheChangeAndItsHistoryOrNeither) {
  TempDir dir;
  schema::createBank(dir.path());
  const int questions = 300;
  {
    Connection c;
    openBank(c, dir.path());
    Transaction tx(c);
    for (int i = 1; i <= questions; ++i) addQuestion(c, "SCtbl", "B34" + std::to_string(1000 + i), "B34");
    tx.commit();
  }
  for (int kill = 0; kill < 8; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Connection c;
      openBank(c, dir.path());
      for (long round = 0;; ++round) {
        history::ChangeTag tag(c, "GO");
        Transaction tx(c);
        for (int i = 1; i <= questions; ++i) {
          c.execute("update SCtbl set question='" + std::to_string(kill) + "." + std::to_string(round) +
                    "' where numQ='B34" + std::to_string(1000 + i) + "'");
          if (round == 1 && i == questions / 2) (void)!write(ready[1], "x", 1);  // mid-change
        }
        tx.commit();
      }
    }
    char x;
    ASSERT_EQ(read(ready[0], &x, 1), 1);
    ::kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    close(ready[1]);

    Connection c;
    openBank(c, dir.path());
    const std::string stems = rowsOf(c, "select distinct question from SCtbl");
    EXPECT_EQ(std::count(stems.begin(), stems.end(), '\n'), 1) << stems;  // every question in the same round
    // Every committed round kept one version of each question.
    const long versions = std::stol(rowsOf(c, "select count(*) from zx_history"));
    EXPECT_EQ(versions % questions, 0);
    EXPECT_EQ(rowsOf(c, "select count(*) from zx_change_context"), "0\n");
    EXPECT_EQ(rowsOf(c, "select count(*) from zx_history_SC"), std::to_string(versions) + "\n");
  }
}

}  // namespace
