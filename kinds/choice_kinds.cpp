#include "choice_kinds.h"

namespace kinds {

using namespace editor;

RecordFields withChoices(const char* table, FieldType choiceType, std::vector<FieldDef> layout) {
  RecordFields def{table, {{"question", FieldType::Rtf, FieldWrite::Content}}};
  for (const FieldDef& f : choiceFields(choiceType)) def.fields.push_back(f);
  def.fields.push_back({"answer", FieldType::Text, FieldWrite::Content});
  for (const FieldDef& f : layout) def.fields.push_back(f);
  for (const FieldDef& f : choiceHeightFields()) def.fields.push_back(f);
  return def;
}

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
