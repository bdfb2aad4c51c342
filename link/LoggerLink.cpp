#include "link/LoggerLink.h"

#include "link/ComPort.h"
#include "link/Protocol.h"
#include "platform/Cp932.h"

#include <cstring>

namespace zelt {

namespace {

QString text(const QByteArray& bytes)
{
    return fromCp932(bytes);
}

QString twoChars(char a, char b)
{
    const char chars[2] = {a, b};
    return fromCp932(QByteArray(chars, 2));
}

}  // namespace

std::vector<std::pair<const char*, QString>> LoggerSettings::reported() const
{
    const std::pair<const char*, const QString*> all[] = {
        {"myId", &myId},
        {"recordCount", &recordCount},
        {"recordCountRest", &recordCountRest},
        {"year", &year},
        {"interval", &interval},
        {"sampling", &sampling},
        {"range", &range},
        {"threshold", &threshold},
        {"thresholdDetect", &thresholdDetect},
        {"startMode", &startMode},
        {"wait", &wait},
        {"buzzer", &buzzer},
        {"status", &status},
        {"hazard", &hazard},
        {"gravity", &gravity},
        {"endless", &endless},
        {"hundredHz", &hundredHz},
        {"display", &display},
        {"df", &df},
        {"calibrationX", &calibrationX},
        {"calibrationY", &calibrationY},
        {"calibrationZ", &calibrationZ},
        {"identity", &identity},
        {"l", &lText},
        {"rec", &rec},
    };
    std::vector<std::pair<const char*, QString>> out;
    for (const auto& [name, value] : all)
        if (!value->isNull())
            out.emplace_back(name, *value);
    return out;
}

LoggerLink::LoggerLink(ComPort& port, LinkState& state) : port_(port), state_(state) {}

void LoggerLink::receive(quint16 count)
{
    view_->bytesArrived();
    if (state_.onlineRow != 0) {
        view_->captureBytes(count);
        return;
    }
    if (state_.firmwareSending) {
        view_->firmwareBytes();
        return;
    }
    if (state_.linkUp == 1) {
        lineLoop();
        return;
    }
    // The first answer after a connect: the bytes stay waiting for the next
    // notification, which the logger's answer to the second 'm' brings.
    establish();
}

void LoggerLink::connect()
{
    port_.FlushInBuffer();
    port_.PutString("m");
    state_.connectReportPending = 1;
    state_.linkUp = 0;
}

void LoggerLink::establish()
{
    port_.PutString("m");
    state_.linkUp = 1;
    view_->linkEstablished();
}

void LoggerLink::lineLoop()
{
    while (port_.CharReady()) {
        view_->receiving();
        const char c = port_.GetChar();
        switch (c) {
        case kEnq:
            port_.PutChar(kAck);
            break;
        case '\r':
        case '!':
        case '?':
            break;
        case '\n':
            completeLine();
            break;
        case kEndMark:
            endMarkArrived();
            break;
        default:
            // The line holds at most 127 characters; the excess of a longer
            // line is dropped.
            if (state_.lineLength < kLineBufferSize - 1)
                state_.lineBuffer[state_.lineLength++] = c;
            break;
        }
    }
}

void LoggerLink::completeLine()
{
    LinkState& s = state_;
    s.lineBuffer[s.lineLength] = '\0';
    if (s.monitorMode == 1) {
        // A monitor reply accumulates in the buffer until the end mark.
        view_->monitorLine();
        return;
    }
    const QByteArrayView received(s.lineBuffer, s.lineLength);
    if (s.downloadActive) {
        // Every line of the record stream is data: a longer one is stored as
        // a record (one that is no record becomes a bad-record line of the
        // decoding pass), a short one is listed. None is acted on as an
        // identification or a report: a line of noise must neither write a
        // setting to the logger nor change the counts per G nor open a box.
        if (s.lineLength > 3) {
            // Records beyond the logger's capacity are kept too, up to a
            // bound for a line that never ends its answer.
            s.recordLines.set(s.recordCount, received);
            ++s.recordCount;
            view_->recordStored(s.recordCount);
        } else if (s.lineLength > 1) {
            view_->downloadListed(received);
        }
        s.clearLine();
        if (s.recordCount >= s.recordLimit) {
            port_.setOpen(false);
            view_->downloadCutShort(QStringLiteral("%1 lines without an end mark").arg(s.recordLimit));
        }
        return;
    }
    if (s.lineLength > 1)
        view_->answerLine(received);
    const ReportLine line(s.lineBuffer, s.lineLength);
    if (line.at(0) == 'J')
        identificationLine();
    else if (line.at(0) == '@')
        applyReport(line);
    s.clearLine();
}

void LoggerLink::identificationLine()
{
    LinkState& s = state_;
    const ReportLine line(s.lineBuffer, s.lineLength);
    const bool handled = (line.at(4) == '1' && line.at(5) == '2' && line.at(6) == '8') ||
                         (line.at(3) == '1' && line.at(4) == '2' && line.at(5) == '8');
    if (handled) {
        const int e = line.find('=');
        const QByteArray number = e >= 0 ? line.from(e + 1) : QByteArray();
        s.loggerNumberText = std::string_view(number.constData(), static_cast<size_t>(number.size()));
        s.loggerNumber = leadingInteger(s.loggerNumberText.bytes());
    }
    view_->identified(handled);
}

void LoggerLink::applyReport(const ReportLine& L)
{
    LinkState& s = state_;
    LoggerSettings& v = settings_;
    ReportUpdate u;
    u.letter = L.at(1);
    const int e = L.equalsPos();
    const int b = L.blankPos();
    // A field needs its '=' or blank; without it the line is only listed.
    const bool hasE = e >= 0;
    const bool hasB = b >= 0;
    switch (u.letter) {
    case 'A': {
        if (!hasB)
            return;
        const QByteArray v1 = L.valueAt(b + 3), v2 = L.valueAt(b + 9), v3 = L.valueAt(b + 15);
        const auto onOff = [](const QByteArray& x) { return x == " 00" ? QStringLiteral("OFF") : QStringLiteral("ON"); };
        u.kind = L.at(b + 1);
        if (u.kind == 'h') {
            v.hazard = text(v1);
            v.gravity = onOff(v2);
            v.endless = onOff(v3);
        } else {
            v.hundredHz = onOff(v1);
            v.display = text(v2);
            v.df = text(v3);
        }
        break;
    }
    case 'B':
        if (!hasE || L.at(e + 5) == '\0')
            return;
        v.buzzer = L.at(e + 5) == '0' ? QStringLiteral("BZ-ON") : QStringLiteral("BZ-OFF");
        break;
    case 'C': {
        if (!hasE)
            return;
        const CountField field = countField(L);
        v.recordCount = text(field.number);
        v.recordCountRest = text(field.rest);
        s.recordCount = leadingInteger(field.number);
        if (s.recordCount < 0) {
            s.recordCount = -s.recordCount;
            u.negativeCount = true;
        }
        s.reportedRecordCount = s.recordCount;
        break;
    }
    case 'D':
        if (!hasE || L.at(e + 3) == '\0')
            return;
        v.threshold = twoChars(L.at(e + 1), L.at(e + 3));
        break;
    case 'd':
        if (!hasE || L.at(e + 2) == '\0')
            return;
        v.threshold = twoChars(L.at(e + 1), L.at(e + 2));
        break;
    case 'F':
        if (!hasB)
            return;
        v.calibrationX = text(L.valueAt(b + 3));
        v.calibrationY = text(L.valueAt(b + 9));
        v.calibrationZ = text(L.valueAt(b + 15));
        break;
    case 'G':
        if (!hasB)
            return;
        v.status = text(L.from(b + 1));
        u.statusSet = true;
        break;
    case 'g':
        if (!hasE || L.at(e + 1) == '\0')
            return;
        if ((L.at(e + 1) & 7) == 5) {
            s.countsPerG = 2;
            v.range = QStringLiteral("50");
            u.rangeSet = true;
        }
        if (hasB) {
            v.status = text(L.from(b + 1));
            u.statusSet = true;
        }
        break;
    case 'I': {
        if (!hasE || L.at(e + 1) == '\0')
            return;
        const char c = L.at(e + 1);
        v.sampling = samplingTextFor(c);
        s.fastSampling = isFastSamplingCode(c) ? 1 : 0;
        break;
    }
    case 'K':
        if (!hasB)
            return;
        v.identity = text(L.from(b + 1));
        break;
    case 'L':
        if (!hasE)
            return;
        v.lText = text(L.from(e + 4));
        break;
    case 'M': {
        if (!hasE)
            return;
        int j = e + 2;
        while (L.at(j) >= '0' && L.at(j) <= '9')
            ++j;
        // The line is cut at j: the ID is the text from e+3 up to the cut.
        if (j < s.lineLength) {
            s.lineBuffer[j] = '\0';
            s.lineLength = j;
        }
        v.myId = text(L.mid(e + 3, j));
        break;
    }
    case 'R': {
        if (!hasE || L.at(e + 1) == '\0')
            return;
        s.intervalIndex = intervalIndexOf(L.at(e + 1));
        s.intervalText = QString::fromLatin1(intervalTextFor(s.intervalIndex));
        v.interval = s.intervalText;
        break;
    }
    case 'T': {
        if (!hasE || L.at(e + 4) == '\0')
            return;
        if (const auto range = rangeFor(L.at(e + 4), L.at(e + 5))) {
            s.countsPerG = range->countsPerG;
            v.range = QString::fromLatin1(range->text);
            u.rangeSet = true;
        }
        break;
    }
    case 'W': {
        if (!hasE || L.at(e + 5) == '\0')
            return;
        const bool on = L.at(e + 5) != '0';
        v.thresholdDetect = on ? QStringLiteral("1") : QStringLiteral("0");
        // The view sees the new setting while the flag still holds the
        // previous state (the window's check box acts on that), then the
        // flag follows.
        view_->reportApplied(u);
        s.thresholdDetect = on ? 1 : 0;
        return;
    }
    case 'Y':
        if (!hasE)
            return;
        v.year = text(L.from(e + 1));
        break;
    case 'r':
        if (!hasE)
            return;
        v.rec = text(L.from(e + 2));
        break;
    case 's':
        if (!hasE || L.at(e + 5) == '\0')
            return;
        v.startMode = L.at(e + 5) == '0' ? QStringLiteral("Sleep") : QStringLiteral("開始");
        break;
    case 'w':
        if (!hasE)
            return;
        v.wait = text(L.from(e + 2));
        break;
    default:
        return;
    }
    view_->reportApplied(u);
}

void LoggerLink::endMarkArrived()
{
    LinkState& s = state_;
    view_->endMark();
    s.monitorStreamOpen = 0;
    if (s.connectReportPending == 1) {
        s.connectReportPending = 0;
        s.queuedCommand1 = "p";
        s.queuedCommand2 = "p";
    }
    // The next queued command goes out, in the order they were queued.
    const auto sendQueued = [this](auto& queued) {
        if (queued.empty())
            return false;
        const QByteArray command = queued.bytes();
        queued.clear();
        port_.PutString(command);
        return true;
    };
    if (sendQueued(s.queuedCommand1) || sendQueued(s.queuedCommand2) || sendQueued(s.queuedCommand3))
        return;

    // The exchange is over. Bytes after the end mark are dropped with the close.
    port_.setOpen(false);
    QByteArray lastText(s.lineBuffer, s.lineLength);
    s.lineLength = 0;
    if (s.downloadActive == 1 && view_->downloadEnded())
        lastText = QByteArray(s.lineBuffer, static_cast<int>(strnlen(s.lineBuffer, kLineBufferSize)));
    s.lineBuffer[0] = '\0';
    view_->exchangeClosed(lastText);
}

}  // namespace zelt
