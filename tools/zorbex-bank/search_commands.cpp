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
namespace schema = bank::schema;

namespace {

// The first build of the index over a large bank takes a while: its progress goes to stderr.
search::Progress progressOnStderr() {
  return [](int percent) {
    std::fprintf(stderr, "\rzorbex-bank: indexing the bank... %3d%%", percent);
    if (percent == 100) std::fprintf(stderr, "\n");
  };
}

}  // namespace

int cmdSearch(const Args& args) {
  const char* usage = "search DIR WORDS... [--kind KIND]... [--pool POOL] [--prefix NUMBER-PREFIX]";
  if (args.size() < 2) return usageError(usage);
  const std::string& dir = args[0];
  search::index::Filter filter;
  QString typed;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--kind" || a == "--pool" || a == "--prefix") {
      if (i + 1 == args.size()) return usageError(usage);
      const std::string& value = args[++i];
      if (a == "--pool") {
        filter.pool = value;
      } else if (a == "--prefix") {
        filter.numberPrefix = value;
      } else {
        const std::optional<schema::Kind> kind = schema::kindNamed(value);
        if (!kind) return wrongArgument("unknown kind '" + value + "' (SC, CR, RC, PS, DS or AWA).");
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
  if (query.empty()) return wrongArgument("nothing to search for: give at least one word.");
  if (const std::string tooLong = search::tooLongQuery(query); !tooLong.empty()) return wrongArgument(tooLong + " Nothing was searched.");
  try {
    Connection conn;
    if (std::string problem = openBank(dir, conn); !problem.empty()) return fail(problem);
    // Printed batch by batch as the places of each are marked, the best hits first.
    search::searchBank(conn, query, filter, progressOnStderr(), [](const std::vector<search::Result>& batch) {
      for (const search::Result& r : batch) {
        const QString line = QString::fromLatin1(schema::kindName(r.kind)) + '\t' + QString::fromStdString(r.numQ) +
                             '\t' + search::whereOf(r.kind, r.field) + '\t' +
                             search::snippetLine(search::snippet(r.plain, r.ranges)).replace('\t', ' ');
        std::printf("%s\n", line.toStdString().c_str());
      }
    });
    tellRepairs(conn);
    conn.close();
  } catch (const DbError& e) {
    return fail(e.message());
  }
  return afterBank(dir);
}

int cmdReindex(const Args& args) {
  if (args.size() != 1) return usageError("reindex DIR");
  try {
    Connection conn;
    if (std::string problem = openBank(args[0], conn); !problem.empty()) return fail(problem);
    search::rebuildIndex(conn, progressOnStderr());
    tellRepairs(conn);
    conn.close();
  } catch (const DbError& e) {
    return fail(e.message());
  }
  return afterBank(args[0]);
}

}  // namespace bank_tool
