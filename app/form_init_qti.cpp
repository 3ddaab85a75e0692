// The section window's QTI parts: "Export..." and the import frame reading a QTI package or
// a single item instead of another bank file.
#include <set>

#include "app_log.h"
#include "form_export_qti.h"
#include "form_init.h"
#include "qti_import.h"
#include "recordset.h"
#include "schema.h"
#include "statements.h"

namespace app {

namespace {

namespace qti = exchange::qti;
using bank::schema::Kind;

const char* const kQtiFilter = "QTI (*.zip;*.xml)|*.zip;*.xml|すべてのﾌｧｲﾙ (*.*)|*.*";
// An entry of the list that imports essay topics of a type, not questions into a pool.
const std::string kEssayEntry = "AWA ";

std::vector<std::string> distinctValues(store::Connection& conn, Kind kind) {
  const char* table = bank::schema::kindEntry(kind).table;
  const char* field = bank::schema::fieldFor(kind, bank::schema::Holds::Pool);
  std::set<std::string> seen;
  std::vector<std::string> out;
  store::Recordset rs;
  rs.open(kind == Kind::AWA ? store::statements::everyRowOf(table) : store::statements::poolsInOrder(table), conn,
          store::adOpenForwardOnly, store::adLockReadOnly);
  for (; !rs.eof(); rs.moveNext()) {
    const std::string v = rs.value(field).toString();
    if (!v.empty() && seen.insert(v).second) out.push_back(v);
  }
  rs.close();
  return out;
}

}  // namespace

void FormInit::cmdExportQti_Click() {
  reopenConnections();
  (new FormExportQti(state_.pConn(), state_.appFolder.string()))->Show();
}

void FormInit::chkQti_Click() { cmdCancel_Click(); }

void FormInit::cmdFileOpenQti() {
  CmnDlgEdit.Filter = kQtiFilter;
  if (!CmnDlgEdit.ShowOpen() || CmnDlgEdit.FileName.empty()) {
    ui::MsgBox("Invalid File Name.", ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Error");
    cmdCancel_Click();
    return;
  }
  pImportFileName = CmnDlgEdit.FileName;
  ListQtiTargets();
}

void FormInit::ListQtiTargets() {
  // The chosen kind; none for the memos or no choice. Kept as a flag and a kind, not an
  // optional: g++ 12 at -O3 takes the optional's value for uninitialised.
  const int section = chosenPoolSection();
  bool chosen = false;
  Kind kind = Kind::SC;
  if (section >= 0) {
    if (const std::optional<Kind> k = bank::schema::kindNamed(optPoolSection[section].Caption())) {
      chosen = true;
      kind = *k;
    }
  }
  std::vector<std::string> entries;
  try {
    reopenConnections();
    std::vector<std::pair<Kind, std::string>> packaged = qti::poolsInPackage(pImportFileName);
    std::set<std::string> seen;
    auto add = [&](const std::string& e) {
      if (seen.insert(e).second) entries.push_back(e);
    };
    if (chosen) {
      for (const auto& [k, pool] : packaged)
        if (k == kind) add(pool);
      for (const std::string& pool : distinctValues(state_.pConn(), kind)) add(pool);
    }
    for (const auto& [k, type] : packaged)
      if (k == Kind::AWA) add(kEssayEntry + type);
    for (const std::string& type : distinctValues(state_.pConn(), Kind::AWA)) add(kEssayEntry + type);
    add(kEssayEntry + "A");
    add(kEssayEntry + "I");
  } catch (const qti::ImportRefused& e) {
    ui::MsgBox(e.what(), ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Import Error");
    cmdCancel_Click();
    return;
  } catch (const store::DbError& e) {
    ui::MsgBox(e.message(), ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Import Error");
    return;
  }
  showListing(entries);
}

void FormInit::importQti(int section) {
  std::string target;
  for (int i = 0; i < lstEdit.ListCount(); ++i)
    if (lstEdit.Selected(i)) target = target.empty() ? lstEdit.List(i) : "\n";
  if (target.empty() || target == "\n") {
    ui::MsgBox("You can select only one pool.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information);
    return;
  }
  qti::ImportOptions options;
  if (target.rfind(kEssayEntry, 0) == 0) {
    options.kind = Kind::AWA;
    options.pool = target.substr(kEssayEntry.size());
  } else {
    const std::optional<Kind> kind = bank::schema::kindNamed(optPoolSection[section].Caption());
    if (!kind) {
      ui::MsgBox("Choose the kind that the questions become.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information);
      return;
    }
    options.kind = *kind;
    options.pool = target;
  }
  if (ui::MsgBox("Are you sure?", ui::MsgButtons::YesNo, ui::MsgIcon::Exclamation, "Import") != ui::MsgResult::Yes)
    return;
  reopenConnections();
  qti::ImportResult result;
  try {
    try {
      result = qti::importPackage(state_.pConn(), pImportFileName, options);
    } catch (const qti::ImportRefused& e) {
      // Items that cannot come in: the rest may, when the user says so.
      if (e.items.empty() || ui::MsgBox(std::string(e.what()) + "\n\nImport the other items?", ui::MsgButtons::YesNo,
                                        ui::MsgIcon::Exclamation, "Import") != ui::MsgResult::Yes) {
        if (e.items.empty()) ui::MsgBox(e.what(), ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Import Error");
        writeErrorLog(0, e.what());
        return;
      }
      options.skip = true;
      result = qti::importPackage(state_.pConn(), pImportFileName, options);
    }
  } catch (const qti::ImportRefused& e) {
    writeErrorLog(0, e.what());
    ui::MsgBox(e.what(), ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Import Error");
    return;
  } catch (const store::DbError& e) {
    importFailed(e);
    return;
  }
  WriteLog(state_, state_.pLogTag + " QTI import from " + pImportFileName + ": " + qti::importReport(result));
  ui::MsgBox("Import completed. " + qti::importReport(result), ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Import");
}

}  // namespace app
