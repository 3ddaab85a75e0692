#include "form_init.h"

#include "app_log.h"
#include "bank_files.h"
#include "connections.h"
#include "import.h"
#include "schema.h"
#include "form_custom_pool.h"
#include "form_trash.h"
#include "form_find.h"
#include "frm_about.h"
#include "kind_windows.h"
#include "form_print.h"
#include "print_preview.h"

namespace app {

namespace {
using bank::schema::Kind;

// The kinds to edit, each by its name, in the order of the table-present flags; the custom
// pool comes after them.
const int kCustomPoolOption = static_cast<int>(bank::schema::kAllKinds.size());

// The sections of the import: the pools of each multiple-choice kind, the verbal ones, then
// the memos, then the math ones.
struct ImportSection {
  const char* caption;
  const char* table;  // the question table; nullptr for the memos
};
const std::vector<ImportSection>& importSections() {
  static const std::vector<ImportSection> sections = [] {
    std::vector<ImportSection> v;
    auto add = [&](bank::schema::Subject subject) {
      for (Kind k : bank::schema::choiceKinds())
        if (bank::schema::kindEntry(k).subject == subject) v.push_back({bank::schema::kindName(k), bank::schema::tableName(k)});
    };
    add(bank::schema::Subject::Verbal);
    v.push_back({"Memo", nullptr});
    add(bank::schema::Subject::Math);
    return v;
  }();
  return sections;
}
bool isMemoSection(int section) { return section >= 0 && !importSections()[static_cast<size_t>(section)].table; }

// The key a source is read with: the user database's for memos, the bank's for pools.
const char* sourceKeyOf(int section) {
  if (section < 0) return nullptr;
  return isMemoSection(section) ? bank::schema::kUserKey : bank::schema::kBankKey;
}
const char* const kImportFilter = "すべてのﾌｧｲﾙ (*.*)|*.*| MDBﾌｧｲﾙ (*.mdb)|*.mdb";
const char* const kNoPoolData = ":選択した問題種別には問題プールデータがありません。";
}  // namespace

FormInit::FormInit(bank::ProgramState& state)
    : lblTitle(this, "Select Section"),
      FrameEditQuestion(this, "Edit Question"),
      imgNext(this),
      imgExit(this),
      cmdAbout(this, "?"),
      cmdCompress(this, "Compress"),
      cmdTrash(this, "Trash"),
      cmdFind(this, "Find..."),
      cmdPrint(this, "Print..."),
      frameEditPool(this, "Import Pool Data"),
      cmdFileOpen(&frameEditPool, "File"),
      lstEdit(&frameEditPool, true),
      cmdImport(&frameEditPool, "Import"),
      cmdCancel(&frameEditPool, "Clear"),
      picDummy(this),
      TimerInit(this),
      cmdExportQti(this, "Export..."),
      chkQti(&frameEditPool, "QTI package"),
      state_(state) {
  setCaption("ZORBEX Editor");
  setWindowIcon(ui::Bitmap("app_icon"));
  setWidth(8400);
  setHeight(4950);

  QFont title = lblTitle.font();
  title.setPointSizeF(title.pointSizeF() * 1.5);
  title.setBold(true);
  lblTitle.setFont(title);
  lblTitle.Move(240, 150, 3780, 450);  // up to the top row of buttons
  cmdAbout.Move(7650, 180, 480, 420);

  FrameEditQuestion.Move(240, 750, 3300, 3930);
  for (int i = 0; i <= kCustomPoolOption; ++i) {
    const char* caption = i == kCustomPoolOption ? "Custom Pool" : bank::schema::kindName(static_cast<Kind>(i));
    auto& opt = optSelect.add(new ui::OptionButton(&FrameEditQuestion, caption, i));
    opt.Move(240, 360 + i * 480, 2850, 360);
  }
  optSelect.Click = [this](int i) { optSelect_Click(i); };

  imgNext.setPicture(ui::Bitmap("next"));
  imgNext.Move(3900, 1350, 600, 600);
  imgNext.setToolTip("Next");
  imgNext.Click = [this](int) { imgNext_Click(); };
  imgExit.setPicture(ui::Bitmap("exit"));
  imgExit.Move(3900, 2400, 600, 600);
  imgExit.setToolTip("Exit");
  imgExit.Click = [this](int) { imgExit_Click(); };
  picDummy.Move(4110, 3300, 180, 180);
  cmdCompress.Move(3660, 4230, 1080, 420);
  cmdAbout.Click = [this] { cmdAbout_Click(); };
  cmdCompress.Click = [this] { cmdCompress_Click(); };
  cmdTrash.Move(3660, 3690, 1080, 420);
  cmdTrash.setObjectName("cmdTrash");
  cmdTrash.Click = [this] { cmdTrash_Click(); };
  cmdFind.Move(6450, 180, 1080, 420);
  cmdPrint.Move(5280, 180, 1080, 420);
  cmdPrint.setObjectName("cmdPrint");
  cmdPrint.Click = [this] { cmdPrint_Click(); };
  cmdPrint.setFocusPolicy(Qt::ClickFocus);
  cmdFind.Click = [this] { cmdFind_Click(); };
  cmdFind.setFocusPolicy(Qt::ClickFocus);  // the keyboard has Ctrl+F
  addFindShortcut(*this, state_, *this);

  frameEditPool.Move(4860, 750, 3300, 3930);
  for (int i = 0; i < static_cast<int>(importSections().size()); ++i) {
    auto& opt = optPoolSection.add(new ui::OptionButton(&frameEditPool, importSections()[static_cast<size_t>(i)].caption, i));
    opt.Move(180 + (i % 3) * 1020, 330 + (i / 3) * 360, 990, 330);
  }
  cmdFileOpen.Move(180, 1140, 900, 390);
  lstEdit.Move(180, 1620, 2940, 1650);
  cmdImport.Move(180, 3390, 1350, 420);
  cmdCancel.Move(1770, 3390, 1350, 420);
  optPoolSection.Click = [this](int i) { optPoolSection_Click(i); };
  cmdFileOpen.Click = [this] { cmdFileOpen_Click(); };
  cmdImport.Click = [this] { cmdImport_Click(); };
  cmdCancel.Click = [this] { cmdCancel_Click(); };
  cmdExportQti.Move(4110, 180, 1080, 420);
  cmdExportQti.Click = [this] { cmdExportQti_Click(); };
  chkQti.Move(1200, 1170, 1920, 330);
  chkQti.Click = [this](int) { chkQti_Click(); };
  TimerInit.setInterval(0);
  TimerInit.Tick = [this] { TimerInit_Timer(); };

  // The keyboard reaches the arrow and the door like buttons, and Tab goes through one frame
  // after the other as they are read. The dummy that takes the focus from a chosen kind is
  // not a stop of its own.
  imgNext.setTakesFocus(true);
  imgExit.setTakesFocus(true);
  picDummy.setFocusPolicy(Qt::ClickFocus);
  std::vector<QWidget*> order;
  for (int i = 0; i < optSelect.Count(); ++i) order.push_back(&optSelect[i]);
  for (QWidget* w : std::initializer_list<QWidget*>{&imgNext, &imgExit, &cmdCompress}) order.push_back(w);
  for (int i = 0; i < optPoolSection.Count(); ++i) order.push_back(&optPoolSection[i]);
  for (QWidget* w : std::initializer_list<QWidget*>{&cmdFileOpen, &chkQti, &lstEdit, &cmdImport, &cmdCancel, &cmdExportQti, &cmdAbout})
    order.push_back(w);
  for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void FormInit::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  bool kindChosen = false;
  for (int i = 0; i < optSelect.Count(); ++i) kindChosen = kindChosen || optSelect[i].Value();
  QWidget* focus = focusWidget();
  bool onKinds = focus == &picDummy;
  for (int i = 0; i < optSelect.Count(); ++i) onKinds = onKinds || focus == &optSelect[i];
  if (enter && kindChosen && onKinds) {
    event->accept();
    imgNext.clickFromUser();
    return;
  }
  ui::Form::keyPressEvent(event);
}

FormInit::~FormInit() { delete about_.data(); }

void FormInit::Form_Load() {
  pMemoFlag = false;
  state_.flgAllKinds = true;
  DisableMissingKinds();
  ui::centreOnScreen(*this);
  show();
  lstEdit.Clear();
}

void FormInit::Form_Unload() { closeFindWindow(); }

void FormInit::cmdFind_Click() { showFindWindow(state_, *this); }

void FormInit::DisableMissingKinds() {
  for (Kind k : bank::schema::kAllKinds) {
    if (!state_.hasTable(k)) {
      optSelect[static_cast<int>(k)].setEnabled(false);
      state_.flgAllKinds = false;
    }
  }
  for (Kind k : bank::schema::kAllKinds) optSelect[static_cast<int>(k)].setValue(false);
}

void FormInit::optSelect_Click(int /*index*/) { picDummy.SetFocus(); }

void FormInit::imgNext_Click() {
  for (int i = 0; i <= kCustomPoolOption; ++i) {
    if (!optSelect[i].Value()) continue;
    ui::Form* window = nullptr;
    if (i == kCustomPoolOption) {
      window = new FormCustomPool(*this);
    } else if (KindWindowFactory make = kindWindow(static_cast<Kind>(i))) {
      window = make(state_, *this);
    }
    if (!window) return;  // no editor for this kind yet
    addFindShortcut(*window, state_, *this);
    try {
      window->Show();
    } catch (...) {
      if (!window->Loaded()) delete window;  // its load failed: nothing to show or unload
      throw;
    }
    Hide();
    return;
  }
}

void FormInit::imgExit_Click() {
  bank::CloseConnections(state_, [](const std::string& message) {
    ui::MsgBox(message, ui::MsgButtons::OkOnly, ui::MsgIcon::Critical);
  });
  Unload();
}

void FormInit::cmdAbout_Click() {
  if (!about_ || !about_->Loaded()) about_ = new frmAbout;  // a closed box is being deleted
  about_->Show();
}

void FormInit::cmdCompress_Click() {
  if (state_.pConn().onServer()) {
    ui::MsgBox(bank::kServerKeepsItsFiles, ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Compress");
    return;
  }
  if (ui::MsgBox("Compression may need a few minutes. Are you sure?", ui::MsgButtons::OkCancel, ui::MsgIcon::Information,
                 "Compress") != ui::MsgResult::Ok)
    return;
  setMousePointer(ui::MousePointer::Hourglass);
  Refresh();
  bank::CloseConnections(state_, [](const std::string& message) { ui::MsgBox(message); });
  try {
    bank::compactBank(state_.appFolder);
  } catch (const store::DbError& e) {
    // The bank is as it was: back to work on it.
    ui::MsgBox(e.message());
    setMousePointer(ui::MousePointer::Default);
    reopenConnections();
    return;
  }
  setMousePointer(ui::MousePointer::Default);
  ui::MsgBox("Compression completed. Restart ZORBEX Editor.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information,
             "Compress");
  Unload();
}

void FormInit::cmdPrint_Click() {
  if (const auto selection = FormPrint::ask(this)) PrintSelection(*selection);
}

void FormInit::PrintSelection(const exchange::print::Selection& selection) {
  editor::PrintRequest request;
  request.questions = exchange::print::selectedQuestions(state_.pConn(), selection);
  if (request.questions.empty()) {
    ui::MsgBox("No question of the bank is in this selection.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Print");
    return;
  }
  request.options.bankName = editor::bankLabel(state_.pConn());
  request.options.selection = QString::fromStdString(exchange::print::describe(selection));
  editor::showPrintPreview(this, state_.pConn(), std::move(request));
}

void FormInit::cmdTrash_Click() {
  reopenConnections();
  (new FormTrash(state_.pConn()))->Show();
}

void FormInit::reopenConnections() {
  if (!state_.pConn().isOpen()) state_.pConn().open(bank::schema::bankPath(state_.appFolder).string(), bank::schema::kBankKey);
  if (!state_.pConnUser().isOpen())
    state_.pConnUser().open(bank::schema::userPath(state_.appFolder).string(), bank::schema::kUserKey);
}

void FormInit::cmdFileOpen_Click() {
  if (chkQti.Value()) {
    cmdFileOpenQti();
    return;
  }
  CmnDlgEdit.Filter = kImportFilter;
  const bool chosen = CmnDlgEdit.ShowOpen() && !CmnDlgEdit.FileName.empty();
  if (!chosen) ui::MsgBox("Invalid File Name.", ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Error");
  if (!chosen || refusedAsSource(CmnDlgEdit.FileName)) {
    cmdCancel_Click();
    return;
  }
  pImportFileName = CmnDlgEdit.FileName;
  if (pMemoFlag)
    ListImportMemos();
  else
    ListImportPools();
}

void FormInit::optPoolSection_Click(int index) {
  lstEdit.Clear();
  pMemoFlag = isMemoSection(index);
  if (pImportFileName.empty()) return;
  if (chkQti.Value()) {
    ListQtiTargets();
    return;
  }
  if (pMemoFlag)
    ListImportMemos();
  else
    ListImportPools();
}

bool FormInit::refusedAsSource(const std::string& file) {
  const std::string why = maintenance::importFileProblem(state_.appFolder, file, sourceKeyOf(chosenPoolSection()));
  if (why.empty()) return false;
  ui::MsgBox("Invalid File Name.\n" + why, ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Error");
  return true;
}

void FormInit::cmdCancel_Click() {
  lstEdit.Clear();
  lstEdit.setListIndex(-1);
  pImportFileName.clear();
}

int FormInit::chosenPoolSection() const {
  for (int i = 0; i < optPoolSection.Count(); ++i)
    if (optPoolSection[i].Value()) return i;
  return -1;
}

void FormInit::showListing(const std::vector<std::string>& entries) {
  lstEdit.Clear();
  for (const std::string& e : entries) lstEdit.AddItem(e);
  if (!entries.empty()) lstEdit.setListIndex(0);
  lstEdit.Refresh();
}

void FormInit::ListImportPools() {
  const int section = chosenPoolSection();
  if (section < 0 || isMemoSection(section)) return;
  try {
    showListing(maintenance::ListImportPools(pImportFileName, importSections()[static_cast<size_t>(section)].table));
  } catch (const store::DbError& e) {
    lstEdit.Clear();
    if (e.number == store::err::BadPassword) return;  // a file of another key lists nothing
    if (e.number == store::err::NoCurrentRecord)
      ui::MsgBox(std::to_string(e.number) + kNoPoolData, ui::MsgButtons::OkOnly, ui::MsgIcon::Critical);
    else
      ui::MsgBox(e.message(), ui::MsgButtons::OkOnly, ui::MsgIcon::Critical);
  }
}

void FormInit::ListImportMemos() {
  if (!isMemoSection(chosenPoolSection())) return;
  try {
    showListing(maintenance::ListImportMemos(pImportFileName));
  } catch (const store::DbError& e) {
    lstEdit.Clear();
    if (e.number == store::err::BadPassword) return;
    ui::MsgBox(e.message(), ui::MsgButtons::OkOnly, ui::MsgIcon::Critical);
  }
}

void FormInit::writeErrorLog(long number, const std::string& description) {
  WriteLog(state_, state_.pLogTag + " Error:" + std::to_string(number) + ":" + description, number, description);
}

void FormInit::cmdImport_Click() {
  if (lstEdit.ListIndex() < 0 || lstEdit.Text().empty()) {
    ui::MsgBox("Invalid file name", ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Import Error");
    writeErrorLog(0, "");
    return;
  }
  const int section = chosenPoolSection();
  if (section < 0) {
    writeErrorLog(0, "");
    return;
  }
  if (chkQti.Value()) {
    importQti(section);
    return;
  }
  std::vector<std::string> selected;
  for (int i = 0; i < lstEdit.ListCount(); ++i)
    if (lstEdit.Selected(i)) selected.push_back(lstEdit.List(i));

  maintenance::ImportHooks hooks;
  hooks.log = [this](const std::string& message) { WriteLog(state_, state_.pLogTag + message); };
  hooks.passedOver = [this](const store::DbError& e) { writeErrorLog(e.number, e.description); };
  hooks.confirm = [] {
    return ui::MsgBox("Are you sure?", ui::MsgButtons::YesNo, ui::MsgIcon::Exclamation, "Import") ==
           ui::MsgResult::Yes;
  };
  try {
    if (isMemoSection(section)) {
      if (selected.empty()) {
        ui::MsgBox("Select one or more question numbers.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information);
        return;
      }
      // A source gone or changed since it was listed is refused before anything is asked.
      if (refusedAsSource(pImportFileName)) return;
      maintenance::ImportMemos(state_, pImportFileName, selected, hooks);
    } else {
      if (selected.size() != 1) {
        ui::MsgBox("You can select only one pool.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information);
        return;
      }
      if (refusedAsSource(pImportFileName)) return;
      // The selected entry: after a Ctrl-click the current entry need not be selected.
      maintenance::ImportPool(state_, pImportFileName, importSections()[static_cast<size_t>(section)].table,
                              selected.front(), hooks);
    }
  } catch (const store::DbError& e) {
    importFailed(e);
    return;
  }
  ui::MsgBox("Import completed.", ui::MsgButtons::OkOnly, ui::MsgIcon::Information, "Import");
}

void FormInit::importFailed(const store::DbError& e) {
  writeErrorLog(e.number, e.description);
  if (e.number == store::err::TableNotFound) return;
  if (maintenance::isKeyViolation(e))
    ui::MsgBox("The question number is duplicated.", ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Import Error");
  else
    ui::MsgBox(e.message(), ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Import Error");
}

}  // namespace app
