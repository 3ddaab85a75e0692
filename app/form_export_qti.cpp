#include "form_export_qti.h"

#include <filesystem>

#include "controls/dialogs.h"
#include "db_error.h"
#include "kind_registry.h"
#include "zip_package.h"

namespace app {

namespace qti = exchange::qti;
using bank::schema::Kind;

FormExportQti::FormExportQti(store::Connection& conn, const std::string& folder)
    : fraKinds(this, "Kinds"),
      lblPool(this, "Pool (empty: every pool)"),
      txtPool(this),
      lblPrefix(this, "Number prefix"),
      txtPrefix(this),
      fraVersion(this, "Version"),
      chkNoKey(this, "Leave the answers out"),
      lblFile(this, "Package file"),
      txtFile(this),
      prgExport(this),
      cmdExport(this, "Export"),
      cmdClose(this, "Close"),
      conn_(conn) {
  setCaption("Export Questions");
  setDeleteOnUnload(true);
  setOwnWindow();
  setWidth(6360);
  setHeight(4320);

  fraKinds.Move(180, 120, 2580, 1500);
  for (Kind k : bank::schema::kAllKinds) {
    const int i = static_cast<int>(k);
    auto& chk = chkKind.add(new ui::CheckBox(&fraKinds, bank::schema::kindEntry(k).name, i));
    chk.Move(180 + (i % 2) * 1170, 300 + (i / 2) * 360, 1140, 330);
    chk.setChecked(true);
  }
  fraVersion.Move(180, 1740, 2580, 780);
  for (int i = 0; i < 2; ++i) {
    auto& opt = optVersion.add(new ui::OptionButton(&fraVersion, i == 0 ? "QTI 2.1" : "QTI 2.2", i));
    opt.Move(150 + i * 1200, 330, 1170, 330);
  }
  optVersion[0].setChecked(true);

  lblPool.Move(2940, 180, 3240, 270);
  txtPool.Move(2940, 450, 3240, 345);
  lblPrefix.Move(2940, 930, 3240, 270);
  txtPrefix.Move(2940, 1200, 3240, 345);
  chkNoKey.Move(2940, 1800, 3240, 330);
  lblFile.Move(180, 2640, 5940, 270);
  txtFile.Move(180, 2910, 5940, 345);
  txtFile.setText((std::filesystem::path(folder) / "questions.zip").string());
  prgExport.Move(180, 3420, 3300, 330);
  cmdExport.Move(3660, 3360, 1140, 420);
  cmdClose.Move(4980, 3360, 1140, 420);
  cmdExport.Click = [this] { cmdExport_Click(); };
  cmdClose.Click = [this] { cmdClose_Click(); };
}

qti::ExportOptions FormExportQti::exportOptions() const {
  qti::ExportOptions o;
  for (Kind k : bank::schema::kAllKinds)
    if (chkKind[static_cast<int>(k)].Value()) o.kinds.push_back(k);
  o.pool = txtPool.Text();
  o.numberPrefix = txtPrefix.Text();
  o.version = optVersion[1].Value() ? qti::Version::V2p2 : qti::Version::V2p1;
  o.withKey = chkNoKey.Value() == 0;
  return o;
}

void FormExportQti::cmdExport_Click() {
  const qti::ExportOptions options = exportOptions();
  if (options.kinds.empty()) {
    ui::MsgBox("Choose at least one kind.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Export");
    return;
  }
  const std::string file = txtFile.Text();
  if (file.empty()) {
    ui::MsgBox("Give the package file's name.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Export");
    return;
  }
  prgExport.setValue(0);
  setMousePointer(ui::MousePointer::Hourglass);
  try {
    // Painted when the percentage changes, not for every question.
    const qti::ExportSummary s = qti::exportPackage(conn_, file, options, [this](long done, long total) {
      const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
      if (percent != prgExport.Value()) prgExport.setValue(percent);
    });
    setMousePointer(ui::MousePointer::Default);
    prgExport.setValue(100);
    ui::MsgBox(qti::exportReport(s, file), ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Export");
  } catch (const store::DbError& e) {
    setMousePointer(ui::MousePointer::Default);
    ui::MsgBox(e.message(), ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Export Error");
  } catch (const qti::PackageError& e) {
    setMousePointer(ui::MousePointer::Default);
    ui::MsgBox(e.what(), ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Export Error");
  }
}

}  // namespace app
