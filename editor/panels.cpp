#include "panels.h"

#include "kind_registry.h"
#include "text_conversions.h"

namespace editor {

ChoicesPanel::ChoicesPanel(QWidget* parent) {
  for (int i = 0; i < 5; ++i) {
    auto& marker = imgClick.add(new ui::Image(parent, i));
    marker.setObjectName(QStringLiteral("imgClick%1").arg(i));
    marker.Move(0, 0, 165, 165);
  }
}

// Every kind with lettered choices names them alike: SC's names stand for all.
std::string ChoicesPanel::fieldOf(int index) {
  return bank::schema::fieldFor(bank::schema::Kind::SC, bank::schema::choiceAt(static_cast<size_t>(index)));
}

int ChoicesPanel::indexOf(const std::string& field) {
  for (int i = 0; i < 5; ++i)
    if (field == fieldOf(i)) return i;
  return -1;
}

QWidget* PlainChoices::boxOf(const std::string& field) {
  const int i = indexOf(field);
  return i < 0 ? nullptr : &txtAnswer[i];
}

QWidget* RichChoices::boxOf(const std::string& field) {
  const int i = indexOf(field);
  return i < 0 ? nullptr : &rtxtAnswer[i];
}

void ChoicesPanel::ClearChoiceMarks() {
  for (int i = 0; i < 5; ++i) imgClick[i].setPicture(ui::Bitmap(104));
}

void ChoicesPanel::markChoice(int index) {
  for (int i = 0; i < 5; ++i) imgClick[i].setPicture(ui::Bitmap(i == index ? 103 : 104));
}

void ChoicesPanel::place(const Arrangement& a) {
  for (int k = 0; k < 5; ++k) {
    const Rect& m = a.markers[static_cast<size_t>(k)];
    imgClick[k].Move(m.left, m.top, m.width, m.height);
    placeBox(k, a.choices[static_cast<size_t>(k)]);
  }
}

// ---- plain

PlainChoices::PlainChoices(QWidget* parent) : ChoicesPanel(parent) {
  for (int i = 0; i < 5; ++i) {
    auto* box = new ui::WrappingTextBox(parent);
    box->setObjectName(QStringLiteral("txtAnswer%1").arg(i));
    box->setFont(QFont("Verdana"));
    txtAnswer.add(box);
  }
  txtAnswer.Click = [this](int i) {
    if (BoxClick) BoxClick(i);
  };
}

void PlainChoices::load(const Record& r) {
  for (int i = 0; i < 5; ++i) txtAnswer[i].setText(r.at(fieldOf(i)).toString());
}

void PlainChoices::clear() {
  for (int i = 0; i < 5; ++i) txtAnswer[i].setText("");
}

void PlainChoices::saveContent(Record& r) const {
  for (int i = 0; i < 5; ++i) r[fieldOf(i)] = txtAnswer[i].Text();
}

void PlainChoices::setBorder(bool on) {
  for (int i = 0; i < 5; ++i) txtAnswer[i].setFrame(on);
}

void PlainChoices::placeBox(int index, const Rect& r) {
  txtAnswer[index].Move(r.left, r.top, r.width, r.height);
  txtAnswer[index].update();
}

FixedChoices::FixedChoices(QWidget* parent, const std::array<const char*, 5>& texts) : PlainChoices(parent) {
  for (int i = 0; i < 5; ++i) {
    txtAnswer[i].setText(texts[i]);
    txtAnswer[i].setReadOnly(true);
    txtAnswer[i].setSelStart(0);
  }
}

// ---- rich

RichChoices::RichChoices(QWidget* parent) : ChoicesPanel(parent) {
  for (int i = 0; i < 5; ++i) {
    auto* box = new ui::RichTextBox(parent);
    box->setObjectName(QStringLiteral("rtxtAnswer%1").arg(i));
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rtxtAnswer.add(box);
  }
  rtxtAnswer.Click = [this](int i) {
    if (BoxClick) BoxClick(i);
  };
}

void RichChoices::load(const Record& r) {
  for (int i = 0; i < 5; ++i) rtxtAnswer[i].setTextRTF(QByteArray::fromStdString(r.at(fieldOf(i)).toString()));
}

void RichChoices::clear() {
  for (int i = 0; i < 5; ++i) rtxtAnswer[i].setTextRTF(QByteArray());
}

void RichChoices::saveContent(Record& r) const {
  for (int i = 0; i < 5; ++i) {
    const ui::RichTextBox& box = rtxtAnswer[i];
    r[fieldOf(i)] = box.Text().isEmpty() ? store::Value() : store::Value(box.TextRTF().toStdString());
  }
}

void RichChoices::setBorder(bool on) {
  for (int i = 0; i < 5; ++i) rtxtAnswer[i].setBorder(on);
}

void RichChoices::setDefaultFont() {
  for (int i = 0; i < 5; ++i) editor::setDefaultFont(rtxtAnswer[i]);
}

// Drawn again at its new place: what a moved box showed before is not kept.
void RichChoices::placeBox(int index, const Rect& r) {
  rtxtAnswer[index].Move(r.left, r.top, r.width, r.height);
  rtxtAnswer[index].Refresh();
}

}  // namespace editor
