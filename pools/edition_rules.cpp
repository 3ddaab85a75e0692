#include "edition_rules.h"

#include <stdexcept>

#include "text.h"

namespace pools {

using store::schema::Kind;

namespace {

#define CHOICES "choiceA", "choiceB", "choiceC", "choiceD", "choiceE"
#define HEIGHTS "choiceAHeight", "choiceBHeight", "choiceCHeight", "choiceDHeight", "choiceEHeight"
#define BTN_TOPS "btnATop", "btnBTop", "btnCTop", "btnDTop", "btnETop"

const EditionRules kSC{
    .kind = Kind::SC, .table = "SCtbl",
    .countedChars = 3, .editionSuffix = "", .fixedPrefix = nullptr, .setsQnumber = false,
    .mappingTable = "12to13SC", .oldField = "12th", .newField = "13th", .oldPrefix = "12", .newPrefix = "13",
    .skipsEmptyOld = false, .passageField = nullptr, .passagePrefix = nullptr,
    .copiedFields = {"question", CHOICES, "answer", "questionTop", "questionLeft", "questionWidth", "questionHeight",
                     BTN_TOPS, "btnALeft", "btnBLeft", "btnCLeft", "btnDLeft", "btnELeft", "choiceAWidth",
                     "choiceBWidth", "choiceCWidth", "choiceDWidth", "choiceEWidth", HEIGHTS},
    .answerKeyTable = "answerkey13SC", .answerKeyPrefix = "13",
    .fixFrom = nullptr, .fixTo = nullptr, .fixCount = 0,
    .checksDuplicates = true, .duplicateQuestionText = "that",
};

const EditionRules kCR{
    .kind = Kind::CR, .table = "CRtbl",
    .countedChars = 4, .editionSuffix = "2", .fixedPrefix = nullptr, .setsQnumber = false,
    .mappingTable = "12to13CR", .oldField = "12th", .newField = "13th", .oldPrefix = "121", .newPrefix = "132",
    .skipsEmptyOld = false, .passageField = nullptr, .passagePrefix = nullptr,
    .copiedFields = {"question", CHOICES, "answer", "questionTop", "questionLeft", "questionWidth", "questionHeight",
                     BTN_TOPS, HEIGHTS},
    .answerKeyTable = nullptr, .answerKeyPrefix = nullptr,
    .fixFrom = nullptr, .fixTo = nullptr, .fixCount = 0,
    .checksDuplicates = true, .duplicateQuestionText = nullptr,
};

const EditionRules kRC{
    .kind = Kind::RC, .table = "RCtbl",
    .countedChars = 3, .editionSuffix = "0", .fixedPrefix = nullptr, .setsQnumber = true,
    .mappingTable = "12to13RC", .oldField = "12th-Question", .newField = "13th-Question", .oldPrefix = "120",
    .newPrefix = "130", .skipsEmptyOld = false, .passageField = "13th-Passage", .passagePrefix = "13",
    .copiedFields = {"Qnumber", "reading", "question", CHOICES, "answer", "questionTop", "questionHeight", BTN_TOPS,
                     HEIGHTS, "choiceWidth"},
    .answerKeyTable = nullptr, .answerKeyPrefix = nullptr,
    .fixFrom = nullptr, .fixTo = nullptr, .fixCount = 0,
    .checksDuplicates = false, .duplicateQuestionText = nullptr,
};

const EditionRules kDS{
    .kind = Kind::DS, .table = "DStbl",
    .countedChars = 3, .editionSuffix = nullptr, .fixedPrefix = "010", .setsQnumber = false,
    .mappingTable = "12to13DS", .oldField = "12th", .newField = "13th", .oldPrefix = "009", .newPrefix = "010",
    .skipsEmptyOld = true, .passageField = nullptr, .passagePrefix = nullptr,
    .copiedFields = {"question", "statement1", "statement2", "answer", "statePosition1", "statePosition2",
                     "questionWidth", "questionHeight", "stateWidth", "stateHeight1", "stateHeight2"},
    .answerKeyTable = "answerkey13DS", .answerKeyPrefix = "010",
    .fixFrom = nullptr, .fixTo = nullptr, .fixCount = 0,
    .checksDuplicates = false, .duplicateQuestionText = nullptr,
};

const EditionRules kPS{
    .kind = Kind::PS, .table = "PStbl",
    .countedChars = 3, .editionSuffix = nullptr, .fixedPrefix = "009", .setsQnumber = false,
    .mappingTable = "11to12PS", .oldField = "12th", .newField = "13th", .oldPrefix = "008", .newPrefix = "009",
    .skipsEmptyOld = true, .passageField = nullptr, .passagePrefix = nullptr,
    .copiedFields = {"question", CHOICES, "answer", "questionWidth", "questionHeight", "choiceAWidth", HEIGHTS,
                     "choiceArrange"},
    .answerKeyTable = "answerkey13PS", .answerKeyPrefix = "009",
    .fixFrom = "009", .fixTo = "011", .fixCount = 230,
    .checksDuplicates = false, .duplicateQuestionText = nullptr,
};

}  // namespace

const EditionRules& editionRules(Kind kind) {
  switch (kind) {
    case Kind::SC: return kSC;
    case Kind::CR: return kCR;
    case Kind::RC: return kRC;
    case Kind::DS: return kDS;
    case Kind::PS: return kPS;
    case Kind::AWA: break;
  }
  throw std::logic_error("AWA has no edition rules");
}

bool choiceKindNamed(const std::string& name, Kind& kind) {
  for (Kind k : store::schema::kChoiceKinds)
    if (store::equalsIgnoringCase(name, store::schema::kindName(k))) {
      kind = k;
      return true;
    }
  return false;
}

}  // namespace pools
