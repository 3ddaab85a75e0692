#include "choice_kinds.h"

namespace kinds {

using namespace editor;

KindGeometry stemAndChoices(double defaultQuestionHeight) {
  KindGeometry g;
  g.stacking = Stacking::MarkersFirst;
  g.question = {480, 1320, 14300, defaultQuestionHeight};
  g.firstChoice = {960, 0, 13700, 270};
  g.firstMarker = {600, 0, 165, 165};
  return g;
}

using enum bank::schema::SizeOf;

std::vector<SizeTarget> sharedWidthTargets() {
  return {{"0", QuestionHeight, QuestionWidth}, {"1", ChoiceHeightA, ChoiceWidth}, {"2", ChoiceHeightB, ChoiceWidth},
          {"3", ChoiceHeightC, ChoiceWidth},    {"4", ChoiceHeightD, ChoiceWidth}, {"5", ChoiceHeightE, ChoiceWidth}};
}

std::vector<std::pair<bank::schema::SizeOf, double>> resetAllTo(double value) {
  return {{QuestionWidth, value},  {QuestionHeight, value}, {ChoiceWidth, value},    {ChoiceHeightA, value},
          {ChoiceHeightB, value}, {ChoiceHeightC, value},  {ChoiceHeightD, value}, {ChoiceHeightE, value}};
}

std::unique_ptr<ChoicesPanel> plainChoices(QWidget* parent) { return std::make_unique<PlainChoices>(parent); }
std::unique_ptr<ChoicesPanel> richChoices(QWidget* parent) { return std::make_unique<RichChoices>(parent); }

}  // namespace kinds
