// The online capture: duration, sample decoding, time prefix, temperature
// column and line format on their own; then the "5ms" button, the stream and
// the listing through the whole tool on the in-memory port; last one capture
// from the simulated logger over a real pseudo-terminal.
#include "tests/monitor/MonitorTool.h"
#include "tests/SimulatedTool.h"

#include "data/OnlineCapture.h"
#include "link/QtComPort.h"
#include "platform/PortDirectory.h"
#include "sim/Simulator.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>

using namespace zelt;
using namespace zelt::test;

namespace {

const QByteArray kReply = "X=    5 Y=  -12 Z=   20       p=25.3C";
const QString kPrompt = QStringLiteral("オンラインデータ取得します。秒数を指定してください");
const QDateTime kStart(QDate(2024, 1, 5), QTime(12, 34, 56));

// ---------------------------------------------------------------------------
// The plain functions.

TEST(CaptureSeconds, EnteredTextIsClampedOrTakenAsTen)
{
    const std::vector<std::pair<QString, int>> table = {
        {"2", 5},      {"1000", 360},  {"abc", 10},  {"30", 30},    {"5", 5},        {"360", 360},
        {"361", 360},  {"4", 5},       {"0", 5},     {"-3", 5},     {" 45 ", 45},    {"+20", 20},
        {"", 10},      {"-", 10},      {"12x", 10},  {"1 2", 10},   {"3.5", 10},     {"99999999999999999999", 360},
        {"-99999999999999999999", 5},  {QStringLiteral("３０"), 30}};
    for (const auto& [text, seconds] : table)
        EXPECT_EQ(captureSeconds(text), seconds) << '"' << text.toStdString() << '"';
}

TEST(DecodeSample, PairsOfHexDigitsAreSignedBytes)
{
    struct Case {
        std::string row;
        std::optional<std::array<int, 3>> xyz;
    };
    const std::vector<Case> table = {
        {"\n7F8001", std::array{127, -128, 1}},
        {"\n7f80ff", std::array{127, -128, -1}},
        {"\n000000", std::array{0, 0, 0}},
        {"\nFFFEaB", std::array{-1, -2, -85}},
        {"x0A0B0C", std::array{10, 11, 12}},  // the separator is not looked at
        {"\n7G8001", std::nullopt},
        {"\n7F80 1", std::nullopt},
        {"\n7F800", std::nullopt},    // short
        {"\n7F80011", std::nullopt},  // long
        {"7F8001", std::nullopt},     // no separator
        {"", std::nullopt},
    };
    for (const Case& c : table) {
        const std::optional<CaptureSample> s = decodeSample(c.row);
        ASSERT_EQ(s.has_value(), c.xyz.has_value()) << c.row;
        if (s) {
            EXPECT_EQ((std::array{s->x, s->y, s->z}), *c.xyz) << c.row;
        }
    }
}

TEST(CaptureTimePrefix, DateHoursAndMinutesOfTheStart)
{
    const std::vector<std::pair<std::string, std::string>> table = {
        {"2024/01/05 12:34:56", "2024/01/05 12:34:"},
        {"2024/01/05 9:34:56", "2024/01/05  9:34:"},  // one-digit hour
        {"2024/01/05 00:00:00", "2024/01/05 00:00:"},
        {"2024/01/05", "2024/01/05"},
        {"", ""},
    };
    for (const auto& [start, prefix] : table)
        EXPECT_EQ(captureTimePrefix(start), prefix) << start;
}

TEST(CaptureTemperature, FivePlacesFromTheReadingReply)
{
    const std::string fields = "X=    5 Y=  -12 Z=   20       p=";
    ASSERT_EQ(fields.size(), 32u);
    const std::vector<std::pair<std::string, std::string>> table = {
        {fields + "25.3C", " 25.3"},
        {fields + "-12.5", "-12.5"},  // a field beginning with "-" stays as it is
        {fields + " 5.2C", "  5.2"},
        {fields + "-5.2C", " -5.2"},  // the unit never reaches the column
        {fields + "25.3C and more", " 25.3"},
        {fields + "25.3", " 25.3"},
        {fields + "7", "    7"},
        {fields, ""},
        {"", ""},
    };
    for (const auto& [reply, text] : table)
        EXPECT_EQ(captureTemperature(reply), text) << reply;
}

TEST(CaptureSampleLine, ElapsedSecondsFollowTheStartsMinutes)
{
    const CaptureSample s{127, -128, 1};
    const std::string prefix = "2024/01/05 12:34:";
    EXPECT_EQ(captureSampleLine(prefix, 1, s, " 25.3"), "2024/01/05 12:34:00.005,127,-128,  1, 25.3");
    const std::vector<std::pair<int, std::string>> times = {
        {1, "00.005"}, {199, "00.995"}, {200, "01.000"}, {201, "01.005"},
        {19999, "99.995"}, {20000, "100.000"}, {71999, "359.995"}, {72000, "360.000"}};
    for (const auto& [row, elapsed] : times)
        EXPECT_EQ(captureSampleLine(prefix, row, CaptureSample{0, -5, 12}, "-12.5"),
                  prefix + elapsed + ",  0, -5, 12,-12.5")
            << row;
    EXPECT_EQ(captureSampleLine(prefix, 3, s, ""), "2024/01/05 12:34:00.015,127,-128,  1,");
}

TEST(BadSampleLine, ShowsTheRowWithoutSeparatorInPrintableCharacters)
{
    EXPECT_EQ(badSampleLine("\n7G8001"), "//Bad Sample: 7G8001 //");
    EXPECT_EQ(badSampleLine(std::string_view("\n7F\x01\x80" "01", 7)), "//Bad Sample: 7F??01 //");
    EXPECT_EQ(badSampleLine(""), "//Bad Sample:  //");
}

// ---------------------------------------------------------------------------
// Through the tool.

QByteArray sample(int x, int y, int z)
{
    return QString::asprintf("\n%02X%02X%02X\r", x & 0xFF, y & 0xFF, z & 0xFF).toLatin1();
}

// Samples whose X counts up from 0 to 127 and round again, so that every
// listed line shows which row it came from.
QByteArray stream(int count, int firstRow = 1)
{
    QByteArray out;
    out.reserve(count * kSampleBytes);
    for (int row = firstRow; row < firstRow + count; ++row)
        out += sample(row % 128, -(row % 100), 3);
    return out;
}

QByteArray expectedLine(int row, const char* temperature = " 25.3")
{
    const std::string line = captureSampleLine("2024/01/05 12:34:", row, CaptureSample{row % 128, -(row % 100), 3},
                                               temperature);
    return QByteArray::fromStdString(line);
}

// The tool with the reading reply answered while the input box is open.
struct CaptureTool : MonitorTool {
    TestClock clock{kStart};

    explicit CaptureTool(std::optional<QString> answer = QStringLiteral("2"))
    {
        dialogs.inputs.push_back(answer);
        dialogs.whileAsking = [this] { send(kReply + "\r\n#"); };
    }
    void start()
    {
        f->Button40->click();
        clock.now = kStart.addSecs(7);
    }
};

TEST(CaptureButton, CancelledInputBoxLeavesTheReplyAndStartsNothing)
{
    CaptureTool t(std::nullopt);
    TForm1& f = *t.f;
    f.Memo1->addLine("earlier data set");
    t.start();
    EXPECT_EQ(t.dialogs.inputCaptions, QStringList{QStringLiteral("5msec")});
    EXPECT_EQ(t.dialogs.inputPrompts, QStringList{kPrompt});
    EXPECT_EQ(t.dialogs.initialValues, QStringList{QStringLiteral("30")});
    EXPECT_EQ(t.port.takeWritten(), QByteArray("n"));
    EXPECT_EQ(t.memo(), std::vector<QByteArray>{kReply});
    EXPECT_EQ(f.onlineRow, 0);
    EXPECT_TRUE(f.ProgressBar1->isHidden());
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(f.Timer1->interval(), 1000);  // started again by the reply's end mark
}

TEST(CaptureButton, StartsTheStreamWithTheListingsHeader)
{
    CaptureTool t(QStringLiteral("abc"));
    TForm1& f = *t.f;
    f.countsPerG = 50;
    f.Timer1->setInterval(2000);
    t.start();
    EXPECT_EQ(t.port.takeWritten(), QByteArray("nx"));
    EXPECT_EQ(f.onlineSampleCount, 2000);
    EXPECT_EQ(f.onlineRow, 1);
    EXPECT_EQ(f.onlineColumn, 0);
    EXPECT_EQ(f.savedTimerInterval, 2000);
    EXPECT_EQ(f.Timer1->interval(), 0);
    EXPECT_TRUE(t.port.Open());
    EXPECT_FALSE(f.ProgressBar1->isHidden());
    EXPECT_EQ(f.ProgressBar1->maximum(), 2000);
    EXPECT_EQ(f.ProgressBar1->value(), 0);
    EXPECT_EQ(f.captureStartText, QStringLiteral("2024/01/05 12:34:56"));
    EXPECT_EQ(t.memo(), (std::vector<QByteArray>{"Start Time=2024/01/05 12:34:56 @1G=50", kReply}));
}

struct DurationCase {
    const char* entered;
    int samples;
};
void PrintTo(const DurationCase& c, std::ostream* os) { *os << '"' << c.entered << '"'; }

class CaptureDuration : public ::testing::TestWithParam<DurationCase> {};

TEST_P(CaptureDuration, ListsAllSamplesButTheLast)
{
    const DurationCase& c = GetParam();
    CaptureTool t(QString::fromLatin1(c.entered));
    TForm1& f = *t.f;
    f.Timer1->setInterval(1000);
    const int height = f.height();
    t.start();
    ASSERT_EQ(f.onlineSampleCount, c.samples);
    t.port.takeWritten();

    t.send(stream(c.samples), 4096);

    EXPECT_EQ(f.onlineRow, 0);
    EXPECT_EQ(t.port.takeWritten(), QByteArray(" "));
    // The port waits for the logger's end mark to the blank; samples still
    // on their way are no part of the listing.
    EXPECT_TRUE(t.port.Open());
    t.send(stream(3).mid(8) + "#");
    EXPECT_FALSE(t.port.Open());
    const std::vector<QByteArray> memo = t.memo();
    ASSERT_EQ(memo.size(), static_cast<size_t>(c.samples - 1 + 3));
    EXPECT_EQ(memo[0], QByteArray("Start Time=2024/01/05 12:34:56 @1G=10"));
    EXPECT_EQ(memo[1], kReply);
    EXPECT_EQ(memo[2], expectedLine(1));
    EXPECT_EQ(memo[2], QByteArray("2024/01/05 12:34:00.005,  1, -1,  3, 25.3"));
    EXPECT_EQ(memo[201], QByteArray("2024/01/05 12:34:01.000, 72,  0,  3, 25.3"));
    EXPECT_EQ(memo[memo.size() - 2], expectedLine(c.samples - 1));
    EXPECT_EQ(memo.back(), QByteArray("End=>2024/01/05 12:35:03"));
    int wrong = 0;
    for (int k = 1; k < c.samples; ++k)
        wrong += memo[static_cast<size_t>(k + 1)] == expectedLine(k) ? 0 : 1;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(f.captureEndText, QStringLiteral("2024/01/05 12:35:03"));
    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_TRUE(f.ProgressBar1->isHidden());
    EXPECT_FALSE(f.Memo1->isHidden());
    EXPECT_EQ(f.height(), height);
    EXPECT_EQ(f.savedWindowHeight, height);
}

INSTANTIATE_TEST_SUITE_P(Entered, CaptureDuration,
                         ::testing::Values(DurationCase{"2", 1000}, DurationCase{"abc", 2000},
                                           DurationCase{"1000", 72000}),
                         [](const ::testing::TestParamInfo<DurationCase>& info) {
                             return std::string(info.param.entered);
                         });

TEST(CaptureListing, RowTimesAndValuesAtTheMarks)
{
    CaptureTool t(QStringLiteral("100"));
    TForm1& f = *t.f;
    t.start();
    ASSERT_EQ(f.onlineSampleCount, 20000);
    QByteArray bytes = stream(20001);
    bytes.replace(0, kSampleBytes, sample(0x7F, -128, 1));  // row 1: 7F8001
    t.send(bytes);
    const std::vector<QByteArray> memo = t.memo();
    ASSERT_EQ(memo.size(), 20002u);
    EXPECT_EQ(memo[2], QByteArray("2024/01/05 12:34:00.005,127,-128,  1, 25.3"));
    EXPECT_TRUE(memo[201].startsWith("2024/01/05 12:34:01.000,")) << memo[201].toStdString();
    EXPECT_TRUE(memo[20000].startsWith("2024/01/05 12:34:99.995,")) << memo[20000].toStdString();
    // Row 20000 is the last received and so not listed; its time would be 100.000.
    EXPECT_EQ(expectedLine(20000).left(25), QByteArray("2024/01/05 12:34:100.000,"));
    EXPECT_TRUE(memo.back().startsWith("End=>"));
}

TEST(CaptureListing, SamplesInPiecesGiveTheSameListing)
{
    CaptureTool whole, pieces;
    whole.start();
    pieces.start();
    const QByteArray bytes = stream(1000);
    whole.send(bytes);

    // A sample and a half: the half stays waiting in the port.
    pieces.send(bytes.left(12));
    EXPECT_EQ(pieces.f->onlineRow, 2);
    EXPECT_EQ(pieces.port.InBuffUsed(), 4);
    EXPECT_EQ(pieces.f->ProgressBar1->value(), 2);
    pieces.send(bytes.mid(12), 13);
    EXPECT_EQ(pieces.f->onlineRow, 0);
    EXPECT_EQ(pieces.memo(), whole.memo());
}

// More samples than wanted arrive in one go (the logger goes on until it
// sees the blank): the table is filled up to the wanted row and no sample
// after it is listed, not even as a line of the line protocol.
TEST(CaptureListing, SamplesBeyondTheLastWantedAreNotListed)
{
    CaptureTool t(QStringLiteral("1000"));
    TForm1& f = *t.f;
    t.start();
    f.onlineBuffer[72001].fill('#');
    f.onlineBuffer[72001][19] = '\0';
    const std::array<char, kOnlineRowSize> guard = f.onlineBuffer[72001];
    t.send(stream(72000 + 600), 4096);
    EXPECT_EQ(f.onlineRow, 0);
    EXPECT_EQ(f.onlineBuffer[72001], guard);
    ASSERT_EQ(t.memo().size(), 72002u);
    EXPECT_TRUE(t.memo().back().startsWith("End=>"));
    // What the logger still sends after the blank is not received.
    t.port.feed(stream(10) + "#");
    EXPECT_EQ(t.memo().size(), 72002u);
    EXPECT_EQ(f.lineLength, 0);
}

TEST(CaptureListing, DamagedAndOverlongRowsAreListedInPlace)
{
    CaptureTool t;
    TForm1& f = *t.f;
    t.start();
    QByteArray bytes = stream(1000);
    bytes.replace(2 * kSampleBytes, kSampleBytes, "\n7G8001\r");  // row 3
    // Row 5: a line without its CR runs on into the next sample; the row
    // keeps 19 characters and the samples after it are back in step.
    bytes.replace(4 * kSampleBytes, kSampleBytes, "\n0102030405060708090A0B0C");
    t.send(bytes);
    EXPECT_EQ(f.onlineRow, 1000);  // short by the one that ran on
    EXPECT_EQ(f.onlineBuffer[5][19], '\0');
    EXPECT_EQ(std::string(f.onlineBuffer[5].data()), "\n010203040506070809");
    t.send(sample(1, 2, 3));
    ASSERT_EQ(f.onlineRow, 0);
    const std::vector<QByteArray> memo = t.memo();
    ASSERT_EQ(memo.size(), 1002u);
    EXPECT_EQ(memo[3], expectedLine(2));
    EXPECT_EQ(memo[4], QByteArray("//Bad Sample: 7G8001 //"));
    EXPECT_EQ(memo[5], expectedLine(4));
    EXPECT_EQ(memo[6], QByteArray("//Bad Sample: 010203040506070809 //"));
    // Every later row moved up by one: row 6 holds what was sent as sample 7.
    EXPECT_EQ(memo[7], QByteArray::fromStdString(captureSampleLine(
                           "2024/01/05 12:34:", 6, CaptureSample{7, -7, 3}, " 25.3")));
}

TEST(CaptureButton, ReplyThatComesAfterTheConfirmationIsWaitedFor)
{
    CaptureTool t;
    t.dialogs.whileAsking = nullptr;
    QTimer::singleShot(100, [&t] { t.send(kReply + "\r\n#"); });
    t.start();
    EXPECT_EQ(t.memo(), (std::vector<QByteArray>{"Start Time=2024/01/05 12:34:56 @1G=10", kReply}));
    EXPECT_EQ(t.port.takeWritten(), QByteArray("nx"));
    EXPECT_EQ(t.f->onlineRow, 1);
}

// A reply that is still arriving after the confirmation, slower than any
// fixed wait would allow, is waited for while the logger is not silent for
// the silence limit: it becomes line 2 whole, and none of it is taken for
// samples.
TEST(CaptureButton, ReplyStillArrivingIsWaitedForUntilTheLoggerIsSilent)
{
    CaptureTool t;
    t.f->silentLoggerMs = deadline(600);
    t.dialogs.whileAsking = nullptr;
    const QByteArray reply = kReply + "\r\n#";
    // Ten pieces, 150 ms apart: the whole reply takes 1.5 s.
    const int pieces = 10;
    const int step = (static_cast<int>(reply.size()) + pieces - 1) / pieces;
    for (int k = 0; k < pieces; ++k)
        QTimer::singleShot(150 * (k + 1), [&t, reply, k, step] { t.send(reply.mid(k * step, step)); });
    t.start();
    EXPECT_EQ(t.memo(), (std::vector<QByteArray>{"Start Time=2024/01/05 12:34:56 @1G=10", kReply}));
    EXPECT_EQ(t.port.takeWritten(), QByteArray("nx"));
    EXPECT_EQ(t.f->onlineRow, 1);
    t.send(stream(1000));
    ASSERT_EQ(t.memo().size(), 1002u);
    EXPECT_EQ(t.memo()[2], expectedLine(1));
}

// A line of noise before the reading is not taken for it: line 2 is the
// reading and every sample carries its temperature.
TEST(CaptureButton, NoiseBeforeTheReadingIsNotTakenForIt)
{
    CaptureTool t;
    t.dialogs.whileAsking = [&t] { t.send("ERR 42 p=-- Z junk\r\n" + kReply + "\r\n#"); };
    t.start();
    EXPECT_EQ(t.memo(), (std::vector<QByteArray>{"Start Time=2024/01/05 12:34:56 @1G=10", kReply}));
    t.send(stream(1000));
    ASSERT_EQ(t.memo().size(), 1002u);
    EXPECT_EQ(t.memo()[2], expectedLine(1));
}

// No reply at all: the capture goes ahead without it, line 2 says the
// reading is missing, and a reply that turns up late is not mistaken for
// samples: whatever waits is discarded first.
TEST(CaptureButton, NoReplyGivesAnEmptyLineTwoAndNoTemperature)
{
    CaptureTool t;
    TForm1& f = *t.f;
    f.silentLoggerMs = 500;
    t.dialogs.whileAsking = [&t] { t.send("X=    5 Y="); };
    QElapsedTimer waited;
    waited.start();
    t.start();
    EXPECT_GE(waited.elapsed(), 450);  // silent for the limit from its last byte
    EXPECT_EQ(t.memo(), (std::vector<QByteArray>{"Start Time=2024/01/05 12:34:56 @1G=10",
                                                 "// Reading missing: the logger sent no reading for \"n\" //"}));
    EXPECT_EQ(t.port.InBuffUsed(), 0);
    EXPECT_EQ(f.lineLength, 0);
    t.send(stream(1000));
    ASSERT_EQ(t.memo().size(), 1002u);
    EXPECT_EQ(t.memo()[2], expectedLine(1, ""));
}

TEST(CaptureButton, NothingStartsWhileTheLineIsTaken)
{
    struct Busy {
        const char* name;
        std::function<void(TForm1&)> set;
    };
    const std::vector<Busy> table = {
        {"capture", [](TForm1& f) { f.onlineRow = 5; }},
        {"monitor", [](TForm1& f) { f.monitorMode = 1; }},
        {"download", [](TForm1& f) { f.downloadActive = 1; }},
        {"firmware", [](TForm1& f) { f.firmwareSending = 1; }},
    };
    for (const Busy& b : table) {
        CaptureTool t;
        TForm1& f = *t.f;
        b.set(f);
        f.Memo1->addLine("kept");
        t.start();
        EXPECT_TRUE(t.dialogs.inputPrompts.isEmpty()) << b.name;
        EXPECT_TRUE(t.port.takeWritten().isEmpty()) << b.name;
        EXPECT_EQ(t.memo(), std::vector<QByteArray>{"kept"}) << b.name;
    }
}

TEST(CaptureButton, BusyPortLosesNoDataSet)
{
    CaptureTool t;
    TForm1& f = *t.f;
    f.Memo1->addLine("a data set");
    const int interval = f.Timer1->interval();
    t.port.failNextOpen(QStringLiteral("COM3 is in use by another program"));
    t.start();
    EXPECT_EQ(t.memo(), std::vector<QByteArray>{"a data set"});
    EXPECT_TRUE(t.dialogs.inputPrompts.isEmpty());
    EXPECT_EQ(f.Timer1->interval(), interval);
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_TRUE(t.dialogs.messages[0].contains(QStringLiteral("in use")));
}

// The logger stops streaming: the capture ends by itself with the samples
// that came, and the tick runs again.
TEST(CaptureEnd, SilentLoggerEndsTheCaptureWithWhatArrived)
{
    CaptureTool t;
    TForm1& f = *t.f;
    f.silentLoggerMs = 200;
    f.Timer1->setInterval(1000);
    t.start();
    t.port.takeWritten();
    t.send(stream(300) + sample(1, 1, 1).left(5));
    ASSERT_EQ(f.onlineRow, 301);
    ASSERT_TRUE(waitFor([&] { return f.onlineRow == 0; }, 5000));
    EXPECT_EQ(t.port.takeWritten(), QByteArray(" "));
    // No end mark to the blank either: the tick gives the exchange up.
    f.silentLoggerMs = 0;
    f.Timer1Timer();
    EXPECT_FALSE(t.port.Open());
    const std::vector<QByteArray> memo = t.memo();
    ASSERT_EQ(memo.size(), 2u + 300u + 2u);
    EXPECT_EQ(memo[301], expectedLine(300));
    EXPECT_EQ(memo[302], QByteArray("// Capture incomplete: the logger stopped sending after 300 of 1000 samples //"));
    EXPECT_TRUE(memo[303].startsWith("End=>"));
    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_TRUE(f.ProgressBar1->isHidden());
}

TEST(CaptureEnd, LostPortEndsTheCaptureAtOnce)
{
    CaptureTool t;
    TForm1& f = *t.f;
    f.Timer1->setInterval(2000);
    t.start();
    t.port.takeWritten();
    t.send(stream(40));
    t.port.unplug(QStringLiteral("the device was removed"));
    EXPECT_EQ(f.onlineRow, 0);
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    const std::vector<QByteArray> memo = t.memo();
    ASSERT_EQ(memo.size(), 2u + 40u + 2u);
    EXPECT_EQ(memo[0], QByteArray("Start Time=2024/01/05 12:34:56 @1G=10"));
    EXPECT_EQ(memo[1], kReply);
    EXPECT_EQ(memo[41], expectedLine(40));
    EXPECT_TRUE(memo[42].startsWith("// Capture incomplete: port lost after 40 of 1000 samples: "));
    EXPECT_TRUE(memo[42].contains("the device was removed"));
    EXPECT_TRUE(memo[43].startsWith("End=>"));
    EXPECT_EQ(f.Timer1->interval(), 2000);
}

TEST(CaptureEnd, TickStoppedBeforeTheCaptureRunsAgainAfterIt)
{
    CaptureTool t;
    TForm1& f = *t.f;
    f.Timer1->setInterval(0);
    t.start();
    EXPECT_EQ(f.savedTimerInterval, 0);
    t.send(stream(1000));
    EXPECT_EQ(f.onlineRow, 0);
    EXPECT_EQ(f.Timer1->interval(), 1000);
}

// ---------------------------------------------------------------------------
// End to end: the simulated logger on a pseudo-terminal, streaming faster
// than real time; the tool connects by itself and captures 5 seconds.

constexpr int kCom = 94;

TEST(CaptureEndToEnd, FiveSecondsFromTheSimulatedLogger)
{
    QElapsedTimer elapsed;
    elapsed.start();
    SimulatedTool tool(kCom);
    const std::string error = tool.plugIn();
    ASSERT_TRUE(error.empty()) << error;
    sim::Simulator& sim = tool.sim;
    sim::Reading reading;
    reading.x = 5;
    reading.y = -12;
    reading.z = 20;
    reading.tempTenths = 253;
    sim.setReading(reading);
    sim.setStreamSpeed(10);

    TForm1& f = tool.startTool();
    QtComPort& port = *tool.port;
    ScriptedDialogs& dialogs = tool.dialogs;

    const auto idle = [&] { return f.linkUp == 1 && f.Timer1->interval() != 0 && !port.Open(); };
    ASSERT_TRUE(waitFor([&] { return idle() && f.loggerReady == 1; }, 15000))
        << "no link; caption " << f.caption().toStdString();
    // The exchanges that follow a connect are over once a whole tick has
    // passed idle with no command reaching the logger.
    const auto tickPassedQuietly = [&] {
        const size_t commands = sim.observations().commands.size();
        const QString clockShown = f.Label6->text();
        return waitFor([&] { return f.Label6->text() != clockShown; }, 3000) && idle() &&
               sim.observations().commands.size() == commands;
    };
    bool quiet = false;
    for (int attempt = 0; attempt < 10 && !quiet; ++attempt)
        quiet = tickPassedQuietly();
    ASSERT_TRUE(quiet) << "the logger is never left alone";
    const int interval = f.Timer1->interval();

    // The box is answered at once; the reply comes while the tool waits for it.
    dialogs.inputs.push_back(QStringLiteral("2"));
    f.Button40->click();
    ASSERT_EQ(f.onlineSampleCount, 1000);
    ASSERT_EQ(f.onlineRow, 1) << "no stream started";
    ASSERT_TRUE(waitFor([&] { return f.onlineRow == 0; }, 20000)) << "stuck at row " << f.onlineRow;
    ASSERT_TRUE(sim.waitFor([](const sim::Observations& o) { return !o.streaming; }, 5000));
    const std::vector<QByteArray> memo = f.Memo1->lines();
    ASSERT_EQ(memo.size(), 1002u);
    EXPECT_TRUE(memo[0].startsWith("Start Time=")) << memo[0].toStdString();
    EXPECT_TRUE(memo[0].endsWith(" @1G=" + QByteArray::number(f.countsPerG))) << memo[0].toStdString();
    EXPECT_EQ(memo[1], kReply);
    const QByteArray prefix = QByteArray::fromStdString(captureTimePrefix(f.captureStartText.toStdString()));
    int wrong = 0;
    for (int k = 1; k <= 999; ++k) {
        const QByteArray& line = memo[static_cast<size_t>(k + 1)];
        const QByteArray time = prefix + QString::asprintf("%02d.%03d,", k * 5 / 1000, k * 5 % 1000).toLatin1();
        int x = 0, y = 0, z = 0;
        char temperature[16] = {};
        const bool fields = line.startsWith(time) &&
                            std::sscanf(line.constData() + time.size(), "%d,%d,%d,%15[^\n]", &x, &y, &z, temperature) == 4;
        // The simulated logger adds a wobble of one count to its reading.
        if (!fields || std::abs(x - 5) > 1 || std::abs(y + 12) > 1 || std::abs(z - 20) > 1 ||
            std::string(temperature) != " 25.3") {
            if (++wrong <= 3)
                ADD_FAILURE() << "line " << k + 1 << ": " << line.toStdString();
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(memo.back().startsWith("End=>")) << memo.back().toStdString();
    // The logger's end mark to the blank closes the port; the listing stays.
    EXPECT_TRUE(waitFor([&] { return !port.Open(); }, 5000));
    EXPECT_EQ(f.Memo1->lines(), memo);
    EXPECT_EQ(f.Timer1->interval(), interval);
    EXPECT_TRUE(f.ProgressBar1->isHidden());
    const std::vector<std::string> commands = sim.observations().commands;
    const auto at = [&](const char* c) { return std::find(commands.begin(), commands.end(), c) - commands.begin(); };
    EXPECT_LT(at("n"), at("x"));
    EXPECT_LT(at("x"), at(" "));
    EXPECT_LT(at(" "), static_cast<long>(commands.size()));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(QLatin1Char('|')).toStdString();

    // The tool goes on as usual: the tick runs, the link is kept, and no
    // sample still under way when the blank went out turns up in the listing.
    const QString clockShown = f.Label6->text();
    EXPECT_TRUE(waitFor([&] { return f.Label6->text() != clockShown && idle(); }, 5000));
    EXPECT_EQ(f.Memo1->lines(), memo);
    sim.stop();
    std::printf("[ e2e      ] 5 s online capture in %.1f s\n", elapsed.elapsed() / 1000.0);
}

}  // namespace
