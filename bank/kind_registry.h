#pragma once
// Every question kind of the bank, described once: its name and table, its fields in their
// stored order with their type and what the editors write of them, and the rules of its
// edition work. The schema makes the tables from it; the pool operations, the editors and
// the section window read it.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace bank::schema {

// Question kinds in the order of the table-present flags.
enum class Kind { SC = 0, CR = 1, RC = 2, PS = 3, DS = 4, AWA = 5 };
inline constexpr std::array<Kind, 6> kAllKinds = {Kind::SC, Kind::CR, Kind::RC, Kind::PS, Kind::DS, Kind::AWA};

enum class FieldType {
  Rtf,     // rich text
  Text,    // plain text
  Size,    // a number of centimetres (or DS units); empty means the default
  Single,  // a single-precision number; empty reads as 0
  Flag,    // 0 or 1
  Number,  // any other number
};

// What the editor of the kind does with a field.
enum class FieldWrite {
  Content,         // written by SaveQuestion, always
  ContentIfGiven,  // written by SaveQuestion when the window gives a value that is not empty
  Layout,          // written by SaveLayout
  Never,           // read only
  Unread,          // not part of the editor's record
};

// Which of the editor's size variables a size field holds.
enum class SizeOf {
  None,
  QuestionHeight,
  QuestionWidth,
  ChoiceWidth,    // the width of every choice box, stored with choice A
  ChoiceHeightA,  // then B to E, in order
  ChoiceHeightB,
  ChoiceHeightC,
  ChoiceHeightD,
  ChoiceHeightE,
  StatementHeight1,
  StatementHeight2,
  StatementWidth,
};

// What a field holds, so that code which fills or reads a question finds the field by its
// role instead of spelling its name.
enum class Holds {
  Other,
  Pool,  // the pool name; an essay topic's type
  Stem,
  ChoiceA,  // then B to E, in order
  ChoiceB,
  ChoiceC,
  ChoiceD,
  ChoiceE,
  Answer,
  Passage,             // RC: the passage text
  PassageNumber,       // RC
  PassageCount,        // RC: the number of questions on the passage, as typed
  Statement1,          // DS
  Statement2,
  StatementPosition1,  // DS: the flags that place each statement
  StatementPosition2,
  ChoiceArrangement,   // PS: the flag that lays the choices out in a row
};

// The role of choice A, B, ... E by its index 0..4.
inline Holds choiceAt(size_t index) { return static_cast<Holds>(static_cast<size_t>(Holds::ChoiceA) + index); }

struct Field {
  const char* name;
  FieldType type;
  FieldWrite write = FieldWrite::Unread;
  SizeOf size = SizeOf::None;
  bool copied = true;  // carried over by an edition copy
  Holds holds = Holds::Other;
  const char* label = nullptr;  // as the windows show it; nullptr: read from the name
  const char* place = nullptr;  // where it stands, as the search shows it; nullptr: no text to search
};

// The size variable that the field named so holds in any kind; SizeOf::None for a field
// that holds none.
SizeOf sizeOf(const char* field);

// What a multiple-choice kind does in edition pools, edition copies, answer keys,
// renumbering and the duplicate check.
struct EditionRules {
  // The kind's, from its registry entry.
  Kind kind = Kind::SC;
  const char* table = nullptr;

  // Edition pool creation ("OG").
  int countedChars;           // leading characters of the pool name that select the counted pools
  const char* editionSuffix;  // added to characters 2 and 3 of the pool name; nullptr: fixed prefix
  const char* fixedPrefix;    // the prefix whatever the pool name (DS, PS); nullptr otherwise
  const char* countField = nullptr;  // RC: the field set to the count as typed; nullptr elsewhere

  // Edition copy ("COPY").
  const char* mappingTable;
  const char* oldField;       // old running number
  const char* newField;       // new running number
  const char* oldPrefix;      // old question number = oldPrefix + old formatted "000"
  const char* newPrefix;
  bool skipsEmptyOld;         // DS, PS: an empty old number is skipped like a Null one
  const char* passageField;   // RC: new passage number; nullptr elsewhere
  const char* passagePrefix;  // RC: the passage number = prefix + passage "00" + last character of the old one
  const char* passageNumberField = nullptr;  // RC: the field that holds the passage number
  std::vector<const char*> copiedFields = {};  // the kind's fields marked copied, in stored order

  // Answer-key update ("COPY2"); nullptr where the kind has none.
  const char* answerKeyTable;
  const char* answerKeyPrefix;

  // Renumbering ("Fix numQ", PS): fixFrom + r moves to fixTo + r for r = 1..fixCount.
  const char* fixFrom;
  const char* fixTo;
  long fixCount;

  // Duplicate-choice check ("dbl"): whether the kind has it, and the text that a question
  // must contain to be examined (nullptr: every question is).
  bool checksDuplicates;
  const char* duplicateQuestionText;

  bool updatesAnswerKeys() const { return answerKeyTable != nullptr; }
};

// The part of the test that a kind's questions belong to.
enum class Subject { Verbal, Math, Writing };

struct KindEntry {
  Kind kind;
  const char* name;   // "SC"
  const char* table;  // "SCtbl"
  Subject subject;
  std::vector<Field> fields;  // after numQ, which every table starts with, in stored order
  // The multiple-choice kinds: their numbers share the pool-number space, and they have
  // edition work.
  std::optional<EditionRules> edition;
};

const KindEntry& kindEntry(Kind k);
// The field of kind k that holds what, or that holds the size; nullptr where the kind has none.
const char* fieldFor(Kind k, Holds what);
const char* sizeField(Kind k, SizeOf size);
// The field of kind k named so (case as stored); nullptr where the kind has none.
const Field* findField(Kind k, std::string_view name);
// The first field of any kind named so; nullptr where no kind has one.
const Field* findFieldOfAnyKind(std::string_view name);
// The kind whose table is named so, in any case; none for another table.
std::optional<Kind> kindWithTable(std::string_view table);
// The multiple-choice kinds, in the order of kAllKinds.
const std::vector<Kind>& choiceKinds();

// The five answer choices that every DS question shares, A to E; they are not stored with it.
inline constexpr std::array<const char*, 5> kDataSufficiencyChoices = {
    "Statement (1) ALONE is sufficient, but statement (2) alone is not sufficient.",
    "Statement (2) ALONE is sufficient, but statement (1) alone is not sufficient.",
    "BOTH statement TOGETHER are sufficient, but NEITHER statement ALONE is not sufficient.",
    "EACH statement ALONE is sufficient.",
    "Statement (1) and (2) TOGETHER are NOT sufficient.",
};

}  // namespace bank::schema
