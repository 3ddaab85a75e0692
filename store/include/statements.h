#pragma once
// Every Jet statement text that the program builds, one function per statement, named for
// what it asks. Table names are the program's own; every value passes through sqlText, so
// for ordinary values the text is exactly what the log shows and the engine runs, and a
// value holding a quote stays data.

#include <string>
#include <string_view>

namespace store::statements {

// ----- a question table: pools, questions, one question
// "select distinct src from SCtbl order by src;"
std::string poolsInOrder(std::string_view table);
// "select distinct numQ from SCtbl where src='X012' order by numQ;"
std::string questionsOfPool(std::string_view table, std::string_view pool);
// "select numQ from SCtbl where src='X012' order by numQ;" (every number, for deleting the last ones)
std::string numbersOfPool(std::string_view table, std::string_view pool);
// "select * from SCtbl where numQ='01201';" (loading one question for display)
std::string questionByNumber(std::string_view table, std::string_view numQ);
// "SCtbl where numQ='01201'": a table source, opened updatable with the table option.
std::string questionSource(std::string_view table, std::string_view numQ);
// "select distinct numQ from AWAtbl where type='A' order by numQ;" (type "A" or "I")
std::string topicsOfType(std::string_view type);

// ----- question numbers and pools
// "select distinct src from SCtbl where SCtbl.numQ Like '012%';": the pools whose questions
// begin with a pool number.
std::string poolsOfNumbersWithPrefix(std::string_view table, std::string_view prefix);
// "select distinct Mid(numQ, 1, 3) as prefix from SCtbl;": the pool numbers a table uses.
std::string usedNumberPrefixes(std::string_view table);
// "select count(*) as numQCount from SCtbl where (SCtbl.numQ = '01201')"
std::string countQuestionNumber(std::string_view table, std::string_view numQ);
// "select count(*) as numQCount from SCtbl where (SCtbl.src = 'X012')"
std::string countPoolQuestions(std::string_view table, std::string_view pool);
// "delete * from SCtbl where (src='X012');"
std::string deletePool(std::string_view table, std::string_view pool);
// "delete from SCtbl where (SCtbl.numQ >= '01204' and SCtbl.src = 'X012')"
std::string deletePoolQuestionsFrom(std::string_view table, std::string_view firstNumQ, std::string_view pool);
// "select count(*) as numQCount from SCtbl where (SCtbl.src like "O13%");": the pattern
// stands in double quotes.
std::string countEditionQuestions(std::string_view table, std::string_view poolPrefix);

// ----- duplicate-choice check
// "select numQ, choiceA, choiceB, choiceC, choiceD, choiceE from SCtbl where question like "%that%";":
// the questions examined with their five choices.
std::string choicesOfQuestionsWhoseTextContains(std::string_view table, std::string_view text);
// "select numQ, choiceA, choiceB, choiceC, choiceD, choiceE from CRtbl;"
std::string choicesOfAllQuestions(std::string_view table);

// ----- pool and memo import
// "select distinct src from SCtbl;" (the pools of an import source)
std::string poolsOfSource(std::string_view table);
// "select distinct numQ from tblMemo;"
std::string memoNumbers();
// "select * into ImportTbl from SCtbl where src='X012';"
std::string copyPoolIntoImportTable(std::string_view table, std::string_view pool);
// "insert into SCtbl select * from ImportTbl;"
std::string insertImportedPool(std::string_view table);
// "select * from tblMemo where numQ = '01201'" (the source's memo; blanks around =)
std::string sourceMemo(std::string_view numQ);
// "select * from tblMemo where numQ='01201'" (the bank's memo)
std::string bankMemo(std::string_view numQ);
// "select * from SCtbl;": translated only, so that a linked table's file is attached first.
std::string everyRowOf(std::string_view table);

// ----- the database component itself
// "select * from " + source: what a record set opened on a table source reads.
std::string everyFieldOf(std::string_view tableSource);

}  // namespace store::statements
