// The maintenance commands: the section window's compaction and imports, without questions.
#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "bank_files.h"
#include "connections.h"
#include "db_error.h"
#include "import.h"
#include "schema.h"

namespace bank_tool {

namespace fs = std::filesystem;

namespace {

int failWith(const store::DbError& e) {
  std::fprintf(stderr, "%s\n", e.message().c_str());
  return 1;
}

int usageError(const char* usage) {
  std::fprintf(stderr, "zorbex-bank: usage: zorbex-bank %s\n", usage);
  return 2;
}

// Opens the folder's connections as the editor's start-up does, runs the import, closes them.
template <typename F>
int withConnections(const fs::path& dir, F&& import) {
  store::ProgramState state(fs::absolute(dir));
  try {
    store::RefreshTableLinks(state, [](int) {}, [](const std::string&) {});
    store::OpenConnections(state);
    maintenance::ImportHooks hooks;
    hooks.log = [](const std::string& message) {
      std::printf("%s\n", message.c_str() + (message[0] == ' '));
      std::fflush(stdout);  // in order with a failure printed on stderr
    };
    hooks.passedOver = [](const store::DbError& e) { std::printf("passed over %s\n", e.message().c_str()); };
    hooks.confirm = [] { return true; };
    import(state, hooks);
  } catch (const store::DbError& e) {
    store::CloseConnections(state, [](const std::string&) {});
    return failWith(e);
  }
  store::CloseConnections(state, [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); });
  std::printf("Import completed.\n");
  return afterWriting(state.appFolder);
}

}  // namespace

int cmdCompact(const Args& args) {
  if (args.size() != 1) return usageError("compact DIR");
  if (store::isServerUri(args[0])) {
    std::printf("%s\n", store::kServerKeepsItsFiles);
    return 0;
  }
  const fs::path bank = store::schema::bankPath(args[0]);
  std::error_code ec;
  const auto before = fs::file_size(bank, ec);
  try {
    store::compactBank(args[0]);
  } catch (const store::DbError& e) {
    return failWith(e);
  }
  std::printf("Compression completed: %ju bytes before, %ju after.\n", static_cast<uintmax_t>(before),
              static_cast<uintmax_t>(fs::file_size(bank, ec)));
  return 0;
}

// The import links its source file into the bank, which a bank on a server cannot reach.
int refusedOnServer(const std::string& dir) {
  return failWith(store::DbError(store::err::Generic, "'" + dir + "' is a bank on a server, into which the import "
                                                      "cannot link its source file; nothing was changed."));
}

int cmdImport(const Args& args) {
  if (args.size() != 4) return usageError("import DIR SOURCE-FILE KIND POOL");
  if (store::isServerUri(args[0])) return refusedOnServer(args[0]);
  const char* table = nullptr;
  for (store::schema::Kind k : store::schema::choiceKinds())
    if (args[2] == store::schema::kindName(k)) table = store::schema::tableName(k);
  if (!table) return failWith(store::DbError(store::err::TableNotFound, "KIND is one of SC, CR, RC, PS, DS."));
  const std::string source = fs::absolute(args[1]).string();
  try {
    maintenance::requireRegularSource(source);  // before the bank is opened: a pipe would hold it for ever
  } catch (const store::DbError& e) {
    return failWith(e);
  }
  return withConnections(args[0], [&](store::ProgramState& state, const maintenance::ImportHooks& hooks) {
    maintenance::ImportPool(state, source, table, args[3], hooks);
  });
}

int cmdImportMemos(const Args& args) {
  if (args.size() < 3) return usageError("import-memos DIR SOURCE-FILE NUMQ...");
  if (store::isServerUri(args[0])) return refusedOnServer(args[0]);
  const std::string source = fs::absolute(args[1]).string();
  const std::vector<std::string> numbers(args.begin() + 2, args.end());
  try {
    maintenance::requireRegularSource(source);
  } catch (const store::DbError& e) {
    return failWith(e);
  }
  return withConnections(args[0], [&](store::ProgramState& state, const maintenance::ImportHooks& hooks) {
    maintenance::ImportMemos(state, source, numbers, hooks);
  });
}

}  // namespace bank_tool
