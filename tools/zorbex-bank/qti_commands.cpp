// export-qti and import-qti: questions out to and in from QTI content packages.
#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include "commands.h"
#include "connection.h"
#include "db_error.h"
#include "qti_export.h"
#include "qti_import.h"
#include "schema.h"
#include "zip_package.h"

namespace bank_tool {

namespace fs = std::filesystem;
namespace schema = bank::schema;
namespace qti = exchange::qti;

namespace {

// Long runs tell how far they have come on stderr, when someone watches it.
auto progressOnStderr(const char* what) {
  return [what, last = -1, shown = isatty(2) == 1](long done, long total) mutable {
    if (!shown) return;
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (percent == last) return;
    last = percent;
    std::fprintf(stderr, "\rzorbex-bank: %s... %3d%%", what, percent);
    if (percent == 100) std::fprintf(stderr, "\n");
  };
}

}  // namespace

int cmdExportQti(const Args& args) {
  const char* usage = "export-qti DIR FILE.zip [--kind KIND]... [--pool POOL] [--prefix NUMBER-PREFIX] [--qti 2.1|2.2] [--no-key]";
  if (args.size() < 2) return usageError(usage);
  qti::ExportOptions options;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--no-key") {
      options.withKey = false;
      continue;
    }
    if (a != "--kind" && a != "--pool" && a != "--prefix" && a != "--qti") return usageError(usage);
    if (i + 1 == args.size()) return usageError(usage);
    const std::string& value = args[++i];
    if (a == "--pool") {
      options.pool = value;
    } else if (a == "--prefix") {
      options.numberPrefix = value;
    } else if (a == "--qti") {
      if (value != "2.1" && value != "2.2") return wrongArgument("'" + value + "' is not a QTI version (2.1 or 2.2).");
      options.version = value == "2.1" ? qti::Version::V2p1 : qti::Version::V2p2;
    } else {
      const std::optional<schema::Kind> kind = schema::kindNamed(value);
      if (!kind) return wrongArgument("unknown kind '" + value + "' (SC, CR, RC, PS, DS or AWA).");
      options.kinds.push_back(*kind);
    }
  }
  try {
    store::Connection conn;
    if (std::string problem = openBank(args[0], conn); !problem.empty()) return fail(problem);
    const qti::ExportSummary summary = qti::exportPackage(conn, args[1], options, progressOnStderr("exporting"));
    conn.close();
    std::printf("%s\n", qti::exportReport(summary, args[1]).c_str());
  } catch (const store::DbError& e) {
    return fail(e.message());
  } catch (const qti::PackageError& e) {
    return fail(e.what());
  }
  return afterBank(args[0]);
}

int cmdImportQti(const Args& args) {
  const char* usage = "import-qti DIR FILE.zip|ITEM.xml KIND POOL [--skip]";
  if (args.size() != 4 && !(args.size() == 5 && args[4] == "--skip")) return usageError(usage);
  qti::ImportOptions options;
  const std::optional<schema::Kind> kind = schema::kindNamed(args[2]);
  if (!kind) return wrongArgument("unknown kind '" + args[2] + "' (SC, CR, RC, PS, DS or AWA).");
  options.kind = *kind;
  options.pool = args[3];
  options.skip = args.size() == 5;
  try {
    store::Connection conn;
    if (std::string problem = openBank(args[0], conn); !problem.empty()) return fail(problem);
    const qti::ImportResult result = qti::importPackage(conn, fs::absolute(args[1]), options, progressOnStderr("importing"));
    conn.close();
    std::printf("%s\n", qti::importReport(result).c_str());
  } catch (const store::DbError& e) {
    return fail(e.message() + " Nothing was imported.");
  } catch (const qti::ImportRefused& e) {
    return fail(e.what());
  }
  return afterBank(args[0]);
}

}  // namespace bank_tool
