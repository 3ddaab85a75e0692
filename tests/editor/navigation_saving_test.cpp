// The navigation and record-saving parts without a window: two lists, a screen given as
// values, hooks that record what they were asked to do, and a real bank.
#include <stdexcept>

#include "editor_fixture.h"
#include "history.h"
#include "navigation.h"
#include "record_saving.h"

using editor::FieldType;
using editor::FieldWrite;
using editor::Navigation;
using editor::Record;
using editor::RecordSaving;
using store::Value;

namespace {

class EditorParts : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"choiceA", "a1"}});
    add("SCtbl", {{"numQ", "01202"}, {"src", "X012"}, {"choiceA", "a2"}});
    add("SCtbl", {{"numQ", "01301"}, {"src", "X013"}, {"choiceA", "a3"}});
    nav = std::make_unique<Navigation>(
        editor::NavigationControls{cmbPool, lstQuestion},
        editor::NavigationHost{.pools = [] { return std::vector<std::string>{"X012", "X013"}; },
                               .numbers =
                                   [](const std::string& pool) {
                                     return pool == "X012" ? std::vector<std::string>{"01201", "01202"}
                                                           : std::vector<std::string>{"01301"};
                                   },
                               .load = [this] { load(); },
                               .showEmpty =
                                   [this] {
                                     screen.clear();
                                     record.clear();
                                   },
                               .updateActiveState = [] {},
                               .autoSaveOn = [this] { return autoSaveOn; },
                               .autoSave = [this] { save("auto-save"); },
                               .save = [this] { save("save"); },
                               .autoSaveOnClosing = false},
        *state, record);
    cmbPool.Click = [this] { nav->cmbPool_Click(); };
    lstQuestion.Click = [this] { nav->lstQuestion_Click(); };
    nav->FillPoolList();
  }
  void load() {
    if (state->currentQNumber == unreadable) throw std::runtime_error("unreadable");
    const std::optional<Record> r = record.load(state->pConn(), state->currentQNumber);
    screen = r ? r->at("choiceA").toString() : "";
    record.markShown();
  }
  void save(const std::string& how) {
    saves.push_back(how);
    record.save(state->pConn(), state->currentQNumber, {{"choiceA", Value(screen)}}, FieldWrite::Content);
  }

  const editor::RecordFields def{"SCtbl", {{"choiceA", FieldType::Text, FieldWrite::Content}}};
  std::string screen;  // the one box of the screen
  int reloads = 0;
  RecordSaving record{def, {.values = [this] { return Record{{"choiceA", Value(screen)}}; },
                            .reload = [this] { ++reloads; }}};
  ui::ComboBox cmbPool{nullptr};
  ui::ListBox lstQuestion{nullptr};
  std::unique_ptr<Navigation> nav;
  bool autoSaveOn = false;
  std::string unreadable;  // a number whose load fails
  std::vector<std::string> saves;
};

// A change by another program to a field that the screen does not write is kept without a
// question; the screen's own field is written.
using EditorPartsStore = OnBothEngines<EditorParts>;
ZORBEX_ON_BOTH_ENGINES(EditorPartsStore);

TEST_P(EditorPartsStore, AnotherProgramsChangeToAnotherFieldIsKeptWithoutAsking) {
  screen = "mine";
  state->pConn().execute("update SCtbl set choiceB = 'theirs' where numQ = '01201'");
  save("save");
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "mine");
  EXPECT_EQ(field("SCtbl", "01201", "choiceB").toString(), "theirs");
  EXPECT_FALSE(record.hasUnsavedEdits());
}

// Two editors on one bank, each with its own connection and a screen of two choices.
class TwoEditors : public EditorTest {
 protected:
  struct Screen {
    Screen(const editor::RecordFields& def) : saving(def, {.values = [this] { return values; },
                                                            .reload = [this] { values = saving.loadedValues(); },
                                                            .show = [this](const Record& r) {
                                                              values = {{"choiceA", r.at("choiceA")},
                                                                        {"choiceB", r.at("choiceB")}};
                                                            }}) {}
    Record values;
    RecordSaving saving;
  };
  void SetUp() override {
    EditorTest::SetUp();
    add("SCtbl", {{"numQ", "01201"}, {"src", "X012"}, {"choiceA", "a"}, {"choiceB", "b"}});
    other = std::make_unique<bank::ProgramState>(dir.path());
    other->serverBank = state->serverBank;
    other->flgAllKinds = true;
    bank::OpenConnections(*other);
    for (auto* s : {&first, &second}) {
      ASSERT_TRUE(s->saving.load(connOf(*s), "01201"));
      s->values = {{"choiceA", Value("a")}, {"choiceB", Value("b")}};
      s->saving.markShown();
    }
  }
  store::Connection& connOf(Screen& s) { return &s == &first ? state->pConn() : other->pConn(); }
  void save(Screen& s) {
    store::history::ChangeTag tag(connOf(s), "Save");
    s.saving.save(connOf(s), "01201", s.values, FieldWrite::Content);
    tag.commit();
  }
  std::string stored(const char* f) { return field("SCtbl", "01201", f).toString(); }

  const editor::RecordFields def{"SCtbl",
                                 {{"choiceA", FieldType::Text, FieldWrite::Content},
                                  {"choiceB", FieldType::Text, FieldWrite::Content}}};
  std::unique_ptr<bank::ProgramState> other;
  Screen first{def}, second{def};
};
using TwoEditorsStore = OnBothEngines<TwoEditors>;
ZORBEX_ON_BOTH_ENGINES(TwoEditorsStore);

// Whichever saves first, edits of different fields are both kept, and the later editor
// shows the earlier one's field as it is now stored.
TEST_P(TwoEditorsStore, EditsOfDifferentFieldsAreBothKeptWithoutAsking) {
  for (bool firstSavesFirst : {true, false}) {
    Screen& early = firstSavesFirst ? first : second;
    Screen& late = firstSavesFirst ? second : first;
    early.values["choiceA"] = Value(std::string("A by early ") + (firstSavesFirst ? "1" : "2"));
    late.values["choiceB"] = Value(std::string("B by late ") + (firstSavesFirst ? "1" : "2"));
    save(early);
    save(late);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(stored("choiceA"), early.values["choiceA"].toString());
    EXPECT_EQ(stored("choiceB"), late.values["choiceB"].toString());
    EXPECT_EQ(late.values["choiceA"], early.values["choiceA"]);
    EXPECT_FALSE(late.saving.hasUnsavedEdits());
    save(early);  // nothing edited since: writes what it shows, loses nothing
    EXPECT_EQ(stored("choiceB"), late.values["choiceB"].toString());
  }
}

// Where both changed the same field the later one is asked, with the field, who and when:
// Cancel writes nothing and keeps the edits on screen, No keeps the stored field (and shows
// it) but saves the other edits, Yes writes the screen. Both orders of the two editors.
TEST_P(TwoEditorsStore, EditsOfTheSameFieldAskAndEachAnswerDoesWhatItSays) {
  for (bool firstSavesFirst : {true, false}) {
    Screen& early = firstSavesFirst ? first : second;
    Screen& late = firstSavesFirst ? second : first;
    const std::string round = firstSavesFirst ? "1" : "2";
    early.values["choiceA"] = Value("early " + round);
    save(early);
    late.values["choiceA"] = Value("late " + round);
    late.values["choiceB"] = Value("late B " + round);

    const size_t asked = dialogs.shown.size();
    EXPECT_THROW(save(late), ui::AlreadyReported);  // unanswered: Cancel
    ASSERT_EQ(dialogs.shown.size(), asked + 1);
    const ui::ShownMessage& box = dialogs.shown.back();
    EXPECT_EQ(box.title, "Changed Meanwhile");
    EXPECT_EQ(box.buttons, ui::MsgButtons::YesNoCancel);
    EXPECT_EQ(box.defaultButton, ui::MsgDefault::Third);
    EXPECT_NE(box.text.find("(Save, "), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("edited too: Choice A."), std::string::npos) << box.text;
    EXPECT_EQ(box.text.find("another program"), std::string::npos) << box.text;
    EXPECT_EQ(stored("choiceA"), "early " + round);
    EXPECT_EQ(late.values["choiceA"].toString(), "late " + round);
    EXPECT_TRUE(late.saving.hasUnsavedEdits());

    dialogs.queueAnswer(ui::MsgResult::No);
    save(late);
    EXPECT_EQ(stored("choiceA"), "early " + round);
    EXPECT_EQ(stored("choiceB"), "late B " + round);
    EXPECT_EQ(late.values["choiceA"].toString(), "early " + round);
    EXPECT_FALSE(late.saving.hasUnsavedEdits());

    early.values["choiceA"] = Value("early again " + round);
    save(early);  // it had not seen the other's choice B: kept, not asked
    EXPECT_EQ(stored("choiceB"), "late B " + round);
    late.values["choiceA"] = Value("late again " + round);
    dialogs.queueAnswer(ui::MsgResult::Yes);
    save(late);
    EXPECT_EQ(stored("choiceA"), "late again " + round);
    EXPECT_EQ(dialogs.shown.size(), asked + 3);
  }
}

// "GO" over a list: after a failure the lists select the question on screen, which is the
// one last loaded, whether the load or the work on it failed.
TEST_F(EditorParts, AFailureThroughTheListLeavesTheListsOnTheQuestionShown) {
  int worked = 0;
  EXPECT_THROW(nav->throughList([&] {
    if (++worked == 2) throw std::runtime_error("work failed");
  }),
               std::runtime_error);
  EXPECT_EQ(state->currentQNumber, "01202");
  EXPECT_EQ(lstQuestion.ListIndex(), 1);

  nav->reselect({"X012", "01201", {"01201", "01202"}});
  load();
  unreadable = "01202";
  EXPECT_THROW(nav->throughList([] {}), std::runtime_error);
  EXPECT_EQ(state->currentQNumber, "01201");
  EXPECT_EQ(lstQuestion.ListIndex(), 0);
  EXPECT_EQ(screen, "a1");
}

// A window whose closing does not auto-save asks about the edits instead; leaving the
// question for another one auto-saves.
TEST_F(EditorParts, ClosingAsksWhereAutoSaveDoesNotApplyToIt) {
  autoSaveOn = true;
  screen = "edited";
  dialogs.queueAnswer(ui::MsgResult::No);
  nav->leaveWindow();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown.back().title, "Unsaved Edits");
  EXPECT_TRUE(saves.empty());
  EXPECT_FALSE(record.hasUnsavedEdits());  // dropped: not asked again

  screen = "auto-saved";
  lstQuestion.setListIndex(1);
  EXPECT_EQ(saves, std::vector<std::string>{"auto-save"});
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "auto-saved");
  EXPECT_EQ(state->currentQNumber, "01202");
}

}  // namespace
