#pragma once
// "Export Questions": the bank's questions written as a QTI content package, with the bank
// tool's choices (kinds, pool, number prefix, QTI version, without the answers), a progress
// bar, and a message that says what was written.

#include <string>

#include "connection.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "qti_export.h"

namespace app {

class FormExportQti : public ui::Form {
 public:
  // folder: where the package is proposed first.
  FormExportQti(store::Connection& conn, const std::string& folder);

  ui::Frame fraKinds;
  ui::CheckArray chkKind;  // by schema::Kind
  ui::Label lblPool;
  ui::TextBox txtPool;
  ui::Label lblPrefix;
  ui::TextBox txtPrefix;
  ui::Frame fraVersion;
  ui::OptionArray optVersion;  // QTI 2.1, QTI 2.2
  ui::CheckBox chkNoKey;
  ui::Label lblFile;
  ui::TextBox txtFile;
  ui::ProgressBar prgExport;
  ui::CommandButton cmdExport;
  ui::CommandButton cmdClose;

  // What the controls ask for.
  exchange::qti::ExportOptions exportOptions() const;
  void cmdExport_Click();
  void cmdClose_Click() { Unload(); }

 private:
  store::Connection& conn_;
};

}  // namespace app
