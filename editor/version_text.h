#pragma once
// A question's kept version beside the current one, as the History window shows them: the
// fields the editor writes as plain text, and the word-level differences between two texts.

#include <string>
#include <vector>

#include "history.h"
#include "kind_registry.h"
#include "bank_record.h"

namespace editor {

struct DiffPart {
  enum Kind { Same, Removed, Added };
  Kind kind;
  std::string text;
};

// The differences between before and after, word by word: words are compared without the
// blanks after them, and where only those differ, each text's blanks are a Removed and an
// Added part of blanks alone. The Same and Removed parts spell before; the Same and Added
// parts spell after.
std::vector<DiffPart> wordDiff(const std::string& before, const std::string& after);

// The fields a user edits of a kind (stem, choices, passage, statements, topic, answer), each
// with its text: rich text as the box shows it, other values as they read.
struct ShownField {
  std::string name;  // as the user reads it: "Choice A", "Passage", "Statement 1"
  std::string text;
};
std::vector<ShownField> shownFields(bank::schema::Kind kind, const Record& values);
// The same fields of a kept version.
Record recordOf(const store::history::Version& v);

// A version's text (removed words marked) and the current text (added words marked), as HTML.
struct MarkedTexts {
  std::string version;
  std::string current;
};
MarkedTexts markDifferences(const std::vector<ShownField>& version, const std::vector<ShownField>& current);

}  // namespace editor
