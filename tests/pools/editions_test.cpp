// Edition pools, edition copies, answer keys, renumbering and the duplicate check, run on
// real bank files without windows.
#include <latch>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "bank_fixture.h"
#include "editions.h"
#include "numbering.h"
#include "pg_server.h"
#include "pool_operations.h"

using pools::editionRules;
using store::Value;
using bank::schema::Kind;

namespace {

class Editions : public PoolsBank {};

TEST_F(Editions, EditionPoolsNumberPerKind) {
  const auto& sc = editionRules(Kind::SC);
  EXPECT_EQ(pools::createEditionPool(conn, sc, "O130", 3, "3"), (std::vector<std::string>{"13001", "13002", "13003"}));
  EXPECT_EQ(question("SCtbl", "13002")["answer"], "A");
  EXPECT_EQ(question("SCtbl", "13002")["src"], "O130");
  // The edition's second pool counts on after every pool whose name begins "O13".
  pools::createEditionPool(conn, sc, "O131", 2, "2");
  EXPECT_EQ(numbers("SCtbl", "O131"), (std::vector<std::string>{"13004", "13005"}));

  pools::createEditionPool(conn, editionRules(Kind::DS), "O120", 1, "1");
  EXPECT_EQ(numbers("DStbl", "O120"), (std::vector<std::string>{"010001"}));
  pools::createEditionPool(conn, editionRules(Kind::PS), "O130", 1, "1");
  EXPECT_EQ(numbers("PStbl", "O130"), (std::vector<std::string>{"009001"}));
  pools::createEditionPool(conn, editionRules(Kind::RC), "O120", 2, "02");
  EXPECT_EQ(numbers("RCtbl", "O120"), (std::vector<std::string>{"120001", "120002"}));
  EXPECT_EQ(question("RCtbl", "120002")["Qnumber"], "02");

}

TEST_F(Editions, EditionPoolThatMeetsExistingNumbersCreatesNothing) {
  const auto& cr = editionRules(Kind::CR);
  pools::createEditionPool(conn, cr, "O120", 10, "10");
  auto before = bank();
  std::string why;
  // "O121" counts only pools that begin "O121": its numbers start again at 122001.
  EXPECT_EQ(failureOf([&] { pools::createEditionPool(conn, cr, "O121", 2, "2"); }, &why),
            pools::editionErr::DuplicateNumber);
  EXPECT_NE(why.find("122001"), std::string::npos) << why;
  EXPECT_EQ(bank(), before);
  EXPECT_EQ(failureOf([&] { pools::createEditionPool(conn, cr, "O12", 1, "1"); }), pools::editionErr::InvalidInput);
  EXPECT_FALSE(pools::editionPoolNameValid(editionRules(Kind::SC), "O1"));
  EXPECT_TRUE(pools::editionPoolNameValid(editionRules(Kind::SC), "O13"));
}

TEST_F(Editions, EditionNamesTheNumberingCannotHoldAreRefusedAndWriteNothing) {
  const auto before = bank();
  // A wildcard, a quote or a separator among the counted characters, or more digits than
  // the edition numbering has.
  for (const char* og : {"O1_", "O1%", "O\"3", "O131;x", "O13;", "12345678901234567890", "O12345", "_130", "O 13"}) {
    SCOPED_TRACE(og);
    std::string why;
    EXPECT_EQ(failureOf([&] { pools::createEditionPool(conn, editionRules(Kind::SC), og, 1, "1"); }, &why),
              pools::editionErr::InvalidInput);
    EXPECT_NE(why.find("Invalid Pool Name"), std::string::npos) << why;
  }
  EXPECT_EQ(bank(), before);
  EXPECT_TRUE(pools::editionPoolNameValid(editionRules(Kind::CR), "o120"));
}

TEST_F(Editions, CopyChangesExactlyTheKindsFields) {
  for (Kind k : {Kind::SC, Kind::CR, Kind::RC, Kind::DS, Kind::PS}) {
    SCOPED_TRACE(bank::schema::kindName(k));
    const auto& r = editionRules(k);
    const std::string from = pools::editionQuestionNumber(r.oldPrefix, 5);
    const std::string to = pools::editionQuestionNumber(r.newPrefix, 7);
    std::map<std::string, Value> source{{"numQ", from}, {"src", "OLD"}};
    long n = 1;
    for (const auto& c : bank::schema::questionColumns(k))
      if (c.name != "numQ" && c.name != "src") source[c.name] = c.type == "TEXT COLLATE NOCASE" ? Value(c.name + "!") : Value(++n);
    if (k == Kind::RC) source["passageNum"] = "12012";
    add(r.table, source);
    add(r.table, {{"numQ", to}, {"src", "NEW"}});
    std::map<std::string, Value> row{{r.oldField, 5}, {r.newField, 7}};
    if (r.passageField) row[r.passageField] = 4;
    add(r.mappingTable, row);
    add(r.mappingTable, {{r.newField, 8}});  // no old number: skipped
    EXPECT_EQ(pools::copyEdition(conn, r), 1);

    auto target = question(r.table, to);
    auto old = question(r.table, from);
    std::set<std::string> copied(r.copiedFields.begin(), r.copiedFields.end());
    for (const auto& [name, value] : target) {
      if (name == "passageNum" && k == Kind::RC)
        EXPECT_EQ(value, "13042");
      else if (copied.count(name))
        EXPECT_EQ(value, old[name]) << name;
      else if (name == "numQ")
        EXPECT_EQ(value, to);
      else if (name == "src")
        EXPECT_EQ(value, "NEW");
      else
        EXPECT_EQ(value, "<Null>") << name;
    }
  }
}

TEST_F(Editions, EmptyOldNumbersAreSkippedOnlyWhereTheKindSkipsThem) {
  add("DStbl", {{"numQ", "009001"}, {"src", "O120"}, {"question", "q"}});
  add("DStbl", {{"numQ", "010001"}, {"src", "O130"}});
  add("12to13DS", {{"12th", ""}, {"13th", 9}});
  add("12to13DS", {{"12th", 1}, {"13th", 1}});
  EXPECT_EQ(pools::copyEdition(conn, editionRules(Kind::DS)), 1);
  EXPECT_EQ(question("DStbl", "010001")["question"], "q");

  add("SCtbl", {{"numQ", "12001"}, {"src", "O120"}, {"question", "q"}});
  add("SCtbl", {{"numQ", "13001"}, {"src", "O130"}});
  add("12to13SC", {{"12th", 1}, {"13th", 1}});
  add("12to13SC", {{"12th", ""}, {"13th", 2}});
  auto before = bank();
  EXPECT_EQ(failureOf([&] { pools::copyEdition(conn, editionRules(Kind::SC)); }), pools::editionErr::BadRunningNumber);
  EXPECT_EQ(bank(), before);
}

TEST_F(Editions, AnRcSourceWithoutPassageNumberGetsNothingAppended) {
  add("RCtbl", {{"numQ", "120001"}, {"src", "O120"}});
  add("RCtbl", {{"numQ", "130001"}, {"src", "O130"}});
  add("12to13RC", {{"12th-Question", 1}, {"13th-Question", 1}, {"13th-Passage", 4}});
  EXPECT_EQ(pools::copyEdition(conn, editionRules(Kind::RC)), 1);
  EXPECT_EQ(question("RCtbl", "130001")["passageNum"], "1304");
}

TEST_F(Editions, AFailedCopyLeavesTheBankAsItWas) {
  for (int i = 1; i <= 3; ++i) {
    add("SCtbl", {{"numQ", pools::editionQuestionNumber("12", i)}, {"src", "O120"}, {"choiceA", "old"}});
    add("SCtbl", {{"numQ", pools::editionQuestionNumber("13", i)}, {"src", "O130"}});
    add("12to13SC", {{"12th", i}, {"13th", i}});
  }
  add("12to13SC", {{"12th", 3}, {"13th", 4}});  // 13004 does not exist
  auto before = bank();
  std::string why;
  EXPECT_EQ(failureOf([&] { pools::copyEdition(conn, editionRules(Kind::SC)); }, &why),
            pools::editionErr::MissingQuestion);
  EXPECT_NE(why.find("13004"), std::string::npos) << why;
  EXPECT_EQ(bank(), before);
  // The same for a missing source.
  add("12to13SC", {{"12th", 9}, {"13th", 1}});
  EXPECT_EQ(failureOf([&] { pools::copyEdition(conn, editionRules(Kind::SC)); }, &why),
            pools::editionErr::MissingQuestion);
}

TEST_F(Editions, AnswerKeysSetTheNewAnswers) {
  const auto& sc = editionRules(Kind::SC);
  EXPECT_EQ(pools::updateAnswerKeys(conn, sc), 0);  // an empty table: nothing to do
  add("SCtbl", {{"numQ", "13007"}, {"src", "O130"}, {"answer", "A"}});
  add("answerkey13SC", {{"number", 7}, {"key", "C"}});
  add("answerkey13SC", {{"key", "D"}});  // no number: skipped
  EXPECT_EQ(pools::updateAnswerKeys(conn, sc), 1);
  EXPECT_EQ(question("SCtbl", "13007")["answer"], "C");

  add("answerkey13SC", {{"number", 8}, {"key", "E"}});
  store::Recordset rs;
  rs.open("SCtbl where numQ='13007'", conn, store::adOpenKeyset, store::adLockOptimistic, store::adCmdTable);
  rs.setValue("answer", "B");
  rs.update();
  rs.close();
  auto before = bank();
  EXPECT_EQ(failureOf([&] { pools::updateAnswerKeys(conn, sc); }), pools::editionErr::MissingQuestion);
  EXPECT_EQ(bank(), before);
}

TEST_F(Editions, RenumberingMovesTheNumbersThatExistInTheRange) {
  const auto& ps = editionRules(Kind::PS);
  for (int i : {1, 2, 5, 230, 231}) add("PStbl", {{"numQ", pools::editionQuestionNumber("009", i)}, {"src", "O130"}});
  EXPECT_EQ(pools::fixQuestionNumbers(conn, ps), 4);
  EXPECT_EQ(numbers("PStbl", "O130"), (std::vector<std::string>{"009231", "011001", "011002", "011005", "011230"}));
  EXPECT_EQ(pools::renumberingReport(4), "numQ update completed. 4 questions moved.");
  // A second run finds nothing left to move.
  auto before = bank();
  EXPECT_EQ(pools::fixQuestionNumbers(conn, ps), 0);
  EXPECT_EQ(bank(), before);
}

TEST_F(Editions, RenumberingRefusesWholeWhenATargetExists) {
  const auto& ps = editionRules(Kind::PS);
  for (const char* n : {"009001", "009007", "011007"}) add("PStbl", {{"numQ", n}, {"src", "O130"}});
  auto before = bank();
  std::string why;
  EXPECT_EQ(failureOf([&] { pools::fixQuestionNumbers(conn, ps); }, &why), pools::editionErr::DuplicateNumber);
  EXPECT_NE(why.find("011007"), std::string::npos) << why;
  EXPECT_EQ(bank(), before);
}

TEST_F(Editions, TheQuestionOnScreenFollowsTheRenumbering) {
  const auto& ps = editionRules(Kind::PS);
  EXPECT_EQ(pools::renumberedQuestion(ps, "009005"), "011005");
  EXPECT_EQ(pools::renumberedQuestion(ps, "009230"), "011230");
  EXPECT_EQ(pools::renumberedQuestion(ps, "009231"), "");
  EXPECT_EQ(pools::renumberedQuestion(ps, "011005"), "");
  EXPECT_EQ(pools::renumberedQuestion(editionRules(Kind::SC), "13001"), "");  // SC has no renumbering
}

TEST_F(Editions, EachOperationTellsItsStepsUpToTheTotal) {
  std::vector<std::pair<long, long>> told;
  const pools::Progress record = [&](long done, long total) { told.emplace_back(done, total); };
  auto stepsOf = [](long total) {
    std::vector<std::pair<long, long>> steps;
    for (long i = 0; i < total; ++i) steps.emplace_back(i, total);
    return steps;
  };
  auto taken = [&] { return std::exchange(told, {}); };
  const auto& sc = editionRules(Kind::SC);
  pools::createEditionPool(conn, sc, "O130", 3, "3", record);
  EXPECT_EQ(taken(), stepsOf(3));
  for (int i = 1; i <= 2; ++i) {
    add("SCtbl", {{"numQ", pools::editionQuestionNumber("12", i)}, {"src", "O120"}});
    add("12to13SC", {{"12th", i}, {"13th", i}});
  }
  pools::copyEdition(conn, sc, record);
  EXPECT_EQ(taken(), stepsOf(2));
  add("answerkey13SC", {{"number", 1}, {"key", "B"}});
  pools::updateAnswerKeys(conn, sc, record);
  EXPECT_EQ(taken(), stepsOf(1));
  for (const char* n : {"009001", "009002"}) add("PStbl", {{"numQ", n}, {"src", "O130"}});
  pools::fixQuestionNumbers(conn, editionRules(Kind::PS), record);
  EXPECT_EQ(taken(), stepsOf(2));
  for (const char* n : {"02001", "02002", "02003"}) add("CRtbl", {{"numQ", n}, {"src", "X020"}});
  pools::findDuplicateChoices(conn, editionRules(Kind::CR), nullptr, record);
  EXPECT_EQ(taken(), stepsOf(3));
}

TEST_F(Editions, DuplicateCheckReportsTheFirstEqualPair) {
  auto sc = [&](const std::string& n, const std::string& stem, std::vector<Value> c) {
    add("SCtbl", {{"numQ", n}, {"src", "X"}, {"question", stem}, {"choiceA", c[0]}, {"choiceB", c[1]},
                  {"choiceC", c[2]}, {"choiceD", c[3]}, {"choiceE", c[4]}});
  };
  sc("00101", "so THAT it", {"a", "b", "a", "d", "e"});
  sc("00102", "that", {"x", "x", "c", "y", "y"});
  sc("00103", "that", {"a", "b", "c", Value(), ""});
  sc("00104", "that", {"a", "A", "b", "B", "c"});
  sc("00105", "no such word", {"a", "a", "a", "a", "a"});
  std::string last;
  auto found = pools::findDuplicateChoices(conn, editionRules(Kind::SC), &last);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(pools::findingLine(found[0]), "00101 ERROR: A=C \"a\" \"a\"");
  EXPECT_EQ(found[1].label, "ERROR: A=B ");
  EXPECT_EQ(found[2].label, "ERROR: D=E ");
  EXPECT_EQ(found[2].numQ, "00103");
  EXPECT_EQ(last, "00104");

  add("CRtbl", {{"numQ", "00201"}, {"src", "X"}, {"choiceA", "a"}});  // four empty choices
  found = pools::findDuplicateChoices(conn, editionRules(Kind::CR), &last);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].label, "ERROR: B=C ");
}

}  // namespace

namespace {

// Eight editors make edition questions of one pool on a server at the same moment: each run that
// the server ends for a conflict runs again after a wait, and every run gets its numbers.
TEST(EditionsOnAServer, EightConcurrentEditionPoolsAllSucceed) {
  constexpr int kRuns = 8;
  testing_support::ServerDb server;
  bank::schema::createServerBank(server.uri());
  std::latch together(kRuns);
  std::vector<std::string> failures(kRuns);
  std::vector<std::thread> runs;
  for (int i = 0; i < kRuns; ++i)
    runs.emplace_back([&, i] {
      try {
        store::Connection c;
        c.open(server.uri());
        together.arrive_and_wait();
        pools::createEditionPool(c, editionRules(Kind::SC), "O140", 2, "2");
      } catch (const store::DbError& e) {
        failures[static_cast<size_t>(i)] = e.message();
      }
    });
  for (std::thread& t : runs) t.join();
  EXPECT_EQ(failures, std::vector<std::string>(kRuns));
  store::Connection c;
  c.open(server.uri());
  store::Recordset rs;
  rs.open("select numQ from SCtbl where src = 'O140'", c, store::adOpenDynamic, store::adLockReadOnly);
  std::set<std::string> numbers;
  for (; !rs.eof(); rs.moveNext()) numbers.insert(rs.value("numQ").toString());
  EXPECT_EQ(rs.recordCount(), 2 * kRuns);
  EXPECT_EQ(numbers.size(), 2u * kRuns);  // none repeated
}

}  // namespace
