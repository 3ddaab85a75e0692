#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>

#include "bank_check.h"
#include "bank_files.h"
#include "commands.h"
#include "connection.h"
#include "connections.h"
#include "dao.h"
#include "db_error.h"
#include "operation.h"
#include "recordset.h"
#include "schema.h"

namespace bank_tool {

namespace fs = std::filesystem;
using namespace store;
using namespace bank;

namespace {

// The folder must exist and hold both files; otherwise one clear message.
std::string checkFolder(const fs::path& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return "the folder '" + dir.string() + "' does not exist.";
  for (const fs::path& f : {schema::bankPath(dir), schema::userPath(dir)}) {
    if (fs::is_directory(f, ec)) return "'" + f.string() + "' is a folder, not a database file.";
    if (!fs::is_regular_file(f, ec)) return "the folder '" + dir.string() + "' has no " + f.filename().string() + ".";
  }
  return {};
}

// Prints the file's integrity verdict and row counts; returns whether the verdict is "ok".
bool checkOneFile(const fs::path& file, const char* key) {
  const FileCheck check = checkFile(file, key);
  const std::string name = file.filename().string();
  if (!check.integrity.empty()) std::printf("%s: integrity %s\n", name.c_str(), check.integrity.c_str());
  for (const auto& [table, rows] : check.tableRows) std::printf("  table %-16s %lld rows\n", table.c_str(), rows);
  if (!check.stoppedAt.empty())
    std::printf("%s: integrity check stopped at a damaged page (%s)\n", name.c_str(), check.stoppedAt.c_str());
  return check.whole();
}

// A bank on a server: the server keeps its own files whole; what is checked is that every table
// and link of the bank is reached, with its rows counted.
int checkServerBank(const std::string& uri) {
  try {
    dao::Database db = dao::openDatabase(uri, false, true, "");
    Connection conn;
    conn.open(uri);
    std::printf("%s: on the server\n", db.name().c_str());
    for (const dao::TableDef& def : db.tableDefs()) {
      if (def.attributes() & dao::dbSystemObject) continue;
      Recordset rs;
      rs.open("select count(*) as n from [" + def.name() + "]", conn, adOpenForwardOnly, adLockReadOnly);
      if (def.connect().empty())
        std::printf("  table %-16s %lld rows\n", def.name().c_str(), static_cast<long long>(rs.value("n").toInt()));
      else
        std::printf("link %-12s -> %s in the schema %s (%lld rows)\n", def.name().c_str(), def.sourceTableName().c_str(),
                    parseConnect(def.connect()).schema.c_str(), static_cast<long long>(rs.value("n").toInt()));
      rs.close();
    }
    return 0;
  } catch (const DbError& e) {
    return fail(e.message());
  }
}

}  // namespace

int fail(const std::string& message) {
  std::fprintf(stderr, "zorbex-bank: %s\n", message.c_str());
  return 1;
}

int afterWriting(const fs::path& dir) {
  std::string warnings;
  bool diskFull = false;
  for (const fs::path& f : {schema::bankPath(dir), schema::userPath(dir)})
    if (const LogWait wait = unfinishedLog(f); wait != LogWait::None) {
      warnings += "zorbex-bank: " + unfinishedLogWarning(f, wait) + "\n";
      diskFull = diskFull || wait == LogWait::DiskFull;
    }
  std::fprintf(stderr, "%s", warnings.c_str());
  // A reader's hold ends by itself and nothing is lost: success, with the note.
  return diskFull ? kSavedNotWhole : 0;
}

void settle(const fs::path& dir) {
  for (const std::string& note : settleFolder(dir)) std::printf("note: %s\n", note.c_str());
  std::fflush(stdout);  // in order with a failure printed on stderr
}

void pointLinksAtOwnUserDatabase(const fs::path& dir) {
  // Links that already point home are left alone: re-pointing opens the user database to
  // check it, which a command that never reaches it should not need (on a full disk it cannot).
  const std::string home = schema::userLinkConnect(fs::absolute(dir));
  bool alreadyHome = true;
  {
    dao::Database db = dao::openDatabase(schema::bankPath(dir).string(), false, true,
                                         std::string("MS Access;pwd=") + schema::kBankKey);
    for (const dao::TableDef& def : db.tableDefs())
      if (!def.connect().empty() && def.connect() != home) alreadyHome = false;
    db.close();
  }
  if (alreadyHome) return;
  ProgramState state(fs::absolute(dir));
  RefreshTableLinks(state, [](int) {}, [](const std::string&) {});
}

int cmdCreate(const Args& args) {
  bool demo = false;
  std::string dir;
  for (const std::string& a : args) {
    if (a == "--demo")
      demo = true;
    else if (dir.empty())
      dir = a;
    else
      return usageError("create [--demo] DIR");
  }
  if (dir.empty()) return usageError("create [--demo] DIR");
  try {
    schema::userLinkConnect(fs::absolute(dir));  // a path the links cannot carry is refused before the folder is made
    std::error_code ec;
    const bool existed = fs::exists(dir, ec);
    fs::create_directories(dir, ec);
    if (ec) return fail("the folder '" + dir + "' cannot be made: " + ec.message() + ".");
    fs::path folder = fs::absolute(dir);
    try {
      if (fs::exists(schema::bankPath(folder), ec) || fs::exists(schema::userPath(folder), ec))
        throw DbError(err::Generic, "A bank already exists in '" + folder.string() + "'; nothing was changed.");
      // Made under a name of the run's own and put in place whole: a run stopped part-way leaves
      // no half-made pair in the folder, only its own folder, which the next command removes.
      StagedPair work(folder);
      schema::createBank(work.path(), {}, demo ? writeDemoContent : std::function<void(const fs::path&)>());
      work.putInPlace();
    } catch (const DbError&) {
      if (!existed) fs::remove(folder, ec);  // the folder it made, empty again
      throw;
    }
    std::printf("created %s and %s in %s\n", schema::kBankFile, schema::kUserFile, folder.string().c_str());
    return afterWriting(folder);
  } catch (const DbError& e) {
    return fail(e.message());
  }
}

int cmdCheck(const Args& args) {
  if (args.size() != 1) return usageError("check DIR");
  if (isServerUri(args[0])) return checkServerBank(args[0]);
  fs::path dir = args[0];
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return fail(checkFolder(dir));
  try {
    settle(dir);  // a pair not published together is completed first, or refused with its reason
  } catch (const DbError& e) {
    return fail(e.message());
  }
  if (std::string problem = checkFolder(dir); !problem.empty()) return fail(problem);
  try {
    bool whole = checkOneFile(schema::bankPath(dir), schema::kBankKey);
    whole = checkOneFile(schema::userPath(dir), schema::kUserKey) && whole;
    dao::Database db = dao::openDatabase(schema::bankPath(dir).string(), false, false,
                                         std::string("MS Access;pwd=") + schema::kBankKey);
    for (const dao::TableDef& def : db.tableDefs())
      if (!def.connect().empty())
        std::printf("link %-12s -> %s in %s\n", def.name().c_str(), def.sourceTableName().c_str(),
                    parseConnect(def.connect()).database.c_str());
    db.close();
    if (!whole) return fail("the integrity check found damage; restore a backup ('zorbex-bank restore').");
    const std::vector<std::string> missing = structureProblems(dir);
    for (const std::string& m : missing) std::printf("missing: %s\n", m.c_str());
    if (!missing.empty())
      return fail("the bank is not whole: " + std::to_string(missing.size()) +
                  " part(s) of its structure are missing or broken (listed above).");
    return 0;
  } catch (const DbError& e) {
    return fail(e.message());
  }
}

int cmdBackup(const Args& args) {
  if (args.size() != 2) return usageError("backup DIR FILE");
  if (std::string problem = checkFolder(args[0]); !problem.empty()) return fail(problem);
  try {
    if (std::string problem = prepareBank(args[0]); !problem.empty()) return fail(problem);
    backupBank(args[0], args[1]);
    std::printf("copied %s to %s\n", schema::bankPath(args[0]).string().c_str(), args[1].c_str());
    return 0;
  } catch (const DbError& e) {
    return fail(e.message());
  }
}

int cmdRestore(const Args& args) {
  if (args.size() != 2) return usageError("restore FILE DIR");
  try {
    std::error_code ec;
    if (fs::is_directory(args[1], ec)) settle(args[1]);
    restoreBank(args[0], args[1]);
  } catch (const DbError& e) {
    return fail(e.message());
  }
  std::printf("restored %s from %s\n", schema::bankPath(args[1]).string().c_str(), args[0].c_str());
  std::error_code ec;
  if (!fs::is_regular_file(schema::userPath(args[1]), ec)) return 0;
  try {
    pointLinksAtOwnUserDatabase(args[1]);  // a backup taken in another folder links there
  } catch (const DbError& e) {
    return fail("the bank was restored, but its links could not be pointed at " + schema::userPath(args[1]).string() +
                ": " + e.message());
  }
  return afterWriting(args[1]);
}

int cmdSql(const Args& args) {
  if (args.size() != 2) return usageError("sql DIR STATEMENT");
  const bool server = isServerUri(args[0]);
  if (std::string problem = server ? "" : checkFolder(args[0]); !problem.empty()) return fail(problem);
  auto done = [&] { return afterBank(args[0]); };
  try {
    Connection conn;
    // Re-pointing the links is a write of its own, committed before the statement runs, so
    // that a failed statement leaves the bank as it was.
    if (std::string problem = openBank(args[0], conn); !problem.empty()) return fail(problem);
    const std::string& sql = args[1];
    std::string first = lowerAscii(sql.substr(0, sql.find_first_of(" \t\r\n")));
    if (first != "select") {
      bank::OperationTag tag(conn, bank::Operation::ToolSql);
      long n = conn.execute(sql);
      tag.commit();
      std::printf("%ld rows changed\n", n);
      conn.close();
      return done();
    }
    Recordset rs;
    rs.open(sql, conn, adOpenDynamic, adLockReadOnly);
    auto names = rs.fieldNames();
    for (size_t i = 0; i < names.size(); ++i) std::cout << (i ? "\t" : "") << names[i];
    std::cout << "\n";
    while (!rs.eof()) {
      for (size_t i = 0; i < names.size(); ++i) std::cout << (i ? "\t" : "") << rs.value(names[i]).toString();
      std::cout << "\n";
      rs.moveNext();
    }
    rs.close();
    conn.close();
    return done();
  } catch (const DbError& e) {
    std::fprintf(stderr, "%s\n", e.message().c_str());
    return 1;
  }
}

}  // namespace bank_tool
