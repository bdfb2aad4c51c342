// The periodic tick, port discovery and the connection buttons.
#include "shell/PortSearch.h"
#include "shell/TForm1.h"

#include "link/ComPort.h"
#include "link/LoggerLink.h"
#include "platform/Clock.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "platform/PortRegistry.h"
#include "platform/Widgets.h"

#include <QApplication>
#include <algorithm>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

namespace zelt {

void TForm1::noLinkLook()
{
    Image4->show();
    Image5->hide();
    Button32->hide();
    Button31->hide();
    Button45->hide();
    simulatorNotice->hide();
}

void TForm1::Timer1Timer()
{
    // 1. Stop while the tick runs; remember the interval to restart with.
    int interval = Timer1->interval();
    Timer1->setInterval(0);
    Edit9->setText(QString::number(interval));

    // 2. The clock.
    nowValue = toDayValue(localNow());
    nowText = formatDayValue(nowValue);

    // 3. A scheduled wake-up; the end mark of its answer restarts the tick.
    if (wakeArmed && nowValue >= wakeTime) {
        ApdComPort1->setOpen(true);
        ApdComPort1->PutString("m");
        wakeArmed = 0;
        return;
    }

    // 4. The port is closed, unless an answer is still on its way.
    Label6->setText(nowText);
    const bool exchangeGoesOn = exchangeMayGoOn();
    if (!exchangeGoesOn)
        ApdComPort1->setOpen(false);
    Edit5->clear();

    // 5. The serial ports of the system.
    const PortSearchResult search = searchPorts(*portRegistry, CheckBox1->isChecked());
    ListBox1->clear();
    ListBox1->addItems(search.valueNames);

    if (!search.anyVcp) {
        // 6. No virtual COM port at all.
        setCaption(QStringLiteral("Can't find a ZELT") + versionCaption);
        Edit3->setText(QStringLiteral("No Port"));
        Button4->setText(QStringLiteral("接<->続"));
        noLinkLook();
        autoConnectDone = 0;
        ApdComPort1->setOpen(false);
        loggerReady = 0;
        if (monitorMode && hooks.monitorSwitchOff) {
            hooks.monitorSwitchOff();
            interval = Timer1->interval();  // the monitor's own rate ends with it
        }
    } else {
        // 7. The port names of the virtual COM ports.
        setCaption(QStringLiteral("Serching ZELT") + versionCaption);
        ListBox2->clear();
        for (const QString& port : search.vcpPorts) {
            Edit4->setText(port);
            ListBox2->addItem(port);
        }
        UpDown1->setMaximum(ListBox2->count() - 1);

        // 8. The logger's own adapter.
        if (search.loggerAdapterKey) {
            Edit5->setText(search.loggerPortName);
            Edit19->setText(search.loggerPortName);
            if (search.foundBy == PortSearchResult::LoggerAdapter)
                Edit3->setText(search.portName);
            Edit5->setText(QStringLiteral("ZELT"));
        }

        // 9. A generic adapter, only when asked for.
        if (search.foundBy != PortSearchResult::LoggerAdapter && CheckBox1->isChecked()) {
            setCaption(QStringLiteral("Serching FTDI") + versionCaption);
            if (search.genericAdapterKey) {
                Edit5->setText(search.genericPortName);
                if (search.foundBy == PortSearchResult::GenericAdapter)
                    Edit3->setText(search.portName);
                Edit5->setText(QStringLiteral("FTDI"));
            }
        }

        // 10.
        repaint();
        Edit3->repaint();
        const bool found = search.foundBy != PortSearchResult::NotFound;
        if (!found)
            noLinkLook();

        // 11.
        if (found) {
            setCaption(versionCaption);
            if (!autoConnectDone) {
                // Counted as done even when the connect fails, so that a port
                // that cannot be opened is reported once, not at every tick.
                autoConnectDone = 1;
                Button4Click();
            }
            if (!linkUp)
                return;  // the end mark of the logger's answer restarts the tick
            if (exchangeGoesOn) {
                // Nothing of the tick's own goes out into a running exchange.
                Timer1->setInterval(interval);
                return;
            }
            if (!monitorMode && simulatorCheckPending && !monitorStreamOpen)
                checkSimulatorNotice();
            if (!monitorMode && refreshPending && !monitorStreamOpen) {
                ApdComPort1->setOpen(true);
                ApdComPort1->PutString("p");
                refreshPending = 0;
            }
            if (!monitorMode && tickSendPos != -1) {
                if (!ApdComPort1->Open())
                    ApdComPort1->setOpen(true);
                ApdComPort1->PutChar(tickSendQueue.at(tickSendPos));
                ++tickSendPos;
                if (tickSendQueue.at(tickSendPos) == '\0' || tickSendPos > 4)
                    tickSendPos = -1;
            }
            if (monitorMode && !monitorStreamOpen) {
                if (monitorQueuedCommand.empty()) {
                    Memo1->clear();
                    ApdComPort1->setOpen(true);
                    ApdComPort1->FlushInBuffer();
                    ApdComPort1->PutString("n");
                    monitorStreamOpen = 1;
                    Label23->setText(QStringLiteral("4"));
                } else {
                    ApdComPort1->PutString(monitorQueuedCommand.bytes());
                    monitorQueuedCommand.clear();
                }
            }
        } else {
            ApdComPort1->setOpen(false);
            autoConnectDone = 0;
            if (monitorMode) {
                if (hooks.monitorSwitchOff) {
                    hooks.monitorSwitchOff();
                    interval = Timer1->interval();  // the monitor's own rate ends with it
                }
                loggerReady = 0;
                monitorStreamOpen = 0;
                linkUp = 0;
            }
        }
    }

    // 12.
    Timer1->setInterval(interval);
}

void TForm1::Button4Click()
{
    // The number after "COM" in the port field (at most five characters).
    ApdComPort1->setComNumber(static_cast<quint16>(portNumberFromName(Edit3->text())));
    ApdComPort1->setOpen(false);
    ApdComPort1->setOpen(true);
    Button4->setText(QStringLiteral("|=|"));
    // A registered port is no proof: the logger is asked once the link is
    // up and the line free.
    simulatorNotice->clear();
    simulatorNotice->hide();
    simulatorCheckPending = platform.portNotice && !platform.portNotice(ApdComPort1->ComNumber()).isEmpty();
    link().connect();
    Image4->show();
    Image5->hide();
    Button45->hide();
}

void TForm1::checkSimulatorNotice()
{
    simulatorCheckPending = false;
    const QString notice = platform.portNotice ? platform.portNotice(ApdComPort1->ComNumber()) : QString();
    const bool proven = !notice.isEmpty() && hooks.proveSimulator && hooks.proveSimulator();
    simulatorNotice->setText(proven ? notice : QString());
    simulatorNotice->setVisible(proven);
}

void TForm1::establishLink()
{
    Button4->setText(QStringLiteral("待機"));
    // The link then shows the linked look through the window's view of it.
    link().establish();
}

bool TForm1::memoHoldsDataSet() const
{
    return Memo1->count() > 0 && Memo1->store().view(0).startsWith("Start");
}

void TForm1::logNote(const QString& text)
{
    if (memoHoldsDataSet())
        showAnswer(text);
    else
        Memo1->addLine(text);
}

void TForm1::showAnswer(const QString& line)
{
    if (answerEnded_) {
        latestAnswerLines_ = 0;
        answerEnded_ = false;
    }
    answers_.append(line);
    ++latestAnswerLines_;
    while (answers_.size() > kKeptAnswers)
        answers_.removeFirst();
    const int latest = std::min(latestAnswerLines_, static_cast<int>(answers_.size()));
    const QString shown = answers_.mid(answers_.size() - latest).join(QStringLiteral("  "));
    const int room = answerLine->contentsRect().width() - 4;
    answerLine->setText(answerLine->fontMetrics().elidedText(shown, Qt::ElideRight, std::max(room, 0)));
    answerLine->setToolTip(answers_.join(QLatin1Char('\n')));
    answerLine->show();
}

void TForm1::hideAnswers()
{
    if (answerLine->isVisible())
        answerLine->hide();
}

void TForm1::showLinkedLook()
{
    Image4->hide();
    Image5->show();
    Button45->show();
    // The log starts afresh with the link; a data set not yet saved (a
    // download, a capture, a file) stays: reconnecting must not lose it.
    if (!memoHoldsDataSet())
        Memo1->clear();
    reportedRecordCount = -1;
    monitorStreamOpen = 0;
    loggerReady = 1;
    reservationState = 0;
    reservationText = nowText.mid(5, 11);
    Label25->setText(reservationText);
}

void TForm1::Button38Click()
{
    if (linkUp != 1) {
        linkUp = 1;
        Button4->setText(QStringLiteral("接続"));
        showLinkedLook();
    } else if (loggerReady) {
        ApdComPort1->setOpen(true);
        ApdComPort1->PutString("n");
    }
}

void TForm1::Button42Click()
{
    // Ends with the port closed and the number at 3. The port is closed before
    // each number is set, so that changing the number never reopens it.
    for (quint16 n = 0; n <= 3; ++n) {
        ApdComPort1->setOpen(false);
        ApdComPort1->setComNumber(n);
        ApdComPort1->setOpen(false);
    }
}

void TForm1::Button13Click()
{
    if (platform.openDeviceManager)
        platform.openDeviceManager(this);
}

}  // namespace zelt

namespace zelt {

void TForm1::checkSilentLogger()
{
    // A logger that never finishes its answer would leave the tick stopped
    // for good: no discovery, no notice of an unplugged adapter. Exchanges
    // that are still receiving (downloads, captures, firmware) keep bringing
    // bytes and are left alone; so is a handler waiting on a modal dialog.
    // The firmware transfer keeps its own watch.
    if (onlineRow != 0) {
        // A capture whose stream has stopped ends with the samples it has.
        tickStoppedSince_.invalidate();
        if (lastLoggerActivity_.elapsed() >= silentLoggerMs && !QApplication::activeModalWidget() &&
            hooks.onlineAbandon)
            hooks.onlineAbandon();
        return;
    }
    if (Timer1->interval() != 0 || firmwareSending) {
        tickStoppedSince_.invalidate();
        return;
    }
    // Silence counts from the later of the last byte and the moment the
    // tick was seen stopped, so a command sent after a quiet spell gets its
    // full time to be answered.
    if (!tickStoppedSince_.isValid())
        tickStoppedSince_.start();
    if (lastLoggerActivity_.elapsed() < silentLoggerMs || tickStoppedSince_.elapsed() < silentLoggerMs)
        return;
    if (QApplication::activeModalWidget())
        return;
    const QString unsent = dropQueuedCommands();
    connectReportPending = 0;
    monitorStreamOpen = 0;
    const bool wasOpen = ApdComPort1->Open();
    ApdComPort1->setOpen(false);
    lineLength = 0;
    lineBuffer[0] = '\0';
    if (downloadActive) {
        // The records that did arrive are decoded and kept, and the data set
        // says that the download is incomplete.
        if (hooks.downloadCutShort)
            hooks.downloadCutShort(QStringLiteral("no end mark from the logger"));
        downloadActive = 0;
    } else if (wasOpen) {
        logNote(abandonedNote(unsent));
        // An unanswered connect is tried again by the next tick.
        if (!linkUp)
            autoConnectDone = 0;
    }
    lastLoggerActivity_.restart();
    tickStoppedSince_.invalidate();
    Timer1->setInterval(1000);
}

void TForm1::commandWritten(const QByteArray& bytes)
{
    // Acknowledgements and the loader call are no commands; the sample
    // stream and the firmware transfer keep their own watches.
    if (onlineRow != 0 || firmwareSending)
        return;
    const bool command = std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
    if (!command)
        return;
    awaitingAnswer_ = true;
    answerShownLate_ = false;
    answerAwaitedSince_.restart();
}

bool TForm1::exchangeRunning() const
{
    return awaitingAnswer_ && ApdComPort1->Open();
}

bool TForm1::exchangeMayGoOn()
{
    if (!exchangeRunning()) {
        awaitingAnswer_ = false;
        return false;
    }
    // An answer goes on while the logger keeps sending: silence counts from
    // its last byte, or from the command if that is later.
    const qint64 silent = std::min(answerAwaitedSince_.elapsed(), lastLoggerActivity_.elapsed());
    if (silent < silentLoggerMs) {
        // A late reading is not shown as if it were the present one, but its
        // reply is still waited for (and shown when it comes).
        if (monitorMode && !answerShownLate_ && answerAwaitedSince_.elapsed() >= monitorReplyLimitMs) {
            answerShownLate_ = true;
            if (hooks.monitorStale)
                hooks.monitorStale();
        }
        return true;
    }
    // Given up: the port is closed by the tick, and what was begun of the
    // answer is dropped with it.
    awaitingAnswer_ = false;
    const QString unsent = dropQueuedCommands();
    lineLength = 0;
    lineBuffer[0] = '\0';
    if (monitorMode) {
        // The next tick asks again; until a reading comes, none is shown.
        monitorStreamOpen = 0;
        if (hooks.monitorStale)
            hooks.monitorStale();
    } else {
        logNote(abandonedNote(unsent));
    }
    return false;
}

QString TForm1::dropQueuedCommands()
{
    QStringList unsent;
    const auto drop = [&unsent](auto& queued) {
        if (!queued.empty())
            unsent << QStringLiteral("\"%1\"").arg(QString::fromLatin1(queued.bytes()));
        queued.clear();
    };
    drop(queuedCommand1);
    drop(queuedCommand2);
    drop(queuedCommand3);
    return unsent.join(QStringLiteral(", "));
}

QString TForm1::abandonedNote(const QString& unsent) const
{
    const QString silence = QStringLiteral("// No answer from the logger for %1 s: exchange abandoned")
                                .arg((silentLoggerMs + 999) / 1000);
    return unsent.isEmpty() ? silence + QStringLiteral(" //")
                            : silence + QStringLiteral("; not sent: %1 //").arg(unsent);
}

void TForm1::setSilenceLimitSeconds(int seconds)
{
    silentLoggerMs = std::clamp(seconds, 1, 3600) * 1000;
    if (SilenceLimitBox && SilenceLimitBox->value() != silentLoggerMs / 1000)
        SilenceLimitBox->setValue(silentLoggerMs / 1000);
}

void TForm1::portLost(const QString& reason)
{
    // The port is already closed. One line in the log, no dialog; the tick
    // (restarted if an exchange had stopped it) then finds no port.
    queuedCommand1.clear();
    queuedCommand2.clear();
    queuedCommand3.clear();
    connectReportPending = 0;
    monitorStreamOpen = 0;
    lineLength = 0;
    lineBuffer[0] = '\0';
    awaitingAnswer_ = false;
    if (downloadActive) {
        // The download ends at once with what arrived, under its headers.
        if (hooks.downloadCutShort)
            hooks.downloadCutShort(QStringLiteral("port lost: %1").arg(reason));
        downloadActive = 0;
    } else if (onlineRow == 0) {
        logNote(QStringLiteral("// Port lost: %1 //").arg(reason));
    }
    if (Timer1->interval() == 0)
        Timer1->setInterval(1000);
}

}  // namespace zelt
