#include "sim/Records.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zelt::sim {

// Days since 1970-01-01 for a Gregorian date (era-based, exact for any year).
long long daysFromCivil(int year, int month, int day)
{
    const long long y = static_cast<long long>(year) - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long long days, int* year, int* month, int* day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    *month = m;
    *day = d;
}

long long toMillis(const DateTime& t)
{
    const long long days = daysFromCivil(t.year, t.month, t.day);
    return ((days * 24 + t.hour) * 60 + t.minute) * 60000LL + t.second * 1000LL + t.millis;
}

DateTime fromMillis(long long millis)
{
    long long days = millis / 86400000LL;
    long long rest = millis % 86400000LL;
    if (rest < 0) {
        rest += 86400000LL;
        --days;
    }
    DateTime t;
    civilFromDays(days, &t.year, &t.month, &t.day);
    t.hour = static_cast<int>(rest / 3600000LL);
    t.minute = static_cast<int>(rest / 60000LL % 60);
    t.second = static_cast<int>(rest / 1000LL % 60);
    t.millis = static_cast<int>(rest % 1000LL);
    return t;
}

void encodeTemperature(int tempTenths, int* wholeByte, int* tenthsDigit)
{
    if (tempTenths >= 0) {
        *wholeByte = (tempTenths / 10) & 0xFF;
        *tenthsDigit = tempTenths % 10;
    } else {
        const int magnitude = -tempTenths;
        *wholeByte = ~(magnitude / 10) & 0xFF;  // -0.x -> FF, -1.x -> FE
        *tenthsDigit = magnitude % 10;
    }
}

std::string encodeRecord(const RecordFields& f)
{
    int whole = 0, tenths = 0;
    encodeTemperature(f.tempTenths, &whole, &tenths);
    const int b0 = ((f.month & 0x0F) << 4) | ((f.cycle & 0x03) << 2) | ((f.day >> 3) & 0x03);
    const int b1 = ((f.day & 0x07) << 5) | (f.hour & 0x1F);
    const int b2 = ((f.minute & 0x3F) << 2) | ((f.second >> 4) & 0x03);
    const int b3 = ((f.second & 0x0F) << 4) | (tenths & 0x0F);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X%02X%02X%02X%02X", b0, b1, b2, b3, f.x & 0xFF,
                  f.y & 0xFF, f.z & 0xFF, whole);
    std::string line = buf;
    const bool withThousandths = f.thousandths >= 0;
    const bool withHumidity = withThousandths || f.humidity >= 0;
    const bool withHundredths = withHumidity || f.hundredths >= 0;
    if (withHundredths) {
        std::snprintf(buf, sizeof buf, "%02X", std::max(0, f.hundredths) & 0xFF);
        line += buf;
    }
    if (withHumidity) {
        std::snprintf(buf, sizeof buf, "%02X", std::max(0, f.humidity) & 0xFF);
        line += buf;
    }
    if (withThousandths) {
        std::snprintf(buf, sizeof buf, "%X", f.thousandths % 10);
        line += buf;
    }
    return line;
}

namespace {

struct NamedKind {
    RecordingKind kind;
    const char* name;
};
constexpr NamedKind kKinds[] = {
    {RecordingKind::Default, "default"},   {RecordingKind::Humidity, "humidity"},
    {RecordingKind::Fast, "fast"},         {RecordingKind::YearEnd, "yearend"},
    {RecordingKind::Full, "full"},         {RecordingKind::Bad, "bad"},
    {RecordingKind::Irregular, "irregular"},
};

// Small deterministic generator (splitmix64): the same seed gives the same
// recording on every platform, unlike the standard distributions.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform integer in [lo, hi].
    int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1)); }

private:
    std::uint64_t state_;
};

int clampCount(int v) { return std::clamp(v, -128, 127); }

// Walks the time line of a recording and keeps the day cycle counter the way
// the logger does: it moves on by one at every new calendar day.
class Timeline {
public:
    explicit Timeline(const DateTime& start) : lastDay_(daysFromCivil(start.year, start.month, start.day)) {}
    RecordFields fieldsAt(long long millis)
    {
        const DateTime t = fromMillis(millis);
        const long long day = daysFromCivil(t.year, t.month, t.day);
        if (day != lastDay_) {
            cycle_ = (cycle_ + 1) & 3;
            lastDay_ = day;
        }
        RecordFields f;
        f.month = t.month;
        f.cycle = cycle_;
        f.day = t.day;
        f.hour = t.hour;
        f.minute = t.minute;
        f.second = t.second;
        return f;
    }

private:
    long long lastDay_;
    int cycle_ = 0;
};

// A quiet background acceleration: a few counts of noise, gravity on Z.
void quietMotion(Noise& n, RecordFields* f)
{
    f->x = n.range(-2, 2);
    f->y = n.range(-2, 2);
    f->z = 3 + n.range(-1, 1);
}

Recording defaultRecording(std::uint32_t seed)
{
    Recording r;
    r.kind = RecordingKind::Default;
    r.startYear = 2024;
    r.intervalCode = 'a';
    r.intervalText = "1sec";
    Noise n(seed);
    const DateTime start{2024, 2, 14, 23, 20, 0, 0};
    const long long t0 = toMillis(start);
    Timeline line(start);
    const int count = 3600;
    const int shockAt = 1800 + static_cast<int>(seed % 200);
    for (int i = 0; i < count; ++i) {
        RecordFields f = line.fieldsAt(t0 + i * 1000LL);
        quietMotion(n, &f);
        if (i >= shockAt && i < shockAt + 12) {  // the shock: a short burst of large counts
            const int k = i - shockAt;
            const int peak = 127 - k * 8;
            f.x = clampCount((k % 2 ? -1 : 1) * (peak - n.range(0, 6)));
            f.y = clampCount((k % 3 ? 1 : -1) * (peak / 2 + n.range(0, 10)));
            f.z = clampCount(-(peak - n.range(0, 20)));
        }
        // From +1.5 C down to -2.5 C, with a tenth or two of jitter.
        f.tempTenths = 15 - (40 * i) / (count - 1) + n.range(-1, 1);
        f.hundredths = 0;
        r.records.push_back(encodeRecord(f));
    }
    return r;
}

Recording humidityRecording(std::uint32_t seed)
{
    Recording r;
    r.kind = RecordingKind::Humidity;
    r.startYear = 2024;
    r.intervalCode = 'b';
    r.intervalText = "5sec";
    Noise n(seed);
    const DateTime start{2024, 6, 24, 10, 0, 0, 0};
    const long long t0 = toMillis(start);
    Timeline line(start);
    const int count = 1200;
    for (int i = 0; i < count; ++i) {
        RecordFields f = line.fieldsAt(t0 + i * 5000LL);
        quietMotion(n, &f);
        f.tempTenths = 220 + static_cast<int>(std::lround(30.0 * std::sin(i / 190.0))) + n.range(-1, 1);
        f.hundredths = 0;
        f.humidity = 58 + static_cast<int>(std::lround(12.0 * std::sin(i / 150.0 + 1.0))) + n.range(-1, 1);
        r.records.push_back(encodeRecord(f));
    }
    return r;
}

Recording fastRecording(std::uint32_t seed)
{
    Recording r;
    r.kind = RecordingKind::Fast;
    r.startYear = 2024;
    r.intervalCode = 'a';
    r.samplingCode = 'A';
    r.intervalText = "5ms";
    Noise n(seed);
    const DateTime start{2024, 6, 24, 12, 0, 0, 0};
    const long long t0 = toMillis(start);
    Timeline line(start);
    const int count = 2000;
    for (int i = 0; i < count; ++i) {
        const long long t = t0 + i * 5LL;
        RecordFields f = line.fieldsAt(t);
        const int ms = static_cast<int>(t % 1000);
        // A vibration at a few hertz, sampled every 5 ms.
        f.x = clampCount(static_cast<int>(std::lround(40.0 * std::sin(i * 0.12))) + n.range(-1, 1));
        f.y = clampCount(static_cast<int>(std::lround(25.0 * std::sin(i * 0.07 + 0.5))) + n.range(-1, 1));
        f.z = clampCount(3 + n.range(-2, 2));
        f.tempTenths = 241 + n.range(0, 2);
        f.hundredths = ms / 10;
        f.humidity = 0;
        f.thousandths = ms % 10;
        r.records.push_back(encodeRecord(f));
    }
    return r;
}

Recording yearEndRecording(std::uint32_t seed)
{
    Recording r;
    r.kind = RecordingKind::YearEnd;
    r.startYear = 2024;
    r.intervalCode = 'c';
    r.intervalText = "10sec";
    Noise n(seed);
    const DateTime start{2024, 12, 31, 23, 0, 0, 0};
    const long long t0 = toMillis(start);
    Timeline line(start);
    const int count = 720;  // two hours: the year changes half way
    for (int i = 0; i < count; ++i) {
        RecordFields f = line.fieldsAt(t0 + i * 10000LL);
        quietMotion(n, &f);
        f.tempTenths = -35 + n.range(-2, 2);
        f.hundredths = 0;
        r.records.push_back(encodeRecord(f));
    }
    return r;
}

Recording fullRecording(std::uint32_t seed)
{
    Recording r;
    r.kind = RecordingKind::Full;
    r.startYear = 2024;
    r.intervalCode = 'A';
    r.intervalText = "1min";
    Noise n(seed);
    const DateTime start{2024, 5, 1, 0, 0, 0, 0};
    const long long t0 = toMillis(start);
    Timeline line(start);
    for (int i = 0; i < kMemoryRecords; ++i) {
        RecordFields f = line.fieldsAt(t0 + i * 60000LL);
        quietMotion(n, &f);
        // A daily temperature swing between about 12 and 28 C.
        f.tempTenths = 200 + static_cast<int>(std::lround(80.0 * std::sin(i * 2.0 * 3.14159265 / 1440.0)));
        f.hundredths = 0;
        r.records.push_back(encodeRecord(f));
    }
    return r;
}

Recording badRecording(std::uint32_t seed)
{
    Recording r;
    r.kind = RecordingKind::Bad;
    r.startYear = 2024;
    r.intervalCode = 'a';
    r.intervalText = "1sec";
    Noise n(seed);
    const DateTime start{2024, 6, 24, 0, 0, 0, 0};
    const long long t0 = toMillis(start);
    Timeline line(start);
    const int count = kMemoryRecords + 80;  // more than the memory can hold
    static const char kNotHex[] = "GKQRUV";
    for (int i = 0; i < count; ++i) {
        RecordFields f = line.fieldsAt(t0 + i * 1000LL);
        quietMotion(n, &f);
        f.tempTenths = 180 + n.range(-3, 3);
        f.hundredths = 0;
        std::string rec = encodeRecord(f);
        if (i % 997 == 500)
            rec.resize(static_cast<std::size_t>(n.range(4, 15)));  // cut short
        else if (i % 1499 == 700)
            rec[static_cast<std::size_t>(n.range(0, 17))] = kNotHex[n.range(0, 5)];
        r.records.push_back(rec);
    }
    return r;
}

Recording irregularRecording(std::uint32_t seed)
{
    Recording r;
    r.kind = RecordingKind::Irregular;
    r.startYear = 2024;
    r.intervalCode = 'a';
    r.intervalText = "1sec";
    Noise n(seed);
    const DateTime start{2024, 6, 24, 9, 0, 0, 0};
    const long long t0 = toMillis(start);
    Timeline line(start);
    const int count = 600;
    long long t = t0;
    for (int i = 0; i < count; ++i) {
        if (i == 300) {
            // The clock stalls: this record repeats the previous time stamp.
        } else if (i == 450) {
            t -= 2000;  // and here it steps two seconds back
        } else if (i > 0) {
            t += 1000;
        }
        RecordFields f = line.fieldsAt(t);
        quietMotion(n, &f);
        f.tempTenths = 215 + n.range(-2, 2);
        f.hundredths = 0;
        r.records.push_back(encodeRecord(f));
    }
    return r;
}

}  // namespace

const char* recordingName(RecordingKind kind)
{
    for (const auto& k : kKinds)
        if (k.kind == kind)
            return k.name;
    return "default";
}

bool recordingFromName(const std::string& name, RecordingKind* kind)
{
    for (const auto& k : kKinds)
        if (name == k.name) {
            *kind = k.kind;
            return true;
        }
    return false;
}

std::vector<RecordingKind> allRecordingKinds()
{
    std::vector<RecordingKind> kinds;
    for (const auto& k : kKinds)
        kinds.push_back(k.kind);
    return kinds;
}

Recording makeRecording(RecordingKind kind, std::uint32_t seed)
{
    switch (kind) {
    case RecordingKind::Default: return defaultRecording(seed);
    case RecordingKind::Humidity: return humidityRecording(seed);
    case RecordingKind::Fast: return fastRecording(seed);
    case RecordingKind::YearEnd: return yearEndRecording(seed);
    case RecordingKind::Full: return fullRecording(seed);
    case RecordingKind::Bad: return badRecording(seed);
    case RecordingKind::Irregular: return irregularRecording(seed);
    }
    return defaultRecording(seed);
}

}  // namespace zelt::sim
