#pragma once
// A temporary application folder with a bank made by the schema code, scripted message
// boxes, and the log read back as lines.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "controls/form.h"
#include "controls/scripted_dialogs.h"
#include "shown_question.h"
#include "schema.h"

namespace fs = std::filesystem;

class AppFolderTest : public ::testing::Test {
 protected:
  fs::path folder() const { return fs::path(dir_.path().toStdString()); }
  void makeBank(const std::set<bank::schema::Kind>& omit = {}) { bank::schema::createBank(folder(), omit); }

  fs::path logFile() const { return folder() / bank::schema::kLogFile; }
  std::string logText() const {
    std::ifstream in(logFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Lines without their CR LF; fails the test on a line not ended by CR LF.
  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    std::string text = logText();
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find("\r\n", at);
      if (end == std::string::npos) {
        ADD_FAILURE() << "log line without CR LF: " << text.substr(at);
        break;
      }
      lines.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }
  // Windows deleted after their unload go away once the event loop would run.
  static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
  // The editors a test opened (through Find, the section window, a recovery) and left open
  // go before the program whose state and section window they use; a later test or the end
  // of the process would otherwise reach them through a window that is gone. Deleted, not
  // closed: closing would save or ask.
  static void closeOpenEditors() {
    flushDeletes();
    for (editor::ShownQuestion* shown : editor::openEditors()) delete &shown->window();
    flushDeletes();
  }

  QTemporaryDir dir_;
  ui::ScriptedDialogs dialogs;
};
