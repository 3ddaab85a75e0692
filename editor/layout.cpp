#include "layout.h"

#include <cmath>

namespace editor {

using store::Value;

bool sizeIsSet(const Value& v) { return !v.isNull() && v.toDouble() != 0.0; }

Value* LayoutValues::byField(const std::string& field) {
  if (field == "questionHeight") return &questionHeight;
  if (field == "questionWidth") return &questionWidth;
  if (field == "choiceAWidth") return &choiceAWidth;
  if (field == "stateHeight1") return &stateHeight1;
  if (field == "stateHeight2") return &stateHeight2;
  if (field == "stateWidth") return &stateWidth;
  static const char* const heights[] = {"choiceAHeight", "choiceBHeight", "choiceCHeight", "choiceDHeight",
                                        "choiceEHeight"};
  for (size_t i = 0; i < 5; ++i)
    if (field == heights[i]) return &choiceHeight[i];
  return nullptr;
}

namespace {

double sized(const Value& v, double perUnit, double fallback) { return sizeIsSet(v) ? v.toDouble() * perUnit : fallback; }

Rect at(const Rect& design, double top, double height) { return {design.left, top, design.width, height}; }

void stackChoices(const KindGeometry& g, const LayoutValues& v, Arrangement& a) {
  std::array<double, 5> heights;
  const double perUnit = g.twipsPerUnit * g.choiceFactor;
  heights[0] = sized(v.choiceHeight[0], perUnit, g.firstChoice.height);
  for (size_t k = 1; k < 5; ++k) heights[k] = sized(v.choiceHeight[k], perUnit, heights[0]);
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
  const double h1 = sized(v.stateHeight1, g.twipsPerUnit, g.statements[0].height);
  const double h2 = sized(v.stateHeight2, g.twipsPerUnit, g.statements[1].height);
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

bool within(const Rect& r) {
  for (double x : {r.left, r.top, r.width, r.height})
    if (!std::isfinite(x) || x < 0 || x > kMaxTwips) return false;
  return r.bottom() <= kMaxTwips && r.right() <= kMaxTwips;
}

}  // namespace

Arrangement arrange(const KindGeometry& g, const LayoutValues& v) {
  Arrangement a;
  a.question = at(g.question, g.question.top, sized(v.questionHeight, g.twipsPerUnit, g.question.height));
  if (g.stacking == Stacking::Statements)
    stackStatements(g, v, a);
  else
    stackChoices(g, v, a);
  return a;
}

bool drawable(const Arrangement& a) {
  if (!within(a.question)) return false;
  for (const auto* group : {&a.choices, &a.markers})
    for (const Rect& r : *group)
      if (!within(r)) return false;
  for (const auto* group : {&a.statements, &a.stateLabels})
    for (const Rect& r : *group)
      if (!within(r)) return false;
  return true;
}

LayoutValues drawableValues(const KindGeometry& g, const LayoutValues& v) {
  if (drawable(arrange(g, v))) return v;
  using Size = Value* (*)(LayoutValues&);
  static const Size sizes[] = {
      [](LayoutValues& x) { return &x.questionHeight; },  [](LayoutValues& x) { return &x.choiceHeight[0]; },
      [](LayoutValues& x) { return &x.choiceHeight[1]; }, [](LayoutValues& x) { return &x.choiceHeight[2]; },
      [](LayoutValues& x) { return &x.choiceHeight[3]; }, [](LayoutValues& x) { return &x.choiceHeight[4]; },
      [](LayoutValues& x) { return &x.stateHeight1; },    [](LayoutValues& x) { return &x.stateHeight2; }};
  LayoutValues defaults;
  defaults.flgStatePos1 = v.flgStatePos1;
  defaults.flgStatePos2 = v.flgStatePos2;
  LayoutValues shown = v;
  for (Size size : sizes) {
    LayoutValues alone = defaults;
    *size(alone) = *size(shown);
    if (!drawable(arrange(g, alone))) *size(shown) = Value();
  }
  return drawable(arrange(g, shown)) ? shown : defaults;
}

}  // namespace editor
