// Another program breaking what the history and the search index keep in a bank file: 'check'
// names it, the next open makes again what can be made again and says so, and what cannot (the
// versions of a kind) is refused truthfully. Each case ends with the promise checked: a version
// for every committed change, and exactly the hits that a scan of the questions finds.
#include <gtest/gtest.h>

#include "../pools/bank_fixture.h"
#include "../store/support.h"
#include "bank_check.h"
#include "bank_files.h"
#include "bank_search.h"
#include "extension.h"
#include "history.h"
#include "sqlite_db.h"

using bank::schema::Kind;
using store::Connection;
using testing_support::rowsOf;
using bank::structureProblems;

namespace {

std::string rtf(const std::string& body) { return "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs22 " + body + "}"; }

class BankDamage : public PoolsBank {
 protected:
  void SetUp() override {
    PoolsBank::SetUp();
    for (int i = 1; i <= 4; ++i)
      add("SCtbl", {{"numQ", "A1200" + std::to_string(i)},
                    {"src", "A12"},
                    {"question", rtf(i % 2 ? "apple pie" : "pear tart")},
                    {"answer", "A"}});
    hits("apple");  // the index made and built
  }
  void otherProgram(const std::string& sql) {
    store::SqliteDb::openExisting(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey, false)->script(sql);
  }
  void reopen() {
    conn.close();
    conn.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
  }
  std::vector<std::string> hits(const std::string& word) {
    std::vector<std::string> out;
    for (const search::Result& r : search::searchBank(conn, search::parseQuery(QString::fromStdString(word)), {}))
      out.push_back(r.numQ);
    std::sort(out.begin(), out.end());
    return out;
  }
  // What a scan of the stems finds.
  std::vector<std::string> scan(const std::string& word) {
    std::vector<std::string> out;
    for (const std::string& n : rowsOfEach("select numQ from SCtbl where question like '%" + word + "%' order by numQ"))
      out.push_back(n);
    return out;
  }
  std::vector<std::string> rowsOfEach(const std::string& sql) {
    std::vector<std::string> out;
    std::string all = rowsOf(conn, sql), line;
    for (char c : all) {
      if (c == '\n') {
        out.push_back(line);
        line.clear();
      } else {
        line += c;
      }
    }
    return out;
  }
  std::string checked() {
    std::string out;
    for (const std::string& p : structureProblems(dir.path())) out += p + "\n";
    return out;
  }
  std::string repairs() {
    std::string out;
    for (const std::string& r : store::takeExtensionRepairs(conn)) out += r + "\n";
    return out;
  }
  size_t versionsOf(const std::string& numQ) { return history::versions(conn, Kind::SC, numQ).size(); }
  // A tagged change of each question, committed one by one: each must keep a version.
  void everyChangeKeepsAVersion() {
    for (const char* n : {"A12001", "A12002", "A12003"}) {
      const size_t before = versionsOf(n);
      history::ChangeTag tag(conn, "Save");
      conn.execute(std::string("update SCtbl set answer='D' where numQ='") + n + "'");
      tag.commit();
      EXPECT_EQ(versionsOf(n), before + 1) << n;
    }
  }
};

TEST_F(BankDamage, AWholeBankOpensWithoutRepairsAndChecksClean) {
  EXPECT_EQ(repairs(), "");  // the index made by the first search was not broken
  reopen();
  EXPECT_EQ(repairs(), "");
  EXPECT_EQ(checked(), "");
  // A question that another program deleted is marked: its entries wait for the next search.
  otherProgram("DELETE FROM SCtbl WHERE numQ = 'A12004';");
  EXPECT_EQ(checked(), "");
}

TEST_F(BankDamage, ADroppedChangeContextIsNamedMadeAgainAndEveryLaterChangeKept) {
  otherProgram("DROP TABLE zx_change_context;");
  EXPECT_NE(checked().find("zx_change_context was missing"), std::string::npos) << checked();
  reopen();
  EXPECT_NE(repairs().find("history: the table zx_change_context was missing"), std::string::npos) << repairs();
  everyChangeKeepsAVersion();
  EXPECT_EQ(checked(), "");
}

TEST_F(BankDamage, ANoOpTriggerUnderTheHistorysNameIsReplaced) {
  otherProgram("DROP TRIGGER zx_history_SC_update; CREATE TRIGGER zx_history_SC_update AFTER UPDATE ON SCtbl BEGIN SELECT 1; END;");
  EXPECT_NE(checked().find("zx_history_SC_update did not keep versions"), std::string::npos) << checked();
  reopen();
  EXPECT_NE(repairs().find("zx_history_SC_update"), std::string::npos);
  everyChangeKeepsAVersion();
}

TEST_F(BankDamage, ADroppedHistoryTableIsMadeAgainNumberedAfterTheKeptRows) {
  {
    history::ChangeTag tag(conn, "Save");
    conn.execute("update SCtbl set answer='B' where numQ='A12001'");
    tag.commit();
  }
  otherProgram("DROP TABLE zx_history;");
  EXPECT_NE(checked().find("zx_history was missing"), std::string::npos) << checked();
  reopen();
  EXPECT_NE(repairs().find("the versions kept before are gone"), std::string::npos) << repairs();
  everyChangeKeepsAVersion();  // a new version's number must not meet a kept row's
}

TEST_F(BankDamage, UndeleteWithTheKindsVersionsGoneRestoresNothingAndSaysSo) {
  {
    history::ChangeTag tag(conn, "Delete");
    conn.execute("delete from SCtbl where numQ='A12004'");
    tag.commit();
  }
  otherProgram("DROP TABLE zx_history_SC;");
  EXPECT_NE(checked().find("zx_history_SC was missing: the versions of SC are gone"), std::string::npos) << checked();
  reopen();
  const auto trash = history::trash(conn);
  ASSERT_EQ(trash.size(), 1u);
  try {
    history::undelete(conn, trash[0]);
    ADD_FAILURE() << "undelete restored nothing and said nothing";
  } catch (const store::DbError& e) {
    EXPECT_NE(e.message().find("Nothing was restored: the versions of SC are gone"), std::string::npos) << e.message();
  }
  EXPECT_EQ(rowsOf(conn, "select count(*) from SCtbl where numQ='A12004'"), "0\n");
  EXPECT_EQ(history::trash(conn).size(), 1u);  // still listed, not emptied
  EXPECT_NE(checked().find("versions of SC whose rows are gone"), std::string::npos) << checked();
  everyChangeKeepsAVersion();
}

TEST_F(BankDamage, AnIndexTriggerDroppedWhileAnotherProgramWritesIsMadeAgainAndTheIndexRebuilt) {
  otherProgram("DROP TRIGGER zx_search_SCtbl_update; UPDATE SCtbl SET question = '" + rtf("apple crumble") +
               "' WHERE numQ = 'A12002';");
  EXPECT_NE(checked().find("zx_search_SCtbl_update was missing"), std::string::npos) << checked();
  EXPECT_EQ(hits("crumble"), std::vector<std::string>{"A12002"});
  EXPECT_EQ(hits("apple"), scan("apple"));
  EXPECT_EQ(checked(), "");
}

TEST_F(BankDamage, AnEmptiedOrJunkedIndexIsBuiltAgainAtTheNextConnectionsFirstSearch) {
  for (const std::string& damage :
       {std::string("DELETE FROM zx_search_questions;"),
        std::string("INSERT INTO zx_search_questions (kind, numQ, pool, fields, lengths, entries) "
                    "VALUES ('SC', 'Z99999', 'Z', 'B', '5', 1);"),
        std::string("DELETE FROM zx_search_questions WHERE numQ = 'A12003';"),
        std::string("INSERT INTO zx_search (docid, words) VALUES (16 * (SELECT max(qid) FROM zx_search_questions) + 5, 'apple');")}) {
    otherProgram(damage);
    EXPECT_NE(checked(), "") << damage;
    reopen();
    EXPECT_EQ(hits("apple"), scan("apple")) << damage;
    EXPECT_EQ(hits("pear"), scan("pear")) << damage;
    EXPECT_NE(repairs().find("built again"), std::string::npos) << damage;
    EXPECT_EQ(checked(), "") << damage;
  }
}

TEST_F(BankDamage, ReindexWorksFromAnyStateOfTheIndexsTables) {
  for (const std::string& damage : {std::string("DROP TABLE zx_search_questions;"), std::string("DROP TABLE zx_search;"),
                                    std::string("DELETE FROM zx_search_state;"),
                                    std::string("INSERT INTO zx_search_state (built) VALUES (1);"),
                                    std::string("DROP TABLE zx_search_state; DROP TABLE zx_search_marks;")}) {
    otherProgram(damage);
    EXPECT_NE(checked(), "") << damage;
    reopen();
    search::rebuildIndex(conn, {});
    EXPECT_EQ(hits("apple"), scan("apple")) << damage;
    EXPECT_EQ(checked(), "") << damage;
  }
}

}  // namespace
