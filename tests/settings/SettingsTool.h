#pragma once
// The tool ready for settings commands on the in-memory port: the logger is
// linked and ready, no exchange runs, and the tick is parked at a long
// interval of its own so that a command's effect on it shows (and no tick
// runs during a test).
#include "tests/AppFixture.h"

#include "link/ComPort.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"

#include <QByteArray>
#include <QKeyEvent>
#include <gtest/gtest.h>

#include <ostream>

namespace zelt::test {

// Types text into a widget key by key; characters outside ASCII (which the
// test library cannot map to keys) arrive as key events carrying the text.
inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClicks(widget, QString(c));
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &release);
    }
}

struct SettingsTool : LinkedTool {
    static constexpr int kParkedTick = 3600000;

    SettingsTool()
    {
        f->Timer1->setInterval(kParkedTick);
        f->Memo1->clear();
        f->Memo1->addLine("an earlier answer");
        port.takeWritten();
    }

    QByteArray written() { return port.takeWritten(); }
    // An exchange in progress: the port is open until its end mark.
    void exchangeRunning() { port.setOpen(true); }
    bool memoCleared() const { return f->Memo1->count() == 0; }
    int tick() const { return f->Timer1->interval(); }
    bool refreshRequested() const { return f->queuedCommand1 == "p" && f->Timer1->interval() == 0; }
};

}  // namespace zelt::test
