#include "statements.h"

#include "dialect.h"

namespace store::statements {

namespace {
std::string s(std::string_view v) { return std::string(v); }
}  // namespace

std::string poolsInOrder(std::string_view table) { return "select distinct src from " + s(table) + " order by src;"; }

std::string questionsOfPool(std::string_view table, std::string_view pool) {
  return "select distinct numQ from " + s(table) + " where src='" + sqlText(pool) + "' order by numQ;";
}

std::string numbersOfPool(std::string_view table, std::string_view pool) {
  return "select numQ from " + s(table) + " where src='" + sqlText(pool) + "' order by numQ;";
}

std::string questionByNumber(std::string_view table, std::string_view numQ) {
  return "select * from " + s(table) + " where numQ='" + sqlText(numQ) + "';";
}

std::string questionSource(std::string_view table, std::string_view numQ) {
  return s(table) + " where numQ='" + sqlText(numQ) + "'";
}

std::string topicsOfType(std::string_view type) {
  return "select distinct numQ from AWAtbl where type='" + sqlText(type) + "' order by numQ;";
}

std::string poolsOfNumbersWithPrefix(std::string_view table, std::string_view prefix) {
  return "select distinct src from " + s(table) + " where " + s(table) + ".numQ Like '" + sqlText(prefix) + "%';";
}

std::string usedNumberPrefixes(std::string_view table) {
  return "select distinct Mid(numQ, 1, 3) as prefix from " + s(table) + ";";
}

std::string countQuestionNumber(std::string_view table, std::string_view numQ) {
  return "select count(*) as numQCount from " + s(table) + " where (" + s(table) + ".numQ = '" + sqlText(numQ) + "')";
}

std::string countPoolQuestions(std::string_view table, std::string_view pool) {
  return "select count(*) as numQCount from " + s(table) + " where (" + s(table) + ".src = '" + sqlText(pool) + "')";
}

std::string deletePool(std::string_view table, std::string_view pool) {
  return "delete * from " + s(table) + " where (src='" + sqlText(pool) + "');";
}

std::string deletePoolQuestionsFrom(std::string_view table, std::string_view firstNumQ, std::string_view pool) {
  return "delete from " + s(table) + " where (" + s(table) + ".numQ >= '" + sqlText(firstNumQ) + "' and " + s(table) +
         ".src = '" + sqlText(pool) + "')";
}

std::string countEditionQuestions(std::string_view table, std::string_view poolPrefix) {
  return "select count(*) as numQCount from " + s(table) + " where (" + s(table) + ".src like \"" +
         sqlTextInDoubleQuotes(poolPrefix) + "%\");";
}

namespace {
constexpr const char* kNumberAndChoices = "select numQ, choiceA, choiceB, choiceC, choiceD, choiceE from ";
}  // namespace

std::string choicesOfQuestionsWhoseTextContains(std::string_view table, std::string_view text) {
  return kNumberAndChoices + s(table) + " where question like \"%" + sqlTextInDoubleQuotes(text) + "%\";";
}

std::string choicesOfAllQuestions(std::string_view table) { return kNumberAndChoices + s(table) + ";"; }

std::string poolsOfSource(std::string_view table) { return "select distinct src from " + s(table) + ";"; }

std::string memoNumbers() { return "select distinct numQ from tblMemo;"; }

std::string copyPoolIntoImportTable(std::string_view table, std::string_view pool) {
  return "select * into ImportTbl from " + s(table) + " where src='" + sqlText(pool) + "';";
}

std::string insertImportedPool(std::string_view table) { return "insert into " + s(table) + " select * from ImportTbl;"; }

std::string sourceMemo(std::string_view numQ) { return "select * from tblMemo where numQ = '" + sqlText(numQ) + "'"; }

std::string bankMemo(std::string_view numQ) { return "select * from tblMemo where numQ='" + sqlText(numQ) + "'"; }

std::string everyRowOf(std::string_view table) { return "select * from " + s(table) + ";"; }

std::string everyFieldOf(std::string_view tableSource) { return "select * from " + s(tableSource); }

}  // namespace store::statements
