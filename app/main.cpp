// ZORBEX Editor: the program takes no arguments and reads no settings; everything it
// uses lies in the folder of its executable.
#include <QApplication>
#include <QMetaObject>
#include <memory>
#include <system_error>

#include "controls/app_services.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "platform.h"
#include "program.h"

namespace {

// A termination request (the session ends, a script stops the program) closes the windows
// as their close boxes would: an editor with auto-save saves, the connections close and
// the log gets its termination line.
std::unique_ptr<platform::TerminationWatch> closeWindowsOnTerminate(QApplication* qapp) {
  try {
    return platform::watchTermination([qapp] {
      QMetaObject::invokeMethod(
          qapp,
          [] {
            for (int pass = 0; pass < 4 && ui::LoadedFormCount() > 0; ++pass) QApplication::closeAllWindows();
          },
          Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    return nullptr;  // the program runs on; a request then ends it as the system does by default
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QString::fromStdString(ui::AppTitle()));
  QApplication::setWindowIcon(ui::Bitmap("app_icon"));
  const auto watch = closeWindowsOnTerminate(&qapp);
  app::Program program(ui::AppFolder());
  return program.run();
}
