#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "connection.h"

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
int cmdServerPush(const Args& args);
int cmdServerPublish(const Args& args);
int cmdHistory(const Args& args);
int cmdRevert(const Args& args);
int cmdTrash(const Args& args);
int cmdUndelete(const Args& args);
int cmdPruneHistory(const Args& args);
// Prints "zorbex-bank: message" on stderr; returns the failure status 1.
int fail(const std::string& message);

// Exit status of a wrong command line: missing or extra words, an unknown kind, a malformed date.
inline constexpr int kWrongCommandLine = 2;
// Prints "zorbex-bank: usage: zorbex-bank USAGE" on stderr; returns kWrongCommandLine.
int usageError(const std::string& usage);
// Prints "zorbex-bank: message" on stderr; returns kWrongCommandLine.
int wrongArgument(const std::string& message);

int cmdSearch(const Args& args);
int cmdPrint(const Args& args);
int cmdExportQti(const Args& args);
int cmdImportQti(const Args& args);
int cmdReindex(const Args& args);

// Exit status of a command whose change is saved but still waits in a write-ahead log beside
// the file, which alone is not yet whole (the disk was full).
inline constexpr int kSavedNotWhole = 3;

// The exit status after a command that wrote to dir with success: 0, or kSavedNotWhole when the
// bank or the user database is not yet whole on its own for lack of space. Either way the warning
// is printed when a file is not whole (a reader that held the log is no failure: status 0).
int afterWriting(const std::filesystem::path& dir);

// Completes a publication into dir that was stopped part-way and removes what stopped runs left
// there, printing a note for each. Throws store::DbError.
void settle(const std::filesystem::path& dir);

// Points the bank's links at dir's own user database, as the editor's start-up does. Throws
// store::DbError.
void pointLinksAtOwnUserDatabase(const std::filesystem::path& dir);

// The one way a command reaches the bank it names: a folder, or a bank on a server named by a
// libpq URI. For a folder, refuses one without a bank file (the problem as a sentence) and
// points the links at the folder's own user database when it has one, so that a bank copied
// or restored from elsewhere never reaches that folder's memos. Throws store::DbError.
std::string prepareBank(const std::string& where);
// prepareBank, then opens conn on the bank; the problem as a sentence, empty when conn is open.
std::string openBank(const std::string& where, store::Connection& conn);
// Says on standard error what the bank's extensions made again of what another program broke,
// since the bank was opened or this was last called.
void tellRepairs(store::Connection& conn);
// The exit status after a command that reached the bank with success: 0 for a bank on a server
// (no files of ours to leave whole), afterWriting for a folder.
int afterBank(const std::string& where);

// Fills a newly created bank with the demo pools, questions and memos.
void writeDemoContent(const std::filesystem::path& folder);

}  // namespace bank_tool
