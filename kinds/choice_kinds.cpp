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

std::vector<SizeTarget> sharedWidthTargets() {
  return {{"0", "questionHeight", "questionWidth"}, {"1", "choiceAHeight", "choiceAWidth"},
          {"2", "choiceBHeight", "choiceAWidth"},   {"3", "choiceCHeight", "choiceAWidth"},
          {"4", "choiceDHeight", "choiceAWidth"},   {"5", "choiceEHeight", "choiceAWidth"}};
}

std::vector<std::pair<const char*, double>> resetAllTo(double value) {
  return {{"questionWidth", value}, {"questionHeight", value}, {"choiceAWidth", value},
          {"choiceAHeight", value}, {"choiceBHeight", value},  {"choiceCHeight", value},
          {"choiceDHeight", value}, {"choiceEHeight", value}};
}

std::unique_ptr<ChoicesPanel> plainChoices(QWidget* parent) { return std::make_unique<PlainChoices>(parent); }
std::unique_ptr<ChoicesPanel> richChoices(QWidget* parent) { return std::make_unique<RichChoices>(parent); }

}  // namespace kinds
