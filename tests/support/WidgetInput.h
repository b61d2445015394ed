#pragma once

// Keys for widget tests, delivered the way the application delivers them (through notify, so
// an unhandled key travels up to the dialog). The test program does not link QtTest.
#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

namespace reradav::test {

inline void PressKey(QWidget* widget, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

inline void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
        PressKey(widget, key, QString(c));
    }
}

}  // namespace reradav::test
