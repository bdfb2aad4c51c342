// The logger's command reader, its fixed-width texts, and the program's flags
// and control commands — everything that needs no line.
#include "sim/Control.h"
#include "sim/Device.h"

#include <gtest/gtest.h>

using namespace zelt::sim;

TEST(SimCommandReader, SplitsBurstsIntoCommands)
{
    const std::string entry(kLoaderEntry, 5);
    struct Case {
        std::string burst;
        std::vector<std::string> commands;
    } cases[] = {
        {"ep", {"e", "p"}},
        {"mpn", {"m", "p", "n"}},
        {"d15p", {"d15", "p"}},
        {"d1.5", {"d1.5"}},
        {"Ox-03Oy05OZ123", {"Ox-03", "Oy05", "OZ123"}},
        {"FX-12FZ00", {"FX-12", "FZ00"}},
        {"KwTRUCK 7\rp", {"KwTRUCK 7\r", "p"}},
        {"KwNO END", {"KwNO END"}},
        {"Kr", {"Kr"}},
        {"s2024/06/24 12:34:56", {"s2024/06/24 12:34:56"}},
        {"l06/25 08:00t", {"l06/25 08:00", "t"}},
        {"te", {"te"}},
        {"Y04202", {"Y042", "02"}},
        {"vpN01hAAA", {"vp", "N01", "hAAA"}},
        {"z1k0q9b1w12", {"z1", "k0", "q9", "b1", "w12"}},
        {"jaiA", {"ja", "iA"}},
        {"r123L45", {"r123", "L45"}},
        {"1050", {"10", "50"}},
        {"E W Z#DCGx", {"E", " ", "W", " ", "Z", "#", "D", "C", "G", "x"}},
        {"Q", {"Q"}},
        {"33m", {"3", "3", "m"}},
        {entry + "e", {entry, "e"}},
        {"fo", {"f", "o"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitCommands(c.burst), c.commands) << c.burst;
}

TEST(SimCommandReader, UnknownBytesMatchNothing)
{
    for (const std::string s : {"Q", "3", "v", "K", "!", "?", "\x7F", "7"})
        EXPECT_EQ(commandLength(s, 0), 0u) << s;
}

TEST(SimTexts, TemperatureIsFiveCharacters)
{
    struct Case {
        int tenths;
        const char* text;
    } cases[] = {{253, "25.3C"}, {-35, "-3.5C"}, {-5, "-0.5C"}, {5, " 0.5C"}, {0, " 0.0C"},
                 {999, "99.9C"}, {-99, "-9.9C"}, {-125, "-12.5"}, {1500, "99.9C"}};
    for (const auto& c : cases) {
        EXPECT_EQ(temperatureText(c.tenths), c.text) << c.tenths;
        EXPECT_EQ(temperatureText(c.tenths).size(), 5u);
    }
}

TEST(SimTexts, IntervalNames)
{
    const std::string codes = kIntervalCodes;
    const char* names[] = {"1min", "2min", "3min", "4min", "5min", "10min", "15min", "20min",
                           "30min", "1sec", "5sec", "10sec", "15sec", "20sec", "30sec"};
    ASSERT_EQ(codes.size(), 15u);
    for (std::size_t k = 0; k < codes.size(); ++k)
        EXPECT_EQ(intervalName(codes[k]), names[k]) << codes[k];
    EXPECT_EQ(intervalName('Q'), "");
}

TEST(SimProgramFlags, ParsesEachFlag)
{
    ProgramOptions o;
    std::string err;
    ASSERT_TRUE(parseProgramArguments({"--com", "12", "--recording", "yearend", "--enq", "--noise", "--slow", "250",
                                       "--realtime", "--print-device", "--error", "negative", "--short-form",
                                       "--unsupported", "--number", "1234", "--slow-start", "10000", "--slow-start-on",
                                       "Ds", "--partial-recall"},
                                      &o, &err))
        << err;
    EXPECT_EQ(o.comNumber, 12);
    EXPECT_EQ(o.simulator.recording, RecordingKind::YearEnd);
    EXPECT_EQ(o.behaviour.enquiry, Enquiry::BetweenAnswers);
    EXPECT_TRUE(o.behaviour.noise);
    EXPECT_EQ(o.behaviour.answerDelayMs, 250);
    EXPECT_EQ(o.behaviour.bytesPerSecond, 11520);
    EXPECT_TRUE(o.printDevice);
    EXPECT_EQ(o.behaviour.error, ErrorMode::NegativeCount);
    EXPECT_EQ(o.behaviour.form, ReportForm::Short);
    EXPECT_FALSE(o.supportedModel);
    EXPECT_EQ(o.simulator.loggerNumber, "1234");
    EXPECT_EQ(o.behaviour.slowStartMs, 10000);
    EXPECT_EQ(o.behaviour.slowStartCommands, "Ds");
    EXPECT_TRUE(o.behaviour.partialRecall);

    ProgramOptions d;
    ASSERT_TRUE(parseProgramArguments({"--silent"}, &d, &err));
    EXPECT_EQ(d.comNumber, 9);
    EXPECT_EQ(d.behaviour.silence, Silence::Nothing);
    EXPECT_EQ(d.behaviour.bytesPerSecond, 0);
    EXPECT_EQ(d.simulator.recording, RecordingKind::Default);
}

TEST(SimProgramFlags, RejectsBadFlags)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--com"}, {"--com", "0"}, {"--com", "x"}, {"--recording", "huge"}, {"--slow", "-5"},
        {"--error", "loud"}, {"--stream-speed", "0"}, {"--frobnicate"}, {"--slow-start", "soon"},
        {"--slow-start-on"},
    };
    for (const auto& args : bad) {
        ProgramOptions o;
        std::string err;
        EXPECT_FALSE(parseProgramArguments(args, &o, &err)) << args[0];
        EXPECT_FALSE(err.empty());
    }
}

TEST(SimControlCommands, ChangeTheSimulator)
{
    Simulator sim;  // not started: the commands act on its state directly
    struct Case {
        const char* line;
        const char* reply;  // prefix
    } cases[] = {
        {"silence nomark", "ok"}, {"noise on", "ok"},         {"enq midline", "ok"},
        {"slow 120 900", "ok"},   {"error short", "ok"},      {"form short", "ok"},
        {"slow-start 4000 Dt", "ok"}, {"slow-start later", "error"},
        {"recording full", "ok 72020"},                        {"reading 5 -12 20 25.3", "ok"},
        {"silence loud", "error"}, {"reading 1 2", "error"},  {"recording nothing", "error"},
        {"dance", "error"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(runControlCommand(sim, c.line).rfind(c.reply, 0), 0u) << c.line;
    const Behaviour b = sim.behaviour();
    EXPECT_EQ(b.silence, Silence::NoEndMark);
    EXPECT_TRUE(b.noise);
    EXPECT_EQ(b.enquiry, Enquiry::MidLine);
    EXPECT_EQ(b.answerDelayMs, 120);
    EXPECT_EQ(b.slowStartMs, 4000);
    EXPECT_EQ(b.slowStartCommands, "Dt");
    EXPECT_EQ(b.bytesPerSecond, 900);
    EXPECT_EQ(b.error, ErrorMode::ShortLine);
    EXPECT_EQ(b.form, ReportForm::Short);
    EXPECT_EQ(sim.recording().records.size(), 72020u);
    EXPECT_EQ(sim.settings().intervalCode, 'A');  // follows the recording

    bool quit = false;
    EXPECT_EQ(runControlCommand(sim, "quit", &quit), "ok");
    EXPECT_TRUE(quit);
}

// A slow start holds back the answers of the chosen commands only; "C" and
// "G" of a partial recall bring the later half of the records, "D" all.
TEST(SimDevice, SlowStartAndPartialRecallAnswerOnlyTheChosenCommands)
{
    Device d;
    d.behaviour().slowStartMs = 10000;
    d.behaviour().slowStartCommands = "Ds";
    d.behaviour().partialRecall = true;
    const auto now = std::chrono::steady_clock::now();
    const std::size_t all = d.recording().records.size();
    ASSERT_GT(all, 3u);
    struct Case {
        std::string burst;
        int delayMs;
        std::size_t records;  // record lines in the answer
    } cases[] = {
        {"m", 0, 0}, {"p", 0, 0}, {"D", 10000, all}, {"s2024/06/24 12:34:56", 10000, 0}, {"t", 0, 0},
        {"C", 0, all - all / 2}, {"G", 0, all - all / 2}, {"pD", 10000, all},
    };
    for (const Case& c : cases) {
        const std::string answer = d.receive(c.burst, now);
        EXPECT_EQ(d.answerStartDelayMs(), c.delayMs) << c.burst;
        if (c.records > 0) {
            EXPECT_NE(answer.find(d.recording().records.back()), std::string::npos) << c.burst;
            EXPECT_EQ(answer.find(d.recording().records.front()) != std::string::npos, c.records == all) << c.burst;
        }
    }
}
