#include "size_editing.h"

#include <QLocale>
#include <QString>
#include <cmath>
#include <optional>

namespace editor {

using store::Value;
using bank::schema::SizeOf;

namespace {

// A size as the value box shows it: a single-precision number with up to seven digits.
std::string singleText(float v) { return QString::number(static_cast<double>(v), 'g', 7).toStdString(); }
std::string numberText(double v) { return QString::number(v, 'g', 15).toStdString(); }

// The value box holds a number in the user's format or in the plain one; anything else
// (letters, an empty box) is not a size.
std::optional<double> sizeFromText(const std::string& text) {
  const QString t = QString::fromStdString(text).trimmed();
  bool ok = false;
  double v = QLocale::system().toDouble(t, &ok);
  if (!ok) v = QLocale::c().toDouble(t, &ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

int sliderPosition(double value, double scale, int max) {
  const double v = value * scale;
  if (!(v > 0)) return 0;
  if (v >= max) return max;
  return static_cast<int>(std::lround(v));
}

bool isSizeField(const FieldDef& f) {
  return f.write == FieldWrite::Layout && (f.type == FieldType::Size || f.type == FieldType::Single);
}

}  // namespace

SizeEditing::SizeEditing(SizeControls controls, const EditorKind& kind, LayoutValues& sizes)
    : c_(controls), kind_(kind), sizes_(sizes) {}

const SizeTarget* SizeEditing::focusedTarget() const {
  for (const SizeTarget& t : kind_.sizeTargets)
    if (pFocus == t.focus) return &t;
  return nullptr;
}

void SizeEditing::focusElement(const std::string& focus) {
  pFocus = focus;
  const SizeTarget* t = focusedTarget();
  bufWidth = t && t->width != SizeOf::None ? sizes_.of(t->width)->toDouble() : 0;
  bufHeight = t && t->height != SizeOf::None ? static_cast<float>(sizes_.of(t->height)->toDouble()) : 0;
}

void SizeEditing::showValue() {
  if (c_.OptHW[0].Value()) {
    c_.txtValue.setText(singleText(bufHeight));
    c_.SliderVH.setMax(kind_.heightSliderMax);
    c_.SliderVH.setTickFrequency(kind_.heightSliderTick);
    c_.SliderVH.setValue(sliderPosition(bufHeight, 100, kind_.heightSliderMax));
  } else if (c_.OptHW[1].Value()) {
    c_.txtValue.setText(numberText(bufWidth));
    c_.SliderVH.setMax(kind_.widthSliderMax);
    c_.SliderVH.setTickFrequency(kind_.widthSliderTick);
    c_.SliderVH.setValue(sliderPosition(bufWidth, 10, kind_.widthSliderMax));
  }
}

void SizeEditing::showSliderValue() {
  if (c_.OptHW[0].Value())
    c_.txtValue.setText(numberText(c_.SliderVH.Value() / 100.0));
  else if (c_.OptHW[1].Value())
    c_.txtValue.setText(numberText(c_.SliderVH.Value() / 10.0));
}

SizeOf SizeEditing::typedValueSize() const {
  const SizeTarget* t = focusedTarget();
  if (!t) return SizeOf::None;
  return c_.OptHW[0].Value() ? t->height : c_.OptHW[1].Value() ? t->width : SizeOf::None;
}

void SizeEditing::takeTypedValue() {
  Value* variable = sizes_.of(typedValueSize());
  const std::optional<double> size = sizeFromText(c_.txtValue.Text());
  if (variable && size && sizeCanBeDrawn(kind_.layout, *size)) *variable = Value(*size);
}

void SizeEditing::load(const Record& r) {
  for (const FieldDef& f : kind_.record.fields)
    if (isSizeField(f))
      if (Value* v = sizes_.byField(f.name)) *v = r.at(f.name);
}

void SizeEditing::clear() { sizes_ = LayoutValues(); }

Record SizeEditing::values() const {
  Record r;
  for (const FieldDef& f : kind_.record.fields)
    if (isSizeField(f))
      if (Value* v = sizes_.byField(f.name)) r[f.name] = *v;
  return r;
}

void SizeEditing::reset() {
  for (const auto& [size, value] : kind_.reset)
    if (Value* v = sizes_.of(size)) *v = Value(value);
}

Value SizeEditing::asShown(const Value& v) {
  return sizeIsSet(v) ? Value(singleText(static_cast<float>(v.toDouble()))) : Value();
}

}  // namespace editor
