// Jet expressions keep their Jet meaning through the translator, or are refused by name.
#include <gtest/gtest.h>

#include "db_error.h"
#include "jet_sql.h"
#include "support.h"

using namespace std::string_literals;
using namespace store;
using namespace testing_support;

namespace {

class JetExpressions : public ::testing::TestWithParam<BankEngine> {
 protected:
  void SetUp() override {
    bank.open(conn);
    addQuestion(conn, "SCtbl", "01201", "X012");
    conn.execute("update SCtbl set questionHeight = 1.5 where numQ = '01201'");
  }
  // The one value of a one-row select.
  std::string v(const std::string& expression) {
    return rowsOf(conn, "select " + expression + " as v from SCtbl");
  }
  DbError refusal(const std::string& statement) {
    try {
      conn.execute(statement);
    } catch (const DbError& e) {
      return e;
    }
    ADD_FAILURE() << "ran: " << statement;
    return DbError(0, "");
  }
  NewBank bank{GetParam()};
  Connection conn;
};

INSTANTIATE_TEST_SUITE_P(Engines, JetExpressions, ::testing::Values(BankEngine::File, BankEngine::Server), engineName);

TEST_P(JetExpressions, PlusJoinsTwoTexts) { EXPECT_EQ(v("'a' + 'b'"), "ab\n"); }

TEST_P(JetExpressions, AmpersandJoinsTextsAndTakesNullAsEmpty) {
  EXPECT_EQ(v("'a' & 'b'"), "ab\n");
  EXPECT_EQ(v("'a' & Null"), "a\n");
  EXPECT_EQ(v("src & 1"), "X0121\n");
}

TEST_P(JetExpressions, PlusOnFieldsJoinsTextAndAddsNumbers) {
  EXPECT_EQ(v("src + '!'"), "X012!\n");
  EXPECT_EQ(v("questionHeight + 1"), "2.5\n");
  EXPECT_EQ(v("src + Null"), "\n");
}

TEST_P(JetExpressions, ExponentNumbersAreNumbers) { EXPECT_EQ(v("1e3"), "1000\n"); }
TEST_P(JetExpressions, NumbersMayBeginWithTheDecimalPoint) { EXPECT_EQ(v(".5 + 1"), "1.5\n"); }
TEST_P(JetExpressions, NegativeNumbers) { EXPECT_EQ(v("-2 - -2"), "0\n"); }

TEST_P(JetExpressions, TrueIsMinusOneAndFalseZero) {
  EXPECT_EQ(v("True"), "-1\n");
  EXPECT_EQ(v("False"), "0\n");
  EXPECT_EQ(v("(numQ = '01201')"), "-1\n");
}

TEST_P(JetExpressions, DivisionKeepsTheFraction) { EXPECT_EQ(v("5 / 2"), "2.5\n"); }

TEST_P(JetExpressions, TextComparesWithoutRegardToCase) {
  EXPECT_EQ(rowsOf(conn, "select numQ from SCtbl where 'abc' = 'ABC'"), "01201\n");
  EXPECT_EQ(rowsOf(conn, "select numQ from SCtbl where lcase(src) = 'X012'"), "01201\n");
}

TEST_P(JetExpressions, AKeywordInsideATextDoesNotMakeTheSetReadOnly) {
  Recordset rs;
  rs.open("select * from SCtbl where src <> ' GROUP BY '", conn, adOpenKeyset, adLockOptimistic);
  rs.setValue("answer", "C");
  rs.update();
  rs.close();
  EXPECT_EQ(rowsOf(conn, "select answer from SCtbl"), "C\n");
}

TEST_P(JetExpressions, GroupedAndAggregatedSetsAreReadOnly) {
  Translation t = conn.session().translate("select src from SCtbl group by src");
  EXPECT_TRUE(t.grouped);
  EXPECT_FALSE(t.updatableTable);
  EXPECT_FALSE(conn.session().translate("select count(*) as n from SCtbl").updatableTable);
}

TEST_P(JetExpressions, ASecondStatementAfterTheSemicolonIsRefused) {
  EXPECT_EQ(refusal("select numQ from SCtbl; delete from SCtbl").number, err::CommandError);
  EXPECT_EQ(rowsOf(conn, "select numQ from SCtbl"), "01201\n");
}

TEST_P(JetExpressions, DatesAreRefusedByName) {
  DbError e = refusal("select numQ from SCtbl where numQ = #2026-01-01#");
  EXPECT_EQ(e.number, err::CommandError);
  EXPECT_NE(e.description.find("#2026-01-01#"), std::string::npos) << e.description;
}

TEST_P(JetExpressions, UnknownFormsAreRefusedNamingTheToken) {
  for (auto [statement, token] : {std::pair{"select &H1F as v from SCtbl", "&H1F"},
                                  {"select numQ from SCtbl where src = 'a' xor src = 'b'", "xor"},
                                  {"select numQ from SCtbl where numQ like '[0]%'", "[0]%"},
                                  {"select 7 mod 2 as v from SCtbl", "mod"},
                                  {"select top 1 numQ from SCtbl", "top"},
                                  {"select numQ, count(*) as n from SCtbl", "numq"},
                                  {"select numQ from SCtbl order by 1", "field"},
                                  {"select rowid from SCtbl", "rowid"}}) {
    SCOPED_TRACE(statement);
    DbError e = refusal(statement);
    EXPECT_EQ(e.number, err::CommandError);
    EXPECT_NE(e.description.find(token), std::string::npos) << e.description;
  }
}

// What the fuzzer found, cut down to the smallest input that shows it.
TEST_P(JetExpressions, FuzzFindings) {
  // A NUL inside a text ended the statement there for the engine.
  EXPECT_EQ(refusal("delete from SCtbl where src = 'a\0' or 1 = 1"s).number, err::CommandError);
  EXPECT_EQ(rowsOf(conn, "select numQ from SCtbl"), "01201\n");
  // Chains were nested one parenthesis per operator, past the engine's parser stack.
  std::string chain = "'a'", sum = "1";
  for (int i = 0; i < 299; ++i) {
    chain += " & 'a'";
    sum += " + 1";
  }
  EXPECT_EQ(v(chain), std::string(300, 'a') + "\n");
  EXPECT_EQ(v(sum), "300\n");
  std::string compares = "1";
  for (int i = 0; i < 60; ++i) compares += " <> 1";
  EXPECT_EQ(refusal("select " + compares + " as v from SCtbl").number, err::CommandError);
  // Deep parentheses ran the parser out of stack.
  EXPECT_EQ(refusal("select " + std::string(100000, '(') + "1").number, err::CommandError);
}

}  // namespace
