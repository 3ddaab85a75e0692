// ZORBEX Editor: the program takes no arguments and reads no settings; everything it
// uses lies in the folder of its executable.
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "controls/app_services.h"
#include "controls/controls.h"
#include "controls/form.h"
#include "program.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminate(int) {
  const char c = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// A termination request (the session ends, a script stops the program) closes the windows
// as their close boxes would: an editor with auto-save saves, the connections close and
// the log gets its termination line.
void closeWindowsOnTerminate(QObject* parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, parent);
  QObject::connect(notifier, &QSocketNotifier::activated, parent, [] {
    char c;
    [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], &c, 1);
    for (int pass = 0; pass < 4 && ui::LoadedFormCount() > 0; ++pass) QApplication::closeAllWindows();
  });
  std::signal(SIGTERM, onTerminate);
  std::signal(SIGINT, onTerminate);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QString::fromStdString(ui::AppTitle()));
  QApplication::setWindowIcon(ui::Bitmap("app_icon"));
  closeWindowsOnTerminate(&qapp);
  app::Program program(ui::AppFolder());
  return program.run();
}
