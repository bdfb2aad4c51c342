// The parameter forms, code tables and value formats of the settings
// commands, checked without any widget.
#include "link/Protocol.h"
#include "settings/CommandText.h"
#include "shell/SharedState.h"

#include <gtest/gtest.h>
#include <climits>
#include <optional>
#include <stdexcept>

using namespace zelt;

namespace {

// The message a text that is not an integer raises, or nullopt when none.
std::optional<std::string> errorOf(const std::function<void()>& run)
{
    try {
        run();
    } catch (const std::runtime_error& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

TEST(TrimRight, RemovesTrailingBlanksAndControlsOnly)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"ABC  ", "ABC"}, {"  12", "  12"}, {" 1 2 \t\r\n", " 1 2"}, {"", ""}, {"   ", ""}, {"a\x01", "a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trimRightText(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(ParseInteger, AcceptsDecimalIntegersWithLeadingBlanksAndSign)
{
    const struct {
        const char* in;
        int value;
    } cases[] = {
        {"0", 0},        {"42", 42},    {"-7", -7},           {"+5", 5},
        {"  12", 12},    {"\t3", 3},    {"007", 7},           {"-0", 0},
        {"2147483647", INT_MAX},       {"-2147483648", INT_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseInteger(QString::fromLatin1(c.in)), c.value) << c.in;
}

TEST(ParseInteger, RefusesEverythingElseWithTheInvalidIntegerMessage)
{
    const char* const cases[] = {"", " ", "abc", "12a", "1 2", "12 ", "-", "+", "--1", "1.5", "0x10",
                                 "2147483648", "-2147483649", "99999999999999999999"};
    for (const char* in : cases) {
        const auto error = errorOf([in] { parseInteger(QString::fromLatin1(in)); });
        ASSERT_TRUE(error.has_value()) << in;
        EXPECT_EQ(*error, "'" + std::string(in) + "' is not a valid integer value");
    }
    // Full-width digits are not decimal digits here.
    EXPECT_TRUE(errorOf([] { parseInteger(QStringLiteral("１２")); }).has_value());
}

TEST(SignedTwoDigits, SignThenTensThenOneDigit)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"5", "05"},     {"-7", "-07"},  {"0", "00"},     {"123", "123"},   {"-3", "-03"},
        {"12", "12"},    {" 05", "05"},  {"-10", "-10"},  {"9  ", "09"},    {"-0", "00"},
        {"-123", "-123"}, {"-2147483648", "-2147483648"}, {"2147483647", "2147483647"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatSignedTwoDigits(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
    EXPECT_EQ(*errorOf([] { formatSignedTwoDigits(QStringLiteral("x1")); }), "'x1' is not a valid integer value");
    EXPECT_TRUE(errorOf([] { formatSignedTwoDigits(QStringLiteral("")); }).has_value());
}

TEST(Toggle, OnSwitchesOffAndAnythingElseSwitchesOn)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"ON", "00"}, {"ON  ", "00"}, {"OFF", "01"}, {"0", "01"}, {"", "01"}, {"on", "01"}, {" ON", "01"}};
    for (const auto& c : cases)
        EXPECT_EQ(toggleParameter(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(Raw, TrailingBlanksGoTheRestStays)
{
    EXPECT_EQ(rawParameter(QStringLiteral("ABC  ")), QStringLiteral("ABC"));
    EXPECT_EQ(rawParameter(QStringLiteral(" -12 x")), QStringLiteral(" -12 x"));
    EXPECT_EQ(rawParameter(QStringLiteral("")), QString());
}

TEST(RecordDigits, ThousandsThenHundredsDigit)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"1500", "15"}, {"900", "09"}, {"12345", "123"}, {"2500", "25"}, {"50", "00"},
        {"0", "00"},    {"99", "00"},  {"100", "01"},    {"1000 ", "10"}, {"1999", "19"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatRecordDigits(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(RecordDigits, NegativeValuesAndNonIntegersAreRefused)
{
    // A negative value would give digits with their own signs ("-2-5").
    EXPECT_EQ(*errorOf([] { formatRecordDigits(QStringLiteral("-2500")); }), "'-2500' is not a valid record value");
    EXPECT_TRUE(errorOf([] { formatRecordDigits(QStringLiteral("-1")); }).has_value());
    EXPECT_EQ(*errorOf([] { formatRecordDigits(QStringLiteral("2,500")); }), "'2,500' is not a valid integer value");
}

TEST(SamplingCode, FourteenSendableRowsAndZeroForAnythingElse)
{
    // Every sendable row maps back to its own code.
    for (const char code : std::string("23456789ABCDEF"))
        EXPECT_EQ(samplingCodeFor(samplingTextFor(code)), code) << code;
    const struct {
        QString text;
        char code;
    } cases[] = {
        {QStringLiteral("Trace(32Hz)"), '4'}, {QStringLiteral("8Hz"), '2'},     {QStringLiteral("1mTRC"), 'F'},
        {QStringLiteral("20msec"), '6'},      {QStringLiteral("0.5秒"), '0'},   {QStringLiteral("0.16秒"), '0'},
        {QStringLiteral("Real(16Hz)"), '0'},  {QStringLiteral("R"), '0'},       {QStringLiteral(""), '0'},
        {QStringLiteral("1mtrc"), '0'},       {QStringLiteral("8Hz "), '0'},
    };
    for (const auto& c : cases)
        EXPECT_EQ(samplingCodeFor(c.text), c.code) << c.text.toStdString();
}

TEST(IntervalText, ExactRowOrNone)
{
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(intervalIndexForText(QString::fromLatin1(intervalTextFor(i))), i);
    EXPECT_EQ(kIntervalCodes[intervalIndexForText(QStringLiteral("15sec"))], 'd');
    EXPECT_EQ(kIntervalCodes[intervalIndexForText(QStringLiteral("30min"))], '^');
    for (const char* text : {"", "???", "1SEC", "1 sec", "10min ", "60min"})
        EXPECT_EQ(intervalIndexForText(QString::fromLatin1(text)), -1) << text;
}

TEST(IntervalCycling, MinutesCycleAndSecondsReturnToTheStart)
{
    const struct {
        int from;
        int to;
    } cases[] = {{0, 1}, {7, 8}, {8, 0}, {9, 10}, {13, 14}, {14, 0}, {-1, 0}, {15, 0}, {40, 0}, {-5, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(nextIntervalIndex(c.from), c.to) << c.from;

    // Nine presses from the start visit the nine minute intervals once.
    QByteArray codes;
    int index = 0;
    for (int press = 0; press < 9; ++press) {
        index = nextIntervalIndex(index);
        codes += kIntervalCodes[index];
    }
    EXPECT_EQ(codes, QByteArray("BCDEJOT^A"));
}

TEST(IdAndWaitValues, RangeDigitsAndEmptyText)
{
    const struct {
        const char* in;
        const char* id;
        const char* wait;
    } cases[] = {
        {"", "000", "00"},     {"7", "007", "07"},    {"42", "042", "42"},  {"255", "255", "00"},
        {"256", "000", "00"},  {"300", "000", "00"},  {"-1", "000", "00"},  {"99", "099", "99"},
        {"100", "100", "00"},  {"9", "009", "09"},    {"5", "005", "05"},   {"0", "000", "00"},
        {"2147483647", "000", "00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatIdValue(QString::fromLatin1(c.in)), QString::fromLatin1(c.id)) << c.in;
        EXPECT_EQ(formatWaitValue(QString::fromLatin1(c.in)), QString::fromLatin1(c.wait)) << c.in;
    }
    for (const char* in : {"abc", " ", "1a", "99999999999"}) {
        EXPECT_TRUE(errorOf([in] { formatIdValue(QString::fromLatin1(in)); }).has_value()) << in;
        EXPECT_TRUE(errorOf([in] { formatWaitValue(QString::fromLatin1(in)); }).has_value()) << in;
    }
}

TEST(RangeCounts, TableAndOtherIntegers)
{
    const struct {
        const char* text;
        int counts;
    } cases[] = {{"0", 1},   {"00", 1},  {"1", 100}, {"01", 100}, {"2", 50},  {"02", 50},
                 {"10", 10}, {"20", 5},  {"50", 2},  {"3", 10},   {"-1", 10}, {"100", 10}};
    for (const auto& c : cases)
        EXPECT_EQ(countsPerGForRange(QString::fromLatin1(c.text)), c.counts) << c.text;
    EXPECT_EQ(*errorOf([] { countsPerGForRange(QStringLiteral("x")); }), "'x' is not a valid integer value");
}

TEST(ConfigFileName, IdBetweenPrefixAndExtension)
{
    EXPECT_EQ(configFileName(QStringLiteral("12")), QStringLiteral("Config-zelt12.txt"));
    EXPECT_EQ(configFileName(QStringLiteral("00")), QStringLiteral("Config-zelt00.txt"));
    EXPECT_EQ(configFileName(QString()), QStringLiteral("Config-zelt.txt"));
}

}  // namespace
