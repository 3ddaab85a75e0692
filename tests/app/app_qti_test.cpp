// The section window's QTI parts: "Export..." writes a package and says what it wrote; the
// import frame, with "QTI package" checked, lists the pools and essay types to import into and
// imports a chosen item file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>

#include "app_fixture.h"
#include "form_export_qti.h"
#include "program.h"
#include "question_record.h"
#include "recordset.h"
#include "window_check.h"

namespace {

using bank::schema::Kind;
using ui::MsgIcon;

constexpr int kSC = 0;

class QtiWindowTest : public AppFolderTest {
 protected:
  void SetUp() override {
    makeBank();
    program = std::make_unique<app::Program>(folder());
    ASSERT_EQ(program->start(), app::Program::kRunning);
  }
  void TearDown() override {
    closeOpenEditors();
    program.reset();
    flushDeletes();
  }
  app::FormInit& init() { return program->formInit(); }
  std::vector<std::string> listed() {
    std::vector<std::string> out;
    for (int i = 0; i < init().lstEdit.ListCount(); ++i) out.push_back(init().lstEdit.List(i));
    return out;
  }
  app::FormExportQti* exportWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = dynamic_cast<app::FormExportQti*>(w); f && f->Visible()) return f;
    return nullptr;
  }
  std::unique_ptr<app::Program> program;
};

TEST_F(QtiWindowTest, ExportWritesThePackageWithTheChosenVersionAndSaysWhatItWrote) {
  store::Connection& bank = program->state().pConn();
  bank.execute("insert into SCtbl (numQ, src, question, answer) values ('01201', 'X012', 'plain stem', 'A');");
  init().cmdExportQti.Press();
  app::FormExportQti* w = exportWindow();
  ASSERT_NE(w, nullptr);
  window_check::checkLayout(w);
  window_check::save(*w, "FormExportQti");
  const fs::path zip = folder() / "out.zip";
  w->txtFile.setText(zip.string());
  w->optVersion[1].setValue(true);
  w->chkKind[static_cast<int>(Kind::AWA)].setValue(0);
  EXPECT_EQ(w->exportOptions().version, exchange::qti::Version::V2p2);
  EXPECT_EQ(w->exportOptions().kinds.size(), 5u);
  w->cmdExport.Press();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "1 question in 1 section written to " + zip.string() + ".");
  EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Information);
  EXPECT_EQ(w->prgExport.Value(), 100);
  EXPECT_TRUE(fs::exists(zip));
  w->cmdClose.Press();
}

TEST_F(QtiWindowTest, TheImportFrameImportsAQtiItemIntoTheChosenPool) {
  store::Connection& bank = program->state().pConn();
  bank.execute("insert into SCtbl (numQ, src, question, answer) values ('01201', 'X012', 'plain stem', 'A');");
  const fs::path item = folder() / "item.xml";
  {
    QFile f(QString::fromStdString(item.string()));
    f.open(QIODevice::WriteOnly);
    f.write("<assessmentItem xmlns=\"http://www.imsglobal.org/xsd/imsqti_v2p1\" identifier=\"q\" title=\"q\" "
            "adaptive=\"false\" timeDependent=\"false\"><responseDeclaration identifier=\"R\" cardinality=\"single\" "
            "baseType=\"identifier\"><correctResponse><value>b</value></correctResponse></responseDeclaration>"
            "<itemBody><p>Which <b>one</b>?</p><choiceInteraction responseIdentifier=\"R\" maxChoices=\"1\">"
            "<simpleChoice identifier=\"a\">first</simpleChoice><simpleChoice identifier=\"b\">second</simpleChoice>"
            "</choiceInteraction></itemBody></assessmentItem>");
  }
  init().chkQti.setValue(1);
  init().optPoolSection[kSC].setValue(true);
  dialogs.queueFile(item.string());
  init().cmdFileOpen.Press();
  EXPECT_EQ(dialogs.fileFilters.at(0), "QTI (*.zip;*.xml)|*.zip;*.xml|すべてのﾌｧｲﾙ (*.*)|*.*");
  EXPECT_EQ(listed(), (std::vector<std::string>{"X012", "AWA A", "AWA I"}));
  window_check::checkLayout(&init());
  window_check::save(init(), "FormInit-qti-import");
  init().lstEdit.setListIndex(0);
  init().lstEdit.setSelected(0, true);
  dialogs.queueAnswer(ui::MsgResult::Yes);
  init().cmdImport.Press();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].text, "Import completed. 1 question imported (01202).");
  const auto record = bank::readRecord(bank, bank::wholeRecordFields(Kind::SC), "01202");
  ASSERT_TRUE(record);
  EXPECT_EQ(record->at("answer").toString(), "B");
  EXPECT_EQ(record->at("choiceB").toString(), "second");
  EXPECT_NE(record->at("question").toString().find("\\b one\\b0"), std::string::npos);
}

}  // namespace
