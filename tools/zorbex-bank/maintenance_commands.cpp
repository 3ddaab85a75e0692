// The maintenance commands: the section window's compaction and imports, without questions.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "commands.h"
#include "bank_files.h"
#include "connections.h"
#include "db_error.h"
#include "import.h"
#include "platform.h"
#include "schema.h"

namespace bank_tool {

namespace fs = std::filesystem;

namespace {

int failWith(const store::DbError& e) {
  std::fprintf(stderr, "%s\n", e.message().c_str());
  return 1;
}

// A folder of the command's own for what the import keeps beside the bank (a genuine Jet
// file's pool waits there for the insert) when the bank is on a server; removed at the end.
fs::path scratchPath() { return fs::temp_directory_path() / ("zorbex-import-" + std::to_string(platform::processId())); }

struct ScratchFolder {
  fs::path path = scratchPath();
  ScratchFolder() {
    fs::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// A source file that cannot be imported from is refused with the section window's reason,
// before the bank is opened (a pipe would hold it for ever): the failure status, or 0.
int refusedSource(const std::string& dir, const std::string& source, const char* key) {
  const fs::path folder = store::isServerUri(dir) ? scratchPath() : fs::absolute(dir);
  const std::string why = maintenance::importFileProblem(folder, source, key);
  if (why.empty()) return 0;
  return failWith(store::DbError(maintenance::kInvalidFileName, "Invalid File Name. " + why + " Nothing was imported."));
}

// Opens the bank's connections as the editor's start-up does (DIR, or a server by its URI), runs
// the import, closes them.
template <typename F>
int withConnections(const std::string& dir, F&& import) {
  const bool server = store::isServerUri(dir);
  std::optional<ScratchFolder> scratch;
  if (server) scratch.emplace();
  bank::ProgramState state(server ? scratch->path : fs::absolute(dir));
  if (server) state.serverBank = dir;
  try {
    if (!server) settle(state.appFolder);
    bank::RefreshTableLinks(state, [](int) {}, [](const std::string&) {});
    bank::OpenConnections(state);
    maintenance::ImportHooks hooks;
    hooks.log = [](const std::string& message) {
      std::printf("%s\n", message.c_str() + (message[0] == ' '));
      std::fflush(stdout);  // in order with a failure printed on stderr
    };
    hooks.passedOver = [](const store::DbError& e) { std::printf("passed over %s\n", e.message().c_str()); };
    hooks.confirm = [] { return true; };
    import(state, hooks);
  } catch (const store::DbError& e) {
    bank::CloseConnections(state, [](const std::string&) {});
    return failWith(e);
  }
  bank::CloseConnections(state, [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); });
  std::printf("Import completed.\n");
  return server ? 0 : afterWriting(state.appFolder);
}

}  // namespace

int cmdCompact(const Args& args) {
  if (args.size() != 1) return usageError("compact DIR");
  if (store::isServerUri(args[0])) {
    std::printf("%s\n", bank::kServerKeepsItsFiles);
    return 0;
  }
  const fs::path bank = bank::schema::bankPath(args[0]);
  std::error_code ec;
  const auto before = fs::file_size(bank, ec);
  try {
    if (std::string problem = prepareBank(args[0]); !problem.empty()) return fail(problem);
    bank::compactBank(args[0]);
  } catch (const store::DbError& e) {
    return failWith(e);
  }
  std::printf("Compression completed: %ju bytes before, %ju after.\n", static_cast<uintmax_t>(before),
              static_cast<uintmax_t>(fs::file_size(bank, ec)));
  return 0;
}

int cmdImport(const Args& args) {
  if (args.size() != 4) return usageError("import DIR SOURCE-FILE KIND POOL");
  const char* table = nullptr;
  for (bank::schema::Kind k : bank::schema::choiceKinds())
    if (args[2] == bank::schema::kindName(k)) table = bank::schema::tableName(k);
  if (!table) return wrongArgument("'" + args[2] + "' is not one of SC, CR, RC, PS, DS.");
  const std::string source = fs::absolute(args[1]).string();
  if (int status = refusedSource(args[0], source, bank::schema::kBankKey)) return status;
  return withConnections(args[0], [&](bank::ProgramState& state, const maintenance::ImportHooks& hooks) {
    maintenance::ImportPool(state, source, table, args[3], hooks);
  });
}

int cmdImportMemos(const Args& args) {
  if (args.size() < 3) return usageError("import-memos DIR SOURCE-FILE NUMQ...");
  const std::string source = fs::absolute(args[1]).string();
  const std::vector<std::string> numbers(args.begin() + 2, args.end());
  if (int status = refusedSource(args[0], source, bank::schema::kUserKey)) return status;
  return withConnections(args[0], [&](bank::ProgramState& state, const maintenance::ImportHooks& hooks) {
    maintenance::ImportMemos(state, source, numbers, hooks);
  });
}

}  // namespace bank_tool
