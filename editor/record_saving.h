#pragma once
// Saving the record on screen: what was loaded, what the screen gave when it showed it,
// and the checks before a write. A record that another program has deleted since it was
// loaded is reported; one that it has changed is overwritten only when the user says so.
// Shared by every editor window, whatever its record holds; the window gives its screen
// as values, so that this part needs none of its controls.

#include <functional>
#include <optional>
#include <string>

#include "question_record.h"
#include "stored_version.h"

namespace editor {

// The screen that shows a record, as saving sees it.
struct RecordScreen {
  // Everything "Save" would write, from the screen.
  std::function<Record()> values;
  // A value as it counts for edits (a size in the precision its box shows); empty: as it is.
  std::function<store::Value(const std::string& field, const store::Value& value)> asShown = nullptr;
  // Shows the stored record again, after the user chose it over the screen's edits.
  std::function<void()> reload;
};

class RecordSaving {
 public:
  RecordSaving(const RecordFields& def, RecordScreen screen) : stored_(def), screen_(std::move(screen)) {}

  // Reads record numQ for the screen and remembers it; nothing when there is none (then
  // nothing counts as loaded).
  std::optional<Record> load(store::Connection& conn, const std::string& numQ);
  // The screen shows what was loaded: what it gives now holds no edits.
  void markShown() { shown_ = screenNow(); }
  // Nothing is on screen.
  void clear();
  bool loaded() const { return stored_.loaded(); }

  // Writes `values` as `group` to numQ; nothing when nothing is loaded. A record deleted
  // meanwhile is reported; for one changed meanwhile the user is asked whether the screen
  // overwrites it, and on No the stored one is shown again. Both end the event.
  void save(store::Connection& conn, const std::string& numQ, const Record& values, FieldWrite group);

  // The screen gives other values than when it showed the record or last wrote it.
  bool hasUnsavedEdits() const { return loaded() && screenNow() != shown_; }
  // The user dropped the edits: they no longer count as unsaved.
  void dropEdits() { markShown(); }

 private:
  store::Value asShown(const std::string& field, const store::Value& v) const {
    return screen_.asShown ? screen_.asShown(field, v) : v;
  }
  Record screenNow() const;

  StoredVersion stored_;
  RecordScreen screen_;
  Record shown_;
};

}  // namespace editor
