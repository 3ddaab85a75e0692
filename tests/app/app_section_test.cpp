// The section window: choosing a kind and opening its window, Custom Pool, About, exit.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QPointer>

#include "app_fixture.h"
#include "controls/app_services.h"
#include "db_error.h"
#include "form_custom_pool.h"
#include "kind_windows.h"
#include "program.h"

namespace {

using bank::schema::Kind;

// A stand-in editor: counts its loads and shows the section window when unloaded.
class StandInEditor : public ui::Form {
 public:
  StandInEditor(bank::ProgramState& state, ui::Form& formInit) : state_(state), formInit_(formInit) {
    setDeleteOnUnload(true);
  }
  static inline int loads = 0;
  static inline bool sawOpenConnection = false;

 protected:
  void Form_Load() override {
    ++loads;
    sawOpenConnection = state_.pConn().isOpen();
  }
  void Form_Unload() override { formInit_.Show(); }

 private:
  bank::ProgramState& state_;
  ui::Form& formInit_;
};

ui::Form* makeStandIn(bank::ProgramState& state, ui::Form& formInit) { return new StandInEditor(state, formInit); }

template <class T>
T* visibleWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = dynamic_cast<T*>(w); t && t->isVisible()) return t;
  return nullptr;
}

// An editor whose load fails, as when its first query fails.
class FailingEditor : public ui::Form {
 public:
  FailingEditor() { setDeleteOnUnload(true); }

 protected:
  void Form_Load() override { throw store::DbError(-2147217865, "The table 'SCtbl' could not be found."); }
};

ui::Form* makeFailing(bank::ProgramState&, ui::Form&) { return new FailingEditor; }

class SectionTest : public AppFolderTest {
 protected:
  void SetUp() override {
    makeBank();
    program = std::make_unique<app::Program>(folder());
    ASSERT_EQ(program->start(), app::Program::kRunning);
  }
  void TearDown() override {
    app::setKindWindow(Kind::SC, scWindow);  // some tests stand another window in for the SC editor
    closeOpenEditors();
    program.reset();
    flushDeletes();
  }
  app::FormInit& init() { return program->formInit(); }
  std::unique_ptr<app::Program> program;
  const app::KindWindowFactory scWindow = app::kindWindow(Kind::SC);
};

TEST_F(SectionTest, NextWithoutChoiceOrWithoutEditorDoesNothing) {
  init().imgNext.Press();
  EXPECT_TRUE(init().Visible());
  const app::KindWindowFactory awa = app::kindWindow(Kind::AWA);
  app::setKindWindow(Kind::AWA, nullptr);  // a kind without an editor
  init().optSelect[5].setValue(true);
  init().imgNext.Press();
  app::setKindWindow(Kind::AWA, awa);
  EXPECT_TRUE(init().Visible());
  EXPECT_TRUE(dialogs.shown.empty());
}

// The keyboard alone: Tab goes through the kinds, the arrow and the door, then the import
// frame; Enter on a chosen kind opens its editor. The window opens centred on the screen.
TEST_F(SectionTest, TheKeyboardReachesEveryControlAndEnterOpensTheChosenKind) {
  app::FormInit& w = init();
  const QPoint centre = w.screen()->availableGeometry().center();
  EXPECT_LE((w.geometry().center() - centre).manhattanLength(), 40);

  auto press = [&](int key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Return ? "\r" : "");
    QApplication::sendEvent(w.focusWidget(), &down);
  };
  w.optSelect[6].setFocus();
  std::vector<QWidget*> visited;
  for (int i = 0; i < 4; ++i) {
    press(Qt::Key_Tab);
    visited.push_back(w.focusWidget());
  }
  EXPECT_EQ(visited, (std::vector<QWidget*>{&w.imgNext, &w.imgExit, &w.cmdCompress, &w.optPoolSection[0]}));

  w.optSelect[1].setValue(true);  // a chosen kind gives the focus away
  press(Qt::Key_Return);
  ui::Form* editor = visibleWindow<ui::Form>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Caption(), "ZORBEX CR Editor");
  editor->Unload();
  flushDeletes();

  w.imgNext.setFocus();
  press(Qt::Key_Space);
  editor = visibleWindow<ui::Form>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Caption(), "ZORBEX CR Editor");
  editor->Unload();
  flushDeletes();
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(SectionTest, TheCrChoiceOpensTheCrEditorAndClosingItComesBack) {
  init().optSelect[1].setValue(true);
  init().imgNext.Press();
  ui::Form* editor = visibleWindow<ui::Form>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Caption(), "ZORBEX CR Editor");
  EXPECT_FALSE(init().Visible());
  editor->Unload();
  flushDeletes();
  EXPECT_TRUE(init().Visible());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(SectionTest, TheRcPsAndDsChoicesOpenTheirEditors) {
  const std::pair<int, const char*> kinds[] = {{2, "ZORBEX RC Editor"}, {3, "ZORBEX PS Editor"}, {4, "ZORBEX DS Editor"}};
  for (auto [index, caption] : kinds) {
    init().optSelect[index].setValue(true);
    init().imgNext.Press();
    ui::Form* editor = visibleWindow<ui::Form>();
    ASSERT_NE(editor, nullptr) << caption;
    EXPECT_EQ(editor->Caption(), caption);
    editor->Unload();
    flushDeletes();
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(SectionTest, TheAwaChoiceOpensTheAwaEditorAndClosingItComesBack) {
  init().optSelect[5].setValue(true);
  init().imgNext.Press();
  ui::Form* editor = visibleWindow<ui::Form>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Caption(), "ZORBEX AWA Editor");
  editor->Unload();
  flushDeletes();
  EXPECT_TRUE(init().Visible());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(SectionTest, KindWindowOpensFromTheTableAndClosingItShowsTheSectionWindowWithTheSameChoice) {
  app::setKindWindow(Kind::SC, makeStandIn);
  StandInEditor::loads = 0;
  init().optSelect[0].setValue(true);
  init().imgNext.Press();
  StandInEditor* editor = visibleWindow<StandInEditor>();
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(init().Visible());
  EXPECT_TRUE(StandInEditor::sawOpenConnection);
  editor->close();
  flushDeletes();
  EXPECT_TRUE(init().Visible());
  EXPECT_TRUE(init().optSelect[0].Value());
  EXPECT_FALSE(program->ended());

  init().imgNext.Press();  // loads the editor anew
  EXPECT_EQ(StandInEditor::loads, 2);
  visibleWindow<StandInEditor>()->Unload();
  flushDeletes();
}

TEST_F(SectionTest, EditorThatFailsToLoadLeavesTheSectionWindowInUse) {
  app::setKindWindow(Kind::SC, makeFailing);
  const int loaded = ui::LoadedFormCount();
  init().optSelect[0].setValue(true);
  init().imgNext.Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "-2147217865:The table 'SCtbl' could not be found.");
  EXPECT_EQ(dialogs.shown[0].icon, ui::MsgIcon::Critical);
  EXPECT_TRUE(init().Visible());
  EXPECT_EQ(visibleWindow<FailingEditor>(), nullptr);
  EXPECT_EQ(ui::LoadedFormCount(), loaded) << "a window that did not load keeps nothing running";
  init().imgExit.Press();
  EXPECT_TRUE(program->ended());
}

TEST_F(SectionTest, CustomPoolHasItsControlsAndClosingItShowsTheSectionWindow) {
  init().optSelect[6].setValue(true);
  init().imgNext.Press();
  QPointer<app::FormCustomPool> pool = visibleWindow<app::FormCustomPool>();
  ASSERT_FALSE(pool.isNull());
  EXPECT_FALSE(init().Visible());
  EXPECT_EQ(pool->Caption(), "Custom Pool Editor");
  EXPECT_EQ(pool->frameType.Caption(), "TYPE");
  ASSERT_EQ(pool->Option1.Count(), 5);
  EXPECT_EQ(pool->Option1[3].Caption(), "PS");
  EXPECT_EQ(pool->lblProgress.Caption(), "Updating pool name list");
  EXPECT_EQ(pool->cmdEditSubmit.Caption(), "Submit");
  pool->cmdEditSubmit.Press();  // reacts to nothing
  pool->Option1[0].setValue(true);
  EXPECT_TRUE(pool->Visible());
  pool->close();
  flushDeletes();
  EXPECT_TRUE(pool.isNull());
  EXPECT_TRUE(init().Visible());
  EXPECT_TRUE(init().optSelect[6].Value());
}

TEST_F(SectionTest, AboutIsModelessAndShowsTitleAndVersion) {
  for (int round = 0; round < 2; ++round) {
    init().cmdAbout.Press();
    app::frmAbout* about = init().about();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->Visible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->Caption(), "ZORBEXEditorのﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(about->lblTitle.Caption(), "ZORBEXEditor");
    EXPECT_EQ(about->lblVersion.Caption(), "ﾊﾞｰｼﾞｮﾝ " + ui::AppVersion());
    // The section window stays usable.
    init().optSelect[2].setValue(true);
    EXPECT_TRUE(init().optSelect[2].Value());
    about->cmdOK.Press();
    EXPECT_FALSE(about->Visible());
    flushDeletes();
  }
}

TEST_F(SectionTest, ExitWhileAboutIsOpenEndsWhenAboutCloses) {
  init().cmdAbout.Press();
  init().imgExit.Press();
  EXPECT_FALSE(init().Loaded());
  EXPECT_FALSE(program->state().pConn().isOpen());
  EXPECT_FALSE(program->ended());
  init().about()->cmdOK.Press();
  EXPECT_TRUE(program->ended());
  EXPECT_EQ(program->finish(), 0);
  auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("has been terminated."), std::string::npos);
}

class EmptyBankTest : public AppFolderTest {};

TEST_F(EmptyBankTest, CustomPoolStaysEnabledWhenEveryTableIsMissing) {
  makeBank({Kind::SC, Kind::CR, Kind::RC, Kind::PS, Kind::DS, Kind::AWA});
  app::Program p(folder());
  ASSERT_EQ(p.start(), app::Program::kRunning);
  for (int i = 0; i < 6; ++i) EXPECT_FALSE(p.formInit().optSelect[i].Enabled()) << i;
  EXPECT_TRUE(p.formInit().optSelect[6].Enabled());
  EXPECT_FALSE(p.state().flgAllKinds);
}

}  // namespace
