#pragma once
// The section window "ZORBEX Editor": choose a question kind and open its editor, the
// About box, exit; compaction of the bank; import of a pool or memos from another file.

#include <QKeyEvent>
#include <QPointer>
#include <string>

#include "controls/controls.h"
#include "controls/dialogs.h"
#include "controls/form.h"
#include "db_error.h"
#include "frm_about.h"
#include "print_selection.h"
#include "program_state.h"

namespace app {



class FormInit : public ui::Form {
 public:
  explicit FormInit(bank::ProgramState& state);
  ~FormInit() override;

  ui::Label lblTitle;
  ui::Frame FrameEditQuestion;
  ui::OptionArray optSelect;  // each kind by schema::Kind (SC .. AWA), then Custom Pool
  ui::Image imgNext;
  ui::Image imgExit;
  ui::CommandButton cmdAbout;
  ui::CommandButton cmdCompress;
  ui::CommandButton cmdTrash;
  ui::CommandButton cmdFind;  // the Find window (also Ctrl+F)
  ui::CommandButton cmdPrint;  // "Print...": a kind, a pool or a number prefix
  ui::Frame frameEditPool;
  ui::OptionArray optPoolSection;  // the verbal kinds, Memo, the math kinds: SC, CR, RC, Memo, PS, DS
  ui::CommandButton cmdFileOpen;
  ui::ListBox lstEdit;
  ui::CommandButton cmdImport;
  ui::CommandButton cmdCancel;
  ui::CommonDialog CmnDlgEdit;
  ui::PictureBox picDummy;
  ui::Timer TimerInit;
  ui::CommandButton cmdExportQti;  // "Export...": questions as a QTI package
  ui::CheckBox chkQti;             // the import reads a QTI package or item instead of a bank file

  std::string pImportFileName;
  bool pMemoFlag = false;

  void optSelect_Click(int index);
  void imgNext_Click();
  void imgExit_Click();
  void cmdAbout_Click();
  void TimerInit_Timer() {}
  void cmdCompress_Click();
  // "Trash": what was deleted from the bank, to restore.
  void cmdTrash_Click();
  void cmdFind_Click();
  void cmdPrint_Click();
  // Previews the questions of the selection; says so when it holds none.
  void PrintSelection(const exchange::print::Selection& selection);
  void cmdFileOpen_Click();
  void optPoolSection_Click(int index);
  void cmdCancel_Click();
  void cmdImport_Click();
  void ListImportPools();
  void ListImportMemos();
  void cmdExportQti_Click();
  void chkQti_Click();
  // With a QTI package chosen: the pools of the chosen kind to import into, then the essay types.
  void ListQtiTargets();

  // The About box while it is loaded.
  frmAbout* about() const { return about_.data(); }

 protected:
  void Form_Load() override;
  void Form_Unload() override;
  // Enter on a chosen kind opens its editor, as the arrow does.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void DisableMissingKinds();
  void reopenConnections();
  int chosenPoolSection() const;  // -1 for none
  // Shows "Invalid File Name." with the reason when the file cannot be the import's source.
  bool refusedAsSource(const std::string& file);
  void writeErrorLog(long number, const std::string& description);
  void importFailed(const store::DbError& e);
  void showListing(const std::vector<std::string>& entries);
  void cmdFileOpenQti();
  void importQti(int section);

  bank::ProgramState& state_;
  QPointer<frmAbout> about_;
};

}  // namespace app
