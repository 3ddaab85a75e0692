#include "shown_question.h"

#include <QApplication>
#include <QWidget>

namespace editor {

std::vector<ShownQuestion*> openEditors() {
  std::vector<ShownQuestion*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* e = dynamic_cast<ShownQuestion*>(w)) out.push_back(e);
  return out;
}

std::vector<ShownQuestion*> editorsShowing(store::schema::Kind kind, const std::string& numQ) {
  std::vector<ShownQuestion*> out;
  for (ShownQuestion* e : openEditors())
    if (!numQ.empty() && e->shownKind() == kind && e->shownNumber() == numQ) out.push_back(e);
  return out;
}

}  // namespace editor
