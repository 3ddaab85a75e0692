#include "record_saving.h"

#include <algorithm>

#include "controls/dialogs.h"
#include "controls/events.h"
#include "db_error.h"
#include "field_labels.h"
#include "history.h"
#include "schema.h"

namespace editor {

namespace {

[[noreturn]] void reportRemoved(const std::string& numQ) {
  ui::MsgBox("Question " + numQ +
                 " no longer exists in the bank: another program has deleted it. Your edits were not saved; "
                 "they stay on screen.",
             ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "Error");
  throw ui::AlreadyReported();
}

}  // namespace

std::string lastChangeOf(store::Connection& conn, const std::string& table, const std::string& numQ) {
  for (bank::schema::Kind k : bank::schema::kAllKinds) {
    if (table != bank::schema::tableName(k)) continue;
    try {
      const std::vector<store::history::Version> v = store::history::versions(conn, k, numQ);
      if (v.empty()) break;
      const store::history::Version& last = v.front();
      const std::string when = last.at.substr(0, 19) + " UTC";
      if (last.operation == store::history::kAnotherProgram) return "another program (" + when + ")";
      std::string who = last.user.empty() ? "another user" : last.user;
      if (!last.machine.empty()) who += " on " + last.machine;
      return who + " (" + last.operation + ", " + when + ")";
    } catch (const store::DbError&) {  // a bank without a history: nobody to name
    }
    break;
  }
  return "another program";
}

std::string fieldNames(const RecordFields& def, const std::vector<std::string>& fields) {
  std::vector<std::string> names;
  for (const std::string& f : fields) {
    auto d = std::find_if(def.fields.begin(), def.fields.end(), [&](const FieldDef& x) { return x.name == f; });
    const std::string name = d != def.fields.end() && d->write == FieldWrite::Layout ? "box sizes" : bank::fieldLabel(f);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

std::optional<Record> RecordSaving::load(store::Connection& conn, const std::string& numQ) {
  std::optional<Record> r = stored_.load(conn, numQ);
  if (!r) shown_.clear();
  return r;
}

void RecordSaving::clear() {
  stored_.clear();
  shown_.clear();
}

RecordSaving::Merge RecordSaving::merge(const Record& now, const Record& values,
                                        const std::vector<FieldWrite>& groups) const {
  Merge m;
  const Record& loaded = stored_.loadedRecord();
  for (const FieldDef& f : def_.fields) {
    auto mine = values.find(f.name);
    if (!writtenBy(f, groups) || mine == values.end()) continue;
    if (f.write == FieldWrite::ContentIfGiven && (mine->second.isNull() || mine->second.toString().empty())) continue;
    const store::Value& stored = now.at(f.name);
    if (stored == loaded.at(f.name)) {  // unchanged elsewhere
      m.write[f.name] = mine->second;
      continue;
    }
    auto shown = shown_.find(f.name);
    const bool edited = shown == shown_.end() || asShown(f.name, mine->second) != shown->second;
    if (!edited)
      m.keptStored.push_back(f.name);
    else if (stored == mine->second)  // the same edit on both sides
      m.write[f.name] = mine->second;
    else
      m.conflicts.push_back(f.name);
  }
  return m;
}

void RecordSaving::askAbout(store::Connection& conn, const std::string& numQ, const Record& values, Merge& m) const {
  if (m.conflicts.empty()) return;
  const ui::MsgResult answer = ui::MsgBox(
      "Question " + numQ + " was changed by " + lastChangeOf(conn, def_.table, numQ) +
          " after it was loaded here, in what you have edited too: " + fieldNames(def_, m.conflicts) +
          ".\n\n"
          "Yes: your edits replace theirs there.\n"
          "No: theirs are kept there and shown; your other edits are saved.\n"
          "Cancel: nothing is saved; your edits stay on screen.",
      ui::MsgButtons::YesNoCancel, ui::MsgIcon::Exclamation, "Changed Meanwhile", ui::MsgDefault::Third);
  if (answer == ui::MsgResult::Cancel) throw ui::AlreadyReported();
  for (const std::string& f : m.conflicts) {
    if (answer == ui::MsgResult::Yes)
      m.write[f] = values.at(f);
    else
      m.keptStored.push_back(f);
  }
  m.conflicts.clear();
}

void RecordSaving::save(store::Connection& conn, const std::string& numQ, const Record& values,
                        const std::vector<FieldWrite>& groups) {
  if (numQ.empty() || !stored_.loaded()) return;  // nothing on screen: nothing to write
  Merge m;
  std::optional<Record> now;
  try {
    // A question that changed again while the user decided is compared (and asked about) again.
    do {
      now = stored_.current(conn, numQ);
      if (!now) reportRemoved(numQ);
      m = merge(*now, values, groups);
      askAbout(conn, numQ, values, m);
    } while (!stored_.write(conn, numQ, m.write, groups));
  } catch (const store::DbError& e) {
    // The server's connection went: nothing was written, and the user saves again.
    if (e.number != store::err::ServerUnreachable) throw;
    throw store::DbError(e.number, e.description + " Your edits are still on screen.");
  }
  for (const auto& [name, value] : m.write) shown_[name] = asShown(name, value);
  if (m.keptStored.empty()) return;
  // The screen shows what is now stored in the fields it kept, and its own other edits.
  if (!screen_.show) {
    screen_.reload();
    markShown();
    return;
  }
  Record screen = stored_.loadedRecord();  // every field, as now stored
  for (const auto& [name, value] : screen_.values())
    if (std::find(m.keptStored.begin(), m.keptStored.end(), name) == m.keptStored.end()) screen[name] = value;
  screen_.show(screen);
  const Record after = screenNow();
  for (const std::string& f : m.keptStored)
    if (after.count(f)) shown_[f] = after.at(f);
}

Record RecordSaving::unsavedEdits() const {
  Record edits;
  if (!loaded()) return edits;
  const Record screen = screen_.values();
  for (const auto& [name, value] : screen) {
    auto shown = shown_.find(name);
    if (shown == shown_.end() || asShown(name, value) != shown->second) edits[name] = value;
  }
  return edits;
}

Record RecordSaving::loadedWith(const Record& edits) const {
  Record r = loadedValues();
  for (const auto& [name, value] : edits) r[name] = value;
  return r;
}

Record RecordSaving::screenNow() const {
  Record r = screen_.values();
  for (auto& [name, value] : r) value = asShown(name, value);
  return r;
}

}  // namespace editor
