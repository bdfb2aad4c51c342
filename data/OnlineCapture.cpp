#include "data/OnlineCapture.h"

#include "data/Hex.h"
#include "data/Monitor.h"

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

constexpr int kIdleTickMs = 1000;
constexpr int kListingHeight = 160;
constexpr int kProgressStep = 100;
constexpr size_t kTemperaturePos = 32;
constexpr size_t kTemperatureWidth = 5;
constexpr size_t kPrefixLength = 17;
const char kReadingMissing[] = "// Reading missing: the logger sent no reading for \"n\" //";

std::optional<int> signedByte(char high, char low)
{
    const int h = hexDigitValue(high), l = hexDigitValue(low);
    if (h < 0 || l < 0)
        return std::nullopt;
    const int v = h * 16 + l;
    return v >= 128 ? v - 256 : v;
}

QByteArray bytesOf(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

int captureSeconds(const QString& entered)
{
    const QString text = entered.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return kCaptureSecondsIfNotANumber;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const int d = text[i].isDigit() ? text[i].digitValue() : -1;
        if (d < 0 || d > 9)
            return kCaptureSecondsIfNotANumber;
        // Any number this long is beyond the limits already.
        value = std::min<long long>(value * 10 + d, 1000000);
    }
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, kShortestCaptureSeconds, kLongestCaptureSeconds));
}

std::optional<CaptureSample> decodeSample(std::string_view row)
{
    if (row.size() != 7)
        return std::nullopt;
    const auto x = signedByte(row[1], row[2]);
    const auto y = signedByte(row[3], row[4]);
    const auto z = signedByte(row[5], row[6]);
    if (!x || !y || !z)
        return std::nullopt;
    return CaptureSample{*x, *y, *z};
}

std::string captureTimePrefix(std::string_view startText)
{
    std::string text(startText);
    if (text.size() > 12 && text[12] == ':')
        text.insert(11, 1, ' ');
    return text.substr(0, std::min(text.size(), kPrefixLength));
}

std::string captureTemperature(std::string_view replyLine)
{
    if (replyLine.size() <= kTemperaturePos)
        return {};
    std::string field(replyLine.substr(kTemperaturePos, kTemperatureWidth));
    if (!field.empty() && field.back() == 'C')
        field.pop_back();
    if (field.empty())
        return {};
    return std::string(kTemperatureWidth - std::min(field.size(), kTemperatureWidth), ' ') + field;
}

std::string captureSampleLine(std::string_view prefix, int row, const CaptureSample& s, std::string_view temperature)
{
    const long long ms = static_cast<long long>(row) * 5;
    // Prefix and temperature are copied as bytes, not through the format: a
    // NUL the logger sent in its reading reply would end the line there.
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%.2d.%.3d,%3d,%3d,%3d,", static_cast<int>(ms / 1000),
                                static_cast<int>(ms % 1000), s.x, s.y, s.z);
    std::string line(prefix);
    line.append(buf, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buf) - 1)));
    line.append(temperature);
    return line;
}

bool isReadingLine(const QByteArray& line)
{
    const MonitorReading r = scanMonitorText(std::string_view(line.constData(), static_cast<size_t>(line.size())));
    return r.x.value && r.y.value && r.z.value && r.temperature && !r.temperature->empty();
}

std::string badSampleLine(std::string_view row)
{
    std::string line = "//Bad Sample: ";
    for (size_t i = row.empty() ? 0 : 1; i < row.size(); ++i) {
        const auto c = static_cast<unsigned char>(row[i]);
        line += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    line += " //";
    return line;
}

OnlineCaptureFeature::OnlineCaptureFeature(TForm1& form) : QObject(&form), f_(form)
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
    ComPort& port = *f_.ApdComPort1;
    const int intervalBefore = f_.Timer1->interval();

    // The reading request. An exchange still open is abandoned; the port
    // is opened before the memo is touched, so a busy port loses no data set.
    if (port.Open()) {
        port.setOpen(false);
        f_.queuedCommand1.clear();
        f_.queuedCommand2.clear();
        f_.queuedCommand3.clear();
    }
    port.setOpen(true);
    f_.Memo1->clear();
    f_.lineLength = 0;
    f_.lineBuffer[0] = '\0';
    port.PutString("n");
    // The tick waits for the reply (it would close the port under it); the
    // reply's end mark starts it again.
    f_.Timer1->setInterval(0);

    // The duration.
    QString value = QStringLiteral("30");
    if (!f_.dialogs().inputQuery(QStringLiteral("5msec"), QStringLiteral("オンラインデータ取得します。秒数を指定してください"),
                                 value))
        return;
    f_.onlineSampleCount = captureSeconds(value) * kSamplesPerSecond;

    // The reply, listed by the dispatcher, becomes the listing's second line:
    // the first line that is a reading (X, Y and Z numbers and a
    // temperature), not whatever came first (a line of noise would give
    // every sample an empty temperature). Without one the listing says so.
    waitForReadingReply();
    replyLine_.clear();
    for (int i = 0; i < f_.Memo1->count() && replyLine_.isEmpty(); ++i)
        if (isReadingLine(f_.Memo1->line(i)))
            replyLine_ = f_.Memo1->line(i);
    if (replyLine_.isEmpty())
        replyLine_ = kReadingMissing;
    f_.Memo1->clear();

    // The tick rests while the samples come.
    f_.savedTimerInterval = intervalBefore;
    f_.Timer1->setInterval(0);

    try {
        // Nothing of the reply may be taken for a sample.
        if (port.Open())
            port.FlushInBuffer();
        else
            port.setOpen(true);
        f_.lineLength = 0;
        f_.lineBuffer[0] = '\0';
        f_.ProgressBar1->setMaximum(f_.onlineSampleCount);
        f_.ProgressBar1->setValue(0);
        f_.ProgressBar1->show();

        // The start is the moment the stream is asked for.
        f_.captureStartText = formatDayValue(toDayValue(localNow()));
        startLine_ = toCp932(QStringLiteral("Start Time=") + f_.captureStartText + QStringLiteral(" @1G=") +
                             QString::number(f_.countsPerG));
        f_.Memo1->addLine(startLine_);
        f_.Memo1->addLine(replyLine_);

        // Start of the stream.
        port.PutString("x");
    } catch (...) {
        f_.ProgressBar1->hide();
        f_.Timer1->setInterval(f_.savedTimerInterval > 0 ? f_.savedTimerInterval : kIdleTickMs);
        throw;
    }
    f_.onlineColumn = 0;
    f_.onlineRow = 1;
    f_.noteLoggerActivity();  // the stream's silence counts from its request
}

void OnlineCaptureFeature::waitForReadingReply()
{
    // The reply's end mark closes the port. A person takes longer to answer
    // the box than the logger to reply; this covers a quicker confirmation.
    ComPort& port = *f_.ApdComPort1;
    if (!port.Open())
        return;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!port.Open())
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(replyWaitMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void OnlineCaptureFeature::receive(quint16 count)
{
    if (f_.onlineRow == 0)
        return;
    ComPort& port = *f_.ApdComPort1;
    // Rows 1 .. onlineSampleCount are filled, never more than the table holds.
    const int lastRow = std::min(f_.onlineSampleCount, kOnlineRowCapacity - 1);
    int available = std::min<int>(count, port.InBuffUsed());
    // Whole samples only: a row is begun when its 8 bytes are waiting, and
    // one begun earlier goes on when the rest of its 8 is. Each is taken up
    // to its CR, so a sample that is not 8 bytes long only moves where the
    // next one starts; the bytes taken never exceed those waiting.
    const auto sampleWaiting = [&] {
        return available > 0 && available >= kSampleBytes - std::min(f_.onlineColumn, kSampleBytes - 1);
    };
    while (f_.onlineRow <= lastRow && sampleWaiting()) {
        while (available > 0) {
            const char c = port.GetChar();
            --available;
            auto& row = f_.onlineBuffer[static_cast<size_t>(f_.onlineRow)];
            if (c == '\r') {
                row[static_cast<size_t>(f_.onlineColumn)] = '\0';
                f_.onlineColumn = 0;
                ++f_.onlineRow;
                break;
            }
            // A row holds 19 characters and its terminator; the rest of an
            // overlong one is dropped (and the row listed as damaged).
            if (f_.onlineColumn < kOnlineRowSize - 1) {
                row[static_cast<size_t>(f_.onlineColumn)] = c;
                ++f_.onlineColumn;
                row[static_cast<size_t>(f_.onlineColumn)] = '\0';
            }
        }
    }
    f_.ProgressBar1->setValue(std::min(f_.onlineRow, f_.ProgressBar1->maximum()));
    if (f_.onlineRow > lastRow)
        finish(End::Complete);
}

void OnlineCaptureFeature::finish(End how, const QString& reason)
{
    const int completeRows = f_.onlineRow - 1;
    const int wanted = f_.onlineSampleCount;
    f_.onlineRow = 0;
    f_.onlineColumn = 0;
    f_.ProgressBar1->hide();

    // End of the stream. The logger ends it with its end mark: the port
    // stays open for that mark, which would otherwise arrive in the next
    // exchange and end it early. Samples still on their way are not part of
    // the capture: what waits is discarded, and later ones are received as
    // lines that are never added to the listing (a data set). A failure here
    // is reported once the listing is safe.
    std::exception_ptr stopError;
    ComPort& port = *f_.ApdComPort1;
    try {
        if (port.Open()) {
            port.PutString(" ");
            port.FlushInBuffer();
        }
    } catch (...) {
        stopError = std::current_exception();
    }
    f_.lineLength = 0;
    f_.lineBuffer[0] = '\0';

    f_.captureEndText = formatDayValue(toDayValue(localNow()));
    // Without a reading the samples carry no temperature.
    const std::string temperature =
        isReadingLine(replyLine_)
            ? captureTemperature(std::string_view(replyLine_.constData(), static_cast<size_t>(replyLine_.size())))
            : std::string();
    const QByteArray start = toCp932(f_.captureStartText);
    const std::string prefix = captureTimePrefix(std::string_view(start.constData(), static_cast<size_t>(start.size())));

    // The window shrinks around the progress bar while the listing is made.
    f_.Memo1->hide();
    f_.savedWindowHeight = f_.height();
    f_.resize(f_.width(), kListingHeight);
    f_.ProgressBar1->setMaximum(std::max(wanted, 1));
    f_.ProgressBar1->setValue(0);
    f_.ProgressBar1->show();

    // The listing is built from the capture's own header lines, whatever
    // was done to the memo meanwhile. A complete capture lists its rows but
    // the last; one cut short lists every row that arrived whole.
    const int listed = how == End::Complete ? wanted - 1 : std::clamp(completeRows, 0, wanted);
    f_.Memo1->clear();
    f_.Memo1->addLine(startLine_);
    f_.Memo1->addLine(replyLine_);
    for (int k = 1; k <= listed; ++k) {
        const auto& raw = f_.onlineBuffer[static_cast<size_t>(k)];
        const std::string_view row(raw.data(), strnlen(raw.data(), raw.size()));
        const std::optional<CaptureSample> sample = decodeSample(row);
        f_.Memo1->addLine(bytesOf(sample ? captureSampleLine(prefix, k, *sample, temperature) : badSampleLine(row)));
        if (k % kProgressStep == 0)
            f_.ProgressBar1->setValue(k);
    }
    f_.ProgressBar1->setValue(std::max(listed, 0));
    if (how == End::LoggerSilent)
        f_.Memo1->addLine(QStringLiteral("// Capture incomplete: the logger stopped sending after %1 of %2 samples //")
                              .arg(completeRows)
                              .arg(wanted));
    else if (how == End::PortLost)
        f_.Memo1->addLine(QStringLiteral("// Capture incomplete: port lost after %1 of %2 samples: %3 //")
                              .arg(completeRows)
                              .arg(wanted)
                              .arg(reason));

    f_.Memo1->show();
    f_.resize(f_.width(), f_.savedWindowHeight);
    f_.ProgressBar1->hide();
    f_.Memo1->addLine(QStringLiteral("End=>") + f_.captureEndText);

    // The tick runs again, at its pace from before the capture.
    f_.Timer1->setInterval(f_.savedTimerInterval > 0 ? f_.savedTimerInterval : kIdleTickMs);

    if (stopError)
        std::rethrow_exception(stopError);
}

}  // namespace zelt
