#include "edition_actions.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/dialogs.h"
#include "controls/form.h"
#include "numbering.h"

namespace editor {

using ui::MsgBox;
using ui::MsgButtons;
using ui::MsgIcon;
using ui::MsgResult;

namespace {

// Letters or nothing in the count box count as below 1.
long countIn(const ui::TextBox& box) { return pools::wholeNumber(box.Text()).value_or(0); }

}  // namespace

EditionActions::EditionActions(EditionControls controls, EditionHost host, bank::ProgramState& state,
                               bank::schema::Kind kind)
    : c_(controls), host_(std::move(host)), state_(state), rules_(pools::editionRules(kind)) {}

void EditionActions::busy(const std::function<void(const pools::Progress&)>& work) {
  struct Restore {
    EditionControls& c;
    ~Restore() {
      if (c.PgrBar) c.PgrBar->setVisible(false);
      c.form.setMousePointer(ui::MousePointer::Default);
    }
  } restore{c_};
  c_.form.setMousePointer(ui::MousePointer::Hourglass);
  if (c_.PgrBar) {
    c_.PgrBar->setValue(0);
    c_.PgrBar->setVisible(true);
  }
  c_.form.Refresh();
  work([this](long done, long total) {
    if (c_.PgrBar && total > 0) c_.PgrBar->setValue(static_cast<int>(done * 100 / total));
  });
}

void EditionActions::leaveShown() {
  if (host_.leaveShown) host_.leaveShown();
}

void EditionActions::cmdOGcreate_Click() {
  if (countIn(c_.txtQNumber) < 1) {
    MsgBox(pools::kCountNotAboveZero, MsgButtons::OkOnly, MsgIcon::Critical, "Error");
    return;
  }
  const std::string og = c_.txtOG12.Text();
  // Too short a name would give no edition digits and count every pool of the table.
  if (!pools::editionPoolNameValid(rules_, og)) {
    MsgBox(pools::kInvalidPoolName, MsgButtons::OkOnly, MsgIcon::Critical, "Pool Name Error");
    return;
  }
  if (MsgBox("Do you add new pool " + og + " ?", MsgButtons::OkCancel, MsgIcon::Exclamation, "Add New Pool") !=
      MsgResult::Ok)
    return;
  const long count = countIn(c_.txtQNumber);
  if (const std::string why = pools::addedCountProblem(0, count); !why.empty()) {
    MsgBox(why, MsgButtons::OkOnly, MsgIcon::Critical, "Error");
    c_.txtQNumber.SetFocus();
    c_.txtQNumber.setSelStart(1);
    c_.txtQNumber.setSelLength(2);
    return;
  }
  leaveShown();
  busy([&](const pools::Progress& progress) {
    pools::createEditionPool(state_.pConn(), rules_, og, count, c_.txtQNumber.Text(), progress);
  });
  host_.FillPoolList();
  host_.FillQuestionList();
  c_.cmbEdit.setListIndex(0);
  c_.cmbEdit.Refresh();
}

void EditionActions::cmdCopy_Click() {
  leaveShown();
  busy([&](const pools::Progress& progress) { pools::copyEdition(state_.pConn(), rules_, progress); });
  host_.reloadShown();
  MsgBox("Copy completed.");
}

void EditionActions::cmdCopy2_Click() {
  leaveShown();
  busy([&](const pools::Progress& progress) { pools::updateAnswerKeys(state_.pConn(), rules_, progress); });
  host_.reloadShown();
  MsgBox("Answer update completed.");
}

void EditionActions::cmdFixnumQ_Click() {
  leaveShown();
  long moved = 0;
  busy([&](const pools::Progress& progress) { moved = pools::fixQuestionNumbers(state_.pConn(), rules_, progress); });
  // The question on screen may have moved: it is shown under its new number before the
  // list is filled again, so that nothing is written to the number it left.
  if (const std::string moved = pools::renumberedQuestion(rules_, state_.currentQNumber); !moved.empty()) {
    state_.currentQNumber = moved;
    host_.reloadShown();
  }
  host_.FillQuestionList();
  MsgBox(pools::renumberingReport(moved));
}

void EditionActions::cmdDuplicateCheck_Click() {
  leaveShown();
  std::vector<pools::DuplicateFinding> findings;
  std::string last;
  busy([&](const pools::Progress& progress) {
    findings = pools::findDuplicateChoices(state_.pConn(), rules_, &last, progress);
  });
  // The check leaves the last question it examined on screen as the current one; the
  // ones before it are not laid out.
  if (!last.empty()) {
    state_.currentQNumber = last;
    host_.reloadShown();
    if (host_.showAfterWholePoolWork) host_.showAfterWholePoolWork();
  }
  MsgBox("Completed.");
  if (!findings.empty()) showFindings(findings);
}

void EditionActions::showFindings(const std::vector<pools::DuplicateFinding>& findings) {
  if (!findings_) {
    auto* w = new QWidget(&c_.form, Qt::Window);
    w->setObjectName("DuplicateFindings");
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowTitle("Duplicate choices");
    w->resize(720, 360);
    auto* layout = new QVBoxLayout(w);
    findingsText_ = new QPlainTextEdit(w);
    findingsText_->setObjectName("findingsText");
    findingsText_->setReadOnly(true);
    findingsText_->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(findingsText_);
    auto* buttons = new QHBoxLayout;
    auto* copy = new QPushButton("Copy", w);
    copy->setObjectName("copyFindings");
    auto* close = new QPushButton("Close", w);
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    QPlainTextEdit* text = findingsText_;
    QObject::connect(copy, &QPushButton::clicked, w, [text] { QApplication::clipboard()->setText(text->toPlainText()); });
    QObject::connect(close, &QPushButton::clicked, w, &QWidget::close);
    findings_ = w;
    ui::centreOnScreen(*w);
  }
  QString lines;
  for (const pools::DuplicateFinding& f : findings) lines += QString::fromStdString(pools::findingLine(f)) + "\n";
  findingsText_->setPlainText(lines);
  findings_->show();
  findings_->raise();
}

}  // namespace editor
