#include "data/OnlineCapture.h"

#include "link/LoggerLink.h"

#include "link/ComPort.h"
#include "platform/Clock.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "shell/TForm1.h"

#include <QEventLoop>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

namespace zelt {

namespace {
constexpr int kCaptureIdleTickMs = 1000;
constexpr int kListingHeight = 160;
}  // namespace

OnlineCaptureFeature::OnlineCaptureFeature(TForm1& form) : QObject(&form), f_(form), capture_(form.link())
{
    f_.onClick(f_.Button40, [this] { Button40Click(); });
    f_.hooks.onlineReceive = [this](quint16 count) { receive(count); };
    f_.hooks.onlineAbandon = [this] { finish(End::LoggerSilent); };
    // Connected after the main window's own handler, which has already
    // noted the loss in the memo and closed the port.
    QObject::connect(f_.ApdComPort1, &ComPort::deviceLost, this, [this](const QString& reason) {
        if (f_.onlineRow != 0)
            f_.guard([this, reason] { finish(End::PortLost, reason); });
    });
}

void OnlineCaptureFeature::Button40Click()
{
    // One exchange at a time: a capture, the monitor, a download or a
    // firmware transfer already on the line keeps it.
    if (f_.onlineRow != 0 || f_.monitorMode || f_.downloadActive || f_.firmwareSending)
        return;
    const int intervalBefore = f_.Timer1->interval();

    // The reading request; the memo is cleared once the port is open, so a
    // busy port loses no data set.
    capture_.requestReading();
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    f_.Memo1->clear();
    // The tick waits for the reply (it would close the port under it); the
    // reply's end mark starts it again.
    f_.Timer1->setInterval(0);

    // The duration.
    QString value = QStringLiteral("30");
    if (!f_.dialogs().inputQuery(QStringLiteral("5msec"), QStringLiteral("オンラインデータ取得します。秒数を指定してください"),
                                 value))
        return;
    f_.onlineSampleCount = captureSeconds(value) * kSamplesPerSecond;

    // The reply, listed by the dispatcher, becomes the listing's second line.
    waitForReadingReply(sinceRequest);
    const QByteArray replyLine = CaptureExchange::readingLineOf(f_.Memo1->store());
    f_.Memo1->clear();

    // The tick rests while the samples come.
    f_.savedTimerInterval = intervalBefore;
    f_.Timer1->setInterval(0);

    try {
        f_.ProgressBar1->setMaximum(f_.onlineSampleCount);
        f_.ProgressBar1->setValue(0);
        f_.ProgressBar1->show();
        capture_.begin(f_.onlineSampleCount, replyLine);
        f_.Memo1->addLine(capture_.startLine());
        f_.Memo1->addLine(capture_.replyLine());
    } catch (...) {
        f_.ProgressBar1->hide();
        f_.Timer1->setInterval(f_.savedTimerInterval > 0 ? f_.savedTimerInterval : kCaptureIdleTickMs);
        throw;
    }
    f_.noteLoggerActivity();  // the stream's silence counts from its request
}

void OnlineCaptureFeature::waitForReadingReply(const QElapsedTimer& sinceRequest)
{
    // The reply's end mark closes the port. A person usually takes longer to
    // answer the box than the logger to reply; this covers a quicker
    // confirmation. The reply is waited for while the logger is not silent
    // for the silence limit (from the request or its last byte): a reply cut
    // short would lose the capture's temperature, and its late bytes would
    // be taken for samples.
    ComPort& port = *f_.ApdComPort1;
    const auto over = [&] {
        return !port.Open() || std::min(sinceRequest.elapsed(), f_.loggerSilentForMs()) >= f_.silentLoggerMs;
    };
    if (over())
        return;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (over())
            loop.quit();
    });
    poll.start(5);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void OnlineCaptureFeature::receive(quint16 count)
{
    if (f_.onlineRow == 0)
        return;
    const bool complete = capture_.receive(count);
    f_.ProgressBar1->setValue(std::min(f_.onlineRow, f_.ProgressBar1->maximum()));
    if (complete)
        finish(End::Complete);
}

void OnlineCaptureFeature::finish(End how, const QString& reason)
{
    f_.ProgressBar1->hide();
    // A failure to stop the stream is reported once the listing is safe.
    std::exception_ptr stopError;
    try {
        capture_.stop();
    } catch (...) {
        stopError = std::current_exception();
    }

    // The window shrinks around the progress bar while the listing is made.
    f_.Memo1->hide();
    f_.savedWindowHeight = f_.height();
    f_.resize(f_.width(), kListingHeight);
    f_.ProgressBar1->setMaximum(std::max(capture_.samplesWanted(), 1));
    f_.ProgressBar1->setValue(0);
    f_.ProgressBar1->show();

    // The listing is built from the capture's own head lines, whatever was
    // done to the memo meanwhile.
    f_.Memo1->clear();
    capture_.list(
        how, reason, [this](QByteArrayView line) { f_.Memo1->addLine(line); },
        [this](int listed) { f_.ProgressBar1->setValue(listed); });

    f_.Memo1->show();
    f_.resize(f_.width(), f_.savedWindowHeight);
    f_.ProgressBar1->hide();

    // The tick runs again, at its pace from before the capture.
    f_.Timer1->setInterval(f_.savedTimerInterval > 0 ? f_.savedTimerInterval : kCaptureIdleTickMs);

    if (stopError)
        std::rethrow_exception(stopError);
}

}  // namespace zelt
