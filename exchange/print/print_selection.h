#pragma once
// Which questions a printout holds, and in what order: a kind, a pool or a number prefix of
// the bank (an edition), or a list named by a window (the question on screen, the hits of a
// search). Only numbers are gathered here; each question is read when its turn comes.

#include <string>
#include <vector>

#include "connection.h"
#include "kind_registry.h"

namespace exchange::print {

using bank::schema::Kind;

struct QuestionRef {
  Kind kind;
  std::string numQ;
  bool operator==(const QuestionRef&) const = default;
};

struct Selection {
  std::vector<Kind> kinds = {};  // empty: every kind
  std::string pool = {};     // empty: every pool; compared without regard to case. AWA: "A"/"Argument", "I"/"Issue"
  std::string numberPrefix = {};  // empty: every number
};

// The questions of the selection: kind by kind in the registry's order, pool by pool in
// name order, number order within a pool. A kind whose table the bank lacks gives none.
std::vector<QuestionRef> selectedQuestions(store::Connection& conn, const Selection& selection);

// A line for the page header: "SC, CR: pool X012, numbers 012..." ("every question" when
// nothing narrows it).
std::string describe(const Selection& selection);

}  // namespace exchange::print
