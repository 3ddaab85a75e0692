#pragma once
// Edits that were on screen when the program ended without saving them (a termination
// request, kill -9, a crash) are kept in zorbex_recovery.json beside the bank: written
// within a second of each edit, removed when the edits are saved or dropped. The next start
// offers to bring them back into their editor as unsaved edits, or to discard them.

#include <QObject>
#include <QTimer>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "controls/form.h"
#include "kind_registry.h"
#include "program_state.h"
#include "bank_record.h"

namespace app {

struct KeptEdits {
  bank::schema::Kind kind{};
  std::string pool;
  std::string numQ;
  editor::Record fields;  // the fields edited, with their values on screen
  friend bool operator==(const KeptEdits&, const KeptEdits&) = default;
};

struct RecoveryFile {
  std::string bank;   // the bank the edits were made on, as the log names it
  std::string savedAt;  // local time, "yyyy-MM-dd hh:mm:ss"
  std::vector<KeptEdits> edits;
};

std::filesystem::path recoveryPath(const std::filesystem::path& appFolder);
// Replaces the file in one step (a crash leaves the old file or the new one); an empty list
// removes it. Throws std::system_error.
void writeRecoveryFile(const std::filesystem::path& path, const RecoveryFile& file);
// Nothing when there is no file. A file that cannot be read as one is std::runtime_error.
std::optional<RecoveryFile> readRecoveryFile(const std::filesystem::path& path);

// Watches the open editors. Their edits come from the user's input, so a tick after none
// reads no screen: an idle editor costs nothing.
class EditRecovery : public QObject {
 public:
  explicit EditRecovery(bank::ProgramState& state);

  // Offers the edits that an earlier run left; Yes opens each in its kind's editor as unsaved
  // edits, No discards them. Then the open editors are watched.
  void offerThenWatch(ui::Form& formInit);
  // Writes what the open editors hold unsaved now (or removes the file when nothing); true
  // when there were edits to keep.
  bool keepNow();
  // No more watching (the program is ending).
  void stop();

 private:
  void offer(ui::Form& formInit);
  bool eventFilter(QObject* watched, QEvent* event) override;

  bank::ProgramState& state_;
  QTimer timer_;
  std::vector<KeptEdits> written_;
  bool fileThere_ = false;
  bool inputSinceTick_ = false;
};

}  // namespace app
