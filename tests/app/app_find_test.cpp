// The Find window's wiring: Ctrl+F opens it, a search lists the hits, Enter opens the kind's
// editor at the question with the words selected, Replace writes the accepted places.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>

#include "app_fixture.h"
#include "bank_search.h"
#include "awa/form_awa_edit.h"
#include "form_find.h"
#include "form_replace.h"
#include "program.h"
#include "question_editor.h"
#include "recordset.h"
#include "window_check.h"

namespace {

class FindTest : public AppFolderTest {
 protected:
  void SetUp() override {
    makeBank();
    store::Connection conn;
    conn.open(bank::schema::bankPath(folder()).string(), bank::schema::kBankKey);
    add(conn, "SCtbl", "01001", "X010", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 A \\b zebra\\b0  at the zoo}");
    add(conn, "SCtbl", "01002", "X010", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Zebra and zebra}");
    store::Recordset rs;
    rs.open("AWAtbl", conn, store::adOpenKeyset, store::adLockOptimistic);
    rs.addNew();
    rs.setValue("numQ", "0001");
    rs.setValue("type", "I");
    rs.setValue("question", "Discuss whether a giraffe should vote.");
    rs.update();
    rs.close();
    conn.close();
    program = std::make_unique<app::Program>(folder());
    ASSERT_EQ(program->start(), app::Program::kRunning);
  }
  void TearDown() override {
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
  app::FormFind& openFind() {
    for (QShortcut* s : program->formInit().findChildren<QShortcut*>())
      if (s->key() == QKeySequence(QKeySequence::Find)) emit s->activated();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = dynamic_cast<app::FormFind*>(w); f && f->isVisible()) return *f;
    throw std::runtime_error("Ctrl+F opened no Find window");
  }
  std::unique_ptr<app::Program> program;
};

}  // namespace

TEST_F(FindTest, EnterOnAHitOpensTheEditorWithTheWordsSelected) {
  app::FormFind& find = openFind();
  find.txtWords.setText("ZEBRA");
  find.cmdFind.Press();
  ASSERT_EQ(find.lstHits->model()->rowCount(), 2);
  const QAbstractItemModel& list = *find.lstHits->model();
  EXPECT_EQ(list.index(0, 1).data().toString(), "01002");  // two places rank first
  EXPECT_EQ(list.index(0, 3).data().toString(), "stem");
  window_check::save(find, "find");

  find.lstHits->setCurrentIndex(list.index(1, 0));
  find.lstHits->setFocus();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
  QApplication::sendEvent(find.lstHits, &enter);

  editor::QuestionEditor* editor = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* e = dynamic_cast<editor::QuestionEditor*>(w); e && e->isVisible()) editor = e;
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->kind().kind, bank::schema::Kind::SC);
  EXPECT_EQ(editor->lstQuestion.Text(), "01001");
  EXPECT_EQ(editor->rtxtQuestion.SelText(), "zebra");
  EXPECT_FALSE(program->formInit().isVisible());
  EXPECT_FALSE(editor->findChildren<QShortcut*>().isEmpty());  // Ctrl+F there too

  // A hit of another kind closes this editor and opens that kind's.
  find.txtWords.setText("giraffe");
  find.cmdFind.Press();
  ASSERT_EQ(find.lstHits->model()->rowCount(), 1);
  EXPECT_EQ(find.lstHits->model()->index(0, 3).data().toString(), "topic");
  find.OpenHit(0);
  EXPECT_FALSE(editor->isVisible());
  kinds::FormAWAEdit* awa = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* e = dynamic_cast<kinds::FormAWAEdit*>(w); e && e->isVisible()) awa = e;
  ASSERT_NE(awa, nullptr);
  EXPECT_EQ(awa->cmbPool.Text(), "Issue");
  EXPECT_EQ(awa->rtxtQuestion.SelText(), "giraffe");
}

TEST_F(FindTest, AQueryOverTheBoundIsRefusedInTheStatusLine) {
  app::FormFind& find = openFind();
  find.txtWords.setText(QString(" zebra").repeated(search::kMaxQueryTerms + 1).toStdString());
  find.cmdFind.Press();
  EXPECT_EQ(find.lblStatus.Caption(), "Too long: a search takes at most 200 words; this one has 201.");
  EXPECT_EQ(find.lstHits->model()->rowCount(), 0);
  window_check::checkLayout(&find);
  window_check::save(find, "find-too-long");
}

TEST_F(FindTest, ReplaceWritesTheAcceptedPlacesOnly) {
  app::FormFind& find = openFind();
  find.txtWords.setText("zebra");
  find.txtReplaceWith.setText("horse");
  find.cmdFind.Press();
  find.cmdReplace.Press();
  app::FormReplace* replace = find.replaceWindow();
  ASSERT_NE(replace, nullptr);
  ASSERT_EQ(replace->lstPlaces->topLevelItemCount(), 3);  // 01002 twice, 01001 once
  window_check::save(*replace, "replace");
  replace->cmdSkip.Press();
  replace->cmdAccept.Press();
  replace->cmdApply.Press();
  ASSERT_FALSE(dialogs.shown.empty());
  EXPECT_EQ(dialogs.shown.back().text, "2 places were replaced.");
  // The hits as they now stand: the skipped place is still found.
  EXPECT_EQ(find.lstHits->model()->rowCount(), 1);
  EXPECT_EQ(find.lstHits->model()->index(0, 1).data().toString(), "01002");
}

TEST_F(FindTest, ManyHitsAreListedBatchByBatchAsTheListIsScrolled) {
  const size_t many = search::kFirstBatch + search::kBatch + 10;
  {
    store::Connection conn;
    conn.open(bank::schema::bankPath(folder()).string(), bank::schema::kBankKey);
    for (size_t i = 0; i < many; ++i)
      add(conn, "CRtbl", std::to_string(20000 + i).c_str(), "X200", "{\\rtf1\\ansi kiwi}");
  }
  app::FormFind& find = openFind();
  find.txtWords.setText("kiwi");
  find.cmdFind.Press();
  EXPECT_EQ(find.lblStatus.Caption(), std::to_string(many) + " hits");
  const QAbstractItemModel& list = *find.lstHits->model();
  ASSERT_EQ(list.rowCount(), static_cast<int>(search::kFirstBatch));
  EXPECT_EQ(list.index(0, 4).data().toString(), "<b style=\"background-color:#ffe27a\">kiwi</b>");
  for (size_t shown : {search::kFirstBatch + search::kBatch, many}) {
    QApplication::processEvents();
    find.lstHits->scrollToBottom();
    EXPECT_EQ(list.rowCount(), static_cast<int>(shown));
  }
  EXPECT_EQ(list.index(static_cast<int>(many) - 1, 4).data().toString(), "<b style=\"background-color:#ffe27a\">kiwi</b>");
  window_check::save(find, "find-many");

  // Replace goes through the hits in view only.
  find.lstHits->scrollToTop();
  find.cmdFind.Press();
  find.cmdReplace.Press();
  ASSERT_NE(find.replaceWindow(), nullptr);
  EXPECT_EQ(find.replaceWindow()->lstPlaces->topLevelItemCount(), static_cast<int>(search::kFirstBatch));
}

TEST_F(FindTest, FindAndReplaceOpenOnTheScreenAndCloseWithEscape) {
  app::FormFind& find = openFind();
  find.txtWords.setText("zebra");
  find.cmdFind.Press();
  find.cmdReplace.Press();
  ASSERT_NE(find.replaceWindow(), nullptr);
  window_check::checkOwnWindow(*find.replaceWindow(), *find.replaceWindow()->lstPlaces);
  window_check::checkOwnWindow(find, *find.lstHits);
}

TEST_F(FindTest, ThePoolBoxTakesAnEssayTypeByTheNameShown) {
  app::FormFind& find = openFind();
  find.txtWords.setText("giraffe");
  find.txtPool.setText("Issue");
  find.cmdFind.Press();
  ASSERT_EQ(find.lstHits->model()->rowCount(), 1);
  EXPECT_EQ(find.lstHits->model()->index(0, 2).data().toString(), "Issue");
}

// An editor that shows a replaced question: with its own edits elsewhere in the question it
// saves them beside the replacement without a question; without edits it shows the
// replacement at once.
TEST_F(FindTest, ReplaceIsMergedWithAnEditorsEditsAndShownWhereItHasNone) {
  app::FormFind& find = openFind();
  find.txtWords.setText("zebra");
  find.cmdFind.Press();
  find.OpenHit(0);  // 01002
  editor::QuestionEditor* editor = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* e = dynamic_cast<editor::QuestionEditor*>(w); e && e->isVisible()) editor = e;
  ASSERT_NE(editor, nullptr);
  ASSERT_EQ(editor->shownNumber(), "01002");
  auto replaceAll = [&](const char* words, const char* with) {
    find.txtWords.setText(words);
    find.txtReplaceWith.setText(with);
    find.cmdFind.Press();
    find.cmdReplace.Press();
    find.replaceWindow()->cmdApply.Press();
  };
  auto stem = [&] { return editor->rtxtQuestion.Text().trimmed().toStdString(); };

  editor->cmbAnswer.setListIndex(2);  // an edit of the answer
  replaceAll("zebra", "horse");
  EXPECT_EQ(stem(), "Zebra and zebra");  // the edits stay as they are on screen
  const size_t shown = dialogs.shown.size();
  editor->cmdSave.Press();
  EXPECT_EQ(dialogs.shown.size(), shown);  // nothing asked
  EXPECT_EQ(stem(), "horse and horse");
  store::Connection conn;
  conn.open(bank::schema::bankPath(folder()).string(), bank::schema::kBankKey);
  store::Recordset rs;
  rs.open("select answer from SCtbl where numQ = '01002'", conn, store::adOpenDynamic, store::adLockReadOnly);
  EXPECT_EQ(rs.value("answer").toString(), "C");
  rs.close();
  conn.close();

  replaceAll("horse", "zebra");
  EXPECT_EQ(stem(), "zebra and zebra");
}
