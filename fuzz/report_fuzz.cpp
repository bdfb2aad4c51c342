// The reads of a received line and the settings report lines.
//
// Input: one received line (its bytes as the dispatcher keeps them, cut to
// the 127 characters the line buffer holds).
//
// Properties:
//  - position-safe reads: a position outside the line reads '\0' and texts
//    from such a position are empty; from/mid/find/valueAt agree with a
//    plain reading of the bytes;
//  - the count field is a blank-free word after '=' and the rest after it,
//    both taken from the line; its number reads as a reference reading does;
//  - the code tables answer only with values they hold;
//  - applied to the whole tool as an '@' report line, the settings display
//    keeps counts per G, the interval index and the flags within their
//    ranges, a record count that is never negative, and a line that can only
//    get shorter.
#include "fuzz/FuzzTool.h"

#include "shell/Dispatcher.h"
#include "link/Protocol.h"
#include "shell/SharedState.h"

#include <algorithm>
#include <climits>
#include <cstring>

using namespace zelt;
using namespace zelt::fuzz;

namespace {

Tool* tool = nullptr;

long long referenceInteger(const QByteArray& t)
{
    int i = 0;
    while (i < t.size() && t[i] == ' ')
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        negative = t[i++] == '-';
    long long n = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i)
        n = std::min<long long>(n * 10 + (t[i] - '0'), INT_MAX);
    return negative ? -n : n;
}

void checkReads(const QByteArray& text)
{
    const int len = static_cast<int>(text.size());
    const ReportLine line(text.constData(), len);
    FUZZ_CHECK(line.length() == len);
    for (int i = -3; i < len + 3; ++i) {
        FUZZ_CHECK(line.at(i) == (i >= 0 && i < len ? text[i] : '\0'));
        FUZZ_CHECK(line.from(i) == (i >= 0 && i < len ? text.mid(i) : QByteArray()));
        FUZZ_CHECK(line.valueAt(i).size() == 3);
        const char value[3] = {line.at(i), line.at(i + 3), line.at(i + 4)};
        FUZZ_CHECK(line.valueAt(i) == QByteArray(value, 3));
    }
    for (int i = -2; i <= len + 1; i += 3)
        for (int end = -1; end <= len + 2; end += 2) {
            const int a = std::max(i, 0), b = std::min(end, len);
            FUZZ_CHECK(line.mid(i, end) == (a < b ? text.mid(a, b - a) : QByteArray()));
        }
    for (const char c : {'=', ' ', '@', '#'}) {
        const int pos = line.find(c);
        const qsizetype ref = len > 1 ? text.indexOf(c, 1) : -1;
        FUZZ_CHECK(pos == static_cast<int>(ref));
    }

    const CountField field = countField(line);
    const int e = line.equalsPos();
    if (e < 0) {
        FUZZ_CHECK(field.number.isEmpty() && field.rest.isEmpty());
    } else {
        FUZZ_CHECK(!field.number.contains(' '));
        FUZZ_CHECK(!field.rest.startsWith(' '));
        const QByteArray after = text.mid(e + 1);
        const qsizetype at = after.indexOf(field.number);
        FUZZ_CHECK(field.number.isEmpty() || at >= 0);
        FUZZ_CHECK(after.endsWith(field.rest));
        qsizetype first = 0;
        while (first < after.size() && after[first] == ' ')
            ++first;
        // The number is the first word after the blanks, the rest follows it.
        FUZZ_CHECK(after.mid(first).startsWith(field.number));
        FUZZ_CHECK(first == after.size() || !field.number.isEmpty() || after[first] == ' ');
    }
    FUZZ_CHECK(leadingInteger(field.number) == referenceInteger(field.number));
    FUZZ_CHECK(leadingInteger(text) == referenceInteger(text));

    for (int i = 0; i + 1 < len; ++i) {
        if (const auto range = rangeFor(text[i], text[i + 1])) {
            const int c = range->countsPerG;
            FUZZ_CHECK(c == 1 || c == 2 || c == 5 || c == 10 || c == 50 || c == 100);
            FUZZ_CHECK(std::strlen(range->text) == 2);
        }
        const int index = intervalIndexOf(text[i]);
        FUZZ_CHECK(index == -1 || (index >= 0 && index < 15 && kIntervalCodes[index] == text[i]));
        FUZZ_CHECK(isFastSamplingCode(text[i]) == (text[i] >= 'A' && text[i] <= 'F'));
        FUZZ_CHECK(!samplingTextFor(text[i]).isEmpty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    startToolkit(argc, argv);
    tool = new Tool;  // one tool for the run: a report line only sets the display
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text = bytes(data, std::min<std::size_t>(size, kLineBufferSize - 1));
    checkReads(text);

    // As the dispatcher applies it: the line in the line buffer, '@' first.
    TForm1& f = *tool->f;
    Dispatcher* dispatcher = featureOf<Dispatcher>(f);
    FUZZ_CHECK(dispatcher != nullptr);
    QByteArray reportLine = "@" + text;
    reportLine.truncate(kLineBufferSize - 1);
    f.downloadActive = 0;
    std::memset(f.lineBuffer, 0, sizeof f.lineBuffer);
    std::memcpy(f.lineBuffer, reportLine.constData(), static_cast<std::size_t>(reportLine.size()));
    f.lineLength = static_cast<int>(reportLine.size());
    f.guard([&] { dispatcher->applyReport(ReportLine(f.lineBuffer, f.lineLength)); });
    tool->port.setOpen(false);
    FUZZ_CHECK(f.lineLength >= 0 && f.lineLength <= reportLine.size());
    FUZZ_CHECK(f.lineBuffer[kLineBufferSize - 1] == '\0');
    const int c = f.countsPerG;
    FUZZ_CHECK(c == 1 || c == 2 || c == 5 || c == 10 || c == 50 || c == 100);
    FUZZ_CHECK(f.recordCount >= 0);
    FUZZ_CHECK(f.intervalIndex >= -1 && f.intervalIndex < 15);
    FUZZ_CHECK(f.fastSampling == 0 || f.fastSampling == 1);
    FUZZ_CHECK(f.thresholdDetect == 0 || f.thresholdDetect == 1);
    f.lineLength = 0;
    f.lineBuffer[0] = '\0';
    return 0;
}
