#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace bank_tool {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const Args& args);  // args after the command name; returns the exit status
};

int cmdCreate(const Args& args);
int cmdCheck(const Args& args);
int cmdSql(const Args& args);
int cmdBackup(const Args& args);
int cmdRestore(const Args& args);
int cmdCompact(const Args& args);
int cmdImport(const Args& args);
int cmdImportMemos(const Args& args);
int cmdRtfText(const Args& args);
int cmdRtfRoundtrip(const Args& args);
int cmdEditionPool(const Args& args);
int cmdEditionCopy(const Args& args);
int cmdAnswerKeys(const Args& args);
int cmdFixNumQ(const Args& args);
int cmdDuplicates(const Args& args);
int cmdMigrate(const Args& args);
int cmdJetTables(const Args& args);
int cmdJetExport(const Args& args);

// Fills a newly created bank with the demo pools, questions and memos.
void writeDemoContent(const std::filesystem::path& folder);

}  // namespace bank_tool
