#pragma once
// Windows as the user sees them: every caption fits its control, no two controls of a
// container overlap, nothing reaches outside its container; and, with
// ZORBEX_SCREENSHOT_DIR set, a PNG of the window with its caption drawn above it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace window_check {

// Direct child widgets that are controls (not Qt's internal parts of a control).
inline std::vector<QWidget*> controlsOf(QWidget* container) {
  std::vector<QWidget*> out;
  for (QObject* o : container->children())
    if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow() && !w->isHidden() && !w->objectName().startsWith("qt_"))
      out.push_back(w);
  return out;
}

inline std::string describe(QWidget* w) {
  QString text;
  if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) text = g->title();
  return std::string(w->metaObject()->className()) + " '" + text.toStdString() + "'";
}

inline void checkLayout(QWidget* container) {
  auto controls = controlsOf(container);
  for (QWidget* w : controls) {
    EXPECT_TRUE(container->rect().contains(w->geometry())) << describe(w) << " leaves its container";
    if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty()) {
      const int need = l->wordWrap() ? l->heightForWidth(l->width()) : l->sizeHint().height();
      EXPECT_GE(l->height(), need) << describe(w) << " is clipped";
      if (!l->wordWrap()) {
        EXPECT_GE(l->width(), l->sizeHint().width()) << describe(w) << " is clipped";
      }
    }
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      // The text and the button's frame; the style's preferred width of 80 pixels is no need.
      const QFontMetrics fm = b->fontMetrics();
      EXPECT_GE(b->width(), fm.horizontalAdvance(b->text()) + 12) << describe(w) << " is clipped";
      EXPECT_GE(b->height(), fm.height() + 8) << describe(w) << " is clipped";
    }
    if (qobject_cast<QRadioButton*>(w) || qobject_cast<QCheckBox*>(w)) {
      EXPECT_GE(w->width(), w->sizeHint().width()) << describe(w) << " is clipped";
      EXPECT_GE(w->height(), w->sizeHint().height()) << describe(w) << " is clipped";
    }
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
      EXPECT_GE(g->width(), g->fontMetrics().horizontalAdvance(g->title()) + 16) << describe(w);
      checkLayout(g);
    }
    if (auto* a = qobject_cast<QScrollArea*>(w); a && a->widget()) checkLayout(a->widget());
  }
  for (size_t i = 0; i < controls.size(); ++i)
    for (size_t j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
          << describe(controls[i]) << " overlaps " << describe(controls[j]);
}

// The whole window, its frame included (title bar and borders at 100% scaling), fits a
// 1280 x 800 screen; a page that scrolls counts at its full size.
inline void checkFitsScreen(QWidget* window) {
  QSize client = window->size();
  if (auto* a = window->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly); a && a->widget())
    client = a->widget()->size();
  EXPECT_LE(client.width() + 16, 1280) << "too wide for the screen";
  EXPECT_LE(client.height() + 48, 800) << "too high for the screen";
}

// One of the program's own windows, just opened: the whole of it, frame included, in the
// middle of its screen's work area; Escape pressed in `control` (where the focus may be)
// closes it.
inline void checkOwnWindow(QWidget& window, QWidget& control) {
  const QRect area = window.screen()->availableGeometry();
  EXPECT_TRUE(area.contains(window.frameGeometry())) << "the window reaches out of the screen";
  EXPECT_LE((window.frameGeometry().center() - area.center()).manhattanLength(), 40) << "not in the middle";
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
  QApplication::sendEvent(&control, &escape);
  EXPECT_FALSE(window.isVisible()) << "Escape did not close it";
}

inline void save(QWidget& form, const char* name) {
  const char* dir = std::getenv("ZORBEX_SCREENSHOT_DIR");
  if (!dir) return;
  QCoreApplication::processEvents();  // layouts and scroll bars settle as in the event loop
  QPixmap body = form.grab();
  QFont font = QApplication::font();
  const int bar = QFontMetrics(font).height() + 12;
  QImage image(body.width(), body.height() + bar, QImage::Format_ARGB32);
  image.fill(QColor(0x3b, 0x5b, 0x8c));
  QPainter p(&image);
  p.setPen(Qt::white);
  p.setFont(font);
  p.drawPixmap(6, (bar - 16) / 2, form.windowIcon().pixmap(16, 16));
  p.drawText(QRect(28, 0, body.width() - 28, bar), Qt::AlignVCenter | Qt::AlignLeft, form.windowTitle());
  p.drawPixmap(0, bar, body);
  p.end();
  QDir().mkpath(dir);
  const QString path = QString(dir) + "/" + name + ".png";
  ASSERT_TRUE(image.save(path));
  std::cout << "screenshot: " << path.toStdString() << "\n";
}

}  // namespace window_check
