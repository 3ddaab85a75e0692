#include "pool_operations.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "db_error.h"
#include "kind_registry.h"
#include "numbering.h"
#include "operation.h"
#include "recordset.h"
#include "schema.h"
#include "statements.h"

namespace pools {

namespace sql = store::statements;

long countOf(store::Connection& conn, const std::string& statement) {
  store::Recordset rs;
  rs.open(statement, conn, store::adOpenDynamic, store::adLockReadOnly);
  long n = static_cast<long>(rs.value("numQCount").toInt());
  rs.close();
  return n;
}

std::vector<std::string> freePoolNumbers(store::Connection& conn, const Progress& progress) {
  // One read of the numbers in use per table, not a count per number and table: on a server
  // each statement is a round trip.
  std::set<std::string> used;
  for (bank::schema::Kind k : bank::schema::choiceKinds()) {
    store::Recordset rs;
    rs.open(sql::usedNumberPrefixes(bank::schema::tableName(k)), conn, store::adOpenDynamic, store::adLockReadOnly);
    for (; !rs.eof(); rs.moveNext())
      if (!rs.value("prefix").isNull()) used.insert(rs.value("prefix").toString());
    rs.close();
  }
  std::vector<std::string> free;
  for (int n = 0; n < 1000; ++n) {
    if (progress) progress(n, 1000);
    const std::string prefix = format000(n);
    if (!used.count(prefix)) free.push_back(prefix);
  }
  return free;
}

namespace {

// The field of the table's kind that holds what.
std::string fieldOf(const std::string& table, bank::schema::Holds what) {
  const auto kind = bank::schema::kindWithTable(table);
  const char* field = kind ? bank::schema::fieldFor(*kind, what) : nullptr;
  if (!field) throw std::logic_error(table + " is not the table of a question kind with pools");
  return field;
}

}  // namespace

bool addQuestionIfNew(store::Connection& conn, const std::string& table, const std::string& pool,
                      const std::string& number) {
  if (countOf(conn, sql::countQuestionNumber(table, number)) != 0) return false;
  store::Recordset rs;
  rs.open(table, conn, store::adOpenKeyset, store::adLockOptimistic);
  rs.addNew();
  rs.setValue(fieldOf(table, bank::schema::Holds::Pool), pool);
  rs.setValue("numQ", number);
  rs.setValue(fieldOf(table, bank::schema::Holds::Answer), "A");
  rs.update();
  rs.close();
  return true;
}

long questionsInPool(store::Connection& conn, const std::string& table, const std::string& pool) {
  return countOf(conn, sql::countPoolQuestions(table, pool));
}

namespace {

void refuse(const std::string& problem) {
  if (!problem.empty()) throw store::DbError(kInvalidInput, problem);
}

// Questions poolNumber + index for index first..last, skipping numbers that exist.
void addNumbers(store::Connection& conn, const std::string& table, const std::string& pool,
                const std::string& poolNumber, long first, long last) {
  for (long i = first; i <= last; ++i) addQuestionIfNew(conn, table, pool, ordinaryQuestionNumber(poolNumber, i));
}

}  // namespace

std::string addedCountProblem(long current, long count) {
  if (count < 1) return kCountNotAboveZero;
  if (current + count > kMostQuestionsInPool) return kTooManyQuestions;
  return {};
}

std::string deletedCountProblem(long current, long count) {
  if (count < 1) return kCountNotAboveZero;
  if (count >= current) return kNotFewerThanPool;
  return {};
}

std::string newPoolNameProblem(const std::string& letter, const std::string& poolNumber) {
  const bool threeDigits = poolNumber.size() == 3 && std::all_of(poolNumber.begin(), poolNumber.end(), [](char c) {
                             return c >= '0' && c <= '9';
                           });
  return poolLetterAllowed(letter) && threeDigits ? std::string() : kInvalidPoolName;
}

namespace {

std::string addedMeanwhileText(const std::string& wanted, const std::string& theirs) {
  if (store::equalsIgnoringCase(wanted, theirs))
    return "The pool " + theirs + " was added meanwhile by another user; nothing was added.";
  return "The pool number " + poolNumberOf(theirs) + " was taken meanwhile by another user's pool " + theirs + "; " +
         wanted + " was not added.";
}

// The pool of the table whose name ends in poolNumber and whose questions begin with it; empty
// when there is none.
std::string poolNumbered(store::Connection& conn, const std::string& table, const std::string& poolNumber) {
  store::Recordset rs;
  rs.open(sql::poolsOfNumbersWithPrefix(table, poolNumber), conn, store::adOpenDynamic, store::adLockReadOnly);
  const std::string poolField = fieldOf(table, bank::schema::Holds::Pool);
  std::string found;
  for (; !rs.eof() && found.empty(); rs.moveNext())
    if (const std::string pool = rs.value(poolField).toString(); poolNumberOf(pool) == poolNumber) found = pool;
  rs.close();
  return found;
}

}  // namespace

PoolAddedMeanwhile::PoolAddedMeanwhile(const std::string& wanted, std::string theirs)
    : store::DbError(kPoolAddedMeanwhile, addedMeanwhileText(wanted, theirs)), pool(std::move(theirs)) {}

std::string addPool(store::Connection& conn, const std::string& table, const std::string& letter,
                    const std::string& poolNumber, long count) {
  refuse(newPoolNameProblem(letter, poolNumber));
  refuse(addedCountProblem(0, count));
  const std::string pool = letter + poolNumber;
  // The number was free when it was listed. Another user's pool of that number was added before
  // this transaction began (a file holds the whole bank from here), or, on a server, is added
  // while it runs: its first question number is then a repeated key once theirs is committed.
  auto refuseIfAddedMeanwhile = [&] {
    if (std::string theirs = poolNumbered(conn, table, poolNumber); !theirs.empty())
      throw PoolAddedMeanwhile(pool, std::move(theirs));
  };
  // One commit: a failure part-way leaves no part of the pool, and the log is emptied once.
  store::Transaction tx(conn);
  refuseIfAddedMeanwhile();
  try {
    addNumbers(conn, table, pool, poolNumber, 1, count);
  } catch (const store::DbError& e) {
    if (store::isKeyViolation(e)) refuseIfAddedMeanwhile();
    throw;
  }
  tx.commit();
  return pool;
}

void addQuestionsToPool(store::Connection& conn, const std::string& table, const std::string& pool, long count) {
  store::Transaction tx(conn);
  const long current = questionsInPool(conn, table, pool);
  refuse(addedCountProblem(current, count));
  addNumbers(conn, table, pool, poolNumberOf(pool), current + 1, current + count);
  tx.commit();
}

void deletePool(store::Connection& conn, const std::string& table, const std::string& pool) {
  bank::OperationTag tag(conn, bank::Operation::DeletePool);
  store::Recordset rs;
  rs.open(sql::deletePool(table, pool), conn, store::adOpenDynamic, store::adLockOptimistic);
  rs.close();
  tag.commit();
}

void deleteLastQuestions(store::Connection& conn, const std::string& table, const std::string& pool, long count) {
  bank::OperationTag tag(conn, bank::Operation::DeleteQuestion);
  store::Transaction tx(conn);
  refuse(deletedCountProblem(questionsInPool(conn, table, pool), count));
  // The first number to go is the count-th from the end of the pool's own numbers, not one
  // computed from the pool's size: with gaps in the numbering that would take more or fewer.
  std::vector<std::string> numbers;
  store::Recordset list;
  list.open(sql::numbersOfPool(table, pool), conn, store::adOpenDynamic, store::adLockReadOnly);
  for (; !list.eof(); list.moveNext()) numbers.push_back(list.value("numQ").toString());
  list.close();
  if (numbers.empty()) return;
  const std::string first = numbers[numbers.size() - static_cast<size_t>(std::min<long>(count, static_cast<long>(numbers.size())))];
  store::Recordset rs;
  rs.open(sql::deletePoolQuestionsFrom(table, first, pool), conn, store::adOpenDynamic, store::adLockOptimistic);
  rs.close();
  tx.commit();
  tag.commit();
}

}  // namespace pools
