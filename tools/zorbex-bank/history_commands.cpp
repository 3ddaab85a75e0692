// The bank's history and trash for administrators and scripts: the versions of a question,
// putting one back, what was deleted, restoring it, and forgetting old versions.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>

#include "commands.h"
#include "connection.h"
#include "db_error.h"
#include "history.h"
#include "schema.h"
#include "text.h"

namespace bank_tool {

namespace {

using bank::schema::Kind;

// The words of a command with "--kind KIND" taken out of them.
struct Words {
  Args plain;
  std::optional<Kind> kind;
  std::string problem;
};

Words split(const Args& args) {
  Words w;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--kind") {
      w.plain.push_back(args[i]);
      continue;
    }
    if (i + 1 == args.size()) {
      w.problem = "--kind needs a kind (SC, CR, RC, PS, DS or AWA).";
      break;
    }
    w.kind = bank::schema::kindNamed(args[++i]);
    if (!w.kind) w.problem = "'" + args[i] + "' is not one of SC, CR, RC, PS, DS, AWA.";
  }
  return w;
}

std::string kindList(const std::vector<Kind>& kinds) {
  std::string out;
  for (size_t i = 0; i < kinds.size(); ++i)
    out += std::string(i == 0 ? "" : (i + 1 == kinds.size() ? " and " : ", ")) + bank::schema::kindName(kinds[i]);
  return out;
}

// The one kind that what names: the one given, or the only one it has; otherwise a message.
std::optional<Kind> oneKind(const std::vector<Kind>& found, const Words& w, const std::string& what, std::string& problem) {
  if (w.kind) {
    for (Kind k : found)
      if (k == *w.kind) return k;
    problem = what + " is not in " + bank::schema::kindName(*w.kind) + "; nothing was changed.";
    return std::nullopt;
  }
  if (found.size() == 1) return found.front();
  problem = found.empty() ? what + " is not in the bank nor in its history; nothing was changed."
                          : what + " is a number in " + kindList(found) +
                                "; name one with --kind KIND. Nothing was changed.";
  return std::nullopt;
}

// Opens the bank of words[0] (the folder, or a server's URI) and runs work on it; argCount words besides --kind.
int onBank(const Args& args, size_t argCount, const char* usage,
           const std::function<int(store::Connection&, const Words&)>& work) {
  const Words w = split(args);
  if (!w.problem.empty()) return wrongArgument(w.problem);
  if (w.plain.size() != argCount) return usageError(usage);
  try {
    store::Connection conn;
    if (std::string problem = openBank(w.plain[0], conn); !problem.empty()) return fail(problem);
    const int status = work(conn, w);
    conn.close();
    return status != 0 ? status : afterBank(w.plain[0]);
  } catch (const store::DbError& e) {
    return fail(e.message());
  }
}

// A version number as history prints it: digits only, nothing after them.
std::optional<long long> versionNumber(const std::string& text) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return std::stoll(text);
}

std::string line(const history::TrashEntry& e) {
  std::string numbers;
  for (const std::string& n : e.numbers) numbers += (numbers.empty() ? "" : " ") + n;
  return e.at + "\t" + bank::schema::kindName(e.kind) + "\t" + e.pool + "\t" + e.operation + "\t" + e.user + "\t" +
         e.machine + "\t" + std::to_string(e.numbers.size()) + "\t" + numbers;
}

}  // namespace

int cmdHistory(const Args& args) {
  return onBank(args, 2, "history DIR NUMQ [--kind KIND]", [](store::Connection& conn, const Words& w) {
    std::string problem;
    const std::optional<Kind> kind = oneKind(history::kindsOf(conn, w.plain[1]), w, w.plain[1], problem);
    if (!kind) return fail(problem);
    for (const history::Version& v : history::versions(conn, *kind, w.plain[1]))
      std::printf("%lld\t%s\t%s\t%s\t%s\t%s\n", v.id, v.at.c_str(), v.operation.c_str(), v.user.c_str(),
                  v.machine.c_str(), v.change.c_str());
    return 0;
  });
}

int cmdRevert(const Args& args) {
  return onBank(args, 3, "revert DIR NUMQ VERSION [--kind KIND]", [](store::Connection& conn, const Words& w) {
    std::string problem;
    const std::optional<Kind> kind = oneKind(history::kindsOf(conn, w.plain[1]), w, w.plain[1], problem);
    if (!kind) return fail(problem);
    const std::optional<long long> id = versionNumber(w.plain[2]);
    if (!id) return wrongArgument("'" + w.plain[2] + "' is not a version number; nothing was changed.");
    history::revert(conn, *kind, w.plain[1], *id);
    std::printf("restored version %lld of %s (%s)\n", *id, w.plain[1].c_str(), bank::schema::kindName(*kind));
    return 0;
  });
}

int cmdTrash(const Args& args) {
  return onBank(args, 1, "trash DIR", [](store::Connection& conn, const Words&) {
    for (const history::TrashEntry& e : history::trash(conn)) std::printf("%s\n", line(e).c_str());
    return 0;
  });
}

int cmdUndelete(const Args& args) {
  return onBank(args, 2, "undelete DIR NUMQ|POOL [--kind KIND]", [](store::Connection& conn, const Words& w) {
    const std::vector<history::TrashEntry> entries = history::entriesFor(conn, w.plain[1]);
    if (entries.empty()) return fail(w.plain[1] + " is not in the trash; nothing was changed.");
    std::vector<Kind> kinds;
    for (const history::TrashEntry& e : entries) kinds.push_back(e.kind);
    std::string problem;
    const std::optional<Kind> kind = oneKind(kinds, w, w.plain[1] + " in the trash", problem);
    if (!kind) return fail(problem);
    for (const history::TrashEntry& e : entries) {
      if (e.kind != *kind) continue;
      history::undelete(conn, e);
      std::printf("restored %zu question(s) of %s: %s\n", e.numbers.size(), bank::schema::kindName(e.kind),
                  line(e).substr(line(e).rfind('\t') + 1).c_str());
    }
    return 0;
  });
}

int cmdPruneHistory(const Args& args) {
  const Words w = split(args);
  if (w.plain.size() == 2 && !history::isCalendarDate(w.plain[1]))
    return wrongArgument("'" + w.plain[1] + "' is not a day of the calendar written YYYY-MM-DD; nothing was changed.");
  return onBank(args, 2, "prune-history DIR BEFORE-DATE", [](store::Connection& conn, const Words& w) {
    const long gone = history::prune(conn, w.plain[1]);
    std::printf("removed %ld version(s) kept before %s\n", gone, w.plain[1].c_str());
    return 0;
  });
}

}  // namespace bank_tool
