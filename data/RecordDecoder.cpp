#include "data/RecordDecoder.h"

#include "data/Hex.h"

#include <cstdio>

namespace zelt::records {

// CP932: 0x81 0xAB is the down arrow.
const char kIrregularMarker[] = "//\x81\xAB" "Irregular Record //";

namespace {

constexpr std::size_t kFixedLength = 16;      // B0..B7
constexpr std::size_t kHundredthsPos = 16;    // optional, two hex digits
constexpr std::size_t kHumidityPos = 18;      // optional, two hex digits
constexpr std::size_t kThousandthsPos = 20;   // read only with fast sampling
constexpr char kIrregularLead = '\x81';

// The logger's digit rule: '0'..'9' count from '0', everything else from 'A'.
// Only ever applied to characters isRecordDigit() accepted.
int digitValue(char c)
{
    const int u = static_cast<unsigned char>(c);
    return u <= '9' ? u - '0' : u - 'A' + 10;
}

// A digit of the fixed part: 0-9 or upper-case A-F. Checking the value alone
// would not do: ':' to '@' sit between '9' and 'A' and come out as 3..9.
bool isRecordDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Optional field of at most two hex digits at `pos`, either case, read from
// its first position up to the first character that is not a hex digit (or
// the end of the line). A field without any digit reads 0: a record with a
// trailing blank or a damaged humidity digit keeps its measurement.
int optionalField(std::string_view raw, std::size_t pos)
{
    int value = 0;
    for (std::size_t i = pos; i < raw.size() && i < pos + 2; ++i) {
        const int d = hexDigitValue(raw[i]);
        if (d < 0)
            break;
        value = value * 16 + d;
    }
    return value;
}

// Byte `index` of the fixed part (B0..B7), high nibble first.
int recordByte(std::string_view raw, int index)
{
    const std::size_t pos = static_cast<std::size_t>(index) * 2;
    return digitValue(raw[pos]) * 16 + digitValue(raw[pos + 1]);
}

int signedByte(int b) { return b >= 128 ? b - 256 : b; }

bool isDecodable(std::string_view raw)
{
    if (raw.size() < kFixedLength)
        return false;
    for (std::size_t i = 0; i < kFixedLength; ++i)
        if (!isRecordDigit(raw[i]))
            return false;
    return true;
}

}  // namespace

void DecoderState::reset(int startYear)
{
    *this = DecoderState{};
    year = startYear;
}

std::string badRecordLine(std::string_view raw)
{
    std::string line = "//Bad Record: ";
    const std::size_t shown = raw.size() < kBadRecordShown ? raw.size() : kBadRecordShown;
    for (std::size_t i = 0; i < shown; ++i) {
        const unsigned char c = static_cast<unsigned char>(raw[i]);
        line += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    if (shown < raw.size())
        line += "...";
    line += " //";
    return line;
}

int leadingYear(std::string_view yearText)
{
    int year = 0;
    for (std::size_t i = 0; i < yearText.size() && i < 9; ++i) {
        const char c = yearText[i];
        if (c < '0' || c > '9')
            break;
        year = year * 10 + (c - '0');
    }
    return year;
}

RecordStatus decodeRecord(std::string_view raw, bool fastSampling, DecoderState& st,
                          std::string& out)
{
    out.clear();
    if (!isDecodable(raw)) {
        out = badRecordLine(raw);
        return RecordStatus::Bad;
    }

    // The thousandths digit, with fast sampling; a character there that is
    // no hex digit (either case) reads 0, as the optional fields do.
    const int thousandthsDigit = raw.size() > kThousandthsPos ? hexDigitValue(raw[kThousandthsPos]) : -1;
    const int thousandths = fastSampling && thousandthsDigit >= 0 ? thousandthsDigit : 0;

    const int b0 = recordByte(raw, 0);
    const int b1 = recordByte(raw, 1);
    const int b2 = recordByte(raw, 2);
    const int b3 = recordByte(raw, 3);

    // Cycle counter: two bits on the record. Each time it comes round from 3
    // to 0 the rest of the pass counts four higher (4..7, then 8..11, ...), so
    // later days still sort after: a full memory at one record a minute spans
    // 50 days, and the counter comes round a dozen times.
    st.prevMonth = st.month;
    const int prevRawCycle = st.cycle & 0x3;
    const int rawCycle = (b0 >> 2) & 0x3;
    if (rawCycle == 0 && prevRawCycle == 3)
        st.cycleWrap += 4;
    st.cycle = rawCycle + st.cycleWrap;

    const int month = b0 >> 4;
    const int day = (b0 & 0x3) * 8 + (b1 >> 5);
    const int hour = b1 & 0x1F;
    const int minute = b2 >> 2;
    const int second = (b2 & 0x3) * 16 + (b3 >> 4);
    if (month < st.prevMonth)
        ++st.year;
    st.month = month;

    const int x = signedByte(recordByte(raw, 4));
    const int y = signedByte(recordByte(raw, 5));
    const int z = signedByte(recordByte(raw, 6));
    int celsius = signedByte(recordByte(raw, 7));

    // Without the hundredths field the record has no tenths either.
    int hundredths = 0;
    char tenths = '0';
    if (raw.size() > kFixedLength) {
        hundredths = optionalField(raw, kHundredthsPos);
        tenths = raw[7];
    }
    const int humidity = optionalField(raw, kHumidityPos);

    st.prevTimeKey = st.timeKey;
    st.prevDateKey = st.dateKey;
    st.dateKey = st.cycle * 10000LL + month * 100 + day;
    st.timeKey = hour * 10000000LL + minute * 100000LL + second * 1000LL + hundredths * 10LL
                 + thousandths;

    // Temperature: one's complement on the logger, so -1 is minus zero.
    const bool minusZero = celsius == -1;
    if (celsius < -1)
        celsius += 1;

    char buf[192];
    int n = 0;
    if (humidity == 0) {
        n = minusZero ? std::snprintf(buf, sizeof buf,
                                      "%4d/%2d/%2d %2d:%2d:%2d.%2d%1d,%3d,%3d,%3d, -0.%c",
                                      st.year, month, day, hour, minute, second, hundredths,
                                      thousandths, x, y, z, tenths)
                      : std::snprintf(buf, sizeof buf,
                                      "%4d/%2d/%2d %2d:%2d:%2d.%2d%1d,%3d,%3d,%3d,%3d.%c",
                                      st.year, month, day, hour, minute, second, hundredths,
                                      thousandths, x, y, z, celsius, tenths);
    } else {
        n = minusZero ? std::snprintf(buf, sizeof buf,
                                      "%4d/%2d/%2d %2d:%2d:%2d.%2d%1d,%3d,%3d,%3d, -0.%c,%2d",
                                      st.year, month, day, hour, minute, second, hundredths,
                                      thousandths, x, y, z, tenths, humidity)
                      : std::snprintf(buf, sizeof buf,
                                      "%4d/%2d/%2d %2d:%2d:%2d.%2d%1d,%3d,%3d,%3d,%3d.%c,%2d",
                                      st.year, month, day, hour, minute, second, hundredths,
                                      thousandths, x, y, z, celsius, tenths, humidity);
    }
    if (n < 0)
        n = 0;
    out.assign(buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n)
                                                             : sizeof buf - 1);

    // Time not moving forward on a date not moving forward: mark the line.
    if (st.prevTimeKey != 0 && st.prevTimeKey >= st.timeKey && st.prevDateKey >= st.dateKey
        && (st.dateKey != 0 || st.month == st.prevMonth)) {
        st.irregular = true;
        if (!out.empty())
            out[0] = kIrregularLead;
    }
    // A hundredths value past 99 makes the pass irregular without marking the line.
    if (hundredths >= 100)
        st.irregular = true;

    // Two-digit fields read "05", not " 5".
    for (std::size_t pos : {5u, 8u, 11u, 14u, 17u, 20u})
        if (pos < out.size() && out[pos] == ' ')
            out[pos] = '0';

    return st.irregular ? RecordStatus::Irregular : RecordStatus::Ok;
}

PassResult decodePassInto(int count, const std::function<std::string_view(int)>& rawAt,
                          std::string_view yearText, bool fastSampling,
                          const std::function<void(std::string_view line)>& take,
                          const std::function<void(int)>& progress)
{
    PassResult result;
    DecoderState st;
    st.reset(leadingYear(yearText));
    std::string line;
    for (int i = 0; i < count; ++i) {
        switch (decodeRecord(rawAt(i), fastSampling, st, line)) {
        case RecordStatus::Bad:
            ++result.badRecords;
            break;
        case RecordStatus::Irregular:
            take(kIrregularMarker);
            ++result.records;
            break;
        case RecordStatus::Ok:
            ++result.records;
            break;
        }
        take(line);
        const int remaining = count + 2 - i;
        if (progress && remaining % 100 == 0)
            progress(remaining);
    }
    result.irregular = st.irregular;
    return result;
}

PassResult decodePass(int count, const std::function<std::string_view(int)>& rawAt, std::string_view yearText,
                      bool fastSampling, const std::function<void(int)>& progress)
{
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(count > 0 ? count : 0) + 16);
    PassResult result = decodePassInto(
        count, rawAt, yearText, fastSampling, [&lines](std::string_view line) { lines.emplace_back(line); },
        progress);
    result.lines = std::move(lines);
    return result;
}

PassResult decodePass(const std::vector<std::string>& raw, std::string_view yearText,
                      bool fastSampling, const std::function<void(int)>& progress)
{
    return decodePass(
        static_cast<int>(raw.size()), [&raw](int i) { return std::string_view(raw[static_cast<std::size_t>(i)]); },
        yearText, fastSampling, progress);
}

}  // namespace zelt::records
