#include "editions.h"

#include <array>
#include <memory>

#include "db_error.h"
#include "numbering.h"
#include "operation.h"
#include "recordset.h"
#include "statements.h"

namespace pools {

using store::DbError;
using store::Recordset;
using store::Value;
namespace sql = store::statements;

namespace {

// A question opened for update the way the editor opens the one on screen; a missing one
// is a failure that names its number.
std::unique_ptr<Recordset> openQuestion(store::Connection& conn, const std::string& table, const std::string& number) {
  auto rs = std::make_unique<Recordset>();
  rs->cursorType = store::adOpenKeyset;
  rs->lockType = store::adLockOptimistic;
  rs->open(sql::questionSource(table, number), conn, store::adOpenUnspecified, store::adLockUnspecified,
           store::adCmdTable);
  if (rs->eof()) {
    rs->close();
    throw DbError(editionErr::MissingQuestion, "The question " + number + " does not exist in " + table + ".");
  }
  return rs;
}

bool isEmptyNumber(const Value& v) { return v.isNull() || (v.isText() && v.text().empty()); }

// A running number of a mapping or answer-key row, as a whole number.
long runningNumber(const Value& v, const char* table, long row, const char* field) {
  std::optional<long> n;
  if (!isEmptyNumber(v)) n = wholeNumber(v.toString());
  if (!n)
    throw DbError(editionErr::BadRunningNumber, std::string("Row ") + std::to_string(row) + " of " + table +
                                                    " has no whole number in " + field + ".");
  return *n;
}

// The rows of a mapping or answer-key table in table order.
struct TableRows {
  TableRows(store::Connection& conn, const char* table) {
    rs.open(table, conn, store::adOpenKeyset, store::adLockReadOnly);
    if (!rs.eof()) {
      rs.moveLast();
      rs.moveFirst();
    }
    total = rs.recordCount();
  }
  ~TableRows() {
    if (rs.isOpen()) rs.close();
  }
  Recordset rs;
  long total = 0;
};

std::string lastChar(const std::string& s) {
  size_t pos = s.size();
  while (pos > 0 && (static_cast<unsigned char>(s[pos - 1]) & 0xC0) == 0x80) --pos;
  return pos > 0 ? s.substr(pos - 1) : std::string();
}

}  // namespace

bool editionPoolNameValid(const EditionRules& rules, const std::string& og) {
  // The digits become the prefix of the question numbers, and the leading characters the
  // pattern that counts the edition's questions: a wildcard, a separator or a longer number
  // in them would number questions that the edition does not hold.
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (og.size() < 3 || og.size() > 4 || og.size() < static_cast<size_t>(rules.countedChars)) return false;
  if (!letter(og[0])) return false;
  for (size_t i = 1; i < og.size(); ++i)
    if (!digit(og[i])) return false;
  return true;
}

std::string editionPrefix(const EditionRules& rules, const std::string& og) {
  if (rules.fixedPrefix) return rules.fixedPrefix;
  const std::string head = firstChars(og, 3);
  return head.substr(firstChars(og, 1).size()) + rules.editionSuffix;
}

static std::vector<std::string> createEditionPoolOnce(store::Connection& conn, const EditionRules& rules, const std::string& og,
                                           long count, const std::string& qnumberText, const Progress& progress) {
  if (!editionPoolNameValid(rules, og)) throw DbError(editionErr::InvalidInput,
                  "Invalid Pool Name: '" + og + "' is not a letter followed by the two edition digits and at most one "
                  "more digit (such as O130); no question was created.");
  if (const std::string why = addedCountProblem(0, count); !why.empty()) throw DbError(editionErr::InvalidInput, why);
  const std::string table = rules.table;
  bank::OperationTag tag(conn, bank::Operation::EditionPool);
  store::Transaction tx(conn);
  const long existing =
      countOf(conn, sql::countEditionQuestions(table, firstChars(og, static_cast<size_t>(rules.countedChars))));
  const std::string prefix = editionPrefix(rules, og);
  std::vector<std::string> created;
  for (long i = 1; i <= count; ++i) {
    if (progress) progress(i - 1, count);
    const std::string number = editionQuestionNumber(prefix, existing + i);
    if (countOf(conn, sql::countQuestionNumber(table, number)) != 0)
      throw DbError(editionErr::DuplicateNumber,
                    "The question number " + number + " already exists in " + table + "; no question was created.");
    Recordset rs;
    rs.open(table, conn, store::adOpenKeyset, store::adLockOptimistic);
    rs.addNew();
    rs.setValue(bank::schema::fieldFor(rules.kind, bank::schema::Holds::Pool), og);
    rs.setValue("numQ", number);
    rs.setValue(bank::schema::fieldFor(rules.kind, bank::schema::Holds::Answer), "A");
    if (rules.countField) rs.setValue(rules.countField, qnumberText);
    rs.update();
    rs.close();
    created.push_back(number);
  }
  tx.commit();
  tag.commit();
  return created;
}

static long copyEditionOnce(store::Connection& conn, const EditionRules& rules, const Progress& progress) {
  const std::string table = rules.table;
  bank::OperationTag tag(conn, bank::Operation::EditionCopy);
  store::Transaction tx(conn);
  long copied = 0;
  {
    TableRows map(conn, rules.mappingTable);
    for (long row = 1; !map.rs.eof(); ++row, map.rs.moveNext()) {
      if (progress) progress(row - 1, map.total);
      const Value old = map.rs.value(rules.oldField);
      if (old.isNull() || (rules.skipsEmptyOld && isEmptyNumber(old))) continue;
      const long from = runningNumber(old, rules.mappingTable, row, rules.oldField);
      const long to = runningNumber(map.rs.value(rules.newField), rules.mappingTable, row, rules.newField);
      auto source = openQuestion(conn, table, editionQuestionNumber(rules.oldPrefix, from));
      auto target = openQuestion(conn, table, editionQuestionNumber(rules.newPrefix, to));
      if (rules.passageField) {
        const long passage = runningNumber(map.rs.value(rules.passageField), rules.mappingTable, row, rules.passageField);
        target->setValue(rules.passageNumberField, std::string(rules.passagePrefix) + format00(passage) +
                                                       lastChar(source->value(rules.passageNumberField).toString()));
      }
      for (const char* f : rules.copiedFields) target->setValue(f, source->value(f));
      target->update();
      target->close();
      source->close();
      ++copied;
    }
  }
  tx.commit();
  tag.commit();
  return copied;
}

static long updateAnswerKeysOnce(store::Connection& conn, const EditionRules& rules, const Progress& progress) {
  if (!rules.answerKeyTable) throw DbError(editionErr::InvalidInput, "This kind has no answer-key table.");
  bank::OperationTag tag(conn, bank::Operation::AnswerKeys);
  store::Transaction tx(conn);
  long updated = 0;
  {
    TableRows keys(conn, rules.answerKeyTable);
    for (long row = 1; !keys.rs.eof(); ++row, keys.rs.moveNext()) {
      if (progress) progress(row - 1, keys.total);
      const Value number = keys.rs.value("number");
      if (isEmptyNumber(number)) continue;
      const long n = runningNumber(number, rules.answerKeyTable, row, "number");
      auto question = openQuestion(conn, rules.table, editionQuestionNumber(rules.answerKeyPrefix, n));
      question->setValue(bank::schema::fieldFor(rules.kind, bank::schema::Holds::Answer), keys.rs.value("key"));
      question->update();
      question->close();
      ++updated;
    }
  }
  tx.commit();
  tag.commit();
  return updated;
}

static long fixQuestionNumbersOnce(store::Connection& conn, const EditionRules& rules, const Progress& progress) {
  if (!rules.fixFrom) throw DbError(editionErr::InvalidInput, "This kind has no renumbering.");
  const std::string table = rules.table;
  auto exists = [&](const std::string& number) { return countOf(conn, sql::countQuestionNumber(table, number)) != 0; };
  bank::OperationTag tag(conn, bank::Operation::FixNumQ);
  store::Transaction tx(conn);
  // An edition pool rarely holds every number of the range: the ones it has are moved.
  // Every target is checked before the first move, so that a collision changes nothing.
  std::vector<long> present;
  for (long r = 1; r <= rules.fixCount; ++r) {
    if (!exists(editionQuestionNumber(rules.fixFrom, r))) continue;
    const std::string target = editionQuestionNumber(rules.fixTo, r);
    if (exists(target))
      throw DbError(editionErr::DuplicateNumber,
                    "The question number " + target + " already exists in " + table + "; no question was moved.");
    present.push_back(r);
  }
  const long total = static_cast<long>(present.size());
  for (long i = 0; i < total; ++i) {
    if (progress) progress(i, total);
    auto question = openQuestion(conn, table, editionQuestionNumber(rules.fixFrom, present[i]));
    question->setValue("numQ", editionQuestionNumber(rules.fixTo, present[i]));
    question->update();
    question->close();
  }
  tx.commit();
  tag.commit();
  return total;
}

std::string renumberingReport(long moved) {
  return "numQ update completed. " + std::to_string(moved) + (moved == 1 ? " question" : " questions") + " moved.";
}

std::string renumberedQuestion(const EditionRules& rules, const std::string& numQ) {
  if (!rules.fixFrom) return {};
  for (long r = 1; r <= rules.fixCount; ++r)
    if (numQ == editionQuestionNumber(rules.fixFrom, r)) return editionQuestionNumber(rules.fixTo, r);
  return {};
}

// The texts in quotes, so that empty choices and trailing blanks can be seen.
std::string findingLine(const DuplicateFinding& f) {
  return f.numQ + " " + f.label + "\"" + f.first + "\" \"" + f.second + "\"";
}

std::vector<DuplicateFinding> findDuplicateChoices(store::Connection& conn, const EditionRules& rules,
                                                   std::string* examined, const Progress& progress) {
  if (!rules.checksDuplicates) throw DbError(editionErr::InvalidInput, "This kind has no duplicate check.");
  std::vector<DuplicateFinding> findings;
  if (examined) examined->clear();
  Recordset rs;
  rs.open(rules.duplicateQuestionText ? sql::choicesOfQuestionsWhoseTextContains(rules.table, rules.duplicateQuestionText)
                                      : sql::choicesOfAllQuestions(rules.table),
          conn, store::adOpenDynamic, store::adLockReadOnly);
  const long total = rs.recordCount();
  std::array<const char*, 5> choiceFields;
  for (size_t i = 0; i < 5; ++i) choiceFields[i] = bank::schema::fieldFor(rules.kind, bank::schema::choiceAt(i));
  for (long row = 0; !rs.eof(); ++row, rs.moveNext()) {
    if (progress) progress(row, total);
    std::array<std::string, 5> choice;
    for (size_t i = 0; i < 5; ++i) choice[i] = rs.value(choiceFields[i]).toString();
    const std::string numQ = rs.value("numQ").toString();
    if (examined) *examined = numQ;
    [&] {
      for (size_t a = 0; a < 5; ++a)
        for (size_t b = a + 1; b < 5; ++b)
          if (choice[a] == choice[b]) {
            findings.push_back({numQ,
                                std::string("ERROR: ") + static_cast<char>('A' + a) + "=" +
                                    static_cast<char>('A' + b) + " ",
                                choice[a], choice[b]});
            return;
          }
    }();
  }
  rs.close();
  return findings;
}

// Each edition operation is isolated from other editors' and run again after a conflict.
std::vector<std::string> createEditionPool(store::Connection& conn, const EditionRules& rules, const std::string& og,
                                           long count, const std::string& qnumberText, const Progress& progress) {
  return store::runIsolated(conn, [&] { return createEditionPoolOnce(conn, rules, og, count, qnumberText, progress); });
}

long copyEdition(store::Connection& conn, const EditionRules& rules, const Progress& progress) {
  return store::runIsolated(conn, [&] { return copyEditionOnce(conn, rules, progress); });
}

long updateAnswerKeys(store::Connection& conn, const EditionRules& rules, const Progress& progress) {
  return store::runIsolated(conn, [&] { return updateAnswerKeysOnce(conn, rules, progress); });
}

long fixQuestionNumbers(store::Connection& conn, const EditionRules& rules, const Progress& progress) {
  return store::runIsolated(conn, [&] { return fixQuestionNumbersOnce(conn, rules, progress); });
}

}  // namespace pools
