// The serial line against a Linux pseudo-terminal that the Wine prefix shows
// as a COM port; pty-peer.py holds the other end and answers the commands
// written to it (see there). Every wait has a deadline far beyond its normal
// time; a wait that runs out is a failure, not a slow pass.
#include "platform/win/SerialLine.h"

#include "WinTestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <cstdlib>
#include <ostream>
#include <string>

using namespace zelt::win;
using zelt::wintest::waitUntil;

namespace zelt::win {
const char* problemName(LineProblem p);
// Problems in failure messages by name.
void PrintTo(LineProblem p, std::ostream* os)
{
    *os << problemName(p);
}
}  // namespace zelt::win

namespace {

constexpr unsigned long kDeadlineMs = 30000;

int envNumber(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : 0;
}

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace

const char* zelt::win::problemName(LineProblem p)
{
    switch (p) {
    case LineProblem::None: return "none";
    case LineProblem::NoSuchPort: return "no such port";
    case LineProblem::InUse: return "in use";
    case LineProblem::Lost: return "lost";
    case LineProblem::Failed: return "failed";
    }
    return "?";
}

namespace {

::testing::AssertionResult succeeded(const LineResult& r)
{
    if (r.ok())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problemName(r.problem) << " (" << systemMessage(r.systemError) << ")";
}

class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        com_ = envNumber("ZELT_PTY_COM");
        absent_ = envNumber("ZELT_ABSENT_COM");
        ASSERT_GT(com_, 0) << "run by pty-peer.py, which links the pseudo-terminal as a COM port";
        ASSERT_GT(absent_, 0);
    }

    // A command to the far end.
    void tell(SerialLine& line, const std::string& command)
    {
        const SendOutcome sent = line.send(command + "\n", kDeadlineMs);
        ASSERT_TRUE(succeeded(sent.result)) << command;
        ASSERT_EQ(sent.written, command.size() + 1) << command;
    }

    // Receives until count bytes came; fails on a problem or at the deadline.
    std::string receiveExactly(SerialLine& line, std::size_t count)
    {
        std::string got;
        const ULONGLONG deadline = GetTickCount64() + kDeadlineMs;
        while (got.size() < count && GetTickCount64() < deadline) {
            const ReceiveOutcome r = line.receive(got, count - got.size(), kDeadlineMs);
            EXPECT_TRUE(succeeded(r.result));
            if (!r.result.ok())
                break;
        }
        return got;
    }

    int com_ = 0;
    int absent_ = 0;
};

TEST_F(SerialLineTest, OpensWithTheLoggersLineSettings)
{
    SerialLine line;
    ASSERT_TRUE(succeeded(line.open(com_)));
    const std::optional<LineSettings> s = line.settings();
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->baudRate, 115200u);
    EXPECT_EQ(s->dataBits, 8);
    EXPECT_EQ(s->parity, NOPARITY);
    EXPECT_EQ(s->stopBits, ONESTOPBIT);
    EXPECT_FALSE(s->ctsFlow);
    EXPECT_FALSE(s->dsrFlow);
    EXPECT_FALSE(s->dsrSensitivity);
    EXPECT_FALSE(s->xonXoff);
    EXPECT_FALSE(s->abortOnError) << "a line error would stop every read until cleared";
    EXPECT_TRUE(s->dataTerminalReady);
    EXPECT_EQ(s->eventCharacter, 0);

    // The settings hold after close and open again.
    line.close();
    EXPECT_FALSE(line.settings().has_value());
    ASSERT_TRUE(succeeded(line.open(com_)));
    EXPECT_EQ(line.settings()->baudRate, 115200u);
}

TEST_F(SerialLineTest, RequestToSendIsOff)
{
    if (runningUnderWine()) {
        GTEST_SKIP() << "Wine reads the modem lines of a pseudo-terminal with TIOCMGET, which a pseudo-terminal "
                        "refuses (\"Inappropriate ioctl for device\"); it then reports RTS on whatever was set";
    }
    SerialLine line;
    ASSERT_TRUE(succeeded(line.open(com_)));
    EXPECT_FALSE(line.settings()->requestToSend);
}

TEST_F(SerialLineTest, EveryByteValueTravelsUnchangedBothWays)
{
    SerialLine line;
    ASSERT_TRUE(succeeded(line.open(com_)));
    std::string bytes;
    for (int round = 0; round < 10; ++round) {
        for (int b = 0; b < 256; ++b)
            bytes += static_cast<char>(round % 2 ? 255 - b : b);
    }
    // More than the driver's transmit queue in one write.
    ASSERT_GT(bytes.size(), SerialLine::kOutQueue);
    tell(line, "mirror " + std::to_string(bytes.size()));
    const SendOutcome sent = line.send(bytes, kDeadlineMs);
    ASSERT_TRUE(succeeded(sent.result));
    EXPECT_EQ(sent.written, bytes.size());
    EXPECT_EQ(hex(receiveExactly(line, bytes.size())), hex(bytes));
}

TEST_F(SerialLineTest, ReceiveReturnsAsSoonAsBytesArriveNotWhenItsBufferIsFull)
{
    SerialLine line;
    ASSERT_TRUE(succeeded(line.open(com_)));
    // Each answer comes while the receive waits, and is far smaller than
    // what the receive could take: it must come back on its own.
    for (const std::string answer : {"ok\r\n", "x", "ZELT 20240624\r\n"}) {
        tell(line, "later 300 " + hex(answer));
        std::string got;
        const ReceiveOutcome r = line.receive(got, 4096, kDeadlineMs);
        EXPECT_FALSE(r.timedOut) << "the receive waited for more bytes than came";
        EXPECT_TRUE(succeeded(r.result));
        EXPECT_EQ(got, answer);
    }
    // Bytes already waiting come back at once, all of them in one receive.
    tell(line, "echo " + hex("abcdef"));
    ASSERT_TRUE(waitUntil([&] { return line.waitingInSystem().value_or(0) >= 6; }, kDeadlineMs));
    std::string got;
    const ReceiveOutcome r = line.receive(got, 4096, kDeadlineMs);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(got, "abcdef");
    // No more than the room given is taken; the rest stays waiting.
    tell(line, "echo " + hex("123456"));
    ASSERT_TRUE(waitUntil([&] { return line.waitingInSystem().value_or(0) >= 6; }, kDeadlineMs));
    got.clear();
    line.receive(got, 4, kDeadlineMs);
    EXPECT_EQ(got, "1234");
    EXPECT_EQ(receiveExactly(line, 2), "56");
}

TEST_F(SerialLineTest, ReceiveWithNothingArrivingEndsAtItsDeadline)
{
    SerialLine line;
    ASSERT_TRUE(succeeded(line.open(com_)));
    std::string got;
    const ReceiveOutcome r = line.receive(got, 4096, 700);
    EXPECT_TRUE(r.finished);
    EXPECT_TRUE(r.timedOut);
    EXPECT_TRUE(succeeded(r.result));
    EXPECT_TRUE(got.empty());
    // The line still works afterwards.
    tell(line, "echo " + hex("after"));
    EXPECT_EQ(receiveExactly(line, 5), "after");
}

TEST_F(SerialLineTest, OpeningDiscardsBytesThatArrivedBefore)
{
    SerialLine line;
    ASSERT_TRUE(succeeded(line.open(com_)));
    tell(line, "echo " + hex("STALE"));
    ASSERT_TRUE(waitUntil([&] { return line.waitingInSystem().value_or(0) >= 5; }, kDeadlineMs));
    line.close();

    ASSERT_TRUE(succeeded(line.open(com_)));
    EXPECT_EQ(line.waitingInSystem().value_or(99), 0u);
    tell(line, "echo " + hex("fresh"));
    EXPECT_EQ(receiveExactly(line, 5), "fresh");
}

TEST_F(SerialLineTest, PurgeInputEndsTheWaitAndDiscardsWhatIsWaiting)
{
    SerialLine line;
    ASSERT_TRUE(succeeded(line.open(com_)));
    ASSERT_TRUE(line.startReceive());
    tell(line, "echo " + hex("old bytes"));
    ASSERT_TRUE(waitUntil([&] { return WaitForSingleObject(line.receiveEvent(), 0) == WAIT_OBJECT_0; }, kDeadlineMs));
    ASSERT_TRUE(line.purgeInput());
    EXPECT_FALSE(line.receiving());
    EXPECT_EQ(line.waitingInSystem().value_or(99), 0u);
    tell(line, "echo " + hex("new"));
    EXPECT_EQ(receiveExactly(line, 3), "new");
}

TEST_F(SerialLineTest, SecondOpenOfTheSamePortIsRefusedAsInUse)
{
    SerialLine first;
    ASSERT_TRUE(succeeded(first.open(com_)));
    SerialLine second;
    const LineResult refused = second.open(com_);
    EXPECT_EQ(refused.problem, LineProblem::InUse) << problemName(refused.problem);
    EXPECT_FALSE(second.isOpen());
    // The refused open left the first one working.
    tell(first, "echo " + hex("still"));
    EXPECT_EQ(receiveExactly(first, 5), "still");

    first.close();
    EXPECT_TRUE(succeeded(second.open(com_)));
}

TEST_F(SerialLineTest, PortWithoutADeviceIsNoSuchPort)
{
    SerialLine line;
    for (int number : {absent_, 0, -1, 65536}) {
        const LineResult r = line.open(number);
        EXPECT_EQ(r.problem, LineProblem::NoSuchPort) << "COM" << number << ": " << problemName(r.problem);
        EXPECT_FALSE(line.isOpen());
    }
}

TEST_F(SerialLineTest, EventCharacterIsTakenAndLeavesTheLineSettings)
{
    SerialLine line;
    EXPECT_FALSE(line.setEventCharacter('>')) << "a closed line has no event character";
    ASSERT_TRUE(succeeded(line.open(com_)));
    EXPECT_TRUE(line.setEventCharacter('>'));
    const std::optional<LineSettings> s = line.settings();
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->baudRate, 115200u);
    EXPECT_EQ(s->dataBits, 8);
    EXPECT_TRUE(s->dataTerminalReady);
    EXPECT_TRUE(line.setEventCharacter(std::nullopt));
    // Bytes still travel with it set.
    EXPECT_TRUE(line.setEventCharacter('>'));
    tell(line, "echo " + hex("a>b"));
    EXPECT_EQ(receiveExactly(line, 3), "a>b");
}

TEST_F(SerialLineTest, EventCharacterReadsBack)
{
    if (runningUnderWine())
        GTEST_SKIP() << "Wine keeps no event character for a pseudo-terminal: GetCommState reports 0";
    SerialLine line;
    ASSERT_TRUE(succeeded(line.open(com_)));
    ASSERT_TRUE(line.setEventCharacter('>'));
    EXPECT_EQ(line.settings()->eventCharacter, '>');
    ASSERT_TRUE(line.setEventCharacter(std::nullopt));
    EXPECT_EQ(line.settings()->eventCharacter, 0);
}

// Run alone: the far end is gone afterwards.
TEST_F(SerialLineTest, ClosedFarEndIsADeviceLostNotAHang)
{
    SerialLine line;
    ASSERT_TRUE(succeeded(line.open(com_)));
    tell(line, "hangup");
    std::string got;
    const ReceiveOutcome r = line.receive(got, 4096, kDeadlineMs);
    EXPECT_FALSE(r.timedOut) << "the receive did not notice the device was gone";
    EXPECT_EQ(r.result.problem, LineProblem::Lost) << problemName(r.result.problem) << " ("
                                                   << systemMessage(r.result.systemError) << ")";
    // Sending to it fails too, at once, rather than waiting.
    const SendOutcome s = line.send("more", kDeadlineMs);
    EXPECT_EQ(s.result.problem, LineProblem::Lost) << problemName(s.result.problem) << " ("
                                                   << systemMessage(s.result.systemError) << ")";
    line.close();
    EXPECT_FALSE(line.isOpen());
}

}  // namespace
