// Each pool and edition operation keeps, under its own name, the whole record it replaces or
// deletes, exactly as it was: on a bank file, and on a bank on a server.
#include <gtest/gtest.h>

#include <optional>

#include "bank_fixture.h"
#include "editions.h"
#include "history.h"
#include "numbering.h"
#include "pg_server.h"
#include "pool_operations.h"
#include "text.h"

namespace {

using pools::editionRules;
using bank::schema::Kind;

class OperationsHistory : public PoolsBank, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    PoolsBank::SetUp();
    if (!GetParam()) return;
    conn.close();
    server.emplace();
    bank::schema::createServerBank(server->uri());
    conn.open(server->uri());
  }
  // The newest kept version of numQ as name=value, as record() reads a record.
  std::pair<std::string, std::map<std::string, std::string>> newest(Kind kind, const std::string& numQ) {
    auto v = store::history::versions(conn, kind, numQ);
    if (v.empty()) return {};
    std::map<std::string, std::string> row;
    for (const auto& [name, value] : v.front().fields)
      row[store::lowerAscii(name)] = value.isNull() ? "<Null>" : value.toString();
    return {v.front().operation, row};
  }
  // A question as name=value, the names in lower case (as a server gives them).
  std::map<std::string, std::string> record(Kind kind, const std::string& numQ) {
    std::map<std::string, std::string> row;
    for (const auto& [name, value] : question(bank::schema::tableName(kind), numQ)) row[store::lowerAscii(name)] = value;
    return row;
  }
  std::optional<testing_support::ServerDb> server;
};

INSTANTIATE_TEST_SUITE_P(Engines, OperationsHistory, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Server" : "File"; });

struct Case {
  const char* operation;
  Kind kind;
  const char* numQ;  // the record the operation changes or deletes
  std::function<void(store::Connection&)> setUp;
  std::function<void(store::Connection&)> run;
};

TEST_P(OperationsHistory, EachOperationKeepsTheRecordItReplacesUnderItsName) {
  const std::vector<Case> cases = {
      {"COPY", Kind::SC, "13001",
       [&](store::Connection&) {
         add("SCtbl", {{"numQ", "12001"}, {"src", "O120"}, {"question", "old stem"}, {"choiceA", "old A"}});
         add("12to13SC", {{"12th", 1}, {"13th", 1}});
       },
       [](store::Connection& c) { pools::copyEdition(c, editionRules(Kind::SC)); }},
      {"COPY2", Kind::SC, "13001", [&](store::Connection&) { add("answerkey13SC", {{"number", 1}, {"key", "D"}}); },
       [](store::Connection& c) { pools::updateAnswerKeys(c, editionRules(Kind::SC)); }},
      {"Fix numQ", Kind::PS, "009001",
       [&](store::Connection&) { add("PStbl", {{"numQ", "009001"}, {"src", "O130"}, {"question", "ps stem"}}); },
       [](store::Connection& c) { pools::fixQuestionNumbers(c, editionRules(Kind::PS)); }},
      {"Delete Question", Kind::SC, "05002",
       [&](store::Connection& c) { pools::addPool(c, "SCtbl", "X", "050", 2); },
       [](store::Connection& c) { pools::deleteLastQuestions(c, "SCtbl", "X050", 1); }},
      {"Delete Pool", Kind::CR, "06001",
       [&](store::Connection& c) { pools::addPool(c, "CRtbl", "Y", "060", 1); },
       [](store::Connection& c) { pools::deletePool(c, "CRtbl", "Y060"); }},
  };
  add("SCtbl", {{"numQ", "13001"}, {"src", "O130"}, {"answer", "A"}, {"questionHeight", 1.5}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    c.setUp(conn);
    const std::map<std::string, std::string> before = record(c.kind, c.numQ);
    ASSERT_FALSE(before.empty());
    c.run(conn);
    EXPECT_NE(record(c.kind, c.numQ), before);
    const auto [operation, kept] = newest(c.kind, c.numQ);
    EXPECT_EQ(operation, c.operation);
    EXPECT_EQ(kept, before);
  }
  // The deleted ones are in the trash, each as its operation left it.
  const auto trash = store::history::trash(conn);
  ASSERT_EQ(trash.size(), 2u);
  EXPECT_EQ(trash[0].operation, "Delete Pool");
  EXPECT_EQ(trash[0].pool, "Y060");
  EXPECT_EQ(trash[1].numbers, std::vector<std::string>{"05002"});
}

TEST_P(OperationsHistory, AnEditionPoolCreatedKeepsNothingAndAFailedOperationKeepsNothing) {
  pools::createEditionPool(conn, editionRules(Kind::SC), "O130", 2, "2");
  EXPECT_TRUE(store::history::versions(conn, Kind::SC, "13001").empty());
  add("SCtbl", {{"numQ", "12001"}, {"src", "O120"}, {"question", "old stem"}});
  add("12to13SC", {{"12th", 1}, {"13th", 1}});
  add("12to13SC", {{"12th", 2}, {"13th", 9}});  // no question 13009: the copy fails whole
  EXPECT_NE(failureOf([&] { pools::copyEdition(conn, editionRules(Kind::SC)); }), 0);
  EXPECT_TRUE(store::history::versions(conn, Kind::SC, "13001").empty());
}

}  // namespace
