// The "Edit" frame: its modes, checks, questions and refreshed lists around the pool
// operations, driven through the SC editor's controls.
#include "editor_fixture.h"
#include "numbering.h"
#include "pool_operations.h"
#include "sc/form_sc_edit.h"

using kinds::FormSCEdit;
using ui::MsgButtons;
using ui::MsgIcon;
using ui::MsgResult;

namespace {

class PoolEditing : public EditorTest {
 protected:
  void selectMode(FormSCEdit& ed, const std::string& mode) {
    for (int i = 0; i < ed.cmbEdit.ListCount(); ++i)
      if (ed.cmbEdit.List(i) == mode) return ed.cmbEdit.setListIndex(i);
    FAIL() << "no mode " << mode;
  }
  void addQuestions(const std::string& table, const std::string& src, const std::string& pool, int from, int to) {
    for (int i = from; i <= to; ++i) add(table, {{"numQ", pool + pools::format00(i)}, {"src", src}});
  }
  std::string lastMessage() const { return dialogs.shown.empty() ? "" : dialogs.shown.back().text; }
  std::vector<std::string> numbersOf(const std::string& src) {
    std::vector<std::string> out;
    store::Recordset rs;
    rs.open("select numQ from SCtbl where src='" + src + "' order by numQ", state->pConn(), store::adOpenDynamic,
            store::adLockReadOnly);
    for (; !rs.eof(); rs.moveNext()) out.push_back(rs.value("numQ").toString());
    rs.close();
    return out;
  }
};

using PoolEditingStore = OnBothEngines<PoolEditing>;
ZORBEX_ON_BOTH_ENGINES(PoolEditingStore);

TEST_P(PoolEditingStore, AddPoolModeListsTheFreeNumbersAndTheEmptyModeClearsThem) {
  add("SCtbl", {{"numQ", "00101"}, {"src", "X001"}});
  FormSCEdit& ed = open<FormSCEdit>();
  selectMode(ed, "Add Pool");
  ASSERT_EQ(ed.cmbPoolName->ListCount(), 999);
  EXPECT_EQ(ed.cmbPoolName->Text(), "000");
  EXPECT_EQ(ed.cmbPoolName->List(1), "002");
  EXPECT_FALSE(ed.PgrBar->Visible());
  EXPECT_EQ(ed.mousePointer(), ui::MousePointer::Default);
  EXPECT_TRUE(ed.txtPoolName.isEnabled());
  selectMode(ed, "");
  EXPECT_EQ(ed.cmbPoolName->ListCount(), 0);
}

TEST_P(PoolEditingStore, AddPoolChecksTheLetterAndTheCountAsksAndShowsThePool) {
  FormSCEdit& ed = open<FormSCEdit>();
  selectMode(ed, "Add Pool");
  ed.cmbPoolName->setListIndex(12);
  ASSERT_EQ(ed.cmbPoolName->Text(), "012");
  ed.txtQNumber.setText("3");
  for (const char* bad : {"O", "D"}) {
    ed.txtPoolName.setText(bad);
    ed.cmdEditSubmit.Press();
    EXPECT_EQ(lastMessage(), "Invalid Pool Name");
    EXPECT_EQ(dialogs.shown.back().title, "Pool Name Error");
    EXPECT_EQ(dialogs.shown.back().icon, MsgIcon::Critical);
  }
  ed.txtPoolName.setText("X");
  ed.txtQNumber.setText("0");
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(lastMessage(), "The number of questions must be above 0.");  // before any confirmation
  ed.txtQNumber.setText("ab");
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(lastMessage(), "The number of questions must be above 0.");
  EXPECT_EQ(dialogs.unanswered, 0);

  ed.txtQNumber.setText("3");
  ed.cmdEditSubmit.Press();  // no answer queued: Cancel
  EXPECT_EQ(lastMessage(), "Do you add new pool X012 ?");
  EXPECT_EQ(dialogs.shown.back().title, "Add New Pool");
  EXPECT_EQ(dialogs.shown.back().buttons, MsgButtons::OkCancel);
  EXPECT_EQ(count("select count(*) as n from SCtbl"), 0);

  size_t before = dialogs.shown.size();
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(dialogs.shown.size(), before + 1);  // the confirmation only
  EXPECT_EQ(numbersOf("X012"), (std::vector<std::string>{"01201", "01202", "01203"}));
  EXPECT_EQ(ed.cmbEdit.ListIndex(), 0);
  EXPECT_EQ(ed.cmbPoolName->ListCount(), 0);
  EXPECT_EQ(ed.cmbPool.Text(), "X012");
  EXPECT_EQ(ed.lstQuestion.ListCount(), 3);

  // More than 99 is refused only after the confirmation.
  selectMode(ed, "Add Pool");
  ed.txtQNumber.setText("99");
  ed.txtQNumber.setMaxLength(3);
  ed.txtQNumber.setText("100");
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(lastMessage(), "Invalid number of questions");
  EXPECT_EQ(ed.txtQNumber.SelStart(), 1);
  EXPECT_EQ(ed.txtQNumber.SelLength(), 2);
}

TEST_P(PoolEditingStore, AddPoolOfANumberThatAnotherUserTookMeanwhileSaysSoAndShowsTheirPool) {
  add("SCtbl", {{"numQ", "00101"}, {"src", "A001"}});
  FormSCEdit& ed = open<FormSCEdit>();
  selectMode(ed, "Add Pool");
  for (int i = 0; i < ed.cmbPoolName->ListCount(); ++i)
    if (ed.cmbPoolName->List(i) == "012") ed.cmbPoolName->setListIndex(i);
  ed.txtPoolName.setText("Y");
  ed.txtQNumber.setText("3");
  {
    store::Connection other;  // another user's editor adds its pool of the number first
    if (server)
      other.open(server->uri());
    else
      other.open(bank::schema::bankPath(dir.path()).string(), bank::schema::kBankKey);
    pools::addPool(other, "SCtbl", "X", "012", 2);
  }
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(lastMessage(), "The pool number 012 was taken meanwhile by another user's pool X012; Y012 was not added.");
  EXPECT_EQ(dialogs.shown.back().icon, MsgIcon::Critical);
  EXPECT_EQ(ed.cmbPool.Text(), "X012");
  EXPECT_EQ(ed.lstQuestion.ListCount(), 2);
  EXPECT_EQ(ed.cmbEdit.Text(), "Add Pool");
  EXPECT_EQ(ed.cmbPoolName->ListCount(), 998);  // 001 and 012 taken
  EXPECT_TRUE(numbersOf("Y012").empty());
}

TEST_P(PoolEditingStore, AddQuestionStopsAtNinetyNine) {
  addQuestions("SCtbl", "X012", "012", 1, 98);
  FormSCEdit& ed = open<FormSCEdit>();
  selectMode(ed, "Add Question");
  EXPECT_FALSE(ed.txtPoolName.isEnabled());
  EXPECT_TRUE(ed.txtQNumber.isEnabled());
  ed.txtQNumber.setText("2");
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(lastMessage(), "Invalid number of questions");
  EXPECT_EQ(count("select count(*) as n from SCtbl"), 98);
  EXPECT_EQ(ed.cmbEdit.Text(), "Add Question");  // a refused operation keeps the mode
  ed.txtQNumber.setText("1");
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(dialogs.shown.back().text, "Do you add new questions to the pool X012 ?");
  EXPECT_EQ(numbersOf("X012").back(), "01299");
  EXPECT_EQ(ed.lstQuestion.ListCount(), 99);
  EXPECT_EQ(ed.cmbEdit.ListIndex(), 0);
}

TEST_P(PoolEditingStore, DeleteQuestionKeepsOneAndDeletePoolRemovesAll) {
  addQuestions("SCtbl", "X012", "012", 1, 5);
  addQuestions("SCtbl", "X013", "013", 1, 2);
  FormSCEdit& ed = open<FormSCEdit>();
  selectMode(ed, "Delete Question");
  ed.txtQNumber.setText("5");
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(dialogs.shown[0].text, "Do you delete the last 5 question in X012 ?");
  EXPECT_EQ(dialogs.shown[0].title, "Delete the Pool");
  EXPECT_EQ(lastMessage(), "The number must be lower than the number of current pool");
  EXPECT_EQ(numbersOf("X012").size(), 5u);
  ed.txtQNumber.setText("4");
  ed.cmdEditSubmit.Press();  // Cancel
  EXPECT_EQ(numbersOf("X012").size(), 5u);
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(numbersOf("X012"), (std::vector<std::string>{"01201"}));
  EXPECT_EQ(ed.lstQuestion.ListCount(), 1);

  selectMode(ed, "Delete Pool");
  EXPECT_FALSE(ed.txtQNumber.isEnabled());
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(lastMessage(), "Do you delete the pool X012 ?");
  EXPECT_TRUE(numbersOf("X012").empty());
  EXPECT_EQ(ed.cmbPool.Text(), "X013");
  EXPECT_EQ(ed.cmbEdit.Text(), "Delete Pool");  // this mode stays
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(ed.cmbPool.ListCount(), 0);
  // No pool left: the pool modes do nothing.
  size_t shown = dialogs.shown.size();
  ed.cmdEditSubmit.Press();
  selectMode(ed, "Add Question");
  ed.txtQNumber.setText("1");
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(dialogs.shown.size(), shown);
}

TEST_F(PoolEditing, WithoutAllKindsAddPoolIsNotOffered) {
  state->flgAllKinds = false;
  addQuestions("SCtbl", "X012", "012", 1, 2);
  FormSCEdit& ed = open<FormSCEdit>();
  std::vector<std::string> modes;
  for (int i = 0; i < ed.cmbEdit.ListCount(); ++i) modes.push_back(ed.cmbEdit.List(i));
  EXPECT_EQ(modes, (std::vector<std::string>{"", "Delete Pool", "Add Question", "Delete Question"}));
  ed.cmbEdit.setListIndex(2);  // the item's own mode, not its position
  ed.txtQNumber.setText("1");
  dialogs.queueAnswer(MsgResult::Ok);
  ed.cmdEditSubmit.Press();
  EXPECT_EQ(numbersOf("X012").size(), 3u);
}

}  // namespace
