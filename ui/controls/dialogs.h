#pragma once
// Message boxes and the file-open dialog. Both go through one provider: the real Qt
// dialogs, or a ScriptedDialogs that tests install to answer them and to read what was shown.

#include <optional>
#include <string>

class QMessageBox;

namespace ui {

enum class MsgButtons { OkOnly, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Critical, Exclamation, Information };
enum class MsgResult { Ok, Cancel, Yes, No };
enum class MsgDefault { First, Second, Third };  // the button that Enter presses

struct ShownMessage {
  std::string text;
  std::string title;
  MsgIcon icon = MsgIcon::None;
  MsgButtons buttons = MsgButtons::OkOnly;
  MsgDefault defaultButton = MsgDefault::First;
};

class DialogProvider {
 public:
  virtual ~DialogProvider() = default;
  virtual MsgResult message(const ShownMessage& box) = 0;
  // filter in the "description|pattern|description|pattern" form; nothing when cancelled.
  virtual std::optional<std::string> openFile(const std::string& filter) = 0;
};

// nullptr restores the real dialogs.
void setDialogProvider(DialogProvider* provider);

// Shows a message box and returns the button pressed. An empty title shows the
// application title.
MsgResult MsgBox(const std::string& text, MsgButtons buttons = MsgButtons::OkOnly, MsgIcon icon = MsgIcon::None,
                 const std::string& title = "", MsgDefault defaultButton = MsgDefault::First);

// The common dialog: filter text, file-open, the chosen path or none.
// Widens a message box so that its title bar shows the whole title beside its icon and
// buttons, however short the text.
void fitTitle(QMessageBox& box);

class CommonDialog {
 public:
  std::string Filter;
  std::string FileName;  // empty when the dialog was cancelled
  // Shows the file-open dialog; returns false when nothing was chosen.
  bool ShowOpen();
};

}  // namespace ui
