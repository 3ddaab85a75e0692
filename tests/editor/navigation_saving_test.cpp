// The navigation and record-saving parts without a window: two lists, a screen given as
// values, hooks that record what they were asked to do, and a real bank.
#include <stdexcept>

#include "editor_fixture.h"
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

// A change by another program to any field of the row counts, also one the screen does
// not show; No keeps the stored record and shows it again, Yes writes the screen.
using EditorPartsStore = OnBothEngines<EditorParts>;
ZORBEX_ON_BOTH_ENGINES(EditorPartsStore);

TEST_P(EditorPartsStore, AnotherProgramsChangeToAnyFieldIsOverwrittenOnlyOnYes) {
  screen = "mine";
  state->pConn().execute("update SCtbl set choiceB = 'theirs' where numQ = '01201'");
  EXPECT_THROW(save("save"), ui::AlreadyReported);
  EXPECT_EQ(reloads, 1);
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "a1");
  dialogs.queueAnswer(ui::MsgResult::Yes);
  save("save");
  EXPECT_EQ(field("SCtbl", "01201", "choiceA").toString(), "mine");
  EXPECT_FALSE(record.hasUnsavedEdits());
  EXPECT_EQ(dialogs.shown.size(), 2u);
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
