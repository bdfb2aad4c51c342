// The online capture's rows and listing lines.
//
// Input: bytes 0..n: a stored row up to the first LF, the reading reply
// (listing line 2) up to the next LF, the start text up to the next, the
// duration as typed (UTF-8) after it.
//
// Properties:
//  - a row decodes exactly when it is the separator and six hex digits;
//    each value is a signed byte, and writing the values again in hex gives
//    the row's digits;
//  - a damaged row's line shows the row without its separator, printable;
//  - the temperature column is empty or five characters wide; the time
//    prefix is at most 17 characters; a sample line holds no line break;
//  - the duration is always within 5..360 seconds.
#include "fuzz/FuzzSupport.h"

#include "data/OnlineCapture.h"

#include <QString>
#include <cctype>
#include <cstdio>

using namespace zelt;
using namespace zelt::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = bytes(data, size);
    const QList<QByteArray> parts = input.split('\n');
    const QByteArray row = parts.value(0);
    const QByteArray reply = parts.value(1);
    const QByteArray start = parts.value(2);
    const QByteArray typed = parts.size() > 3 ? input.mid(row.size() + reply.size() + start.size() + 3) : QByteArray();

    const auto sample = decodeSample(view(row));
    bool wellFormed = row.size() == 7;
    for (int i = 1; i < row.size() && wellFormed; ++i)
        wellFormed = std::isxdigit(static_cast<unsigned char>(row[i])) != 0;
    FUZZ_CHECK(sample.has_value() == wellFormed);
    if (sample) {
        for (const int v : {sample->x, sample->y, sample->z})
            FUZZ_CHECK(v >= -128 && v <= 127);
        char again[8];
        std::snprintf(again, sizeof again, "%02X%02X%02X", sample->x & 0xFF, sample->y & 0xFF, sample->z & 0xFF);
        FUZZ_CHECK(row.mid(1).toUpper() == QByteArray(again));
    }

    const std::string bad = badSampleLine(view(row));
    FUZZ_CHECK(bad.rfind("//Bad Sample: ", 0) == 0);
    FUZZ_CHECK(bad.size() == 14 + static_cast<std::size_t>(std::max<qsizetype>(row.size() - 1, 0)) + 3);
    for (const char c : bad)
        FUZZ_CHECK(c >= 0x20 && c < 0x7F);

    const std::string temperature = captureTemperature(view(reply));
    FUZZ_CHECK(temperature.empty() || temperature.size() == 5);
    FUZZ_CHECK(!temperature.empty() || reply.size() <= 32 || (reply.size() == 33 && reply[32] == 'C'));

    const std::string prefix = captureTimePrefix(view(start));
    FUZZ_CHECK(prefix.size() <= 17);

    const CaptureSample s = sample.value_or(CaptureSample{});
    for (const int rowNumber : {1, 199, 200, 72019}) {
        const std::string line = captureSampleLine(prefix, rowNumber, s, temperature);
        FUZZ_CHECK(line.rfind(prefix, 0) == 0);
        if (prefix.find_first_of("\r\n") == std::string::npos && temperature.find_first_of("\r\n") == std::string::npos)
            FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
        FUZZ_CHECK(line.size() >= prefix.size() + temperature.size());
        FUZZ_CHECK(line.compare(line.size() - temperature.size(), temperature.size(), temperature) == 0);
    }

    const int seconds = captureSeconds(QString::fromUtf8(typed));
    FUZZ_CHECK(seconds >= kShortestCaptureSeconds && seconds <= kLongestCaptureSeconds);
    return 0;
}
