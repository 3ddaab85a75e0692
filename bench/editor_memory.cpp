// Memory of the SC editor over many question switches on the large bank: the resident size
// after 100 switches (the baseline) and after 5,000, in the same run. Each question has a
// typical stem, so every switch reads one into the stem box.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "connections.h"
#include "controls/form.h"
#include "controls/scripted_dialogs.h"
#include "extension.h"
#include "history.h"
#include "search_index.h"
#include "sc/form_sc_edit.h"
#include "session.h"
#include "synthetic_bank.h"

namespace {

// Resident set size in MB, from the kernel's page counts of this process.
double residentMb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Gives every question of the first SC pool, the one the editor opens on, a 2 KB stem. The
// stem is this benchmark's own, kept as it was so that its figures compare with earlier runs.
void addStems(const std::filesystem::path& folder) {
  std::string body;
  while (body.size() < 2000) body += "The committee's report, \\f1 which were released\\f0  yesterday, drew notice. ";
  const std::string stem = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil CBT;}{\\f1\\fnil CBTLINE;}}\\pard\\f0\\fs23 " +
                           body + "\\par }";
  auto db = bench_support::openBankFile(bank::schema::bankPath(folder), false);
  using bench_support::Holds;
  using bench_support::Kind;
  const std::string table = bench_support::tableOf(Kind::SC);
  const std::string pool = bench_support::fieldName(Kind::SC, Holds::Pool);
  auto update = db->prepare("UPDATE " + table + " SET " + bench_support::fieldName(Kind::SC, Holds::Stem) +
                            " = ?1 WHERE " + pool + " = (SELECT min(" + pool + ") FROM " + table + ");");
  update.bind(1, store::Value(stem));
  update.step();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  store::registerExtension(history::extension());
  store::registerExtension(search::index::extension());
  const std::filesystem::path& bank = bench_support::largeBank();
  addStems(bank);
  bank::ProgramState state(bank);
  state.flgAllKinds = true;
  bank::OpenConnections(state);
  ui::ScriptedDialogs dialogs;
  ui::Form formInit;
  auto* editor = new kinds::FormSCEdit(state, formInit);
  editor->Show();
  const int rows = editor->lstQuestion.ListCount();
  int switches = 0;
  auto switchTo = [&](int total) {
    for (; switches < total; ++switches) editor->lstQuestion.setListIndex((switches + 1) % rows);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  };
  std::printf("SC editor on %d questions of the first pool (100,000 in the bank)\n", rows);
  switchTo(100);
  const double baseline = residentMb();
  std::printf("resident after   100 switches: %8.1f MB (baseline)\n", baseline);
  switchTo(5000);
  const double after = residentMb();
  std::printf("resident after  5000 switches: %8.1f MB   growth %.1f MB, %.2f KB per switch\n", after,
              after - baseline, (after - baseline) * 1024.0 / 4900.0);
  delete editor;
  return 0;
}
