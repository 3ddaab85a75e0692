#pragma once
// What the kinds with a stem and five choices share in their geometry, size targets and
// reset values.

#include <memory>

#include "editor_kind.h"
#include "panels.h"

namespace kinds {

// The stem at 480, 1320, 14300 wide, and choice boxes at 960, 13700 wide and 270 high,
// with their markers at 600: markers first.
editor::KindGeometry stemAndChoices(double defaultQuestionHeight);

// The stem and the choices each by their height; every choice shares choiceAWidth.
std::vector<editor::SizeTarget> sharedWidthTargets();

// The eight layout variables of the stem and the choices to `value`.
std::vector<std::pair<bank::schema::SizeOf, double>> resetAllTo(double value);

std::unique_ptr<editor::ChoicesPanel> plainChoices(QWidget* parent);
std::unique_ptr<editor::ChoicesPanel> richChoices(QWidget* parent);

}  // namespace kinds
