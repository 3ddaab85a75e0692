#pragma once
// Geometry in twips, as the windows' logic reads and writes it. The values are kept as
// doubles (850.5 is a valid height) and only the widget's pixels are rounded:
// 15 twips per pixel at 96 dpi.

#include <QWidget>
#include <cmath>

namespace ui {

inline constexpr double kTwipsPerPixel = 15.0;

inline int twipsToPixels(double twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }
inline double pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

class TwipsGeometry {
 public:
  explicit TwipsGeometry(QWidget* widget) : widget_(widget) {}

  double Left() const { return left_; }
  double Top() const { return top_; }
  double Width() const { return width_; }
  double Height() const { return height_; }
  void setLeft(double v) { left_ = v; apply(); }
  void setTop(double v) { top_ = v; apply(); }
  void setWidth(double v) { width_ = v; apply(); }
  void setHeight(double v) { height_ = v; apply(); }
  void Move(double left, double top, double width, double height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    apply();
  }

 private:
  void apply() {
    widget_->setGeometry(twipsToPixels(left_), twipsToPixels(top_), std::max(0, twipsToPixels(width_)),
                         std::max(0, twipsToPixels(height_)));
  }
  QWidget* widget_;
  double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

}  // namespace ui
