#include <cstdio>
#include <filesystem>

#include "bank_search.h"
#include "commands.h"
#include "connection.h"
#include "db_error.h"
#include "schema.h"

namespace bank_tool {

namespace fs = std::filesystem;
using namespace store;

namespace {

// A folder's bank file, or the bank on a server that a libpq URI names.
bool openBank(const std::string& dir, Connection& conn, std::string& problem) {
  if (isServerUri(dir)) {
    conn.open(dir);
    return true;
  }
  std::error_code ec;
  if (!fs::is_regular_file(schema::bankPath(dir), ec)) {
    problem = "the folder '" + dir + "' has no " + schema::kBankFile + ".";
    return false;
  }
  conn.open(schema::bankPath(dir).string(), schema::kBankKey);
  return true;
}

// A bank on a server has no files of ours to leave whole.
int afterSearchWrite(const std::string& dir) { return isServerUri(dir) ? 0 : afterWriting(dir); }

// The first build of the index over a large bank takes a while: its progress goes to stderr.
search::Progress progressOnStderr() {
  return [](int percent) {
    std::fprintf(stderr, "\rzorbex-bank: indexing the bank... %3d%%", percent);
    if (percent == 100) std::fprintf(stderr, "\n");
  };
}

}  // namespace

int cmdSearch(const Args& args) {
  const char* usage = "usage: zorbex-bank search DIR WORDS... [--kind KIND]... [--pool POOL] [--prefix NUMBER-PREFIX]";
  if (args.size() < 2) return fail(usage);
  const std::string& dir = args[0];
  search_index::Filter filter;
  QString typed;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--kind" || a == "--pool" || a == "--prefix") {
      if (i + 1 == args.size()) return fail(usage);
      const std::string& value = args[++i];
      if (a == "--pool") {
        filter.pool = value;
      } else if (a == "--prefix") {
        filter.numberPrefix = value;
      } else {
        const std::optional<schema::Kind> kind = schema::kindNamed(value);
        if (!kind) return fail("unknown kind '" + value + "' (SC, CR, RC, PS, DS or AWA).");
        filter.kinds.push_back(*kind);
      }
      continue;
    }
    // An argument with blanks in it (quoted for the shell) is a phrase.
    QString word = QString::fromStdString(a);
    if (word.contains(QLatin1Char(' ')) && !word.contains(QLatin1Char('"'))) word = '"' + word + '"';
    typed += (typed.isEmpty() ? "" : " ") + word;
  }
  const search::Query query = search::parseQuery(typed);
  if (query.empty()) return fail("nothing to search for: give at least one word.");
  try {
    Connection conn;
    std::string problem;
    if (!openBank(dir, conn, problem)) return fail(problem);
    // Printed batch by batch as the places of each are marked, the best hits first.
    search::searchBank(conn, query, filter, progressOnStderr(), [](const std::vector<search::Result>& batch) {
      for (const search::Result& r : batch) {
        const QString line = QString::fromLatin1(schema::kindName(r.kind)) + '\t' + QString::fromStdString(r.numQ) +
                             '\t' + search::whereOf(r.kind, r.field) + '\t' +
                             search::snippetLine(search::snippet(r.plain, r.ranges)).replace('\t', ' ');
        std::printf("%s\n", line.toStdString().c_str());
      }
    });
    conn.close();
  } catch (const DbError& e) {
    return fail(e.message());
  }
  return afterSearchWrite(dir);
}

int cmdReindex(const Args& args) {
  if (args.size() != 1) return fail("usage: zorbex-bank reindex DIR");
  try {
    Connection conn;
    std::string problem;
    if (!openBank(args[0], conn, problem)) return fail(problem);
    search::rebuildIndex(conn, progressOnStderr());
    conn.close();
  } catch (const DbError& e) {
    return fail(e.message());
  }
  return afterSearchWrite(args[0]);
}

}  // namespace bank_tool
