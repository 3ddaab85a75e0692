// The names that the history keeps each operation's changes under: existing banks hold them.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "operation.h"

namespace {

using bank::Operation;

TEST(Operation, EveryOperationKeepsItsStoredNameAndIsFoundByIt) {
  const std::pair<Operation, const char*> stored[] = {
      {Operation::Save, "Save"},
      {Operation::AutoSave, "Auto-save"},
      {Operation::Go, "GO"},
      {Operation::EditionPool, "OG"},
      {Operation::EditionCopy, "COPY"},
      {Operation::AnswerKeys, "COPY2"},
      {Operation::FixNumQ, "Fix numQ"},
      {Operation::Import, "Import"},
      {Operation::DeleteQuestion, "Delete Question"},
      {Operation::DeletePool, "Delete Pool"},
      {Operation::ToolSql, "zorbex-bank sql"},
      {Operation::RestoreFromHistory, "Restore from history"},
      {Operation::Undelete, "Undelete"},
      {Operation::Replace, "Replace"},
      {Operation::AnotherProgram, "another program"},
  };
  ASSERT_EQ(std::size(stored), std::size(bank::kAllOperations));
  std::set<std::string> names;
  for (const auto& [op, name] : stored) {
    EXPECT_STREQ(bank::operationName(op), name);
    EXPECT_EQ(bank::operationNamed(name), op) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), std::size(stored));  // no two operations share a name
}

TEST(Operation, ANameThisProgramDoesNotWriteIsNoOperation) {
  EXPECT_EQ(bank::operationNamed("save"), std::nullopt);  // the stored names are compared exactly
  EXPECT_EQ(bank::operationNamed(""), std::nullopt);
}

}  // namespace
