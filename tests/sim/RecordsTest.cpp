// Record encoding and the canned recordings, checked against hand-made hex
// and against an independent decoder written from the record layout.
#include "sim/Records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

using namespace zelt::sim;

namespace {

bool isUpperHexText(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'); });
}

int byteAt(const std::string& rec, int index) { return std::stoi(rec.substr(static_cast<std::size_t>(index) * 2, 2), nullptr, 16); }

struct Decoded {
    int month, cycle, day, hour, minute, second;
    int tempTenths;
    int x, y, z;
    int hundredths = 0, humidity = -1, thousandths = 0;
};

int signed8(int b) { return b >= 128 ? b - 256 : b; }

// Reads a record the way the tool must: bit fields, one's complement degrees.
Decoded decode(const std::string& rec)
{
    Decoded d{};
    const int b0 = byteAt(rec, 0), b1 = byteAt(rec, 1), b2 = byteAt(rec, 2), b3 = byteAt(rec, 3);
    d.month = b0 >> 4;
    d.cycle = (b0 >> 2) & 3;
    d.day = ((b0 & 3) << 3) | (b1 >> 5);
    d.hour = b1 & 0x1F;
    d.minute = b2 >> 2;
    d.second = ((b2 & 3) << 4) | (b3 >> 4);
    const int tenths = b3 & 0x0F;
    d.x = signed8(byteAt(rec, 4));
    d.y = signed8(byteAt(rec, 5));
    d.z = signed8(byteAt(rec, 6));
    const int whole = signed8(byteAt(rec, 7));
    d.tempTenths = whole >= 0 ? whole * 10 + tenths : -((-whole - 1) * 10 + tenths);
    if (rec.size() >= 18)
        d.hundredths = byteAt(rec, 8);
    if (rec.size() >= 20)
        d.humidity = byteAt(rec, 9);
    if (rec.size() >= 21)
        d.thousandths = rec[20] - '0';
    return d;
}

// Milliseconds of every record, the year taken from the start year and
// moved on whenever the month goes back.
std::vector<long long> timeline(const Recording& r)
{
    std::vector<long long> t;
    int year = r.startYear, lastMonth = 0;
    for (const auto& rec : r.records) {
        const Decoded d = decode(rec);
        if (d.month < lastMonth)
            ++year;
        lastMonth = d.month;
        t.push_back(toMillis(DateTime{year, d.month, d.day, d.hour, d.minute, d.second,
                                      d.hundredths * 10 + d.thousandths}));
    }
    return t;
}

}  // namespace

TEST(SimCalendar, DaysFromCivilKnownDates)
{
    struct Case {
        int y, m, d;
        long long days;
    } cases[] = {{1970, 1, 1, 0}, {2000, 3, 1, 11017}, {2024, 2, 29, 19782}, {2024, 12, 31, 20088}, {1969, 12, 31, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(daysFromCivil(c.y, c.m, c.d), c.days) << c.y << "-" << c.m << "-" << c.d;
        int y = 0, m = 0, d = 0;
        civilFromDays(c.days, &y, &m, &d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
    }
    const DateTime t = fromMillis(toMillis(DateTime{2024, 12, 31, 23, 59, 59, 995}) + 5);
    EXPECT_EQ(t.year * 10000 + t.month * 100 + t.day, 20250101);
    EXPECT_EQ(t.hour + t.minute + t.second + t.millis, 0);
}

TEST(SimRecordEncoding, TemperatureBytes)
{
    struct Case {
        int tenths, whole, digit;
    } cases[] = {{253, 0x19, 3}, {-5, 0xFF, 5}, {-15, 0xFE, 5}, {-20, 0xFD, 0},
                 {0, 0x00, 0},   {-9, 0xFF, 9}, {-1270, 0x80, 0}, {1270, 0x7F, 0}};
    for (const auto& c : cases) {
        int whole = -1, digit = -1;
        encodeTemperature(c.tenths, &whole, &digit);
        EXPECT_EQ(whole, c.whole) << c.tenths;
        EXPECT_EQ(digit, c.digit) << c.tenths;
    }
}

TEST(SimRecordEncoding, HandMadeRecords)
{
    struct Case {
        RecordFields f;
        const char* hex;
    } cases[] = {
        // May, cycle 2, the 19th 11:37:45.23, 25.3 C, X 5 Y -12 Z 20.
        {{5, 2, 19, 11, 37, 45, 253, 5, -12, 20, 23, -1, -1}, "5A6B96D305F4141917"},
        // Dec 31 23:59:59, cycle 3, -0.5 C, extreme counts, no optional fields.
        {{12, 3, 31, 23, 59, 59, -5, -128, 127, 0, -1, -1, -1}, "CFF7EFB5807F00FF"},
        // Jan 1 midnight, -1.5 C, humidity 55 %.
        {{1, 0, 1, 0, 0, 0, -15, 0, 0, 0, 0, 55, -1}, "10200005000000FE0037"},
        // Fast sampling: 12:00:00.125, thousandths digit 5, no humidity sensor.
        {{6, 1, 24, 12, 0, 0, 241, 40, -25, 3, 12, 0, 5}, "670C000128E703180C005"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encodeRecord(c.f), c.hex);
    // The leading bytes named in the record layout.
    const std::string rec = cases[0].hex;
    EXPECT_EQ(rec.substr(0, 4), "5A6B");
}

TEST(SimRecordEncoding, DecodesBackToTheFields)
{
    RecordFields f{8, 1, 30, 17, 5, 33, -27, -90, 64, -1, 99, 12, 7};
    const Decoded d = decode(encodeRecord(f));
    EXPECT_EQ(d.month, 8);
    EXPECT_EQ(d.cycle, 1);
    EXPECT_EQ(d.day, 30);
    EXPECT_EQ(d.hour, 17);
    EXPECT_EQ(d.minute, 5);
    EXPECT_EQ(d.second, 33);
    EXPECT_EQ(d.tempTenths, -27);
    EXPECT_EQ(d.x, -90);
    EXPECT_EQ(d.y, 64);
    EXPECT_EQ(d.z, -1);
    EXPECT_EQ(d.hundredths, 99);
    EXPECT_EQ(d.humidity, 12);
    EXPECT_EQ(d.thousandths, 7);
}

TEST(SimRecordings, ShapeOfEachRecording)
{
    struct Case {
        RecordingKind kind;
        std::size_t count;
        std::size_t length;  // 0: mixed on purpose
        char interval, sampling;
    } cases[] = {
        {RecordingKind::Default, 3600, 18, 'a', '0'},  {RecordingKind::Humidity, 1200, 20, 'b', '0'},
        {RecordingKind::Fast, 2000, 21, 'a', 'A'},     {RecordingKind::YearEnd, 720, 18, 'c', '0'},
        {RecordingKind::Full, 72020, 18, 'A', '0'},    {RecordingKind::Bad, 72100, 0, 'a', '0'},
        {RecordingKind::Irregular, 600, 18, 'a', '0'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(recordingName(c.kind));
        const Recording r = makeRecording(c.kind);
        EXPECT_EQ(r.records.size(), c.count);
        EXPECT_EQ(r.intervalCode, c.interval);
        EXPECT_EQ(r.samplingCode, c.sampling);
        EXPECT_EQ(r.startYear, 2024);
        if (c.length == 0)
            continue;
        for (const auto& rec : r.records) {
            ASSERT_EQ(rec.size(), c.length) << rec;
            ASSERT_TRUE(isUpperHexText(rec)) << rec;
        }
    }
}

TEST(SimRecordings, SameSeedSameRecordingOtherSeedOther)
{
    EXPECT_EQ(makeRecording(RecordingKind::Default, 7).records, makeRecording(RecordingKind::Default, 7).records);
    EXPECT_NE(makeRecording(RecordingKind::Default, 7).records, makeRecording(RecordingKind::Default, 8).records);
    EXPECT_EQ(makeRecording(RecordingKind::Bad, 3).records, makeRecording(RecordingKind::Bad, 3).records);
}

TEST(SimRecordings, DefaultHasShockNegativeTemperaturesAndOneDayChange)
{
    const Recording r = makeRecording(RecordingKind::Default);
    int minTemp = 1000, maxTemp = -1000, maxCount = 0, cycleSteps = 0;
    Decoded prev = decode(r.records.front());
    EXPECT_EQ(prev.cycle, 0);
    for (const auto& rec : r.records) {
        const Decoded d = decode(rec);
        minTemp = std::min(minTemp, d.tempTenths);
        maxTemp = std::max(maxTemp, d.tempTenths);
        maxCount = std::max({maxCount, std::abs(d.x), std::abs(d.y), std::abs(d.z)});
        if (d.day != prev.day) {
            EXPECT_EQ(d.cycle, (prev.cycle + 1) & 3);
            ++cycleSteps;
        } else {
            EXPECT_EQ(d.cycle, prev.cycle);
        }
        prev = d;
    }
    EXPECT_LT(minTemp, -10);  // below -1.0 C: whole-degree bytes FE and lower occur
    EXPECT_GT(maxTemp, 10);
    EXPECT_GE(maxCount, 100);  // the shock
    EXPECT_EQ(cycleSteps, 1);  // crosses one midnight
    const auto t = timeline(r);
    for (std::size_t k = 1; k < t.size(); ++k)
        ASSERT_EQ(t[k] - t[k - 1], 1000) << k;
}

TEST(SimRecordings, YearEndGoesFromDecemberToJanuary)
{
    const Recording r = makeRecording(RecordingKind::YearEnd);
    std::vector<int> months;
    for (const auto& rec : r.records) {
        const int m = decode(rec).month;
        if (months.empty() || months.back() != m)
            months.push_back(m);
    }
    EXPECT_EQ(months, (std::vector<int>{12, 1}));
    const Decoded first = decode(r.records.front()), last = decode(r.records.back());
    EXPECT_EQ(first.day, 31);
    EXPECT_EQ(last.day, 1);
    EXPECT_EQ(last.cycle, 1);
    const auto t = timeline(r);
    EXPECT_EQ(fromMillis(t.back()).year, 2025);
    for (std::size_t k = 1; k < t.size(); ++k)
        ASSERT_EQ(t[k] - t[k - 1], 10000) << k;
}

TEST(SimRecordings, FullRecordingCyclesThroughTheCounterAndMonths)
{
    const Recording r = makeRecording(RecordingKind::Full);
    ASSERT_EQ(r.records.size(), static_cast<std::size_t>(kMemoryRecords));
    std::set<int> cycles, months;
    for (const auto& rec : r.records) {
        const Decoded d = decode(rec);
        cycles.insert(d.cycle);
        months.insert(d.month);
    }
    EXPECT_EQ(cycles.size(), 4u);
    EXPECT_EQ(months, (std::set<int>{5, 6}));
    const auto t = timeline(r);
    EXPECT_EQ(t.back() - t.front(), (kMemoryRecords - 1) * 60000LL);
}

TEST(SimRecordings, FastStepsFiveMillisecondsWithThousandths)
{
    const Recording r = makeRecording(RecordingKind::Fast);
    const auto t = timeline(r);
    std::set<int> thousandths;
    for (const auto& rec : r.records)
        thousandths.insert(decode(rec).thousandths);
    EXPECT_EQ(thousandths, (std::set<int>{0, 5}));
    for (std::size_t k = 1; k < t.size(); ++k)
        ASSERT_EQ(t[k] - t[k - 1], 5) << k;
}

TEST(SimRecordings, HumidityIsPresentAndVaries)
{
    const Recording r = makeRecording(RecordingKind::Humidity);
    std::set<int> values;
    for (const auto& rec : r.records) {
        const int h = decode(rec).humidity;
        ASSERT_GT(h, 0);
        ASSERT_LE(h, 100);
        values.insert(h);
    }
    EXPECT_GT(values.size(), 10u);
}

TEST(SimRecordings, BadRecordingHasEachKindOfDamage)
{
    const Recording r = makeRecording(RecordingKind::Bad);
    EXPECT_GT(r.records.size(), static_cast<std::size_t>(kMemoryRecords));
    int shortOnes = 0, nonHex = 0, good = 0;
    for (const auto& rec : r.records) {
        if (rec.size() < 16)
            ++shortOnes;
        else if (!isUpperHexText(rec))
            ++nonHex;
        else
            ++good;
    }
    EXPECT_GT(shortOnes, 10);
    EXPECT_GT(nonHex, 10);
    EXPECT_GT(good, kMemoryRecords - 200);
}

TEST(SimRecordings, IrregularTimeRepeatsAndStepsBack)
{
    const auto t = timeline(makeRecording(RecordingKind::Irregular));
    int equal = 0, backwards = 0;
    for (std::size_t k = 1; k < t.size(); ++k) {
        equal += t[k] == t[k - 1];
        backwards += t[k] < t[k - 1];
    }
    EXPECT_EQ(equal, 1);
    EXPECT_EQ(backwards, 1);
}

TEST(SimRecordings, NamesRoundTrip)
{
    for (RecordingKind k : allRecordingKinds()) {
        RecordingKind back = RecordingKind::Default;
        ASSERT_TRUE(recordingFromName(recordingName(k), &back));
        EXPECT_EQ(back, k);
    }
    RecordingKind k;
    EXPECT_FALSE(recordingFromName("nonsense", &k));
}
