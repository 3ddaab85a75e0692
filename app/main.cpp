// ZORBEX Editor: the program takes no arguments and reads no settings; everything it
// uses lies in the folder of its executable.
#include <QApplication>

#include "controls/app_services.h"
#include "controls/controls.h"
#include "program.h"

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QString::fromStdString(ui::AppTitle()));
  QApplication::setWindowIcon(ui::Bitmap("app_icon"));
  app::Program program(ui::AppFolder());
  return program.run();
}
