#pragma once
// Adding and deleting pools and questions of one table, and the free pool numbers of the
// whole bank: statements over the connection, no windows. The callers check the counts
// and ask for confirmation first.

#include <functional>
#include <string>
#include <vector>

#include "connection.h"

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

// Questions pool number + index for index first..last, skipping numbers that exist; all
// or none of them.
void addPoolQuestions(store::Connection& conn, const std::string& table, const std::string& pool,
                      const std::string& poolNumber, long first, long last);

void deletePool(store::Connection& conn, const std::string& table, const std::string& pool);

// Deletes the last count questions of the pool in number order, gaps or not.
void deleteLastQuestions(store::Connection& conn, const std::string& table, const std::string& pool, long count);

}  // namespace pools
