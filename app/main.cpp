// ZORBEX Editor: the program takes no arguments and reads no settings; everything it
// uses lies in the folder of its executable.
#include <QApplication>
#include <QMetaObject>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <system_error>
#include <thread>

#include "controls/app_services.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "extension.h"
#include "history.h"
#include "search_index.h"
#include "platform.h"
#include "program.h"

namespace {

// A termination request (the session ends, a script stops the program) ends the program
// within seconds whatever is open: the edits on screen go to the recovery file, and the
// windows close as their close boxes would when nothing is left to ask; otherwise, or when
// closing takes too long, the process ends at once (nothing unsaved is lost: the recovery
// file holds it, and the bank takes back a change it did not commit).
std::unique_ptr<platform::TerminationWatch> endOnTerminate(QApplication* qapp, app::Program& program) {
  try {
    return platform::watchTermination([qapp, &program] {
      QMetaObject::invokeMethod(
          qapp,
          [&program] {
            if (!program.endOnRequest()) std::_Exit(0);
            std::thread([] {
              std::this_thread::sleep_for(std::chrono::seconds(4));
              std::_Exit(0);
            }).detach();
          },
          Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    return nullptr;  // the program runs on; a request then ends it as the system does by default
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The bank's extensions that this program keeps, before any bank is opened.
  store::registerExtension(history::extension());
  store::registerExtension(search::index::extension());
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QString::fromStdString(ui::AppTitle()));
  QApplication::setWindowIcon(ui::Bitmap("app_icon"));
  app::Program program(ui::AppFolder());
  const auto watch = endOnTerminate(&qapp, program);
  return program.run();
}
