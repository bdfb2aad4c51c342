#include "data/Monitor.h"

#include "link/ComPort.h"
#include "platform/Cp932.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "platform/Widgets.h"
#include "shell/TForm1.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <cctype>

namespace zelt {

namespace {

constexpr int kMonitorTickMs = 300;
constexpr int kIdleTickMs = 1000;
void showAxis(const MonitorReading::Axis& axis, QLabel* label, QSlider* bar)
{
    if (!axis.present)
        return;
    label->setText(fromCp932(QByteArray(axis.text.data(), static_cast<qsizetype>(axis.text.size()))));
    // A field that holds no number leaves the bar where the last reading put it.
    if (axis.value)
        bar->setValue(trackBarPosition(*axis.value));
}

}  // namespace

MonitorFeature::MonitorFeature(TForm1& form) : QObject(&form), f_(form)
{
    f_.onClick(f_.Button10, [this] { Button10Click(); });
    f_.onClick(f_.Button22, [this] { Button22Click(); });
    f_.onClick(f_.Button41, [this] { Button41Click(); });
    f_.hooks.monitorLine = [this] { replyLine(); };
    f_.hooks.monitorSwitchOff = [this] { switchOff(); };
    f_.hooks.monitorStale = [this] { showStale(); };
    f_.hooks.monitorReplyEnd = [this] {
        // A reply that carried no reading (an error answer, noise) leaves
        // nothing current to show.
        if (!readingInReply_)
            showStale();
        readingInReply_ = false;
    };
}

void MonitorFeature::showStale()
{
    // No reading came in time: the last one is not shown as if it were the
    // present one. The bars stay where they were, greyed, until the next.
    for (QLabel* value : {f_.Label11, f_.Label27, f_.Label32})
        value->setText(QStringLiteral("---"));
    f_.Edit10->setText(QStringLiteral("---"));
    for (QSlider* bar : {f_.TrackBar1, f_.TrackBar2, f_.TrackBar3})
        bar->setEnabled(false);
}

std::vector<QWidget*> MonitorFeature::normalControls() const
{
    return {f_.ComboBox1, f_.ComboBox2, f_.ComboBox3, f_.ComboBox4, f_.ComboBox5, f_.Button30,
            f_.CheckBox2, f_.Label19,   f_.Button4,   f_.Button3,   f_.Button6,   f_.Button9,
            f_.Button2,   f_.Button11,  f_.Button12,  f_.Button17,  f_.Memo1};
}

std::vector<QWidget*> MonitorFeature::monitorControls() const
{
    return {f_.Label1,    f_.Label2,    f_.Label3,    f_.Label11, f_.Label27, f_.Label32,
            f_.TrackBar1, f_.TrackBar2, f_.TrackBar3, f_.Edit10,  f_.Button22};
}

void MonitorFeature::Button10Click()
{
    // The monitor does not cut into a capture, a download or a firmware
    // transfer: closing the port would lose what they are receiving.
    if (!f_.monitorMode && (f_.onlineRow != 0 || f_.downloadActive || f_.firmwareSending))
        return;
    if (f_.monitorMode)
        switchOff();
    else
        switchOn();
}

void MonitorFeature::switchOn()
{
    ComPort& port = *f_.ApdComPort1;
    if (port.Open()) {
        // Closing the port ends the exchange that was running: nothing of it
        // is waited for or followed up any more.
        port.setOpen(false);
        f_.queuedCommand1.clear();
        f_.queuedCommand2.clear();
        f_.queuedCommand3.clear();
    }
    f_.monitorStreamOpen = 0;
    f_.lineLength = 0;
    f_.lineBuffer[0] = '\0';

    f_.Timer1->setInterval(0);
    f_.monitorMode = 1;
    f_.Button10->setText(QStringLiteral("もどる"));
    f_.Memo1->clear();
    f_.Memo1->addLine("On monitoring");

    for (QWidget* w : normalControls())
        w->hide();
    // The value labels come with the bars: without them the numbers would
    // never be seen.
    for (QWidget* w : monitorControls())
        w->show();
    f_.Memo1->hide();
    f_.Timer1->setInterval(kMonitorTickMs);
}

void MonitorFeature::switchOff()
{
    ComPort& port = *f_.ApdComPort1;
    if (port.Open())
        port.setOpen(false);
    // The closed port cut off any reply still coming: no request is
    // outstanding, so the settings report can go out at the next tick.
    f_.monitorStreamOpen = 0;
    f_.lineLength = 0;
    f_.lineBuffer[0] = '\0';
    f_.monitorQueuedCommand.clear();

    f_.Timer1->setInterval(kIdleTickMs);
    f_.monitorMode = 0;
    f_.refreshPending = 1;
    f_.Button10->setText(QStringLiteral("モニタ"));
    QPalette palette = f_.Button10->palette();
    palette.setColor(QPalette::ButtonText, QApplication::palette().color(QPalette::WindowText));
    f_.Button10->setPalette(palette);
    f_.Memo1->clear();

    // All the normal controls come back, the settings boxes among them:
    // hidden when the window opens, they are shown from here on, holding what
    // the last settings report put into them.
    for (QWidget* w : normalControls())
        w->show();
    for (QWidget* w : monitorControls())
        w->hide();
    for (QSlider* bar : {f_.TrackBar1, f_.TrackBar2, f_.TrackBar3})
        bar->setEnabled(true);
}

void MonitorFeature::Button22Click()
{
    f_.monitorQueuedCommand = "hAAA";
}

void MonitorFeature::Button41Click()
{
    if (!f_.loggerReady)
        return;
    // The port is opened before the memo is touched: a busy port loses
    // nothing that was listed.
    ComPort& port = *f_.ApdComPort1;
    if (!port.Open())
        port.setOpen(true);
    f_.Memo1->clear();
    port.PutString("Z");
    // The tick waits for the answer (its own port handling would cut it
    // off); the answer's end mark starts it again. In the monitor the tick
    // keeps its pace and the answer arrives between the readings.
    if (!f_.monitorMode)
        f_.Timer1->setInterval(0);
}

void MonitorFeature::replyLine()
{
    f_.Label23->setText(QStringLiteral("2"));
    for (QSlider* bar : {f_.TrackBar1, f_.TrackBar2, f_.TrackBar3})
        bar->setEnabled(true);
    const int length = std::clamp(f_.lineLength, 0, kLineBufferSize - 1);
    const MonitorReading r = scanMonitorText(std::string_view(f_.lineBuffer, static_cast<size_t>(length)));
    if (r.x.value || r.y.value || r.z.value)
        readingInReply_ = true;
    showAxis(r.x, f_.Label11, f_.TrackBar1);
    showAxis(r.y, f_.Label27, f_.TrackBar2);
    showAxis(r.z, f_.Label32, f_.TrackBar3);
    if (r.temperature) {
        if (r.temperature->empty()) {
            f_.Edit10->clear();
        } else {
            const QByteArray text(r.temperature->data(), static_cast<qsizetype>(r.temperature->size()));
            f_.Edit10->setText(fromCp932(text) + QStringLiteral("C"));
        }
    }
    f_.Label23->setText(QStringLiteral("3"));
}

}  // namespace zelt
