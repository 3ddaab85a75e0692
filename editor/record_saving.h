#pragma once
// Saving the record on screen: what was loaded, what the screen gave when it showed it,
// and the checks before a write. A record that another program has deleted since it was
// loaded is reported. One changed elsewhere meanwhile is merged field by field: a field
// changed only there keeps its stored value (and the screen shows it), a field edited only
// here is written, and where both changed the same field the user is asked, with who
// changed it and when. Shared by every editor window, whatever its record holds; the window
// gives its screen as values, so that this part needs none of its controls.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bank_record.h"

namespace editor {

// The screen that shows a record, as saving sees it.
struct RecordScreen {
  // Everything "Save" would write, from the screen.
  std::function<Record()> values;
  // A value as it counts for edits (a size in the precision its box shows); empty: as it is.
  std::function<store::Value(const std::string& field, const store::Value& value)> asShown = nullptr;
  // Shows the stored record again, after the user chose it over the screen's edits.
  std::function<void()> reload;
  // Shows `values` (every field of the record) without changing what counts as loaded;
  // empty: reload instead.
  std::function<void(const Record& values)> show = nullptr;
};

class RecordSaving {
 public:
  RecordSaving(const RecordFields& def, RecordScreen screen)
      : def_(def), stored_(def), screen_(std::move(screen)) {}

  // Reads record numQ for the screen and remembers it; nothing when there is none (then
  // nothing counts as loaded).
  std::optional<Record> load(store::Connection& conn, const std::string& numQ);
  // The screen shows what was loaded: what it gives now holds no edits.
  void markShown() { shown_ = screenNow(); }
  // Nothing is on screen.
  void clear();
  bool loaded() const { return stored_.loaded(); }
  // Every field of the record as loaded or last written.
  const Record& loadedValues() const { return stored_.loadedRecord(); }

  // Writes the fields of `values` in `groups` to numQ, merged with what was changed
  // elsewhere since it was loaded; nothing when nothing is loaded. A record deleted
  // meanwhile is reported, and so is Cancel in the question about a field changed on both
  // sides: both end the event (ui::AlreadyReported) with nothing written.
  void save(store::Connection& conn, const std::string& numQ, const Record& values,
            const std::vector<FieldWrite>& groups);
  void save(store::Connection& conn, const std::string& numQ, const Record& values, FieldWrite group) {
    save(conn, numQ, values, std::vector<FieldWrite>{group});
  }

  // The screen gives other values than when it showed the record or last wrote it.
  bool hasUnsavedEdits() const { return !unsavedEdits().empty(); }
  // The fields whose values on screen differ from those it showed, with their values.
  Record unsavedEdits() const;
  // Every field of the record as loaded, with `edits` over it: what a screen shows to bring
  // edits back.
  Record loadedWith(const Record& edits) const;
  // The user dropped the edits: they no longer count as unsaved.
  void dropEdits() { markShown(); }

 private:
  // What a write of `values` does to the question stored as `now`.
  struct Merge {
    Record write;                         // the fields to write
    std::vector<std::string> keptStored;  // fields changed only elsewhere, or kept on No
    std::vector<std::string> conflicts;   // fields changed here and elsewhere, differently
  };
  Merge merge(const Record& now, const Record& values, const std::vector<FieldWrite>& groups) const;
  // Asks about the conflicting fields; Yes writes the screen's values, No keeps the stored
  // ones, Cancel ends the event.
  void askAbout(store::Connection& conn, const std::string& numQ, const Record& values, Merge& m) const;
  store::Value asShown(const std::string& field, const store::Value& v) const {
    return screen_.asShown ? screen_.asShown(field, v) : v;
  }
  Record screenNow() const;

  const RecordFields& def_;
  StoredVersion stored_;
  RecordScreen screen_;
  Record shown_;
};

// Who made the last change to question numQ of table, and when, as the history kept it:
// "ana on pc7 (Save, 2026-12-09 10:01:02 UTC)"; "another program" where nobody is known.
std::string lastChangeOf(store::Connection& conn, const std::string& table, const std::string& numQ);

// The fields' names as a user reads them ("Choice A", "Passage", "box sizes"), joined.
std::string fieldNames(const RecordFields& def, const std::vector<std::string>& fields);

}  // namespace editor
