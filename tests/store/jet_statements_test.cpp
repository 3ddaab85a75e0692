// Every statement text the editor runs, through the translator, against a real bank.
#include <gtest/gtest.h>

#include "dao.h"
#include "db_error.h"
#include "jet_sql.h"
#include "dialect.h"
#include "statements.h"
#include "support.h"

using namespace store;
using namespace testing_support;
namespace sql = store::statements;

namespace {

class JetStatements : public ::testing::TestWithParam<BankEngine> {
 protected:
  void SetUp() override {
    bank.open(conn);
    for (const char* n : {"01201", "01202", "01203"}) addQuestion(conn, "SCtbl", n, "X012");
    for (const char* n : {"13001", "13002"}) addQuestion(conn, "SCtbl", n, "O130");
    addQuestion(conn, "CRtbl", "122001", "O120");
    addQuestion(conn, "CRtbl", "04501", "X045");
    addQuestion(conn, "RCtbl", "02001", "X020");
    addQuestion(conn, "DStbl", "010001", "O130");
    addQuestion(conn, "PStbl", "009001", "O130");
    conn.execute("update SCtbl set question = '{\\rtf1 That is all}' where numQ = '01201'");
    conn.execute("insert into AWAtbl (numQ, type) values ('00001', 'A')");
    conn.execute("insert into AWAtbl (numQ, type) values ('00002', 'I')");
    conn.execute("insert into AWAtbl (numQ, type) values ('01201', 'A')");
    conn.execute("insert into tblMemo (numQ, description) values ('01201', 'memo')");
    conn.execute("insert into [12to13SC] ([12th], [13th]) values (1, 2)");
    conn.execute("insert into answerkey13SC (number, [key]) values (7, 'C')");
  }
  NewBank bank{GetParam()};
  Connection conn;
};

INSTANTIATE_TEST_SUITE_P(Engines, JetStatements, ::testing::Values(BankEngine::File, BankEngine::Server), engineName);

struct Case {
  std::string statement;
  const char* rows;  // result rows, fields joined by |
};

TEST_P(JetStatements, EveryStatementTextGivesItsMeaning) {
  const Case cases[] = {
      {sql::poolsInOrder("SCtbl"), "O130\nX012\n"},
      {sql::poolsOfSource("SCtbl"), "O130\nX012\n"},
      {sql::questionsOfPool("SCtbl", "X012"), "01201\n01202\n01203\n"},
      {sql::questionsOfPool("SCtbl", "x012"), "01201\n01202\n01203\n"},
      {sql::numbersOfPool("SCtbl", "X012"), "01201\n01202\n01203\n"},
      {sql::topicsOfType("A"), "00001\n01201\n"},
      {sql::topicsOfType("I"), "00002\n"},
      {sql::usedNumberPrefixes("RCtbl"), "020\n"},
      {sql::poolsOfNumbersWithPrefix("SCtbl", "012"), "X012\n"},
      {sql::countQuestionNumber("SCtbl", "01201"), "1\n"},
      {sql::countPoolQuestions("SCtbl", "X012"), "3\n"},
      {sql::countEditionQuestions("SCtbl", "O13"), "2\n"},
      {sql::countEditionQuestions("CRtbl", "O120"), "1\n"},
      {sql::choicesOfQuestionsWhoseTextContains("SCtbl", "that"), "01201|||||\n"},
      {sql::memoNumbers(), "01201\n"},
      {sql::sourceMemo("01201"), "01201||||memo\n"},
      {sql::bankMemo("01201"), "01201||||memo\n"},
      {"select numQ, src, answer from SCtbl where numQ='01202';", "01202|X012|A\n"},
      {"select numQ, src from RCtbl where numQ='02001';", "02001|X020\n"},
      {"select numQ, src from DStbl where numQ='010001';", "010001|O130\n"},
      {"select numQ, src from PStbl where numQ='009001';", "009001|O130\n"},
      {"select numQ, type from AWAtbl where numQ='00002';", "00002|I\n"},
      {"select [12th], [13th] from 12to13SC", "1|2\n"},
      {"select number, key from answerkey13SC", "7|C\n"},
      {sql::deletePoolQuestionsFrom("SCtbl", "01202", "X012"), ""},
      {"select numQ from SCtbl where src='X012'", "01201\n"},
      {sql::deletePool("SCtbl", "O130"), ""},
      {"select distinct src from SCtbl order by src;", "X012\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    EXPECT_EQ(rowsOf(conn, c.statement), c.rows);
  }
}

// Each statement function still builds the text that the program runs.
TEST(StatementTexts, EachFunctionBuildsItsText) {
  const std::pair<std::string, const char*> texts[] = {
      {sql::poolsInOrder("SCtbl"), "select distinct src from SCtbl order by src;"},
      {sql::questionsOfPool("SCtbl", "X012"), "select distinct numQ from SCtbl where src='X012' order by numQ;"},
      {sql::numbersOfPool("SCtbl", "X012"), "select numQ from SCtbl where src='X012' order by numQ;"},
      {sql::questionByNumber("SCtbl", "01201"), "select * from SCtbl where numQ='01201';"},
      {sql::questionSource("SCtbl", "13007"), "SCtbl where numQ='13007'"},
      {sql::topicsOfType("A"), "select distinct numQ from AWAtbl where type='A' order by numQ;"},
      {sql::poolsOfNumbersWithPrefix("SCtbl", "012"), "select distinct src from SCtbl where SCtbl.numQ Like '012%';"},
      {sql::countQuestionNumber("SCtbl", "01201"),
       "select count(*) as numQCount from SCtbl where (SCtbl.numQ = '01201')"},
      {sql::countPoolQuestions("SCtbl", "X012"), "select count(*) as numQCount from SCtbl where (SCtbl.src = 'X012')"},
      {sql::deletePool("SCtbl", "X012"), "delete * from SCtbl where (src='X012');"},
      {sql::deletePoolQuestionsFrom("SCtbl", "01204", "X012"),
       "delete from SCtbl where (SCtbl.numQ >= '01204' and SCtbl.src = 'X012')"},
      {sql::countEditionQuestions("SCtbl", "O13"),
       "select count(*) as numQCount from SCtbl where (SCtbl.src like \"O13%\");"},
      {sql::choicesOfQuestionsWhoseTextContains("SCtbl", "that"),
       "select numQ, choiceA, choiceB, choiceC, choiceD, choiceE from SCtbl where question like \"%that%\";"},
      {sql::choicesOfAllQuestions("CRtbl"), "select numQ, choiceA, choiceB, choiceC, choiceD, choiceE from CRtbl;"},
      {sql::poolsOfSource("PStbl"), "select distinct src from PStbl;"},
      {sql::memoNumbers(), "select distinct numQ from tblMemo;"},
      {sql::copyPoolIntoImportTable("SCtbl", "X012"), "select * into ImportTbl from SCtbl where src='X012';"},
      {sql::insertImportedPool("SCtbl"), "insert into SCtbl select * from ImportTbl;"},
      {sql::sourceMemo("01201"), "select * from tblMemo where numQ = '01201'"},
      {sql::bankMemo("01201"), "select * from tblMemo where numQ='01201'"},
      {sql::everyRowOf("tblMemo"), "select * from tblMemo;"},
  };
  for (const auto& [built, specified] : texts) EXPECT_EQ(built, specified);
  // A value holding the literal's own quote stays data.
  EXPECT_EQ(sql::deletePool("SCtbl", "O'B"), "delete * from SCtbl where (src='O''B');");
  EXPECT_EQ(sql::countEditionQuestions("SCtbl", "O\"1"),
            "select count(*) as numQCount from SCtbl where (SCtbl.src like \"O\"\"1%\");");
}

TEST_P(JetStatements, TableSourcesOpenedAsTables) {
  const Case cases[] = {
      {sql::questionSource("SCtbl", "13001"), "13001"},
      {"12to13SC", "1"},
      {"answerkey13SC", "7"},
      {"tblMemo", "01201"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    Recordset rs;
    rs.open(c.statement, conn, adOpenKeyset, adLockOptimistic, adCmdTable);
    rs.moveLast();
    rs.moveFirst();
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.value(rs.fieldNames()[0]).toString(), c.rows);
    rs.close();
  }
}

TEST_P(JetStatements, FormsOutsideTheDialectAreRefusedAsCommandErrors) {
  for (const char* bad : {
           "select numQ from SCtbl; drop table SCtbl",
           "select numQ from SCtbl where numQ = #2026-01-01#",
           "select IIf(answer='A', 1, 0) from SCtbl",
           "select numQ from SCtbl, CRtbl",
           "select numQ from SCtbl where numQ in (select numQ from CRtbl)",
           "pragma key='x'",
           "attach database 'x' as y",
           "select numQ from SCtbl where src='unclosed",
           "",
       }) {
    SCOPED_TRACE(bad);
    try {
      conn.execute(bad);
      ADD_FAILURE() << "ran";
    } catch (const DbError& e) {
      EXPECT_EQ(e.number, err::CommandError) << e.description;
    }
  }
  try {
    conn.execute("select numQ from NoSuchTbl");
    ADD_FAILURE();
  } catch (const DbError& e) {
    EXPECT_EQ(e.number, err::TableNotFound);
    EXPECT_NE(e.description.find("NoSuchTbl"), std::string::npos);
  }
}

TEST_P(JetStatements, APoolNameWithAnApostropheIsData) {
  const std::string pool = "O'Brien";
  addQuestion(conn, "SCtbl", "07701", pool);
  EXPECT_EQ(rowsOf(conn, "select distinct src from SCtbl where src='" + sqlText(pool) + "' order by src;"),
            "O'Brien\n");
  EXPECT_EQ(rowsOf(conn, "select count(*) as numQCount from SCtbl where (SCtbl.src = '" + sqlText(pool) + "')"),
            "1\n");
  conn.execute("delete * from SCtbl where (src='" + sqlText(pool) + "');");
  EXPECT_EQ(rowsOf(conn, "select count(*) as n from SCtbl where numQ='07701'"), "0\n");
  EXPECT_EQ(rowsOf(conn, "select count(*) as n from SCtbl"), "5\n");
}

TEST(JetTranslation, KeepsStatementsToTheLetterOfTheirMeaning) {
  TableResolver resolve = [](const std::string& n) {
    if (n == "tblMemo") return ResolvedTable{"[zxl1].[tblMemo]", "tblMemo"};
    return ResolvedTable{"[" + n + "]", n};
  };
  EXPECT_EQ(translateJetSql("delete * from SCtbl where (src='a''b');", resolve).sql,
            "DELETE FROM [SCtbl] WHERE ( [src] = 'a''b' )");
  EXPECT_EQ(translateJetSql("select * into ImportTbl from SCtbl where src='X';", resolve).sql,
            "CREATE TABLE [ImportTbl] AS SELECT * FROM [SCtbl] AS [SCtbl] WHERE [src] = 'X'");
  EXPECT_EQ(translateJetSql("insert into SCtbl select * from ImportTbl;", resolve).sql,
            "INSERT INTO [SCtbl] SELECT * FROM [ImportTbl] AS [ImportTbl]");
  Translation t = translateJetSql("select * from tblMemo where numQ = '1'", resolve);
  ASSERT_TRUE(t.updatableTable);
  EXPECT_EQ(t.updatableTable->qualified, "[zxl1].[tblMemo]");
  EXPECT_FALSE(translateJetSql("select distinct numQ from tblMemo;", resolve).updatableTable);
}

// On the server, field names are kept in lower case (Jet names reach them in any case) and a row
// is found again by its place, which the record set reads beside it.
TEST(JetTranslation, WritesTheServersDialectFromTheSameTree) {
  TableResolver resolve = [](const std::string& n) { return ResolvedTable{"\"" + n + "\"", n}; };
  EXPECT_EQ(translateJetSql("delete * from SCtbl where (SCtbl.numQ >= 'a''b');", resolve, Dialect::Postgres).sql,
            "DELETE FROM \"SCtbl\" WHERE ( \"SCtbl\".\"numq\" >= 'a''b' )");
  EXPECT_EQ(translateJetSql("select * from SCtbl S", resolve, Dialect::Postgres).sql,
            "SELECT *, \"s\".ctid::text AS \"zx_rowid__\" FROM \"SCtbl\" AS \"s\"");
}

}  // namespace
