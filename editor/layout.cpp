#include "layout.h"

#include <algorithm>
#include <cmath>

#include "kind_registry.h"

namespace editor {

using store::Value;

bool sizeIsSet(const Value& v) { return !v.isNull() && v.toDouble() != 0.0; }

Value* LayoutValues::byField(const std::string& field) { return of(bank::schema::sizeOf(field.c_str())); }

Value* LayoutValues::of(bank::schema::SizeOf size) {
  using bank::schema::SizeOf;
  switch (size) {
    case SizeOf::None: return nullptr;
    case SizeOf::QuestionHeight: return &questionHeight;
    case SizeOf::QuestionWidth: return &questionWidth;
    case SizeOf::ChoiceWidth: return &choiceAWidth;
    case SizeOf::ChoiceHeightA:
    case SizeOf::ChoiceHeightB:
    case SizeOf::ChoiceHeightC:
    case SizeOf::ChoiceHeightD:
    case SizeOf::ChoiceHeightE:
      return &choiceHeight[static_cast<size_t>(static_cast<int>(size) - static_cast<int>(SizeOf::ChoiceHeightA))];
    case SizeOf::StatementHeight1: return &stateHeight1;
    case SizeOf::StatementHeight2: return &stateHeight2;
    case SizeOf::StatementWidth: return &stateWidth;
  }
  return nullptr;
}

namespace {

// The drawn height of a box: its stored size, the default when none is set or the stored
// one is negative or no number, the largest drawable size when it is beyond it.
double sized(const KindGeometry& g, const Value& v, double perUnit, double fallback) {
  if (!sizeIsSet(v)) return fallback;
  const double size = v.toDouble();
  if (!(size > 0)) return fallback;
  return std::min(size, largestSize(g)) * perUnit;
}

Rect at(const Rect& design, double top, double height) { return {design.left, top, design.width, height}; }

void stackChoices(const KindGeometry& g, const LayoutValues& v, Arrangement& a) {
  std::array<double, 5> heights;
  const double perUnit = g.twipsPerUnit * g.choiceFactor;
  heights[0] = sized(g, v.choiceHeight[0], perUnit, g.firstChoice.height);
  for (size_t k = 1; k < 5; ++k) heights[k] = sized(g, v.choiceHeight[k], perUnit, heights[0]);
  const double markerHeight = g.firstMarker.height;
  if (g.stacking == Stacking::MarkersFirst) {
    double markerTop = a.question.bottom() + 330;
    for (size_t k = 0; k < 5; ++k) {
      if (k > 0) markerTop += heights[k - 1] + 330;
      a.markers[k] = at(g.firstMarker, markerTop, markerHeight);
      a.choices[k] = at(g.firstChoice, markerTop - 40, heights[k]);
    }
  } else {
    double boxTop = a.question.bottom() + 330;
    for (size_t k = 0; k < 5; ++k) {
      if (k > 0) boxTop += heights[k - 1] + 330;
      a.choices[k] = {g.firstMarker.left + 360, boxTop, g.firstChoice.width, heights[k]};
      a.markers[k] = at(g.firstMarker, heights[k] / 2 + boxTop - markerHeight / 2, markerHeight);
    }
  }
}

void stackStatements(const KindGeometry& g, const LayoutValues& v, Arrangement& a) {
  const double h1 = sized(g, v.stateHeight1, g.twipsPerUnit, g.statements[0].height);
  const double h2 = sized(g, v.stateHeight2, g.twipsPerUnit, g.statements[1].height);
  a.statements[0] = at(g.statements[0], a.question.bottom() + 465, h1);
  a.statements[1] = at(g.statements[1], a.statements[0].bottom() + 510, h2);
  const bool centred[] = {v.flgStatePos1, v.flgStatePos2};
  for (size_t i = 0; i < 2; ++i) {
    const double labelHeight = g.stateLabels[i].height;
    double top = a.statements[i].top;
    if (centred[i]) top = (a.statements[i].height - labelHeight) / 2 + top - 20;
    a.stateLabels[i] = at(g.stateLabels[i], top, labelHeight);
  }
  double markerTop = a.statements[1].bottom() + 945;
  for (size_t k = 0; k < 5; ++k) {
    if (k > 0) markerTop += 600;  // the fixed choices are one line each
    a.markers[k] = at(g.firstMarker, markerTop, g.firstMarker.height);
    a.choices[k] = at(g.firstChoice, markerTop - 40, g.firstChoice.height);
  }
}

}  // namespace

Arrangement arrange(const KindGeometry& g, const LayoutValues& v) {
  Arrangement a;
  a.question = at(g.question, g.question.top, sized(g, v.questionHeight, g.twipsPerUnit, g.question.height));
  if (g.stacking == Stacking::Statements)
    stackStatements(g, v, a);
  else
    stackChoices(g, v, a);
  return a;
}

double largestSize(const KindGeometry& g) {
  const double room = 32767 * 15.0 - g.question.top;
  // Statements: the stem and two statements, then the fixed gaps and one-line choices.
  if (g.stacking == Stacking::Statements)
    return std::floor((room - 465 - 510 - 945 - 4 * 600 - g.firstChoice.height) / 3 / g.twipsPerUnit);
  // The stem and five choices, each followed by a gap.
  return std::floor((room - 6 * 330) / 6 / (g.twipsPerUnit * g.choiceFactor));
}

bool sizeCanBeDrawn(const KindGeometry& g, double size) { return size >= 0 && size <= largestSize(g); }

}  // namespace editor
