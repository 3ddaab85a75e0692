#pragma once
// The operations that this program's writes are kept under in the bank's history, and the
// names they are stored with. The stored names are the history of every existing bank: they
// never change.

#include <optional>
#include <string>
#include <string_view>

#include "change_tag.h"
#include "connection.h"

namespace bank {

enum class Operation {
  Save,
  AutoSave,
  Go,               // "GO": every question of a pool reformatted
  EditionPool,      // "OG"
  EditionCopy,      // "COPY"
  AnswerKeys,       // "COPY2"
  FixNumQ,
  Import,
  DeleteQuestion,
  DeletePool,
  ToolSql,          // a statement run by the bank tool
  RestoreFromHistory,
  Undelete,
  Replace,
  AnotherProgram,   // a change that no operation of this program tagged
};

// Every operation, in the order of the enum.
inline constexpr Operation kAllOperations[] = {
    Operation::Save,          Operation::AutoSave,       Operation::Go,         Operation::EditionPool,
    Operation::EditionCopy,   Operation::AnswerKeys,     Operation::FixNumQ,    Operation::Import,
    Operation::DeleteQuestion, Operation::DeletePool,    Operation::ToolSql,    Operation::RestoreFromHistory,
    Operation::Undelete,      Operation::Replace,        Operation::AnotherProgram};

// The name the history keeps the operation's changes under.
const char* operationName(Operation op);
// The operation kept under name; nothing for a name this program does not write.
std::optional<Operation> operationNamed(std::string_view name);

// Tags the writes through conn with the operation while it lives (see store::ChangeTag).
class OperationTag : public store::ChangeTag {
 public:
  OperationTag(store::Connection& conn, Operation op) : ChangeTag(conn, operationName(op)) {}
};

}  // namespace bank
