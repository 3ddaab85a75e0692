#pragma once
// Keys as a user presses them: each key goes to the widget as a press and a release.

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

namespace keys {

inline void press(QWidget* w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
  QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
  QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(w, &down);
  QApplication::sendEvent(w, &up);
}

// Types plain characters; "\n" is the Enter key.
inline void type(QWidget* w, const QString& text) {
  for (QChar c : text) {
    if (c == QLatin1Char('\n'))
      press(w, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    else
      press(w, c.toUpper().unicode(), Qt::NoModifier, QString(c));
  }
}

inline void selectAll(QWidget* w) { press(w, Qt::Key_A, Qt::ControlModifier); }

}  // namespace keys
