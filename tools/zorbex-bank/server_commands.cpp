// The team bank on a server: a file bank moved there, and the file pair published from it.
#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "db_error.h"
#include "server_bank.h"

namespace bank_tool {

namespace {
int report(const std::vector<bank::CopiedTable>& tables, const char* verb) {
  for (const auto& t : tables) std::printf("%-16s %lld rows %s, every row the same\n", t.table.c_str(), t.rows, verb);
  return 0;
}
}  // namespace

int cmdServerPush(const Args& args) {
  if (args.size() != 2) return usageError("server-push DIR URL");
  try {
    std::error_code ec;
    if (std::filesystem::is_directory(args[0], ec)) settle(args[0]);  // the pair pushed is the one in place
    return report(bank::pushBankToServer(std::filesystem::absolute(args[0]), args[1]), "copied");
  } catch (const store::DbError& e) {
    return fail(e.message());
  }
}

int cmdServerPublish(const Args& args) {
  if (args.size() != 2) return usageError("server-publish URL DIR");
  try {
    const std::filesystem::path dir = std::filesystem::absolute(args[1]);
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) settle(dir);
    return report(bank::publishServerBank(args[0], dir), "published");
  } catch (const store::DbError& e) {
    return fail(e.message());
  }
}

}  // namespace bank_tool
