#pragma once
// What each multiple-choice kind does differently in edition pools, edition copies,
// answer keys, renumbering and the duplicate check: its numbering prefixes, the characters
// of the edition pool name that are counted, the mapping and answer-key tables with their
// fields, and the fields that a copy carries over. One table of data, shared by the
// operations, the windows, the bank tool and the tests.

#include <string>
#include <vector>

#include "schema.h"

namespace pools {

struct EditionRules {
  store::schema::Kind kind;
  const char* table;  // "SCtbl"

  // Edition pool creation ("OG").
  int countedChars;           // leading characters of the pool name that select the counted pools
  const char* editionSuffix;  // added to characters 2 and 3 of the pool name; nullptr: fixed prefix
  const char* fixedPrefix;    // the prefix whatever the pool name (DS, PS); nullptr otherwise
  bool setsQnumber;           // RC: Qnumber = the count as typed

  // Edition copy ("COPY").
  const char* mappingTable;
  const char* oldField;       // old running number
  const char* newField;       // new running number
  const char* oldPrefix;      // old question number = oldPrefix + old formatted "000"
  const char* newPrefix;
  bool skipsEmptyOld;         // DS, PS: an empty old number is skipped like a Null one
  const char* passageField;   // RC: new passage number; nullptr elsewhere
  const char* passagePrefix;  // RC: passageNum = prefix + passage "00" + last character of the old one
  std::vector<const char*> copiedFields;  // in copy order (RC's passageNum is set before them)

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
};

const EditionRules& editionRules(store::schema::Kind kind);

// The kind named "SC", "CR", "RC", "DS" or "PS" (any case); false for another text.
bool choiceKindNamed(const std::string& name, store::schema::Kind& kind);

}  // namespace pools
