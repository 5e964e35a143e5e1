#pragma once
#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

// Types text into widget as key events carrying each character, Japanese
// included (QTest::keyClicks takes Latin-1 only).
inline void TypeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}
