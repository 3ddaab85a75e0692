// How every command reaches its bank, and what the tool says of a wrong command line.
#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "extension.h"
#include "file_kind.h"
#include "schema.h"

namespace bank_tool {

namespace fs = std::filesystem;

int usageError(const std::string& usage) {
  std::fprintf(stderr, "zorbex-bank: usage: zorbex-bank %s\n", usage.c_str());
  return kWrongCommandLine;
}

int wrongArgument(const std::string& message) {
  std::fprintf(stderr, "zorbex-bank: %s\n", message.c_str());
  return kWrongCommandLine;
}

namespace {
// Why where names no bank that a command can open, as a sentence; empty when it does. A folder
// is first brought to one pair again after runs that were stopped there.
std::string bankProblem(const std::string& where) {
  if (store::isServerUri(where)) return {};
  std::error_code ec;
  if (!fs::is_directory(where, ec))
    return fs::exists(where, ec) ? "'" + where + "' is not a folder." : "the folder '" + where + "' does not exist.";
  settle(where);
  const fs::path bank = bank::schema::bankPath(where);
  if (const std::string why = store::notAFile(bank); why == "does not exist")
    return "the folder '" + where + "' has no " + bank::schema::kBankFile + ".";
  else if (!why.empty())
    return "'" + bank.string() + "' " + why + ".";
  return {};
}

// A folder's links follow its own user database, when it has one.
void pointLinksHome(const std::string& where) {
  if (!store::isServerUri(where) && store::notAFile(bank::schema::userPath(where)).empty())
    pointLinksAtOwnUserDatabase(where);
}
}  // namespace

std::string prepareBank(const std::string& where) {
  if (std::string problem = bankProblem(where); !problem.empty()) return problem;
  pointLinksHome(where);
  return {};
}

// What was made again of what another program broke is said, so that nobody takes the bank for
// one that was always whole.
void tellRepairs(store::Connection& conn) {
  for (const std::string& r : store::takeExtensionRepairs(conn)) std::fprintf(stderr, "zorbex-bank: made again: %s\n", r.c_str());
}

std::string openBank(const std::string& where, store::Connection& conn) {
  if (std::string problem = bankProblem(where); !problem.empty()) return problem;
  if (store::isServerUri(where)) {
    conn.open(where);
    tellRepairs(conn);
    return {};
  }
  // Opened first: a file that is no bank of ours is reported as the connection reports it.
  conn.open(bank::schema::bankPath(where).string(), bank::schema::kBankKey);
  tellRepairs(conn);
  pointLinksHome(where);
  return {};
}

int afterBank(const std::string& where) { return store::isServerUri(where) ? 0 : afterWriting(where); }

}  // namespace bank_tool
