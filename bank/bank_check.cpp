#include "bank_check.h"

#include <set>

#include "dao.h"
#include "db_error.h"
#include "dialect.h"
#include "engine.h"
#include "extension.h"
#include "schema.h"
#include "text.h"

namespace bank {

// The bank is built of the store's connections, engines and values.
using namespace store;

namespace fs = std::filesystem;

namespace {

std::set<std::string> columnsOf(Engine& db, const std::string& table) {
  std::set<std::string> names;
  auto st = db.query("PRAGMA table_info(" + tableIdent(Dialect::Sqlite, table) + ");");
  while (st->next()) names.insert(lowerAscii(st->column(1).toString()));
  return names;
}

void findMissingTables(Engine& db, const char* fileName, const std::vector<schema::TableSpec>& tables,
                       std::vector<std::string>& out) {
  for (const schema::TableSpec& t : tables) {
    if (!db.hasTable(t.name)) {
      out.push_back(std::string(fileName) + " has no table " + t.name);
      continue;
    }
    std::set<std::string> have = columnsOf(db, t.name);
    for (const schema::Column& c : t.columns)
      if (!have.count(lowerAscii(c.name)))
        out.push_back(std::string(fileName) + ": table " + t.name + " has no column " + c.name);
  }
}

void findBrokenLinks(Engine& bank, const fs::path& folder, std::vector<std::string>& out) {
  const fs::path own = schema::userPath(folder);
  for (const char* name : schema::kLinkedUserTables) {
    auto st = bank.query(std::string("SELECT connect FROM ") + kTableDefsTable + " WHERE name = ?1 AND connect IS NOT NULL;",
                         {Value(name)});
    if (!st->next()) {
      out.push_back(std::string("the link ") + name + " is missing from " + schema::kBankFile);
      continue;
    }
    const std::string file = parseConnect(st->column(0).toString()).database;
    std::error_code ec;
    if (file.empty())
      out.push_back(std::string("the link ") + name + " names no file");
    else if (!fs::is_regular_file(file, ec))
      out.push_back(std::string("the link ") + name + " points at '" + file + "', which does not exist");
    else if (!fs::equivalent(file, own, ec))
      out.push_back(std::string("the link ") + name + " points at '" + file + "', not at this folder's " +
                    schema::kUserFile + " (run any other zorbex-bank command on the folder, or start the editor, "
                    "to point it back)");
  }
}

}  // namespace

std::vector<std::string> structureProblems(const fs::path& folder) {
  std::vector<std::string> out;
  auto bank = openOurFile(schema::bankPath(folder).string(), schema::kBankKey, false, ErrorStyle::Ado);
  auto user = openOurFile(schema::userPath(folder).string(), schema::kUserKey, false, ErrorStyle::Ado);
  findMissingTables(*bank, schema::kBankFile, schema::bankTables(), out);
  findBrokenLinks(*bank, folder, out);
  for (const std::string& p : extensionProblems(*bank, schema::kBankFile)) out.push_back(p);
  findMissingTables(*user, schema::kUserFile, schema::userTables(), out);
  return out;
}

}  // namespace bank
