#include "form_bind_data.h"

#include "app_log.h"
#include "bank_files.h"
#include "connections.h"
#include "extension.h"

namespace app {

FormBindData::FormBindData(bank::ProgramState& state, ui::Form& formInit, bool prevInstance)
    : lblMsg(this), PgrBar(this), cmdCancel(this, "Cancel"), state_(state), formInit_(formInit),
      prevInstance_(prevInstance) {
  setCaption("ZORBEX");
  setWindowIcon(ui::Bitmap("app_icon"));
  setWidth(4800);
  setHeight(2190);
  lblMsg.Move(240, 210, 4320, 330);
  PgrBar.Move(240, 660, 4320, 300);
  cmdCancel.Move(3360, 1260, 1200, 420);
  cmdCancel.Click = [this] { cmdCancel_Click(); };
}

void FormBindData::Form_Load() {
  state_.pLogTag = "BindData";
  PgrBar.setValue(0);
  if (prevInstance_) {
    endedAtOnce_ = true;
    Unload();
    return;
  }
  setHeight(2190);
  WriteLog(state_, startMessage(state_));
}

void FormBindData::Form_Activate() {
  if (endedAtOnce_) return;
  Refresh();
  // A publication or restore stopped part-way is completed or cleared before the bank is opened.
  if (!bank::ServerConnectionString(state_.appFolder))
    for (const std::string& note : bank::settleFolder(state_.appFolder)) WriteLog(state_, state_.pLogTag + " " + note);
  bank::RefreshTableLinks(
      state_, [this](int value) { PgrBar.setValue(value); },
      [this](const std::string& text) {
        lblMsg.setCaption(text);
        lblMsg.Refresh();
      });
  PgrBar.setValue(90);
  bank::OpenConnections(state_);
  // A bank on a server is named in the log; the bank file of the folder goes without saying.
  if (state_.pConn().onServer()) WriteLog(state_, state_.pLogTag + " ZORBEXEditor works on " + bank::BankDescription(state_) + ".");
  // What another program broke of the history or the index and the open made again.
  for (const std::string& r : store::takeExtensionRepairs(state_.pConn()))
    WriteLog(state_, state_.pLogTag + " ZORBEXEditor made again: " + r + ".");
  PgrBar.setValue(100);
  formInit_.Load();
  formInit_.Hide();
  formInit_.Show();
  Unload();
  if (afterStart) afterStart();
}

void FormBindData::Form_Terminate() { WriteLog(state_, terminationMessage(state_)); }

void FormBindData::cmdCancel_Click() { Unload(); }

}  // namespace app
