#pragma once
// A question's fields as the user reads their names: in the editors' messages and the History
// window ("Choice A", "Passage"), and in the search's hits ("choice A", "passage", "topic").

#include <string>

#include "kind_registry.h"

namespace bank {

// A field's name as the windows show it: "Choice A", "Passage", "Statement 1", "Passage number".
std::string fieldLabel(const std::string& field);

// Where a field stands in a question of kind, as the search shows it: "stem", "topic",
// "passage", "statement 1", "choice A". Empty for a field that holds no text to read (the
// answer letter, the passage number, the sizes).
std::string fieldPlace(bank::schema::Kind kind, const std::string& field);

}  // namespace bank
