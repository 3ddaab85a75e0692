#pragma once
// What each multiple-choice kind does differently in edition pools, edition copies, answer
// keys, renumbering and the duplicate check: the kind registry's edition rules, shared by
// the operations, the windows, the bank tool and the tests.

#include <string>

#include "schema.h"

namespace pools {

using EditionRules = bank::schema::EditionRules;

// The rules of a multiple-choice kind; std::logic_error for a kind without edition work.
const EditionRules& editionRules(bank::schema::Kind kind);

// The kind named "SC", "CR", "RC", "DS" or "PS" (any case); false for another text.
bool choiceKindNamed(const std::string& name, bank::schema::Kind& kind);

}  // namespace pools
