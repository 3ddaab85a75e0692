// The bank's history: what the triggers keep, for this program's tagged writes and for another
// program's, the trash and undelete, revert, pruning, and a change that its history cannot
// follow.
#include "history.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bank_files.h"
#include "platform.h"
#include "support.h"

using namespace store;
using namespace testing_support;
using store::schema::Kind;
namespace fs = std::filesystem;

namespace {

class History : public ::testing::Test {
 protected:
  void SetUp() override {
    schema::createBank(dir.path());
    openBank(c, dir.path());
    for (const char* n : {"A12001", "A12002", "A12003"}) addQuestion(c, "SCtbl", n, "A12");
    c.execute("update SCtbl set question='stem one', choiceA='apple' where numQ='A12001'");
  }
  std::string stemOf(const std::string& numQ) {
    return rowsOf(c, "select question from SCtbl where numQ='" + numQ + "'");
  }
  long count(const std::string& sql) { return std::stol(rowsOf(c, sql)); }

  TempDir dir;
  Connection c;
};

TEST_F(History, AnUpdateKeepsTheWholeRowItReplacesWithItsTag) {
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
  EXPECT_EQ(v[0].user, platform::loginName());
  EXPECT_EQ(v[0].machine, platform::machineName());
  EXPECT_EQ(v[0].change, "update");
  std::string kept;
  for (size_t i = 0; i < v[0].fields.size(); ++i) kept += (i ? "|" : "") + v[0].fields[i].second.toString();
  EXPECT_EQ(kept + "\n", before);
  EXPECT_EQ(v[1].operation, history::kAnotherProgram);
  EXPECT_EQ(count("select count(*) from zx_change_context"), 0);
}

TEST_F(History, ATagThatEndsWithoutCommitTakesItsWritesBack) {
  {
    history::ChangeTag tag(c, "Save");
    c.execute("update SCtbl set question='half done' where numQ='A12001'");
    c.execute("update SCtbl set question='half done' where numQ='A12002'");
  }
  EXPECT_EQ(stemOf("A12001"), "stem one\n");
  EXPECT_EQ(count("select count(*) from zx_history where operation='Save'"), 0);
  EXPECT_EQ(c.session().db().inTransaction(), false);
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

TEST_F(History, OnlyARealChangeIsKeptAndACaseChangeIsOne) {
  const size_t before = history::versions(c, Kind::SC, "A12001").size();
  c.execute("update SCtbl set question='stem one' where numQ='A12001'");
  EXPECT_EQ(history::versions(c, Kind::SC, "A12001").size(), before);
  c.execute("update SCtbl set question='Stem one' where numQ='A12001'");
  EXPECT_EQ(history::versions(c, Kind::SC, "A12001").size(), before + 1);
}

TEST_F(History, AnotherProgramsChangeIsKeptWithItsTime) {
  c.session().db().exec("UPDATE SCtbl SET answer = 'E' WHERE numQ = 'A12002';");
  auto v = history::versions(c, Kind::SC, "A12002");
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].operation, history::kAnotherProgram);
  EXPECT_EQ(v[0].user, "");
  EXPECT_EQ(v[0].at.size(), 23u);  // YYYY-MM-DD HH:MM:SS.SSS
}

TEST_F(History, RevertPutsAVersionBackAsAChangeOfItsOwn) {
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

TEST_F(History, ADeletedPoolIsOneTrashEntryRestoredWholeOrRefusedNamingTakenNumbers) {
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

TEST_F(History, AChangeWhoseHistoryCannotBeWrittenFailsWhole) {
  {  // the next version's number is taken: the change's first write goes back with the second
    const long long next = history::versions(c, Kind::SC, "A12001").front().id + 1;  // the newest so far
    c.session().db().exec("INSERT INTO zx_history_SC (id) VALUES (" + std::to_string(next + 1) + ");");
    history::ChangeTag tag(c, "Save");
    c.execute("update SCtbl set question='kept?' where numQ='A12002'");
    EXPECT_NE(errorNumberOf([&] { c.execute("update SCtbl set question='lost?' where numQ='A12001'"); }), 0);
  }
  EXPECT_EQ(stemOf("A12001"), "stem one\n");
  EXPECT_EQ(stemOf("A12002"), "\n");
  EXPECT_FALSE(c.session().db().inTransaction());
  EXPECT_EQ(count("select count(*) from zx_change_context"), 0);

  c.session().db().exec("DROP TABLE zx_history_SC;");  // another program took it away
  history::ChangeTag tag(c, "Save");
  EXPECT_NE(errorNumberOf([&] { c.execute("update SCtbl set question='lost?' where numQ='A12001'"); }), 0);
  EXPECT_EQ(stemOf("A12001"), "stem one\n");
}

TEST_F(History, AnOlderBankGetsItsHistoryAtTheFirstOpenAndCompactionKeepsIt) {
  c.session().db().exec(
      "DROP TRIGGER zx_history_SC_update; DROP TRIGGER zx_history_SC_delete; DROP TABLE zx_history_SC;");
  c.close();
  openBank(c, dir.path());
  c.execute("update SCtbl set question='stem two' where numQ='A12001'");
  const size_t kept = history::versions(c, Kind::SC, "A12001").size();
  EXPECT_EQ(kept, 1u);  // the versions kept before the table went are gone with it
  c.close();
  compactBank(dir.path());
  openBank(c, dir.path());
  EXPECT_EQ(history::versions(c, Kind::SC, "A12001").size(), kept);
  c.execute("update SCtbl set question='stem three' where numQ='A12001'");
  EXPECT_EQ(history::versions(c, Kind::SC, "A12001").size(), kept + 1);
}

TEST_F(History, AnEarlierBuildsTriggersAreMadeCurrentAtTheFirstOpen) {
  auto triggers = [&] {
    auto st = c.session().db().prepare(
        "SELECT group_concat(sql, ';') FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'zx_history_SC_%';");
    st.step();
    return st.column(0).toString();
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
  c.session().db().exec("DROP TRIGGER zx_history_SC_update; DROP TRIGGER zx_history_SC_delete; " + earlier + ";");
  c.close();
  openBank(c, dir.path());
  EXPECT_EQ(triggers(), current);
}

TEST_F(History, PruningForgetsWhatCameBeforeTheDate) {
  EXPECT_EQ(history::prune(c, "2000-01-01"), 0);
  EXPECT_NE(errorNumberOf([&] { history::prune(c, "2000-1-1"); }), 0);
  EXPECT_EQ(history::prune(c, "9999-12-31"), 1);
  EXPECT_TRUE(history::versions(c, Kind::SC, "A12001").empty());
  EXPECT_EQ(count("select count(*) from zx_history_SC"), 0);
}

TEST_F(History, ANumberInTwoKindsIsNamedWithBoth) {
  addQuestion(c, "DStbl", "DS1001", "DS1");
  addQuestion(c, "PStbl", "DS1001", "DS1");
  EXPECT_EQ(history::kindsOf(c, "DS1001"), (std::vector<Kind>{Kind::PS, Kind::DS}));
  EXPECT_EQ(history::kindsOf(c, "A12003"), std::vector<Kind>{Kind::SC});
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
