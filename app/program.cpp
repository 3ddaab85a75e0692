#include "program.h"

#include <QApplication>

#include "app_log.h"
#include "bank_files.h"
#include "controls/dialogs.h"
#include "db_error.h"

namespace app {

namespace {
// Errors are shown as number + ":" + description; the program's numbered errors carry both.
ui::ErrorInfo describe(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const store::DbError& e) {
    return {e.number, e.description};
  } catch (const std::exception& e) {
    return {store::err::Generic, e.what()};
  } catch (...) {
    return {store::err::Generic, "Unknown error."};
  }
}
}  // namespace

Program::Program(std::filesystem::path appFolder)
    : state_(std::move(appFolder)),
      instance_(state_.appFolder),
      formInit_(state_),
      bind_(state_, formInit_, instance_.PrevInstance()),
      recovery_(state_) {
  bind_.afterStart = [this] { recovery_.offerThenWatch(formInit_); };
  ui::setErrorDescriber(describe);
  ui::setAfterEventHook([this] { tellIfSavedOnlyInLog(); });
  QApplication::setQuitOnLastWindowClosed(false);  // the program ends with its last loaded window
  if (!instance_.PrevInstance()) {
    ui::setLastFormUnloadedHandler([this] {
      ended_ = true;
      QCoreApplication::exit(0);
    });
  }
}

Program::~Program() {
  ui::setAfterEventHook(nullptr);
  if (!instance_.PrevInstance()) ui::setLastFormUnloadedHandler(nullptr);
}

void Program::tellIfSavedOnlyInLog() {
  if (!state_.pConn().savedOnlyInLog()) {
    toldSavedOnlyInLog_ = false;
    return;
  }
  if (toldSavedOnlyInLog_) return;
  toldSavedOnlyInLog_ = true;  // before the box: events while it shows must not repeat it
  const std::string warning = bank::unfinishedLogWarning(bank::schema::bankPath(state_.appFolder));
  if (!warning.empty()) ui::MsgBox(warning, ui::MsgButtons::OkOnly, ui::MsgIcon::Exclamation, "Disk Full");
}

int Program::start() {
  bool secondCopy = false;
  const bool ok = ui::runEvent([this, &secondCopy] {
    bind_.Load();
    if (bind_.endedAtOnce()) {
      secondCopy = true;
      return;
    }
    bind_.Show();
  });
  if (secondCopy) return 0;
  if (!ok) return 1;
  started_ = true;
  return kRunning;
}

bool Program::endOnRequest() {
  recovery_.stop();
  bool quiet = QApplication::activeModalWidget() == nullptr;
  try {
    if (recovery_.keepNow()) quiet = false;
  } catch (const std::exception&) {
    quiet = false;  // whatever failed, nothing more may wait for an answer
  }
  if (!quiet) {
    try {
      WriteLog(state_, terminationMessage(state_));
    } catch (const std::exception&) {
    }
    return false;
  }
  for (int pass = 0; pass < 4 && ui::LoadedFormCount() > 0; ++pass) QApplication::closeAllWindows();
  return true;
}

int Program::finish() {
  if (!started_) return 0;
  started_ = false;
  recovery_.stop();
  try {
    recovery_.keepNow();  // edits saved or dropped by now: the file goes
  } catch (const std::exception&) {
  }
  return ui::runEvent([this] { bind_.Form_Terminate(); }) ? 0 : 1;
}

int Program::run() {
  const int status = start();
  if (status != kRunning) return status;
  if (!ended_) QApplication::exec();
  return finish();
}

}  // namespace app
