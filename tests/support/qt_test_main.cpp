// main() of the test programs that create windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryFile>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bank_extensions.h"

int main(int argc, char** argv) {
  registerBankExtensions();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // a screenshot run may choose xcb
  // The offscreen screen is the one the program is made for, 1280 x 800 (its own is 800 x 800,
  // narrower than some of the program's windows), so that placement on it can be checked.
  QTemporaryFile screens;
  if (std::strcmp(std::getenv("QT_QPA_PLATFORM"), "offscreen") == 0 && screens.open()) {
    screens.write(R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": 1280, "height": 800,)"
                  R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    screens.flush();
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.fileName().toStdString()).c_str(), 1);
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
