#include "form_init.h"

#include "connections.h"
#include "form_custom_pool.h"
#include "frm_about.h"
#include "kind_windows.h"

namespace app {

namespace {
const char* const kKindCaptions[] = {"SC", "CR", "RC", "PS", "DS", "AWA", "Custom Pool"};
const char* const kPoolSectionCaptions[] = {"SC", "CR", "RC", "Memo", "PS", "DS"};
}  // namespace

FormInit::FormInit(store::ProgramState& state)
    : lblTitle(this, "Select Section"),
      FrameEditQuestion(this, "Edit Question"),
      imgNext(this),
      imgExit(this),
      cmdAbout(this, "?"),
      cmdCompress(this, "Compress"),
      frameEditPool(this, "Import Pool Data"),
      cmdFileOpen(&frameEditPool, "File"),
      lstEdit(&frameEditPool, true),
      cmdImport(&frameEditPool, "Import"),
      cmdCancel(&frameEditPool, "Clear"),
      picDummy(this),
      TimerInit(this),
      state_(state) {
  setCaption("ZORBEX Editor");
  setWindowIcon(ui::Bitmap("app_icon"));
  setWidth(8400);
  setHeight(4950);

  QFont title = lblTitle.font();
  title.setPointSizeF(title.pointSizeF() * 1.5);
  title.setBold(true);
  lblTitle.setFont(title);
  lblTitle.Move(240, 150, 4500, 450);
  cmdAbout.Move(7650, 180, 480, 420);

  FrameEditQuestion.Move(240, 750, 3300, 3930);
  for (int i = 0; i < 7; ++i) {
    auto& opt = optSelect.add(new ui::OptionButton(&FrameEditQuestion, kKindCaptions[i], i));
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

  frameEditPool.Move(4860, 750, 3300, 3930);
  for (int i = 0; i < 6; ++i) {
    auto& opt = optPoolSection.add(new ui::OptionButton(&frameEditPool, kPoolSectionCaptions[i], i));
    opt.Move(180 + (i % 3) * 1020, 330 + (i / 3) * 360, 990, 330);
  }
  cmdFileOpen.Move(180, 1140, 900, 390);
  lstEdit.Move(180, 1620, 2940, 1650);
  cmdImport.Move(180, 3390, 1350, 420);
  cmdCancel.Move(1770, 3390, 1350, 420);
  TimerInit.setInterval(0);
  TimerInit.Tick = [this] { TimerInit_Timer(); };
}

FormInit::~FormInit() { delete about_.data(); }

void FormInit::Form_Load() {
  pMemoFlag = false;
  state_.flgAllKinds = true;
  DisableMissingKinds();
  show();
  lstEdit.Clear();
}

void FormInit::DisableMissingKinds() {
  for (int i = 0; i <= 5; ++i) {
    if (state_.flgTable[static_cast<size_t>(i)] == 0) {
      optSelect[i].setEnabled(false);
      state_.flgAllKinds = false;
    }
  }
  for (int i = 0; i <= 5; ++i) optSelect[i].setValue(false);
}

void FormInit::optSelect_Click(int /*index*/) { picDummy.SetFocus(); }

void FormInit::imgNext_Click() {
  for (int i = 0; i <= 6; ++i) {
    if (!optSelect[i].Value()) continue;
    ui::Form* window = nullptr;
    if (i == 6) {
      window = new FormCustomPool(*this);
    } else if (KindWindowFactory make = kindWindow(static_cast<store::schema::Kind>(i))) {
      window = make(state_, *this);
    }
    if (!window) return;  // no editor for this kind yet
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
  store::CloseConnections(state_, [](const std::string& message) {
    ui::MsgBox(message, ui::MsgButtons::OkOnly, ui::MsgIcon::Critical);
  });
  Unload();
}

void FormInit::cmdAbout_Click() {
  if (!about_ || !about_->Loaded()) about_ = new frmAbout;  // a closed box is being deleted
  about_->Show();
}

}  // namespace app
