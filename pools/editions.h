#pragma once
// Edition pools and edition copies: "OG" creates the bare records of a new edition's pool,
// "COPY" fills them from the old edition through the mapping table, "COPY2" loads the
// answer keys, "Fix numQ" renumbers, and "dbl" finds questions with two equal choices.
// Each writing operation is all or nothing: on any failure it throws store::DbError and
// the bank is as it was before.

#include <string>
#include <vector>

#include "connection.h"
#include "edition_rules.h"
#include "pool_operations.h"

namespace pools {

// Numbers of the failures that these operations report themselves.
namespace editionErr {
inline constexpr long MissingQuestion = 3021;  // no current record: a question the operation needs
inline constexpr long DuplicateNumber = 3022;  // the number would be a duplicate key
inline constexpr long BadRunningNumber = 94;   // a Null, empty or not whole running number
inline constexpr long InvalidInput = kInvalidInput;  // a pool name or count that the operation refuses
}  // namespace editionErr

// The pool name is a letter, the two edition digits and at most one more digit ("O13",
// "O130"), and long enough for the characters the kind counts.
bool editionPoolNameValid(const EditionRules& rules, const std::string& og);
// The prefix of the new question numbers of edition pool og.
std::string editionPrefix(const EditionRules& rules, const std::string& og);

// Creates count bare questions of pool og numbered after the questions of the pools whose
// name begins like og's; qnumberText is RC's Qnumber. Returns the numbers created.
std::vector<std::string> createEditionPool(store::Connection& conn, const EditionRules& rules, const std::string& og,
                                           long count, const std::string& qnumberText,
                                           const Progress& progress = {});

// Copies the kind's fields from each old question onto its new number; returns the rows copied.
long copyEdition(store::Connection& conn, const EditionRules& rules, const Progress& progress = {});

// Sets the answers of the new numbers from the answer-key table; returns the answers set.
long updateAnswerKeys(store::Connection& conn, const EditionRules& rules, const Progress& progress = {});

// Moves each question that exists among fixFrom + 001..fixCount to fixTo + the same running
// number; refuses (3022) when a target number exists. Returns the questions moved.
long fixQuestionNumbers(store::Connection& conn, const EditionRules& rules, const Progress& progress = {});

// "numQ update completed." with how many questions the renumbering moved.
std::string renumberingReport(long moved);

// The number that the renumbering gives numQ; empty when it does not move it.
std::string renumberedQuestion(const EditionRules& rules, const std::string& numQ);

struct DuplicateFinding {
  std::string numQ;
  std::string label;  // "ERROR: A=C "
  std::string first, second;
};
// One finding as a line: number, label, the two texts in double quotes.
std::string findingLine(const DuplicateFinding& f);

// The first pair of equal choices of each examined question, in the database's order;
// examined holds the last question examined (empty when there was none).
std::vector<DuplicateFinding> findDuplicateChoices(store::Connection& conn, const EditionRules& rules,
                                                   std::string* examined = nullptr, const Progress& progress = {});

}  // namespace pools
