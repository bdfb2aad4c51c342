// Record decoder tests. Every expected line below was worked out by hand from
// the record's bit layout; the working is written next to each row.
//
// Layout reminder (bytes B0..B7 = positions 0-15, high nibble first):
//   B0 = mmmm cc DD   month, cycle counter, day bits 4-3
//   B1 = ddd hhhhh    day bits 2-0, hour
//   B2 = MMMMMM SS    minute, second bits 5-4
//   B3 = ssss tttt    second bits 3-0, tenths (the character at 7 is copied)
//   B4..B6 X, Y, Z signed; B7 whole degrees, one's complement
//   16-17 hundredths (hex), 18-19 humidity (hex), 20 thousandths (fast only)
#include "data/RecordDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zelt::records;

namespace {

const std::string kMarker = std::string("//\x81\xAB") + "Irregular Record //";

// Decoded line with the irregular lead byte in place of the year's first digit.
std::string flagged(const std::string& lineFromSecondChar)
{
    return std::string(1, '\x81') + lineFromSecondChar;
}

DecoderState freshState(int year = 2024)
{
    DecoderState st;
    st.reset(year);
    return st;
}

void expectSameState(const DecoderState& a, const DecoderState& b)
{
    EXPECT_EQ(a.year, b.year);
    EXPECT_EQ(a.month, b.month);
    EXPECT_EQ(a.prevMonth, b.prevMonth);
    EXPECT_EQ(a.cycle, b.cycle);
    EXPECT_EQ(a.cycleWrap, b.cycleWrap);
    EXPECT_EQ(a.dateKey, b.dateKey);
    EXPECT_EQ(a.prevDateKey, b.prevDateKey);
    EXPECT_EQ(a.timeKey, b.timeKey);
    EXPECT_EQ(a.prevTimeKey, b.prevTimeKey);
    EXPECT_EQ(a.irregular, b.irregular);
}

// May 19th 11:34:56.42, the reference record of most tables.
// B0 5A = 0101 10 10: month 5, cycle 2, day hi 2; B1 6B = 011 01011: day lo 3
// -> day 2*8+3 = 19, hour 11; B2 8B = 100010 11: minute 34, second hi 3;
// B3 85 = 1000 0101: second 3*16+8 = 56, tenths '5'; X 0C = 12,
// Y F6 = 246-256 = -10, Z 80 = -128; B7 FF = -1 -> " -0.5";
// hundredths 2A = 42; humidity 00 -> no column.
const char kMay19[] = "5A6B8B850CF680FF2A00";
const char kMay19Line[] = "2024/05/19 11:34:56.420, 12,-10,-128, -0.5";

struct RecordCase {
    const char* name;
    std::string raw;
    bool fast;
    std::string expected;
};

}  // namespace

// ---------------------------------------------------------------------------
// One record, fresh pass in 2024.

class SingleRecord : public ::testing::TestWithParam<RecordCase> {};

TEST_P(SingleRecord, DecodesToHandWorkedLine)
{
    const RecordCase& c = GetParam();
    DecoderState st = freshState();
    std::string out = "left over";
    EXPECT_EQ(decodeRecord(c.raw, c.fast, st, out), RecordStatus::Ok);
    EXPECT_EQ(out, c.expected);
    EXPECT_FALSE(st.irregular);
    EXPECT_EQ(st.year, 2024);
}

INSTANTIATE_TEST_SUITE_P(
    HandTable, SingleRecord,
    ::testing::Values(
        // See kMay19 above; minus zero keeps its sign: " -0." + '5'.
        RecordCase{"MinusZeroNoHumidity", kMay19, false, kMay19Line},

        // 10 43 10 55 00 7F 01 FE 06 2D
        // B0 10 = 0001 00 00: month 1, cycle 0, day hi 0; B1 43 = 010 00011:
        // day 2, hour 3; B2 10 = 000100 00: minute 4, second hi 0;
        // B3 55: second 5, tenths '5'; X 0, Y 127, Z 1; B7 FE = -2 -> -2+1 = -1
        // -> " -1.5"; hundredths 06; humidity 2D = 45 -> ",45".
        // Raw "2024/ 1/ 2  3: 4: 5. 60" -> blanks at 5,8,11,14,17,20 become '0'.
        RecordCase{"MinusOneWithHumidityAndZeroFill", "10431055007F01FE062D", false,
                   "2024/01/02 03:04:05.060,  0,127,  1, -1.5,45"},

        // CF F7 EF B3 FF 81 64 19 63 5f
        // B0 CF = 1100 11 11: month 12, cycle 3, day hi 3; B1 F7 = 111 10111:
        // day 3*8+7 = 31, hour 23; B2 EF = 111011 11: minute 59, second hi 3;
        // B3 B3 = 1011 0011: second 3*16+11 = 59, tenths '3'; X FF = -1,
        // Y 81 = -127, Z 64 = 100; B7 19 = 25 -> " 25.3"; hundredths 63 = 99;
        // humidity "5f" (lower case) = 95. No blanks to fill.
        RecordCase{"PositiveTemperatureTwoDigitFields", "CFF7EFB3FF816419635f", false,
                   "2024/12/31 23:59:59.990, -1,-127,100, 25.3,95"},

        // 16 characters: B3 87 (second 56, tenths bits 7) but no hundredths
        // field, so hundredths 0 and tenths '0'; B7 19 = 25 -> " 25.0".
        // ". 00" -> ".000".
        RecordCase{"SixteenCharacters", "5A6B8B870CF68019", false,
                   "2024/05/19 11:34:56.000, 12,-10,-128, 25.0"},

        // 17 characters: hundredths field "7" alone = 7, tenths '7' now copied.
        RecordCase{"OneDigitHundredths", "5A6B8B870CF680197", false,
                   "2024/05/19 11:34:56.070, 12,-10,-128, 25.7"},

        // 19 characters: hundredths 05, humidity field "A" alone = 10.
        RecordCase{"OneDigitHumidity", "5A6B8B870CF6801905A", false,
                   "2024/05/19 11:34:56.050, 12,-10,-128, 25.7,10"},

        // The optional fields are read up to their first character that is no
        // hex digit: the record is kept, not replaced by a bad-record line.
        // "G" at 16: hundredths field without a digit = 0; tenths '5' copied.
        RecordCase{"NonHexHundredths", "5A6B8B850CF680FFG", false,
                   "2024/05/19 11:34:56.000, 12,-10,-128, -0.5"},
        // "2G": the digit before the damage counts, hundredths 2.
        RecordCase{"NonHexSecondHundredthsDigit", "5A6B8B850CF680FF2G", false,
                   "2024/05/19 11:34:56.020, 12,-10,-128, -0.5"},
        // Humidity "0Z" = 0: no humidity column.
        RecordCase{"NonHexSecondHumidityDigit", "5A6B8B850CF680FF2A0Z", false, kMay19Line},
        // Humidity "2Z" = 2: the column stays, with the digit that arrived.
        RecordCase{"DamagedHumidityKeepsItsFirstDigit", "5A6B8B850CF680FF2A2Z", false,
                   "2024/05/19 11:34:56.420, 12,-10,-128, -0.5, 2"},
        // A trailing blank behind the fixed part.
        RecordCase{"TrailingBlank", "5A6B8B850CF680FF ", false,
                   "2024/05/19 11:34:56.000, 12,-10,-128, -0.5"},
        RecordCase{"TrailingBlankAfterHundredths", "5A6B8B850CF680FF2A ", false, kMay19Line},
        // A line terminator left on the record is no digit either.
        RecordCase{"CarriageReturn", "5A6B8B850CF680FF\r", false,
                   "2024/05/19 11:34:56.000, 12,-10,-128, -0.5"},
        // Fast sampling with no hex digit at 20: thousandths 0; a lower-case
        // digit counts like the optional fields' digits.
        RecordCase{"NonHexThousandthsWhenFast", "5A6B8B850CF680FF2A00Z", true, kMay19Line},
        RecordCase{"ColonThousandthsWhenFast", "5A6B8B850CF680FF2A00:", true, kMay19Line},
        RecordCase{"LowerCaseThousandthsWhenFast", "5A6B8B850CF680FF2A00a", true,
                   "2024/05/19 11:34:56.4210, 12,-10,-128, -0.5"},

        // Fast sampling: position 20 '7' -> thousandths 7 after hundredths 42.
        RecordCase{"FastSamplingThousandths", "5A6B8B850CF680FF2A007", true,
                   "2024/05/19 11:34:56.427, 12,-10,-128, -0.5"},

        // Same record without fast sampling: position 20 ignored, thousandths 0.
        RecordCase{"ThousandthsIgnoredWhenNotFast", "5A6B8B850CF680FF2A007", false,
                   kMay19Line},

        // Fast sampling on a 16-character record: nothing at 20, thousandths 0.
        RecordCase{"FastSamplingShortRecord", "5A6B8B870CF68019", true,
                   "2024/05/19 11:34:56.000, 12,-10,-128, 25.0"},

        // B3 89: second 56, tenths '9'; B7 80 = -128 -> -127 -> "-127.9".
        RecordCase{"LowestTemperature", "5A6B8B890CF6808000", false,
                   "2024/05/19 11:34:56.000, 12,-10,-128,-127.9"},

        // B7 00 -> "%3d" of 0 = "  0" -> "  0.9".
        RecordCase{"ZeroDegrees", "5A6B8B890CF6800000", false,
                   "2024/05/19 11:34:56.000, 12,-10,-128,  0.9"},

        // 200 characters, non-hex after position 20: only 0-19 are read.
        RecordCase{"LongLineReadsOnlyKnownPositions",
                   std::string(kMay19) + std::string(180, 'Z'), false, kMay19Line}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Year: grows when the month goes back, never on the first record.

TEST(DecoderYear, DecemberToJanuaryStartsTheNextYear)
{
    const PassResult r = decodePass(
        {
            "CFF7EFB3FF816419635f",  // Dec 31 23:59:59.99 (see the hand table), 2024
            "10431055007F01FE062D",  // Jan 2 03:04:05.06: month 1 < 12 -> 2025
            "10431055007F01FE072D",  // Jan 2 03:04:05.07: month 1 = 1 -> stays 2025
        },
        "2024", false);
    // Dec -> Jan: raw cycle 3 then 0, so the January date key is 4*10000+102 =
    // 40102 > 31231 and the earlier clock time is not taken as running back.
    const std::vector<std::string> expected = {
        "2024/12/31 23:59:59.990, -1,-127,100, 25.3,95",
        "2025/01/02 03:04:05.060,  0,127,  1, -1.5,45",
        "2025/01/02 03:04:05.070,  0,127,  1, -1.5,45",
    };
    EXPECT_EQ(r.lines, expected);
    EXPECT_EQ(r.records, 3);
    EXPECT_EQ(r.badRecords, 0);
    EXPECT_FALSE(r.irregular);
}

TEST(DecoderYear, FirstRecordKeepsTheStartYearAndEachPassStartsAgain)
{
    DecoderState st = freshState(2030);
    std::string out;
    // January, the lowest month: the first record still stays in 2030.
    ASSERT_EQ(decodeRecord("10431055007F01FE062D", false, st, out), RecordStatus::Ok);
    EXPECT_EQ(out, "2030/01/02 03:04:05.060,  0,127,  1, -1.5,45");
    EXPECT_EQ(st.prevMonth, 0);
    EXPECT_EQ(st.month, 1);

    // reset() starts a pass over: nothing of the record above is kept.
    st.reset(2031);
    expectSameState(st, freshState(2031));
    EXPECT_EQ(st.dateKey, 0);
    EXPECT_EQ(st.timeKey, 0);
    ASSERT_EQ(decodeRecord("10431055007F01FE062D", false, st, out), RecordStatus::Ok);
    EXPECT_EQ(out, "2031/01/02 03:04:05.060,  0,127,  1, -1.5,45");  // same stamp, not flagged
}

TEST(DecoderYear, LeadingYearTakesLeadingDigits)
{
    EXPECT_EQ(leadingYear("2024"), 2024);
    EXPECT_EQ(leadingYear("2024/05/19"), 2024);
    EXPECT_EQ(leadingYear("0999"), 999);
    EXPECT_EQ(leadingYear(""), 0);
    EXPECT_EQ(leadingYear("abc"), 0);
    EXPECT_EQ(leadingYear(" 2024"), 0);
    EXPECT_EQ(leadingYear("1234567890123"), 123456789);  // at most nine digits

    // No year at all: "%4d" of 0 is "   0" (the year is not zero-filled).
    // 16-character record from the hand table.
    EXPECT_EQ(decodePass({"5A6B8B870CF68019"}, "", false).lines,
              std::vector<std::string>{"   0/05/19 11:34:56.000, 12,-10,-128, 25.0"});
}

// ---------------------------------------------------------------------------
// Irregular time: a second record decoded right after a first one.

struct PairCase {
    const char* name;
    std::string first;
    std::string second;
    std::string expectedSecond;
    bool irregular;
};

class IrregularTime : public ::testing::TestWithParam<PairCase> {};

TEST_P(IrregularTime, SecondRecordOfPair)
{
    const PairCase& c = GetParam();
    DecoderState st = freshState();
    std::string out;
    ASSERT_EQ(decodeRecord(c.first, false, st, out), RecordStatus::Ok);
    const RecordStatus s = decodeRecord(c.second, false, st, out);
    EXPECT_EQ(out, c.expectedSecond);
    EXPECT_EQ(st.irregular, c.irregular);
    EXPECT_EQ(s, c.irregular ? RecordStatus::Irregular : RecordStatus::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    HandTable, IrregularTime,
    ::testing::Values(
        // Same stamp twice: time key 11*10^7+34*10^5+56*1000+42*10 = 113456420
        // both times, date key 2*10000+5*100+19 = 20519 both times -> flagged.
        PairCase{"EqualStamps", kMay19, kMay19,
                 flagged("024/05/19 11:34:56.420, 12,-10,-128, -0.5"), true},

        // Hundredths 29 = 41: 113456410 < 113456420 on the same date -> flagged.
        PairCase{"EarlierSameDay", kMay19, "5A6B8B850CF680FF2900",
                 flagged("024/05/19 11:34:56.410, 12,-10,-128, -0.5"), true},

        // Hundredths 2B = 43: 113456430 > 113456420 -> in order.
        PairCase{"LaterSameDay", kMay19, "5A6B8B850CF680FF2B00",
                 "2024/05/19 11:34:56.430, 12,-10,-128, -0.5", false},

        // 5A 81 00 01 00 00 00 14 00: B0 5A month 5 cycle 2 day hi 2;
        // B1 81 = 100 00001: day 2*8+4 = 20, hour 1; minute 0; B3 01: second 0,
        // tenths '1'; B7 14 = 20. Earlier clock (10000000) but date key
        // 20520 > 20519 -> in order.
        PairCase{"EarlierClockNextDay", kMay19, "5A8100010000001400",
                 "2024/05/20 01:00:00.000,  0,  0,  0, 20.1", false},

        // 5A 00 ...: month 5 cycle 2, day 2*8+0 = 16, 00:00:00, 16 chars.
        // Time key 0 before the second record -> never flagged.
        PairCase{"MidnightTwiceNotFlagged", "5A00000000000000", "5A00000000000000",
                 "2024/05/16 00:00:00.000,  0,  0,  0,  0.0", false},

        // 00 01 00 ...: month 0, cycle 0, day 0, hour 1 -> date key 0, time
        // key 10000000 twice. Date key 0 but month unchanged (0) -> flagged.
        // "2024/ 0/ 0  1: 0: 0. 00" zero-filled.
        PairCase{"EmptyDateSameMonth", "0001000000000000", "0001000000000000",
                 flagged("024/00/00 01:00:00.000,  0,  0,  0,  0.0"), true},

        // After May (month 5) an empty date (month 0): year 2025 since 0 < 5;
        // time 10000000 <= 113456420 and date 0 <= 20519, but date key 0 and
        // month changed -> not flagged.
        PairCase{"EmptyDateAfterMonthChange", kMay19, "0001000000000000",
                 "2025/00/00 01:00:00.000,  0,  0,  0,  0.0", false}),
    [](const ::testing::TestParamInfo<PairCase>& info) { return std::string(info.param.name); });

TEST(DecoderPass, IrregularMarkerBeforeFirstIrregularAndEveryLaterRecord)
{
    const PassResult r = decodePass(
        {
            kMay19,                  // 11:34:56.42
            kMay19,                  // same stamp -> irregular, 0x81 lead byte
            "5A6B8B850CF680FF2B00",  // 11:34:56.43, in order but the pass is irregular
            "5A6B",                  // bad: no marker before a bad-record line
        },
        "2024", false);
    const std::vector<std::string> expected = {
        kMay19Line,
        kMarker,
        flagged("024/05/19 11:34:56.420, 12,-10,-128, -0.5"),
        kMarker,
        "2024/05/19 11:34:56.430, 12,-10,-128, -0.5",
        "//Bad Record: 5A6B //",
    };
    EXPECT_EQ(r.lines, expected);
    EXPECT_TRUE(r.irregular);
    EXPECT_EQ(r.records, 3);
    EXPECT_EQ(r.badRecords, 1);
}

TEST(DecoderPass, RegularPassHasNoMarker)
{
    const PassResult r = decodePass({kMay19, "5A6B8B850CF680FF2B00"}, "2024", false);
    EXPECT_EQ(r.lines, (std::vector<std::string>{kMay19Line,
                                                 "2024/05/19 11:34:56.430, 12,-10,-128, -0.5"}));
    EXPECT_FALSE(r.irregular);
}

// ---------------------------------------------------------------------------
// Hundredths of 100 or more: the pass turns irregular, the line is not marked.

struct HundredthsCase {
    const char* name;
    std::string raw;
    std::string expected;
    RecordStatus status;
};

class Hundredths : public ::testing::TestWithParam<HundredthsCase> {};

TEST_P(Hundredths, IrregularFromOneHundred)
{
    const HundredthsCase& c = GetParam();
    DecoderState st = freshState();
    std::string out;
    EXPECT_EQ(decodeRecord(c.raw, false, st, out), c.status);
    EXPECT_EQ(out, c.expected);
    EXPECT_EQ(st.irregular, c.status == RecordStatus::Irregular);
}

INSTANTIATE_TEST_SUITE_P(
    HandTable, Hundredths,
    ::testing::Values(
        // kMay19 with hundredths 63 = 99: still regular.
        HundredthsCase{"NinetyNine", "5A6B8B850CF680FF63", "2024/05/19 11:34:56.990, 12,-10,-128, -0.5",
                       RecordStatus::Ok},
        // 64 = 100: "%2d" -> "100", then thousandths "0"; lead byte stays '2'.
        HundredthsCase{"OneHundred", "5A6B8B850CF680FF64", "2024/05/19 11:34:56.1000, 12,-10,-128, -0.5",
                       RecordStatus::Irregular},
        // "ff" (lower case) = 255.
        HundredthsCase{"TwoFiftyFive", "5A6B8B850CF680FFff",
                       "2024/05/19 11:34:56.2550, 12,-10,-128, -0.5", RecordStatus::Irregular}),
    [](const ::testing::TestParamInfo<HundredthsCase>& info) { return std::string(info.param.name); });

TEST(DecoderPass, HundredthsIrregularMarksFromThatRecordOn)
{
    const PassResult r = decodePass(
        {
            "5A6B8B850CF680FF64",    // hundredths 100: flag set while decoding it
            // 5A 6B 8F 85 ...: B2 8F = 100011 11: minute 35, second hi 3 ->
            // 11:35:56.42, time key 113556420 > 113457000 (11:34:56 + 100*10).
            "5A6B8F850CF680FF2A00",
        },
        "2024", false);
    const std::vector<std::string> expected = {
        kMarker,
        "2024/05/19 11:34:56.1000, 12,-10,-128, -0.5",
        kMarker,
        "2024/05/19 11:35:56.420, 12,-10,-128, -0.5",
    };
    EXPECT_EQ(r.lines, expected);
    EXPECT_TRUE(r.irregular);
}

// ---------------------------------------------------------------------------
// Cycle counter wrap.

// 5E 77 00 01 00 00 00 14 00: B0 5E = 0101 11 10: month 5, cycle 3, day hi 2;
// B1 77 = 011 10111: day 19, hour 23; 00:00; B3 01 tenths '1'; B7 14 = 20.
const char kMay19Cycle3[] = "5E7700010000001400";
// 52 81 ...: B0 52 = 0101 00 10: month 5, cycle 0, day hi 2; B1 81: day 20, hour 1.
const char kMay20Cycle0[] = "528100010000001400";
// 56 A0 78 01 ...: B0 56 = 0101 01 10: month 5, cycle 1; B1 A0 = 101 00000:
// day 21, hour 0; B2 78 = 011110 00: minute 30.
const char kMay21Cycle1[] = "56A078010000001400";

TEST(DecoderCycle, WrapFromThreeToZeroKeepsLaterDaysInOrder)
{
    DecoderState st = freshState();
    std::string out;

    ASSERT_EQ(decodeRecord(kMay19Cycle3, false, st, out), RecordStatus::Ok);
    EXPECT_EQ(out, "2024/05/19 23:00:00.000,  0,  0,  0, 20.1");
    EXPECT_EQ(st.dateKey, 30519);       // 3*10000 + 5*100 + 19
    EXPECT_EQ(st.timeKey, 230000000);   // 23*10^7

    // Raw 0 after combined 3: wrap 4, cycle 4; date 40520 > 30519 although
    // 01:00 is earlier than 23:00.
    ASSERT_EQ(decodeRecord(kMay20Cycle0, false, st, out), RecordStatus::Ok);
    EXPECT_EQ(out, "2024/05/20 01:00:00.000,  0,  0,  0, 20.1");
    EXPECT_EQ(st.cycleWrap, 4);
    EXPECT_EQ(st.cycle, 4);
    EXPECT_EQ(st.dateKey, 40520);
    EXPECT_EQ(st.timeKey, 10000000);

    // The wrap stays: raw 1 -> cycle 5, date 50521 > 40520 (00:30 < 01:00).
    ASSERT_EQ(decodeRecord(kMay21Cycle1, false, st, out), RecordStatus::Ok);
    EXPECT_EQ(out, "2024/05/21 00:30:00.000,  0,  0,  0, 20.1");
    EXPECT_EQ(st.cycle, 5);
    EXPECT_EQ(st.dateKey, 50521);
    EXPECT_EQ(st.timeKey, 3000000);     // 30*10^5
    EXPECT_FALSE(st.irregular);
}

TEST(DecoderCycle, NoWrapWhenCounterWasNotThree)
{
    // 5A 77 ...: as kMay19Cycle3 but cycle 2 (B0 0101 10 10). Then raw 0
    // after combined 2: no wrap, date 520 < 20519 and 01:00 < 23:00 -> flagged.
    const PassResult r = decodePass({"5A7700010000001400", kMay20Cycle0}, "2024", false);
    const std::vector<std::string> expected = {
        "2024/05/19 23:00:00.000,  0,  0,  0, 20.1",
        kMarker,
        flagged("024/05/20 01:00:00.000,  0,  0,  0, 20.1"),
    };
    EXPECT_EQ(r.lines, expected);
    EXPECT_TRUE(r.irregular);
}

// ---------------------------------------------------------------------------
// Records that cannot be decoded.

struct BadCase {
    const char* name;
    std::string raw;
    bool fast;
    std::string expectedLine;
};

class BadRecord : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadRecord, GivesBadLineAndLeavesStateAlone)
{
    const BadCase& c = GetParam();
    DecoderState st = freshState();
    std::string out;
    ASSERT_EQ(decodeRecord(kMay19, false, st, out), RecordStatus::Ok);
    const DecoderState before = st;

    EXPECT_EQ(decodeRecord(c.raw, c.fast, st, out), RecordStatus::Bad);
    EXPECT_EQ(out, c.expectedLine);
    expectSameState(st, before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadRecord,
    ::testing::Values(
        BadCase{"Empty", "", false, "//Bad Record:  //"},
        BadCase{"FifteenCharacters", "5A6B8B850CF680F", false, "//Bad Record: 5A6B8B850CF680F //"},
        BadCase{"LetterPastF", "5A6B8B850CG680FF", false, "//Bad Record: 5A6B8B850CG680FF //"},
        BadCase{"LowerCaseInFixedPart", "5a6B8B850CF680FF", false,
                "//Bad Record: 5a6B8B850CF680FF //"},
        // ':' and '@' sit between '9' and 'A': by the digit rule alone they
        // would read as 3 and 9, yet they are not digits of a record.
        BadCase{"ColonInFixedPart", "5A6B8B850CF680:F", false, "//Bad Record: 5A6B8B850CF680:F //"},
        BadCase{"AtSignInFixedPart", "@A6B8B850CF680FF", false, "//Bad Record: @A6B8B850CF680FF //"},
        BadCase{"SpaceInFixedPart", "5A6B8B85 CF680FF", false, "//Bad Record: 5A6B8B85 CF680FF //"},
        BadCase{"HighByteInFixedPart", std::string("5A6B8B850CF680F") + '\x8F', false,
                "//Bad Record: 5A6B8B850CF680F? //"},
        // Only the first 64 characters are shown.
        BadCase{"LongGarbageIsCut", std::string(100, 'Z'), false,
                "//Bad Record: " + std::string(64, 'Z') + "... //"},
        BadCase{"SixtyFourShownWhole", std::string(64, 'Z'), false,
                "//Bad Record: " + std::string(64, 'Z') + " //"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

TEST(DecoderBadRecord, GarbageAtThousandthsIsFineWithoutFastSampling)
{
    DecoderState st = freshState();
    std::string out;
    EXPECT_EQ(decodeRecord("5A6B8B850CF680FF2A00Z", false, st, out), RecordStatus::Ok);
    EXPECT_EQ(out, kMay19Line);
}

TEST(DecoderPass, BadRecordsAreCountedAndDoNotDisturbTheNextRecord)
{
    const PassResult r = decodePass(
        {
            kMay19,
            "CF00000000000Z00",      // month 12 if read: would make May the next year
            "5A6B",                  // too short
            "5A6B8B850CF6:0FF2A00",  // same stamp as kMay19 if read: would flag the pass
            "5A8100010000001400",    // May 20 01:00:00, tenths '1', 20 degrees
        },
        "2024", false);
    const std::vector<std::string> expected = {
        kMay19Line,
        "//Bad Record: CF00000000000Z00 //",
        "//Bad Record: 5A6B //",
        "//Bad Record: 5A6B8B850CF6:0FF2A00 //",
        "2024/05/20 01:00:00.000,  0,  0,  0, 20.1",
    };
    EXPECT_EQ(r.lines, expected);
    EXPECT_EQ(r.records, 2);
    EXPECT_EQ(r.badRecords, 3);
    EXPECT_FALSE(r.irregular);
}

// ---------------------------------------------------------------------------
// Pass plumbing.

TEST(DecoderPass, FastSamplingReachesEveryRecord)
{
    // Thousandths 7 then 8 at position 20.
    const PassResult r =
        decodePass({"5A6B8B850CF680FF2A007", "5A6B8B850CF680FF2A008"}, "2024", true);
    EXPECT_EQ(r.lines, (std::vector<std::string>{"2024/05/19 11:34:56.427, 12,-10,-128, -0.5",
                                                 "2024/05/19 11:34:56.428, 12,-10,-128, -0.5"}));
    EXPECT_FALSE(r.irregular);
}

TEST(DecoderPass, ProgressEveryHundredLines)
{
    // 250 midnight records: time key 0 each, so none is flagged (see the
    // pair table); one bad line in the middle still counts as handled.
    std::vector<std::string> raw(250, "5A00000000000000");
    raw[120] = "bad";
    std::vector<int> calls;
    const PassResult r = decodePass(raw, "2024", false, [&](int n) { calls.push_back(n); });
    // count + 2 - i for record i, when a multiple of 100: 200 at i = 52, 100 at i = 152.
    EXPECT_EQ(calls, (std::vector<int>{200, 100}));
    EXPECT_EQ(r.records, 249);
    EXPECT_EQ(r.badRecords, 1);
    EXPECT_EQ(r.lines.size(), 250u);
    EXPECT_EQ(r.lines[120], "//Bad Record: bad //");
    EXPECT_EQ(r.lines[249], "2024/05/16 00:00:00.000,  0,  0,  0,  0.0");
    EXPECT_FALSE(r.irregular);
}

TEST(DecoderPass, EmptyDownload)
{
    int calls = 0;
    const PassResult r = decodePass({}, "2024", false, [&](int) { ++calls; });
    EXPECT_TRUE(r.lines.empty());
    EXPECT_EQ(r.records, 0);
    EXPECT_EQ(r.badRecords, 0);
    EXPECT_FALSE(r.irregular);
    EXPECT_EQ(calls, 0);
}
