// The simulated logger driven through its real pseudo-terminal, the way the
// tool talks to it: one write per command, answers read up to the '#'.
#include "platform/PortDirectory.h"
#include "sim/Simulator.h"
#include "tests/sim/PtyPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <set>
#include <sstream>
#include <sys/stat.h>

using namespace zelt::sim;
using zelt::sim::test::PtyPort;
using zelt::sim::test::TempPortDir;

namespace {

const char* const kReportLines[] = {
    "@A h= 0005, 0001, 0000", "@A x= 0000, 0001, 0000", "@B= 0000", "@C= 3600 1sec",   "@D=1.5G",
    "@F c= 0003,-0002, 0001", "@G RECORDING",           "@I=0",     "@K LOGGER 01",    "@L=   0",
    "@M= 0042",               "@R=a 1sec",              "@T= 0002", "@W= 0001",        "@Y=2024",
    "@r= 0",                  "@s= 0001",               "@w= 05",
};

std::string joinAnswer(const std::vector<std::string>& lines)
{
    std::string s;
    for (const auto& l : lines)
        s += l + "\r\n";
    return s + "#";
}

std::vector<std::string> defaultReport() { return {std::begin(kReportLines), std::end(kReportLines)}; }

// The report line a changed line replaces: the same "@A h"/"@A x"/"@F c"
// kind, else the same two leading characters.
std::string lineKey(const std::string& line) { return line.substr(0, line.rfind("@A", 0) == 0 ? 4 : 2); }

std::vector<std::string> linesOf(const std::string& answer)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t crlf; (crlf = answer.find("\r\n", start)) != std::string::npos; start = crlf + 2)
        lines.push_back(answer.substr(start, crlf - start));
    return lines;
}

class SimLine : public ::testing::Test {
protected:
    void SetUp() override { startWith(Options{}); }

    void startWith(const Options& options)
    {
        port.reset();
        sim = std::make_unique<Simulator>(options);
        std::string err;
        ASSERT_TRUE(sim->start(&err)) << err;
        port = std::make_unique<PtyPort>(sim->devicePath());
        ASSERT_TRUE(port->isOpen());
    }

    // Waits until the simulator has taken `count` commands in all.
    bool commandsSeen(std::size_t count, int timeoutMs = 2000)
    {
        return sim->waitFor([count](const Observations& o) { return o.commands.size() >= count; }, timeoutMs);
    }

    std::unique_ptr<Simulator> sim;
    std::unique_ptr<PtyPort> port;
};

}  // namespace

TEST_F(SimLine, IdentificationAnswer)
{
    EXPECT_EQ(port->exchange("m"), "JKTW128 SN=20240624\r\n#");
    const std::string line = linesOf(port->exchange("m")).at(0);
    EXPECT_EQ(line[0], 'J');
    EXPECT_EQ(line.substr(4, 3), "128");
    EXPECT_EQ(line.substr(line.find('=') + 1), "20240624");
}

TEST_F(SimLine, IdentificationOfOtherLoggers)
{
    Options o;
    o.loggerNumber = "20991231";
    startWith(o);
    EXPECT_EQ(port->exchange("m"), "JKTW128 SN=20991231\r\n#");
    sim->setSupportedModel(false);
    const std::string line = linesOf(port->exchange("m")).at(0);
    EXPECT_EQ(line, "JKTW064 SN=20991231");
    EXPECT_EQ(line.find("128"), std::string::npos);
}

TEST_F(SimLine, SettingsReportIsExact)
{
    EXPECT_EQ(port->exchange("p"), joinAnswer(defaultReport()));
}

TEST_F(SimLine, ReportFieldsSitWhereTheToolReadsThem)
{
    const auto lines = linesOf(port->exchange("p"));
    ASSERT_EQ(lines.size(), 18u);
    for (const auto& L : lines) {
        SCOPED_TRACE(L);
        ASSERT_LT(L.size(), 100u);
        ASSERT_EQ(L.find_first_of("#!?"), std::string::npos);
        const std::size_t e = L.find('='), b = L.find(' ', 1);
        const std::string tag = L.substr(0, 2);
        if (tag == "@A" || tag == "@F") {
            const std::string v1 = {L[b + 3], L[b + 6], L[b + 7]}, v2 = {L[b + 9], L[b + 12], L[b + 13]},
                              v3 = {L[b + 15], L[b + 18], L[b + 19]};
            if (L[b + 1] == 'h')
                EXPECT_EQ(v1 + v2 + v3, " 05 01 00");
            else if (tag == "@A")
                EXPECT_EQ(v1 + v2 + v3, " 00 01 00");
            else
                EXPECT_EQ(v1 + v2 + v3, " 03-02 01");
        } else if (tag == "@B") {
            EXPECT_EQ(L[e + 5], '0');
        } else if (tag == "@D") {
            EXPECT_EQ(std::string({L[e + 1], L[e + 3]}), "15");
        } else if (tag == "@M") {
            std::size_t j = e + 2;
            while (j < L.size() && std::isdigit(static_cast<unsigned char>(L[j])))
                ++j;
            EXPECT_EQ(L.substr(e + 3, j - (e + 3)), "042");
        } else if (tag == "@T") {
            EXPECT_EQ(std::string({L[e + 4], L[e + 5]}), "02");
        } else if (tag == "@K") {
            EXPECT_EQ(L.substr(b + 1), "LOGGER 01");
        } else if (tag == "@C") {
            std::istringstream in(L.substr(e + 1));
            long n = 0;
            std::string text;
            in >> n >> text;
            EXPECT_EQ(n, 3600);
            EXPECT_EQ(text, "1sec");
        }
    }
}

TEST(SimLineReport, ShortFormLines)
{
    Simulator sim;
    ASSERT_TRUE(sim.start());
    sim.setReportForm(ReportForm::Short);
    PtyPort port(sim.devicePath());
    auto lines = linesOf(port.exchange("p"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "@d=15"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "@g=5 RECORDING"), lines.end());  // '5' & 7 == 5: range 50
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[1] == 'D' || l[1] == 'G'; }), 0);
    port.exchange("10");
    lines = linesOf(port.exchange("p"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "@g=2 RECORDING"), lines.end());
}

TEST(SimLineReport, SettingsCommandsChangeTheNextReport)
{
    struct Case {
        std::string cmd;
        std::vector<std::string> changed;
    } cases[] = {
        {"d20", {"@D=2.0G"}},
        {"d1.8", {"@D=1.8G"}},
        {"jJ", {"@R=J 10min"}},
        {"j^", {"@R=^ 30min"}},
        {"iA", {"@I=A"}},
        {"Ox-03", {"@A h=-0003, 0001, 0000"}},
        {"Oy00", {"@A h= 0005, 0000, 0000"}},
        {"Oz01", {"@A h= 0005, 0001, 0001"}},
        {"OX01", {"@A x= 0001, 0001, 0000"}},
        {"OY123", {"@A x= 0000, 0123, 0000"}},
        {"OZ-07", {"@A x= 0000, 0001,-0007"}},
        {"FX-12", {"@F c=-0012,-0002, 0001"}},
        {"FZ00", {"@F c= 0003,-0002, 0000"}},
        {"KwTRUCK 7\r", {"@K TRUCK 7"}},
        {"Y255", {"@M= 0255"}},
        {"Y007", {"@M= 0007"}},
        {"w12", {"@w= 12"}},
        {"z1", {"@B= 0001"}},
        {"k0", {"@W= 0000"}},
        {"r15", {"@r= 15"}},
        {"L300", {"@L=   300"}},
        {"10", {"@T= 0010"}},
        {"50", {"@T= 0050"}},
        {"00", {"@T= 0000"}},
        {"f", {"@s= 0000", "@G SLEEP"}},
        {"s2024/06/24 12:34:56", {}},  // already started: nothing to show
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cmd);
        Simulator sim;
        ASSERT_TRUE(sim.start());
        PtyPort port(sim.devicePath());
        EXPECT_EQ(port.exchange(c.cmd), "OK\r\n#");
        auto expected = defaultReport();
        for (const auto& line : c.changed)
            for (auto& l : expected)
                if (lineKey(l) == lineKey(line))
                    l = line;
        EXPECT_EQ(port.exchange("p"), joinAnswer(expected));
    }
}

TEST_F(SimLine, RejectedSettingsLeaveTheReportAlone)
{
    for (const std::string cmd : {"Y256", "jZ", "d5", "iG", "q3", "z7", "K"}) {
        SCOPED_TRACE(cmd);
        const std::string answer = port->exchange(cmd);
        EXPECT_TRUE(answer == "NG\r\n#" || answer == "#") << answer;
    }
    EXPECT_EQ(port->exchange("p"), joinAnswer(defaultReport()));
}

TEST_F(SimLine, SleepThenStartAgain)
{
    EXPECT_EQ(port->exchange("f"), "OK\r\n#");
    EXPECT_NE(port->exchange("p").find("@s= 0000\r\n"), std::string::npos);
    EXPECT_EQ(port->exchange("o"), "OK\r\n#");
    EXPECT_NE(port->exchange("p").find("@s= 0001\r\n"), std::string::npos);
}

TEST_F(SimLine, IdentityIsWrittenAndReadBack)
{
    EXPECT_EQ(port->exchange("Kr"), "LOGGER 01\r\n#");
    EXPECT_EQ(port->exchange("KwCOLD CHAIN #4!\r"), "OK\r\n#");
    EXPECT_EQ(port->exchange("Kr"), "COLD CHAIN 4\r\n#");  // reserved characters never go on the line
}

TEST_F(SimLine, ClockAndReservation)
{
    EXPECT_EQ(port->exchange("s2024/06/24 12:34:56"), "OK\r\n#");
    std::string line = linesOf(port->exchange("t")).at(0);
    EXPECT_EQ(line.substr(0, 17), "2024/06/24 12:34:");
    EXPECT_GE(std::stoi(line.substr(17, 2)), 56);
    EXPECT_LE(std::stoi(line.substr(17, 2)), 58);
    EXPECT_EQ(line.substr(19), " --/-- --:--");
    EXPECT_EQ(port->exchange("l06/25 08:00"), "OK\r\n#");
    line = linesOf(port->exchange("t")).at(0);
    EXPECT_EQ(line.substr(19), " 06/25 08:00");
}

TEST_F(SimLine, BackToBackCommandsAreAnsweredInOrder)
{
    const std::string answer = port->exchange("ep", 2);
    EXPECT_EQ(answer, "#" + joinAnswer(defaultReport()));
    EXPECT_EQ(port->exchange("mm", 2), "JKTW128 SN=20240624\r\n#JKTW128 SN=20240624\r\n#");
}

TEST_F(SimLine, UnknownBytesGetAPlainEndMark)
{
    EXPECT_EQ(port->exchange("Q"), "#");
    EXPECT_EQ(port->exchange("!?m", 2), "#JKTW128 SN=20240624\r\n#");
    EXPECT_EQ(sim->observations().unknownBytes, "Q!?");
}

TEST(SimLineReading, ReadingLineCarriesEachValueOnce)
{
    struct Case {
        Reading r;
        const char* line;
    } cases[] = {
        {{5, -12, 20, 253}, "X=    5 Y=  -12 Z=   20       p=25.3C"},
        {{-128, 127, 0, -35}, "X= -128 Y=  127 Z=    0       p=-3.5C"},
        {{0, 0, 0, -5}, "X=    0 Y=    0 Z=    0       p=-0.5C"},
        {{99999, -9999, 7, 5}, "X=99999 Y=-9999 Z=    7       p= 0.5C"},
    };
    Simulator sim;
    ASSERT_TRUE(sim.start());
    PtyPort port(sim.devicePath());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        sim.setReading(c.r);
        const std::string answer = port.exchange("n");
        ASSERT_EQ(answer, std::string(c.line) + "\r\n#");
        const std::string first = linesOf(answer).at(0);
        EXPECT_EQ(first.substr(32, 5), temperatureText(c.r.tempTenths));
        // As the tool reads it: the letter, one separator, the value.
        const int values[] = {c.r.x, c.r.y, c.r.z};
        for (int k = 0; k < 3; ++k) {
            const char letter = "XYZ"[k];
            ASSERT_EQ(std::count(answer.begin(), answer.end(), letter), 1);
            const std::size_t at = answer.find(letter);
            EXPECT_EQ(std::stoi(answer.substr(at + 2, 5)), values[k]);
        }
        ASSERT_EQ(std::count(answer.begin(), answer.end(), 'p'), 1);
        EXPECT_EQ(first.substr(first.find('p') + 2), temperatureText(c.r.tempTenths));
    }
}

TEST(SimLineReading, DefaultReadingVariesGently)
{
    Simulator sim;
    ASSERT_TRUE(sim.start());
    PtyPort port(sim.devicePath());
    const std::string line = linesOf(port.exchange("n")).at(0);
    ASSERT_EQ(line.size(), 37u);
    EXPECT_LE(std::abs(std::stoi(line.substr(2, 5))), 3);
    EXPECT_NEAR(std::stoi(line.substr(18, 5)), 10, 3);
    EXPECT_NEAR(std::stod(line.substr(32, 4)), 25.3, 0.6);
}

TEST(SimLineStream, SamplesAreEightBytesUntilTheBlank)
{
    Simulator sim;
    ASSERT_TRUE(sim.start());
    sim.setStreamSpeed(20);  // 4,000 samples a second
    sim.setReading({5, -12, 20, 253});
    PtyPort port(sim.devicePath());
    ASSERT_EQ(port.exchange("n"), "X=    5 Y=  -12 Z=   20       p=25.3C\r\n#");
    ASSERT_TRUE(port.send("x"));
    std::string stream = port.readUntil([](const std::string& s) { return s.size() >= 8 * 200; }, 3000);
    ASSERT_GE(stream.size(), 8u * 200);
    ASSERT_TRUE(port.send(" "));
    stream += port.readAnswer();
    ASSERT_FALSE(stream.empty());
    ASSERT_EQ(stream.back(), '#');
    stream.pop_back();
    ASSERT_EQ(stream.size() % 8, 0u);
    std::set<std::string> distinct;
    for (std::size_t k = 0; k < stream.size(); k += 8) {
        const std::string s = stream.substr(k, 8);
        ASSERT_EQ(s.front(), '\n') << k;
        ASSERT_EQ(s.back(), '\r') << k;
        for (int d = 1; d <= 6; ++d)
            ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(s[d])) || (s[d] >= 'A' && s[d] <= 'F')) << s;
        auto axis = [&](int i) {
            const int v = std::stoi(s.substr(1 + 2 * i, 2), nullptr, 16);
            return v >= 128 ? v - 256 : v;
        };
        ASSERT_NEAR(axis(0), 5, 1);
        ASSERT_NEAR(axis(1), -12, 1);
        ASSERT_NEAR(axis(2), 20, 1);
        distinct.insert(s);
    }
    EXPECT_GT(distinct.size(), 1u);
    EXPECT_FALSE(sim.observations().streaming);
    EXPECT_EQ(port.readWindow(100), "");  // stopped for good
}

TEST(SimLineDownload, DefaultRecordingMatchesTheReportCount)
{
    Simulator sim;
    ASSERT_TRUE(sim.start());
    PtyPort port(sim.devicePath());
    const std::string report = port.exchange("p");
    const std::size_t at = report.find("@C= ");
    ASSERT_NE(at, std::string::npos);
    const long count = std::stol(report.substr(at + 4));
    for (const std::string cmd : {"D", "C", "G"}) {
        const auto lines = linesOf(port.exchange(cmd, 1, 10000));
        ASSERT_EQ(static_cast<long>(lines.size()), count) << cmd;
        EXPECT_EQ(lines, sim.recording().records);
    }
}

TEST(SimLineDownload, FullMemoryOf72020Records)
{
    Options o;
    o.recording = RecordingKind::Full;
    Simulator sim(o);
    ASSERT_TRUE(sim.start());
    PtyPort port(sim.devicePath());
    EXPECT_NE(port.exchange("p").find("@C= 72020 1min\r\n"), std::string::npos);
    const std::string answer = port.exchange("D", 1, 15000);
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer.back(), '#');
    EXPECT_EQ(std::count(answer.begin(), answer.end(), '\n'), 72020);
    EXPECT_EQ(linesOf(answer).back(), sim.recording().records.back());
}

TEST(SimLineDownload, RecordingSwitchChangesCountAndYear)
{
    struct Case {
        RecordingKind kind;
        const char* count;
        const char* interval;
    } cases[] = {{RecordingKind::YearEnd, "@C= 720 10sec", "@R=c 10sec"},
                 {RecordingKind::Fast, "@C= 2000 5ms", "@I=A"},
                 {RecordingKind::Bad, "@C= 72100 1sec", "@Y=2024"}};
    Simulator sim;
    ASSERT_TRUE(sim.start());
    PtyPort port(sim.devicePath());
    for (const auto& c : cases) {
        sim.setRecording(c.kind);
        const auto lines = linesOf(port.exchange("p"));
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.count), lines.end()) << c.count;
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.interval), lines.end()) << c.interval;
    }
}

TEST_F(SimLine, SilenceNeverSendsTheEndMark)
{
    sim->setSilence(Silence::NoEndMark);
    ASSERT_TRUE(port->send("m"));
    std::string got = port->readUntil([](const std::string& s) { return s.find("\r\n") != std::string::npos; }, 2000);
    got += port->readWindow(150);
    EXPECT_EQ(got, "JKTW128 SN=20240624\r\n");
    ASSERT_TRUE(port->send("p"));
    got = port->readUntil([](const std::string& s) { return s.find("@w= 05\r\n") != std::string::npos; }, 2000);
    got += port->readWindow(150);
    EXPECT_EQ(got, joinAnswer(defaultReport()).substr(0, got.size()));
    EXPECT_EQ(got.find('#'), std::string::npos);

    sim->setSilence(Silence::Nothing);
    ASSERT_TRUE(port->send("m"));
    ASSERT_TRUE(commandsSeen(3));
    EXPECT_EQ(port->readWindow(200), "");
}

TEST_F(SimLine, EnquiriesAreSentAndAcknowledged)
{
    sim->setEnquiry(Enquiry::BetweenAnswers);
    // Idle enquiry, with no command sent.
    const std::string idle = port->readUntil([](const std::string& s) { return !s.empty(); }, 2000);
    EXPECT_EQ(idle, "\x05");
    ASSERT_TRUE(port->send("\x06"));
    EXPECT_TRUE(sim->waitFor([](const Observations& o) { return o.acks == 1; }, 2000));
    // Before an answer.
    std::string answer = port->exchange("m");
    ASSERT_FALSE(answer.empty());
    ASSERT_EQ(answer[0], '\x05');
    // Idle enquiries may come first; the answer itself starts with one.
    answer.erase(0, answer.find_first_not_of('\x05') - 1);
    EXPECT_EQ(answer, "\x05JKTW128 SN=20240624\r\n#");
    EXPECT_GE(sim->observations().enquiriesSent, 2);
}

TEST_F(SimLine, EnquiryInTheMiddleOfALine)
{
    sim->setEnquiry(Enquiry::MidLine);
    std::string answer = port->exchange("m");
    const std::size_t lineStart = answer.find('J');
    ASSERT_NE(lineStart, std::string::npos);
    const std::string line = answer.substr(lineStart, answer.find("\r\n") - lineStart);
    EXPECT_NE(line.find('\x05'), std::string::npos) << line;
    answer.erase(std::remove(answer.begin(), answer.end(), '\x05'), answer.end());
    EXPECT_EQ(answer, "JKTW128 SN=20240624\r\n#");
}

TEST_F(SimLine, NoiseComesBeforeAnIntactAnswer)
{
    sim->setNoise(true);
    const std::string answer = port->exchange("m");
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(std::count(answer.begin(), answer.end(), '#'), 1);
    EXPECT_EQ(answer.back(), '#');
    EXPECT_EQ(answer.find_first_of("!?"), std::string::npos);
    const auto lines = linesOf(answer);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.back(), "JKTW128 SN=20240624");
}

TEST_F(SimLine, ErrorModesBendTheAnswers)
{
    struct Case {
        ErrorMode mode;
        std::string expectedLine;
        std::string replaced;  // default line it replaces
    } cases[] = {
        {ErrorMode::NegativeCount, "@C= -1 1sec", "@C= 3600 1sec"},
        {ErrorMode::ShortLine, "@T= 0", "@T= 0002"},
        {ErrorMode::NoEquals, "@B 0000", "@B= 0000"},
        {ErrorMode::NoBlank, "@KLOGGER01", "@K LOGGER 01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expectedLine);
        sim->setErrorMode(c.mode);
        auto expected = defaultReport();
        std::replace(expected.begin(), expected.end(), c.replaced, c.expectedLine);
        EXPECT_EQ(port->exchange("p"), joinAnswer(expected));
    }
    sim->setErrorMode(ErrorMode::ErrLine);
    EXPECT_EQ(port->exchange("m"), "ERR\r\n#");
    EXPECT_EQ(port->exchange("z1"), "ERR\r\n#");
    sim->setErrorMode(ErrorMode::None);
    EXPECT_NE(port->exchange("p").find("@B= 0000\r\n"), std::string::npos);  // "z1" was refused
}

TEST_F(SimLine, SlowAnswersWaitBeforeTheFirstByte)
{
    sim->setSlow(250, 0);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(port->exchange("m"), "JKTW128 SN=20240624\r\n#");
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(250));
    // A slow byte rate still delivers every byte, spread over several reads.
    sim->setSlow(0, 3000);
    EXPECT_EQ(port->exchange("p"), joinAnswer(defaultReport()));
}

TEST_F(SimLine, FirmwareLoader)
{
    const std::string good = ":10010000214601360121470136007EFE09D2190140";
    const std::string end = ":00000001FF";
    ASSERT_TRUE(port->send(std::string(kLoaderEntry, 5)));
    ASSERT_TRUE(sim->waitFor([](const Observations& o) { return o.loaderMode; }, 2000));
    EXPECT_EQ(port->exchange("e"), "#");
    ASSERT_TRUE(port->send(good));
    EXPECT_EQ(port->readUntil([](const std::string& s) { return !s.empty(); }, 2000), "\x06");
    ASSERT_TRUE(port->send(good + end));  // two records in one write
    EXPECT_EQ(port->readUntil([](const std::string& s) { return s.size() >= 2; }, 2000), "\x06\x06");
    ASSERT_TRUE(port->send(":10010000214601360121470136007EFE09D2190141"));  // bad checksum
    EXPECT_EQ(port->readUntil([](const std::string& s) { return !s.empty(); }, 2000), "!");
    sim->setLoaderError(true);
    ASSERT_TRUE(port->send(good));
    EXPECT_EQ(port->readUntil([](const std::string& s) { return !s.empty(); }, 2000), "!");
    ASSERT_TRUE(port->send("qs"));
    const std::string done = port->readUntil([](const std::string& s) { return !s.empty() && s.back() == 'M'; }, 2000);
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done.back(), 'M');
    EXPECT_EQ(port->exchange("m"), "JKTW128 SN=20240624\r\n#");
    const Observations o = sim->observations();
    EXPECT_FALSE(o.loaderMode);
    EXPECT_EQ(o.loaderLines, 5);
}

// The simulated USB adapter holds a short answer until its latency timer
// runs out, unless the answer holds its event character: that goes out at
// once, with what was held before it.
TEST_F(SimLine, AdapterHandsOnItsEventCharacterAtOnce)
{
    const std::string good = ":10010000214601360121470136007EFE09D2190140";
    const std::string bad = ":10010000214601360121470136007EFE09D2190141";  // its answer is '!'
    // The timer's first expiry comes a minute after the simulator started:
    // until then only the event character lets a short answer out.
    sim->setAdapterLatency(60000);
    sim->setAdapterEventCharacter('\x06');
    ASSERT_TRUE(port->send(std::string(kLoaderEntry, 5)));
    ASSERT_TRUE(sim->waitFor([](const Observations& o) { return o.loaderMode; }, 2000));
    ASSERT_TRUE(port->send("e"));
    EXPECT_EQ(port->readWindow(300), "") << "the '#' is no event character: it waits for the timer";
    ASSERT_TRUE(port->send(good));
    EXPECT_EQ(port->readUntil([](const std::string& s) { return s.size() >= 2; }, 10000), "#\x06");
    ASSERT_TRUE(port->send(bad));
    EXPECT_EQ(port->readWindow(300), "");
    // Switched off, the line's answer waits as well.
    sim->setAdapterEventCharacter(std::nullopt);
    ASSERT_TRUE(port->send(good));
    EXPECT_EQ(port->readWindow(300), "");
    // On again: the next one hands on everything held, in order.
    sim->setAdapterEventCharacter('\x06');
    ASSERT_TRUE(port->send(good));
    EXPECT_EQ(port->readUntil([](const std::string& s) { return s.size() >= 3; }, 10000), "!\x06\x06");
    EXPECT_EQ(sim->observations().loaderLines, 4);
}

TEST_F(SimLine, PortClosedAndReopenedBetweenExchanges)
{
    for (const char* cmd : {"m", "z1", "p"}) {
        port = std::make_unique<PtyPort>(sim->devicePath());
        ASSERT_TRUE(port->isOpen());
        EXPECT_EQ(port->exchange(cmd).back(), '#') << cmd;
        port.reset();
    }
    port = std::make_unique<PtyPort>(sim->devicePath());
    EXPECT_NE(port->exchange("p").find("@B= 0001\r\n"), std::string::npos);
}

TEST_F(SimLine, AnswerForAClosedPortIsLost)
{
    sim->setSlow(150, 0);
    ASSERT_TRUE(port->send("m"));
    ASSERT_TRUE(commandsSeen(1));
    port.reset();  // the tool gives up before the answer
    EXPECT_TRUE(sim->waitFor([](const Observations& o) { return o.bytesDropped > 0 && o.portOpenCount == 0; }, 2000));
    sim->setSlow(0, 0);
    port = std::make_unique<PtyPort>(sim->devicePath());
    EXPECT_EQ(port->exchange("e"), "#");  // no stale identification in front
}

TEST(SimLinePlug, UnplugRemovesTheDeviceAndReplugBringsItBack)
{
    TempPortDir dir;
    Simulator sim;
    sim.setRegistration(
        7, [](int com, const std::string& path, std::string* err) { return zelt::registerPort(com, path, err); },
        [](int com) { zelt::unregisterPort(com); });
    std::string err;
    ASSERT_TRUE(sim.start(&err)) << err;
    const std::string first = sim.devicePath();
    EXPECT_EQ(zelt::registeredPorts().at(7), first);

    PtyPort open(first);  // the tool has the port open when the cable goes
    ASSERT_TRUE(open.isOpen());
    sim.unplug();
    struct stat st {};
    EXPECT_NE(stat(first.c_str(), &st), 0);
    EXPECT_EQ(zelt::registeredPorts().count(7), 0u);
    EXPECT_EQ(sim.devicePath(), "");
    open.send("m");
    EXPECT_EQ(open.readWindow(1000), "");
    EXPECT_TRUE(open.hungUp());

    ASSERT_TRUE(sim.replug(&err)) << err;
    const std::string second = sim.devicePath();
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(stat(second.c_str(), &st), 0);
    EXPECT_EQ(zelt::registeredPorts().at(7), second);
    PtyPort again(second);
    EXPECT_EQ(again.exchange("m"), "JKTW128 SN=20240624\r\n#");

    sim.stop();
    EXPECT_EQ(zelt::registeredPorts().count(7), 0u);
}
