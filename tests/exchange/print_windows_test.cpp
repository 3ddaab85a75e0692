// The windows' "Print...": which questions each one hands to the preview, and that the new
// buttons stand clear of the others. The preview itself is replaced by a stand-in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>

#include "app_fixture.h"
#include "awa/form_awa_edit.h"
#include "form_find.h"
#include "form_print.h"
#include "kind_windows.h"
#include "print_preview.h"
#include "program.h"
#include "question_editor.h"
#include "recordset.h"
#include "window_check.h"

namespace {

using bank::schema::Kind;
using exchange::print::QuestionRef;

class PrintWindows : public AppFolderTest {
 protected:
  void SetUp() override {
    makeBank();
    store::Connection conn;
    conn.open(bank::schema::bankPath(folder()).string(), bank::schema::kBankKey);
    add(conn, "SCtbl", "01001", "X010", "A zebra at the zoo");
    add(conn, "SCtbl", "01002", "X010", "Zebra and zebra");
    add(conn, "SCtbl", "01101", "X011", "No stripes here");
    conn.close();
    program = std::make_unique<app::Program>(folder());
    ASSERT_EQ(program->start(), app::Program::kRunning);
    editor::setPrintPreviewStandIn([this](const editor::PrintRequest& r) { requests.push_back(r); });
  }
  void TearDown() override {
    editor::setPrintPreviewStandIn({});
    closeOpenEditors();
    program.reset();
    flushDeletes();
  }
  static void add(store::Connection& conn, const char* table, const char* numQ, const char* pool, const char* stem) {
    store::Recordset rs;
    rs.open(table, conn, store::adOpenKeyset, store::adLockOptimistic);
    rs.addNew();
    rs.setValue("numQ", numQ);
    rs.setValue("src", pool);
    rs.setValue("question", stem);
    rs.update();
    rs.close();
  }
  std::unique_ptr<app::Program> program;
  std::vector<editor::PrintRequest> requests;
};

TEST_F(PrintWindows, FindPrintsEachQuestionOfTheHitsInViewOnceInTheirOrder) {
  for (QShortcut* s : program->formInit().findChildren<QShortcut*>())
    if (s->key() == QKeySequence(QKeySequence::Find)) emit s->activated();
  app::FormFind* find = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* f = dynamic_cast<app::FormFind*>(w); f && f->isVisible()) find = f;
  ASSERT_NE(find, nullptr);
  find->txtWords.setText("zebra");
  find->cmdFind.Press();
  find->cmdPrint.Press();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].questions, (std::vector<QuestionRef>{{Kind::SC, "01002"}, {Kind::SC, "01001"}}));
  EXPECT_TRUE(requests[0].options.selection.contains("zebra"));
  window_check::checkLayout(find);
  window_check::save(*find, "find-print");
}

TEST_F(PrintWindows, TheSectionWindowPrintsASelectionOrSaysThatItIsEmpty) {
  app::FormInit& init = program->formInit();
  init.PrintSelection({.kinds = {Kind::SC}, .pool = "X010"});
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].questions, (std::vector<QuestionRef>{{Kind::SC, "01001"}, {Kind::SC, "01002"}}));
  EXPECT_EQ(requests[0].options.selection, "SC: pool X010");
  EXPECT_FALSE(requests[0].options.bankName.isEmpty());

  init.PrintSelection({.numberPrefix = "099"});
  EXPECT_EQ(requests.size(), 1u);
  ASSERT_FALSE(dialogs.shown.empty());
  EXPECT_EQ(dialogs.shown.back().text, "No question of the bank is in this selection.");
  window_check::checkLayout(&init);
  window_check::save(init, "section-print");
}

TEST_F(PrintWindows, TheSectionWindowsDialogGivesTheKindPoolAndPrefixTyped) {
  app::FormPrint dialog(&program->formInit());
  EXPECT_EQ(dialog.selection().kinds, std::vector<Kind>{});  // "Every kind"
  dialog.cmbKind.setCurrentText("DS");
  dialog.txtPool.setText(" X042 ");
  dialog.txtPrefix.setText("013");
  const exchange::print::Selection s = dialog.selection();
  EXPECT_EQ(s.kinds, std::vector<Kind>{Kind::DS});
  EXPECT_EQ(s.pool, "X042");
  EXPECT_EQ(s.numberPrefix, "013");
  dialog.show();
  window_check::save(dialog, "section-print-dialog");
}

TEST_F(PrintWindows, AnEditorPrintsTheQuestionShownOrItsPool) {
  editor::ShownQuestion* shown = app::showEditorOf(Kind::SC, program->state(), program->formInit());
  ASSERT_NE(shown, nullptr);
  auto* sc = dynamic_cast<editor::QuestionEditor*>(&shown->window());
  ASSERT_NE(sc, nullptr);
  store::Connection& conn = program->state().pConn();
  EXPECT_EQ(editor::shownRequest(conn, Kind::SC, sc->shownNumber(), sc->shownPool(), false).questions,
            (std::vector<QuestionRef>{{Kind::SC, "01001"}}));
  EXPECT_EQ(editor::shownRequest(conn, Kind::SC, sc->shownNumber(), sc->shownPool(), true).questions,
            (std::vector<QuestionRef>{{Kind::SC, "01001"}, {Kind::SC, "01002"}}));
  // The button stands clear of every other control of the window.
  ASSERT_TRUE(sc->cmdPrint.isVisibleTo(sc));
  for (QWidget* other : sc->cmdPrint.parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (other != &sc->cmdPrint && other->isVisibleTo(sc)) {
      EXPECT_FALSE(other->geometry().intersects(sc->cmdPrint.geometry())) << window_check::describe(other);
    }
  }
  window_check::save(*sc, "sc-editor-print");
}

TEST_F(PrintWindows, ThePreviewShowsThePagesAndOffersTheKey) {
  editor::setPrintPreviewStandIn({});
  int pages = 0;
  bool keySwitch = false;
  // The preview is modal: looked at, then closed, from inside its own event loop.
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QPrintPreviewDialog*>(w);
      if (!dialog || !dialog->isVisible()) continue;
      if (auto* preview = dialog->findChild<QPrintPreviewWidget*>()) pages = preview->pageCount();
      for (QAction* a : dialog->findChild<QToolBar*>()->actions()) keySwitch |= a->text() == "Answer key";
      window_check::save(*dialog, "print-preview");
      dialog->reject();
    }
  });
  program->formInit().PrintSelection({.kinds = {Kind::SC}});
  EXPECT_EQ(pages, 1);
  EXPECT_TRUE(keySwitch);
}

}  // namespace
