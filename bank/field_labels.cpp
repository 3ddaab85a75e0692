#include "field_labels.h"

#include <cctype>

namespace bank {

namespace {

struct Label {
  const char* field;
  const char* label;  // as the windows show it
  const char* place;  // as the search shows it; nullptr: no text to search
  const char* essayPlace = nullptr;  // as the search shows it in an essay topic, where it differs
};

// Every field whose name the user reads other than as it is stored.
constexpr Label kLabels[] = {
    {"question", "Question", "stem", "topic"},  // an essay question is a topic, with no stem
    {"reading", "Passage", "passage"},
    {"passageNum", "Passage number", nullptr},
    {"statement1", "Statement 1", "statement 1"},
    {"statement2", "Statement 2", "statement 2"},
    {"choiceA", "Choice A", "choice A"},
    {"choiceB", "Choice B", "choice B"},
    {"choiceC", "Choice C", "choice C"},
    {"choiceD", "Choice D", "choice D"},
    {"choiceE", "Choice E", "choice E"},
    {"answer", "Answer", nullptr},
};

const Label* labelOf(const std::string& field) {
  for (const Label& l : kLabels)
    if (field == l.field) return &l;
  return nullptr;
}

}  // namespace

std::string fieldLabel(const std::string& field) {
  if (const Label* l = labelOf(field)) return l->label;
  // Any other field reads as its name, capitalised, its last letter or digit set apart.
  std::string out = field;
  if (out.empty()) return out;
  out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
  const auto last = static_cast<unsigned char>(out.back());
  if (out.size() > 1 && (std::isupper(last) || std::isdigit(last))) out.insert(out.size() - 1, " ");
  return out;
}

std::string fieldPlace(store::schema::Kind kind, const std::string& field) {
  const Label* l = labelOf(field);
  if (!l || !l->place) return {};
  return kind == store::schema::Kind::AWA && l->essayPlace ? l->essayPlace : l->place;
}

}  // namespace bank
