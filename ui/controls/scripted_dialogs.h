#pragma once
// The tests' stand-in for message boxes and the file-open dialog: answers are queued before
// the code under test runs, and every box shown is recorded. Installs itself while it lives.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "dialogs.h"

namespace ui {

class ScriptedDialogs : public DialogProvider {
 public:
  ScriptedDialogs() { setDialogProvider(this); }
  ~ScriptedDialogs() override { setDialogProvider(nullptr); }
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  void queueAnswer(MsgResult r) { answers_.push_back(r); }
  // A path, or std::nullopt for a cancelled dialog.
  void queueFile(std::optional<std::string> path) { files_.push_back(std::move(path)); }

  std::vector<ShownMessage> shown;         // every message box, in order
  std::vector<std::string> fileFilters;    // the filter of every file dialog, in order
  int unanswered = 0;                      // boxes with a choice but no queued answer

  MsgResult message(const ShownMessage& box) override {
    shown.push_back(box);
    if (!answers_.empty()) {
      MsgResult r = answers_.front();
      answers_.pop_front();
      return r;
    }
    // Without an answer a box with a choice gets the answer that does nothing.
    switch (box.buttons) {
      case MsgButtons::OkOnly: return MsgResult::Ok;
      case MsgButtons::OkCancel: ++unanswered; return MsgResult::Cancel;
      case MsgButtons::YesNo: ++unanswered; return MsgResult::No;
      case MsgButtons::YesNoCancel: ++unanswered; return MsgResult::Cancel;
    }
    return MsgResult::Ok;
  }

  std::optional<std::string> openFile(const std::string& filter) override {
    fileFilters.push_back(filter);
    if (files_.empty()) return std::nullopt;
    auto f = files_.front();
    files_.pop_front();
    return f;
  }

 private:
  std::deque<MsgResult> answers_;
  std::deque<std::optional<std::string>> files_;
};

}  // namespace ui
