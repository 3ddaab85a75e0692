#pragma once
// Adding and deleting pools and questions of one table, and the free pool numbers of the
// whole bank: statements over the connection, no windows. The callers check the counts
// and ask for confirmation first.

#include <functional>
#include <string>
#include <vector>

#include "connection.h"
#include "db_error.h"

namespace pools {

// Told how far a long operation has come: done of total steps.
using Progress = std::function<void(long done, long total)>;

// numQCount of a count statement.
long countOf(store::Connection& conn, const std::string& statement);

// The pool numbers 000..999 that no question number of the five tables begins with,
// ascending; progress once per number.
std::vector<std::string> freePoolNumbers(store::Connection& conn, const Progress& progress = {});

// Adds a bare question (src, numQ, answer "A") unless the number exists in the table;
// false when it existed.
bool addQuestionIfNew(store::Connection& conn, const std::string& table, const std::string& pool,
                      const std::string& number);

long questionsInPool(store::Connection& conn, const std::string& table, const std::string& pool);

// The number of a refusal of a typed count or pool name.
inline constexpr long kInvalidInput = 5;
// A pool's question numbers end in two digits.
inline constexpr long kMostQuestionsInPool = 99;

// The refusals as the user reads them.
inline constexpr const char* kCountNotAboveZero = "The number of questions must be above 0.";
inline constexpr const char* kTooManyQuestions = "Invalid number of questions";
inline constexpr const char* kNotFewerThanPool = "The number must be lower than the number of current pool";
inline constexpr const char* kInvalidPoolName = "Invalid Pool Name";

// Why count more questions cannot go into a pool that holds current: a count below 1, or
// a pool above kMostQuestionsInPool afterwards. Empty when they can.
std::string addedCountProblem(long current, long count);
// Why the last count of a pool's current questions cannot be deleted: a count below 1, or
// not one question left. Empty when they can.
std::string deletedCountProblem(long current, long count);
// Why letter + poolNumber cannot name a new pool: a letter that poolLetterAllowed refuses,
// or a pool number that is not three digits. Empty when it can.
std::string newPoolNameProblem(const std::string& letter, const std::string& poolNumber);

// The refusal of a new pool whose number another user has given a pool of the same table since
// it was listed free: pool is theirs, for the caller to show.
inline constexpr long kPoolAddedMeanwhile = 3022;  // as a repeated key
struct PoolAddedMeanwhile : store::DbError {
  PoolAddedMeanwhile(const std::string& wanted, std::string theirs);
  std::string pool;
};

// Adds pool letter + poolNumber with the questions poolNumber + 01..count, skipping
// numbers that exist; all or none of them. Refuses (kInvalidInput, the text above) what
// newPoolNameProblem or addedCountProblem(0, count) refuses, and (PoolAddedMeanwhile) a pool
// number that a pool of the table has, added meanwhile by another user. Returns the pool's name.
std::string addPool(store::Connection& conn, const std::string& table, const std::string& letter,
                    const std::string& poolNumber, long count);

// Adds count questions numbered after as many as the pool holds, skipping numbers that
// exist; all or none of them. Refuses (kInvalidInput) what addedCountProblem refuses.
void addQuestionsToPool(store::Connection& conn, const std::string& table, const std::string& pool, long count);

void deletePool(store::Connection& conn, const std::string& table, const std::string& pool);

// Deletes the last count questions of the pool in number order, gaps or not. Refuses
// (kInvalidInput) what deletedCountProblem refuses.
void deleteLastQuestions(store::Connection& conn, const std::string& table, const std::string& pool, long count);

}  // namespace pools
