#include <QGuiApplication>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "commands.h"
#include "connection.h"
#include "db_error.h"
#include "print_job.h"
#include "schema.h"

namespace bank_tool {

namespace print = exchange::print;
namespace schema = bank::schema;

namespace {

// Fonts and text layout need a GUI application; without a display the tool draws off screen.
std::unique_ptr<QGuiApplication> guiApplication() {
  if (QGuiApplication::instance()) return nullptr;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "zorbex-bank";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int cmdPrint(const Args& args) {
  const char* usage = "print DIR FILE.pdf [--kind KIND]... [--pool POOL] [--prefix NUMBER-PREFIX] [--key] [--page A4|Letter]";
  if (args.size() < 2) return usageError(usage);
  const std::string& dir = args[0];
  const std::string& out = args[1];
  print::Selection selection;
  print::PrintOptions options;
  print::PageSize page = print::PageSize::A4;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--key") {
      options.withKey = true;
      continue;
    }
    if (a != "--kind" && a != "--pool" && a != "--prefix" && a != "--page") return usageError(usage);
    if (i + 1 == args.size()) return usageError(usage);
    const std::string& value = args[++i];
    if (a == "--pool") {
      selection.pool = value;
    } else if (a == "--prefix") {
      selection.numberPrefix = value;
    } else if (a == "--page") {
      if (value == "A4") page = print::PageSize::A4;
      else if (value == "Letter") page = print::PageSize::Letter;
      else return wrongArgument("unknown page size '" + value + "' (A4 or Letter).");
    } else {
      const std::optional<schema::Kind> kind = schema::kindNamed(value);
      if (!kind) return wrongArgument("unknown kind '" + value + "' (SC, CR, RC, PS, DS or AWA).");
      selection.kinds.push_back(*kind);
    }
  }
  const auto app = guiApplication();
  try {
    store::Connection conn;
    if (std::string problem = openBank(dir, conn); !problem.empty()) return fail(problem);
    const std::vector<print::QuestionRef> questions = print::selectedQuestions(conn, selection);
    if (questions.empty()) return fail("no question of the bank is in the selection (" + print::describe(selection) + "); nothing was written.");
    options.bankName = QString::fromStdString(store::isServerUri(dir) ? dir : std::filesystem::path(dir).filename().string());
    if (options.bankName.isEmpty()) options.bankName = QString::fromStdString(dir);
    options.selection = QString::fromStdString(print::describe(selection));
    QString error;
    const print::Outcome outcome = print::writePdf(conn, questions, options, page, QString::fromStdString(out), {}, &error);
    conn.close();
    if (outcome != print::Outcome::Printed) return fail("cannot write '" + out + "': " + error.toStdString() + ".");
    std::printf("%zu questions printed to %s\n", questions.size(), out.c_str());
  } catch (const store::DbError& e) {
    return fail(e.message());
  }
  return afterBank(dir);
}

}  // namespace bank_tool
