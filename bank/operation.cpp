#include "operation.h"

namespace bank {

const char* operationName(Operation op) {
  switch (op) {
    case Operation::Save: return "Save";
    case Operation::AutoSave: return "Auto-save";
    case Operation::Go: return "GO";
    case Operation::EditionPool: return "OG";
    case Operation::EditionCopy: return "COPY";
    case Operation::AnswerKeys: return "COPY2";
    case Operation::FixNumQ: return "Fix numQ";
    case Operation::Import: return "Import";
    case Operation::DeleteQuestion: return "Delete Question";
    case Operation::DeletePool: return "Delete Pool";
    case Operation::ToolSql: return "zorbex-bank sql";
    // The history's own operations, and what it names a change that no operation tagged.
    case Operation::RestoreFromHistory: return "Restore from history";
    case Operation::Undelete: return "Undelete";
    case Operation::Replace: return "Replace";
    case Operation::AnotherProgram: return "another program";
  }
  return "another program";
}

std::optional<Operation> operationNamed(std::string_view name) {
  for (Operation op : kAllOperations)
    if (name == operationName(op)) return op;
  return std::nullopt;
}

}  // namespace bank
