#include "link/Protocol.h"

#include "link/LinkState.h"

namespace zelt {

const char* intervalTextFor(int index)
{
    static const char* const texts[] = {"1min",  "2min",  "3min", "4min",  "5min",  "10min", "15min", "20min",
                                        "30min", "1sec",  "5sec", "10sec", "15sec", "20sec", "30sec"};
    return index >= 0 && index < 15 ? texts[index] : "???";
}


QByteArray ReportLine::from(int i) const
{
    if (i < 0 || i >= length_)
        return {};
    return QByteArray(text_ + i, length_ - i);
}

QByteArray ReportLine::mid(int i, int end) const
{
    if (i < 0)
        i = 0;
    if (end > length_)
        end = length_;
    if (i >= end)
        return {};
    return QByteArray(text_ + i, end - i);
}

int ReportLine::find(char c) const
{
    for (int i = 1; i < length_; ++i)
        if (text_[i] == c)
            return i;
    return -1;
}

QByteArray ReportLine::valueAt(int p) const
{
    QByteArray v;
    v.append(at(p));
    v.append(at(p + 3));
    v.append(at(p + 4));
    return v;
}

QString samplingTextFor(char code)
{
    switch (code) {
    case '0': return QStringLiteral("0.5秒");
    case '1': return QStringLiteral("0.16秒");
    case '2': return QStringLiteral("8Hz");
    case '3': return QStringLiteral("16Hz");
    case '4': return QStringLiteral("Trace(32Hz)");
    case '5': return QStringLiteral("Real(32Hz)");
    case '6': return QStringLiteral("20msec");
    case '7': return QStringLiteral("10msec");
    case '8': return QStringLiteral("20mTRC");
    case '9': return QStringLiteral("10mTRC");
    case 'A': return QStringLiteral("5msec");
    case 'B': return QStringLiteral("2msec");
    case 'C': return QStringLiteral("1msec");
    case 'D': return QStringLiteral("5mTRC");
    case 'E': return QStringLiteral("2mTRC");
    case 'F': return QStringLiteral("1mTRC");
    default: return QStringLiteral("Real(16Hz)");
    }
}

bool isFastSamplingCode(char code)
{
    return code >= 'A' && code <= 'F';
}

std::optional<RangeSetting> rangeFor(char c1, char c2)
{
    switch (c1) {
    case '0':
        if (c2 == '0')
            return RangeSetting{1, "00"};
        if (c2 == '1')
            return RangeSetting{100, "01"};
        if (c2 == '2')
            return RangeSetting{50, "02"};
        return std::nullopt;
    case '1': return RangeSetting{10, "10"};
    case '2': return RangeSetting{5, "20"};
    case '5': return RangeSetting{2, "50"};
    default: return RangeSetting{10, "10"};
    }
}

int intervalIndexOf(char code)
{
    if (code == '\0')
        return -1;
    for (int i = 0; kIntervalCodes[i] != '\0'; ++i)
        if (kIntervalCodes[i] == code)
            return i;
    return -1;
}

CountField countField(const ReportLine& line)
{
    CountField f;
    const int e = line.equalsPos();
    if (e < 0)
        return f;
    int i = e + 1;
    while (line.at(i) == ' ')
        ++i;
    const int start = i;
    while (i < line.length() && line.at(i) != ' ')
        ++i;
    f.number = line.mid(start, i);
    while (line.at(i) == ' ')
        ++i;
    f.rest = line.from(i);
    return f;
}

int leadingInteger(const QByteArray& text)
{
    int i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long long n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        n = n * 10 + (text[i] - '0');
        if (n > 2147483647LL)
            n = 2147483647LL;
    }
    return static_cast<int>(negative ? -n : n);
}

}  // namespace zelt
