#include "shown_question.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>
#include <algorithm>

namespace editor {

std::vector<ShownQuestion*> openEditors() {
  std::vector<ShownQuestion*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* e = dynamic_cast<ShownQuestion*>(w)) out.push_back(e);
  return out;
}

void selectRange(QWidget& box, const TextRange& range) {
  auto select = [&](QTextDocument* doc, auto* edit) {
    QTextCursor c(doc);
    c.setPosition(std::min(range.start, doc->characterCount() - 1));
    c.setPosition(std::min(range.start + range.length, doc->characterCount() - 1), QTextCursor::KeepAnchor);
    edit->setTextCursor(c);
    edit->ensureCursorVisible();
  };
  if (auto* rich = qobject_cast<QTextEdit*>(&box)) select(rich->document(), rich);
  else if (auto* plain = qobject_cast<QPlainTextEdit*>(&box)) select(plain->document(), plain);
  else return;
  box.setFocus(Qt::OtherFocusReason);
}

std::vector<ShownQuestion*> editorsShowing(bank::schema::Kind kind, const std::string& numQ) {
  std::vector<ShownQuestion*> out;
  for (ShownQuestion* e : openEditors())
    if (!numQ.empty() && e->shownKind() == kind && e->shownNumber() == numQ) out.push_back(e);
  return out;
}

}  // namespace editor
