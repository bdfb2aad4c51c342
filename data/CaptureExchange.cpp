#include "data/CaptureExchange.h"

#include "data/Hex.h"
#include "data/MonitorReading.h"
#include "link/ComPort.h"
#include "link/LoggerLink.h"
#include "platform/ByteLines.h"
#include "platform/Clock.h"
#include "platform/Cp932.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

namespace zelt {

namespace {

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

void CaptureExchange::requestReading()
{
    LinkState& s = link_.state();
    ComPort& port = link_.port();
    if (port.Open()) {
        port.setOpen(false);
        s.queuedCommand1.clear();
        s.queuedCommand2.clear();
        s.queuedCommand3.clear();
    }
    port.setOpen(true);
    s.clearLine();
    port.PutString("n");
}

QByteArray CaptureExchange::readingLineOf(const ByteLines& replyLines)
{
    for (int i = 0; i < replyLines.size(); ++i)
        if (isReadingLine(replyLines.at(i)))
            return replyLines.at(i);
    return kReadingMissing;
}

void CaptureExchange::begin(int sampleCount, const QByteArray& replyLine)
{
    LinkState& s = link_.state();
    ComPort& port = link_.port();
    if (port.Open())
        port.FlushInBuffer();
    else
        port.setOpen(true);
    s.clearLine();
    wanted_ = sampleCount;
    completeRows_ = 0;
    s.onlineSampleCount = sampleCount;
    replyLine_ = replyLine;
    s.captureStartText = formatDayValue(toDayValue(localNow()));
    startLine_ = toCp932(QStringLiteral("Start Time=") + s.captureStartText + QStringLiteral(" @1G=") +
                         QString::number(s.countsPerG));
    port.PutString("x");
    s.onlineColumn = 0;
    s.onlineRow = 1;
}

int CaptureExchange::rowsArrived() const
{
    const int row = link_.state().onlineRow;
    return row > 0 ? row - 1 : completeRows_;
}

bool CaptureExchange::receive(quint16 count)
{
    LinkState& s = link_.state();
    if (s.onlineRow == 0)
        return false;
    ComPort& port = link_.port();
    // Rows 1 .. onlineSampleCount are filled, never more than the table holds.
    const int lastRow = std::min(s.onlineSampleCount, kOnlineRowCapacity - 1);
    int available = std::min<int>(count, port.InBuffUsed());
    // Whole samples only: a row is begun when its 8 bytes are waiting, and
    // one begun earlier goes on when the rest of its 8 is. Each is taken up
    // to its CR, so a sample that is not 8 bytes long only moves where the
    // next one starts; the bytes taken never exceed those waiting.
    const auto sampleWaiting = [&] {
        return available > 0 && available >= kSampleBytes - std::min(s.onlineColumn, kSampleBytes - 1);
    };
    while (s.onlineRow <= lastRow && sampleWaiting()) {
        while (available > 0) {
            const char c = port.GetChar();
            --available;
            auto& row = s.onlineBuffer[static_cast<size_t>(s.onlineRow)];
            if (c == '\r') {
                row[static_cast<size_t>(s.onlineColumn)] = '\0';
                s.onlineColumn = 0;
                ++s.onlineRow;
                break;
            }
            // A row holds 19 characters and its terminator; the rest of an
            // overlong one is dropped (and the row listed as damaged).
            if (s.onlineColumn < kOnlineRowSize - 1) {
                row[static_cast<size_t>(s.onlineColumn)] = c;
                ++s.onlineColumn;
                row[static_cast<size_t>(s.onlineColumn)] = '\0';
            }
        }
    }
    return s.onlineRow > lastRow;
}

void CaptureExchange::stop()
{
    LinkState& s = link_.state();
    completeRows_ = s.onlineRow > 0 ? s.onlineRow - 1 : 0;
    s.onlineRow = 0;
    s.onlineColumn = 0;
    // The logger ends the stream with its end mark: the port stays open for
    // that mark, which would otherwise arrive in the next exchange and end
    // it early. Samples still on their way are not part of the capture: what
    // waits is discarded, and later ones are received as lines that are
    // never added to the listing. A failure here is raised once the line
    // buffer is clear.
    std::exception_ptr stopError;
    ComPort& port = link_.port();
    try {
        if (port.Open()) {
            port.PutString(" ");
            port.FlushInBuffer();
        }
    } catch (...) {
        stopError = std::current_exception();
    }
    s.clearLine();
    s.captureEndText = formatDayValue(toDayValue(localNow()));
    if (stopError)
        std::rethrow_exception(stopError);
}

void CaptureExchange::list(End how, const QString& reason, const std::function<void(QByteArrayView)>& add,
                           const std::function<void(int listed)>& progress) const
{
    const LinkState& s = link_.state();
    // Without a reading the samples carry no temperature.
    const std::string temperature =
        isReadingLine(replyLine_)
            ? captureTemperature(std::string_view(replyLine_.constData(), static_cast<size_t>(replyLine_.size())))
            : std::string();
    const QByteArray start = toCp932(s.captureStartText);
    const std::string prefix = captureTimePrefix(std::string_view(start.constData(), static_cast<size_t>(start.size())));

    const int listed = how == End::Complete ? wanted_ - 1 : std::clamp(completeRows_, 0, wanted_);
    add(startLine_);
    add(replyLine_);
    for (int k = 1; k <= listed; ++k) {
        const auto& raw = s.onlineBuffer[static_cast<size_t>(k)];
        const std::string_view row(raw.data(), strnlen(raw.data(), raw.size()));
        const std::optional<CaptureSample> sample = decodeSample(row);
        add(bytesOf(sample ? captureSampleLine(prefix, k, *sample, temperature) : badSampleLine(row)));
        if (k % kProgressStep == 0 && progress)
            progress(k);
    }
    if (progress)
        progress(std::max(listed, 0));
    if (how == End::LoggerSilent)
        add(toCp932(QStringLiteral("// Capture incomplete: the logger stopped sending after %1 of %2 samples //")
                        .arg(completeRows_)
                        .arg(wanted_)));
    else if (how == End::PortLost)
        add(toCp932(QStringLiteral("// Capture incomplete: port lost after %1 of %2 samples: %3 //")
                        .arg(completeRows_)
                        .arg(wanted_)
                        .arg(reason)));
    add(toCp932(QStringLiteral("End=>") + s.captureEndText));
}

}  // namespace zelt
