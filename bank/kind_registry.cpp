#include "kind_registry.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>

namespace bank::schema {

namespace {

using enum FieldType;
using enum FieldWrite;

// Fields whose names differ only by the choice letter, A to E. The registry hands names out
// as const char*: they are kept where they do not move.
const char* lettered(const std::string& prefix, char letter, const std::string& suffix) {
  static std::set<std::string> names;
  return names.insert(prefix + letter + suffix).first->c_str();
}

void addLettered(std::vector<Field>& fields, const char* prefix, const char* suffix, FieldType type, FieldWrite write,
                 SizeOf firstSize = SizeOf::None) {
  for (char c = 'A'; c <= 'E'; ++c) {
    const SizeOf size = firstSize == SizeOf::None ? firstSize : static_cast<SizeOf>(static_cast<int>(firstSize) + (c - 'A'));
    fields.push_back({lettered(prefix, c, suffix), type, write, size});
  }
}

// A field with its role and, where the user reads its name, its label and place.
constexpr Field holding(Field f, Holds what, const char* label = nullptr, const char* place = nullptr) {
  f.holds = what;
  f.label = label;
  f.place = place;
  return f;
}

constexpr Field kStem = holding({"question", Rtf, Content}, Holds::Stem, "Question", "stem");
constexpr Field kAnswer = holding({"answer", Text, Content}, Holds::Answer, "Answer");

// The stem, its five choices and the answer, as every kind with lettered choices stores them.
void addStemChoicesAnswer(std::vector<Field>& f, FieldType choiceType) {
  f.push_back(kStem);
  for (char c = 'A'; c <= 'E'; ++c)
    f.push_back(holding({lettered("choice", c, ""), choiceType, ContentIfGiven},
                        choiceAt(static_cast<size_t>(c - 'A')), lettered("Choice ", c, ""),
                        lettered("choice ", c, "")));
  f.push_back(kAnswer);
}

constexpr Field kPool = holding({"src", Text, Unread, SizeOf::None, false}, Holds::Pool);

KindEntry sc() {
  std::vector<Field> f{kPool};
  addStemChoicesAnswer(f, Text);
  f.insert(f.end(), {{"questionTop", Number},
                     {"questionLeft", Number},
                     {"questionWidth", Size, Layout, SizeOf::QuestionWidth},
                     {"questionHeight", Size, Layout, SizeOf::QuestionHeight}});
  addLettered(f, "btn", "Top", Number, Unread);
  addLettered(f, "btn", "Left", Number, Unread);
  f.push_back({"choiceAWidth", Size, Layout, SizeOf::ChoiceWidth});
  for (char c = 'B'; c <= 'E'; ++c) f.push_back({lettered("choice", c, "Width"), Number});
  addLettered(f, "choice", "Height", Size, Layout, SizeOf::ChoiceHeightA);
  return {Kind::SC, "SC", "SCtbl", Subject::Verbal, f,
          EditionRules{.countedChars = 3, .editionSuffix = "", .fixedPrefix = nullptr,
                       .mappingTable = "12to13SC", .oldField = "12th", .newField = "13th", .oldPrefix = "12",
                       .newPrefix = "13", .skipsEmptyOld = false, .passageField = nullptr, .passagePrefix = nullptr,
                       .answerKeyTable = "answerkey13SC", .answerKeyPrefix = "13",
                       .fixFrom = nullptr, .fixTo = nullptr, .fixCount = 0,
                       .checksDuplicates = true, .duplicateQuestionText = "that"}};
}

KindEntry cr() {
  std::vector<Field> f{kPool};
  addStemChoicesAnswer(f, Text);
  f.insert(f.end(), {{"questionTop", Number},
                     {"questionLeft", Number},
                     {"questionWidth", Size, Layout, SizeOf::QuestionWidth},
                     {"questionHeight", Size, Layout, SizeOf::QuestionHeight}});
  addLettered(f, "btn", "Top", Number, Unread);
  addLettered(f, "choice", "Height", Size, Layout, SizeOf::ChoiceHeightA);
  return {Kind::CR, "CR", "CRtbl", Subject::Verbal, f,
          EditionRules{.countedChars = 4, .editionSuffix = "2", .fixedPrefix = nullptr,
                       .mappingTable = "12to13CR", .oldField = "12th", .newField = "13th", .oldPrefix = "121",
                       .newPrefix = "132", .skipsEmptyOld = false, .passageField = nullptr, .passagePrefix = nullptr,
                       .answerKeyTable = nullptr, .answerKeyPrefix = nullptr,
                       .fixFrom = nullptr, .fixTo = nullptr, .fixCount = 0,
                       .checksDuplicates = true, .duplicateQuestionText = nullptr}};
}

KindEntry rc() {
  // The copy sets the passage number itself, from the mapping.
  constexpr const char* kPassageNumber = "passageNum";
  constexpr const char* kCount = "Qnumber";
  std::vector<Field> f{kPool,
                       holding({kPassageNumber, Text, ContentIfGiven, SizeOf::None, false}, Holds::PassageNumber,
                               "Passage number"),
                       holding({kCount, Text, Never}, Holds::PassageCount),
                       holding({"reading", Rtf, Content}, Holds::Passage, "Passage", "passage")};
  addStemChoicesAnswer(f, Text);
  f.insert(f.end(), {{"questionTop", Number}, {"questionHeight", Size, Layout, SizeOf::QuestionHeight}});
  addLettered(f, "btn", "Top", Number, Unread);
  addLettered(f, "choice", "Height", Size, Layout, SizeOf::ChoiceHeightA);
  f.push_back({"choiceWidth", Number});
  return {Kind::RC, "RC", "RCtbl", Subject::Verbal, f,
          EditionRules{.countedChars = 3, .editionSuffix = "0", .fixedPrefix = nullptr, .countField = kCount,
                       .mappingTable = "12to13RC", .oldField = "12th-Question", .newField = "13th-Question",
                       .oldPrefix = "120", .newPrefix = "130", .skipsEmptyOld = false,
                       .passageField = "13th-Passage", .passagePrefix = "13", .passageNumberField = kPassageNumber,
                       .answerKeyTable = nullptr, .answerKeyPrefix = nullptr,
                       .fixFrom = nullptr, .fixTo = nullptr, .fixCount = 0,
                       .checksDuplicates = false, .duplicateQuestionText = nullptr}};
}

KindEntry ps() {
  std::vector<Field> f{kPool};
  addStemChoicesAnswer(f, Rtf);
  f.insert(f.end(), {{"questionWidth", Size, Layout, SizeOf::QuestionWidth},
                     {"questionHeight", Size, Layout, SizeOf::QuestionHeight},
                     {"choiceAWidth", Size, Layout, SizeOf::ChoiceWidth}});
  addLettered(f, "choice", "Height", Size, Layout, SizeOf::ChoiceHeightA);
  f.push_back(holding({"choiceArrange", Flag, Layout}, Holds::ChoiceArrangement));
  return {Kind::PS, "PS", "PStbl", Subject::Math, f,
          EditionRules{.countedChars = 3, .editionSuffix = nullptr, .fixedPrefix = "009",
                       .mappingTable = "11to12PS", .oldField = "12th", .newField = "13th", .oldPrefix = "008",
                       .newPrefix = "009", .skipsEmptyOld = true, .passageField = nullptr, .passagePrefix = nullptr,
                       .answerKeyTable = "answerkey13PS", .answerKeyPrefix = "009",
                       .fixFrom = "009", .fixTo = "011", .fixCount = 230,
                       .checksDuplicates = false, .duplicateQuestionText = nullptr}};
}

KindEntry ds() {
  std::vector<Field> f{kPool,
                       kStem,
                       holding({"statement1", Rtf, Content}, Holds::Statement1, "Statement 1", "statement 1"),
                       holding({"statement2", Rtf, Content}, Holds::Statement2, "Statement 2", "statement 2"),
                       kAnswer,
                       holding({"statePosition1", Flag, Layout}, Holds::StatementPosition1),
                       holding({"statePosition2", Flag, Layout}, Holds::StatementPosition2),
                       {"questionWidth", Size, Layout, SizeOf::QuestionWidth},
                       {"questionHeight", Size, Layout, SizeOf::QuestionHeight},
                       {"stateWidth", Single, Layout, SizeOf::StatementWidth},
                       {"stateHeight1", Size, Layout, SizeOf::StatementHeight1},
                       {"stateHeight2", Size, Layout, SizeOf::StatementHeight2}};
  return {Kind::DS, "DS", "DStbl", Subject::Math, f,
          EditionRules{.countedChars = 3, .editionSuffix = nullptr, .fixedPrefix = "010",
                       .mappingTable = "12to13DS", .oldField = "12th", .newField = "13th", .oldPrefix = "009",
                       .newPrefix = "010", .skipsEmptyOld = true, .passageField = nullptr, .passagePrefix = nullptr,
                       .answerKeyTable = "answerkey13DS", .answerKeyPrefix = "010",
                       .fixFrom = nullptr, .fixTo = nullptr, .fixCount = 0,
                       .checksDuplicates = false, .duplicateQuestionText = nullptr}};
}

KindEntry awa() {
  // An essay question is a topic, with no stem; its type stands where a pool would.
  return {Kind::AWA, "AWA", "AWAtbl", Subject::Writing,
          {holding({"type", Text}, Holds::Pool), holding(kStem, Holds::Stem, "Question", "topic")}, std::nullopt};
}

// The edition rules take the kind, its table and the fields it copies from the entry.
KindEntry completed(KindEntry entry) {
  if (entry.edition) {
    entry.edition->kind = entry.kind;
    entry.edition->table = entry.table;
    for (const Field& f : entry.fields)
      if (f.copied) entry.edition->copiedFields.push_back(f.name);
  }
  return entry;
}

const std::vector<KindEntry>& registry() {
  // One entry per kind, in the order of kAllKinds.
  static const std::vector<KindEntry> all = {completed(sc()), completed(cr()), completed(rc()),
                                            completed(ps()), completed(ds()), completed(awa())};
  return all;
}

}  // namespace

const KindEntry& kindEntry(Kind k) {
  const KindEntry& entry = registry().at(static_cast<size_t>(k));
  if (entry.kind != k) throw std::logic_error("the kind registry is not in the order of the kinds");
  return entry;
}

SizeOf sizeOf(const char* field) {
  const std::string name = field;
  for (const KindEntry& entry : registry())
    for (const Field& f : entry.fields)
      if (f.size != SizeOf::None && name == f.name) return f.size;
  return SizeOf::None;
}

const char* fieldFor(Kind k, Holds what) {
  for (const Field& f : kindEntry(k).fields)
    if (f.holds == what) return f.name;
  return nullptr;
}

const char* sizeField(Kind k, SizeOf size) {
  for (const Field& f : kindEntry(k).fields)
    if (size != SizeOf::None && f.size == size) return f.name;
  return nullptr;
}

const Field* findField(Kind k, std::string_view name) {
  for (const Field& f : kindEntry(k).fields)
    if (name == f.name) return &f;
  return nullptr;
}

const Field* findFieldOfAnyKind(std::string_view name) {
  for (Kind k : kAllKinds)
    if (const Field* f = findField(k, name)) return f;
  return nullptr;
}

std::optional<Kind> kindWithTable(std::string_view table) {
  const auto lower = [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); };
  for (const KindEntry& entry : registry()) {
    const std::string_view name = entry.table;
    if (name.size() == table.size() &&
        std::equal(name.begin(), name.end(), table.begin(), [&](char a, char b) { return lower(a) == lower(b); }))
      return entry.kind;
  }
  return std::nullopt;
}

const std::vector<Kind>& choiceKinds() {
  static const std::vector<Kind> kinds = [] {
    std::vector<Kind> v;
    for (Kind k : kAllKinds)
      if (kindEntry(k).edition) v.push_back(k);
    return v;
  }();
  return kinds;
}

}  // namespace bank::schema
