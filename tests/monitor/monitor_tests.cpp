// The live monitor: the reply scan on its own, then the monitor button, the
// readings the tick asks for, the "やりなおし" and "Z" buttons and the loss of
// the port, through the whole tool on the in-memory port.
#include "tests/monitor/MonitorTool.h"

#include "data/Monitor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSlider>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>

using namespace zelt;
using namespace zelt::test;

namespace {

const QByteArray kReading = "X=    5 Y=  -12 Z=   20       p=25.3C";

// ---------------------------------------------------------------------------
// The scan of a reply text.

struct AxisExpect {
    bool present;
    const char* text;
    std::optional<int> value;
};

struct ScanCase {
    const char* name;
    const char* text;
    AxisExpect x, y, z;
    std::optional<const char*> temperature;
};
void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

constexpr AxisExpect kAbsent{false, "", std::nullopt};

class ScanText : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanText, FindsEachLetteredField)
{
    const ScanCase& c = GetParam();
    const MonitorReading r = scanMonitorText(c.text);
    const auto check = [](const char* axis, const MonitorReading::Axis& got, const AxisExpect& want) {
        EXPECT_EQ(got.present, want.present) << axis;
        EXPECT_EQ(got.text, want.text) << axis;
        EXPECT_EQ(got.value, want.value) << axis;
    };
    check("X", r.x, c.x);
    check("Y", r.y, c.y);
    check("Z", r.z, c.z);
    if (c.temperature)
        EXPECT_EQ(r.temperature, std::optional<std::string>(*c.temperature));
    else
        EXPECT_EQ(r.temperature, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ScanText,
    ::testing::Values(
        ScanCase{"WholeReading", "X=    5 Y=  -12 Z=   20       p=25.3C", {true, "    5", 5}, {true, "  -12", -12},
                 {true, "   20", 20}, "25.3"},
        ScanCase{"EmptyText", "", kAbsent, kAbsent, kAbsent, std::nullopt},
        // The letters of a reply split over lines, accumulated without separators.
        ScanCase{"LinesRunTogether", "X=    1p=-3.5CY=    2", {true, "    1", 1}, {true, "    2", 2}, kAbsent, "-3.5"},
        ScanCase{"LastOccurrenceWins", "X=    1 X=   -7", {true, "   -7", -7}, kAbsent, kAbsent, std::nullopt},
        ScanCase{"NotANumber", "X=  abc Y=    -", {true, "  abc", std::nullopt}, {true, "    -", std::nullopt}, kAbsent,
                 std::nullopt},
        ScanCase{"LetterAtTheEnd", "Y=    4 Z", kAbsent, {true, "    4", 4}, {true, "", std::nullopt}, std::nullopt},
        ScanCase{"SeparatorAtTheEnd", "Z=", kAbsent, kAbsent, {true, "", std::nullopt}, std::nullopt},
        ScanCase{"FewerThanFiveCharacters", "X=12", {true, "12", 12}, kAbsent, kAbsent, std::nullopt},
        // At most five characters make the number; the label shows five.
        ScanCase{"LongNumberCut", "X=1234567", {true, "12345", 12345}, kAbsent, kAbsent, std::nullopt},
        ScanCase{"SignAndDigitsWithinFive", "X=-98765", {true, "-9876", -9876}, kAbsent, kAbsent, std::nullopt},
        ScanCase{"PlusSign", "X=   +8", {true, "   +8", 8}, kAbsent, kAbsent, std::nullopt},
        ScanCase{"BlanksBeforeTheNumberAreSkipped", "Y=       9", kAbsent, {true, "     ", 9}, kAbsent, std::nullopt},
        ScanCase{"DigitsThenOtherText", "Z=  12a", kAbsent, kAbsent, {true, "  12a", 12}, std::nullopt},
        // Any separator character will do.
        ScanCase{"OtherSeparator", "X:   3", {true, "   3", 3}, kAbsent, kAbsent, std::nullopt},
        // A "p" in a word carries no temperature and keeps the one before.
        ScanCase{"PInAWord", "p=21.0C temp", kAbsent, kAbsent, kAbsent, "21.0"},
        ScanCase{"PStartingNoWord", "p=21.0C temperature=x", kAbsent, kAbsent, kAbsent, "21.0"},
        // A temperature field without a number clears the value: no stale reading.
        ScanCase{"TemperatureFieldWithoutNumber", "p=21.0C p=--.-C", kAbsent, kAbsent, kAbsent, ""},
        ScanCase{"TemperatureFieldEmpty", "X=    1 p=", {true, "    1", 1}, kAbsent, kAbsent, ""},
        ScanCase{"TemperatureWithoutUnit", "p= 8.0", kAbsent, kAbsent, kAbsent, " 8.0"}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

TEST(TrackBar, TwentyIsZeroAndReadingsBeyondTwentySitAtTheEnds)
{
    const std::vector<std::pair<int, int>> table = {
        {5, 25},  {-12, 8},  {20, 40},  {0, 20},           {-20, 0},         {21, 40},
        {-21, 0}, {99999, 40}, {-9999, 0}, {INT_MAX, 40}, {INT_MIN, 0},   {19, 39}};
    for (const auto& [value, position] : table)
        EXPECT_EQ(trackBarPosition(value), position) << value;
}

// ---------------------------------------------------------------------------
// The monitor button.

std::vector<QWidget*> normalControls(TForm1& f)
{
    return {f.ComboBox1, f.ComboBox2, f.ComboBox3, f.ComboBox4, f.ComboBox5, f.Button30, f.CheckBox2, f.Label19,
            f.Button4,   f.Button3,   f.Button6,   f.Button9,   f.Button2,   f.Button11, f.Button12, f.Button17};
}

std::vector<QWidget*> monitorControls(TForm1& f)
{
    return {f.Label1,    f.Label2,    f.Label3,    f.Label11, f.Label27, f.Label32,
            f.TrackBar1, f.TrackBar2, f.TrackBar3, f.Edit10,  f.Button22};
}

std::map<QWidget*, bool> hiddenStates(const std::vector<QWidget*>& widgets)
{
    std::map<QWidget*, bool> states;
    for (QWidget* w : widgets)
        states[w] = w->isHidden();
    return states;
}

TEST(MonitorButton, SwitchesTheWindowToTheMonitorAndBack)
{
    MonitorTool t;
    TForm1& f = *t.f;
    f.Memo1->addLine("earlier answer");
    // The settings boxes start hidden; leaving the monitor shows them.
    const std::map<QWidget*, bool> before = hiddenStates(normalControls(f));
    ASSERT_TRUE(before.at(f.ComboBox1));
    ASSERT_TRUE(before.at(f.ComboBox4));
    ASSERT_FALSE(before.at(f.ComboBox5));
    for (QWidget* w : monitorControls(f))
        ASSERT_TRUE(w->isHidden()) << w->objectName().toStdString();
    // An exchange is running: the monitor ends it.
    t.port.setOpen(true);
    f.queuedCommand1 = "p";
    f.monitorStreamOpen = 1;
    f.lineLength = 4;

    f.Button10->click();

    EXPECT_EQ(f.monitorMode, 1);
    EXPECT_EQ(f.Timer1->interval(), 300);
    EXPECT_FALSE(t.port.Open());
    EXPECT_TRUE(f.queuedCommand1.empty());
    EXPECT_EQ(f.monitorStreamOpen, 0);
    EXPECT_EQ(f.lineLength, 0);
    EXPECT_EQ(f.Button10->text(), QStringLiteral("もどる"));
    EXPECT_EQ(t.memo(), std::vector<QByteArray>{"On monitoring"});
    EXPECT_TRUE(f.Memo1->isHidden());
    for (QWidget* w : normalControls(f))
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    // The bars, their captions, the value labels, the temperature and
    // "やりなおし" are shown.
    for (QWidget* w : monitorControls(f))
        EXPECT_FALSE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_TRUE(t.port.takeWritten().isEmpty());

    // A colour given to the button meanwhile goes back to the window text's.
    QPalette red = f.Button10->palette();
    red.setColor(QPalette::ButtonText, Qt::red);
    f.Button10->setPalette(red);
    ASSERT_NE(QApplication::palette().color(QPalette::WindowText), QColor(Qt::red));
    f.monitorQueuedCommand = "hAAA";

    f.Button10->click();

    EXPECT_EQ(f.monitorMode, 0);
    EXPECT_EQ(f.refreshPending, 1);
    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_EQ(f.Button10->text(), QStringLiteral("モニタ"));
    EXPECT_EQ(f.Button10->palette().color(QPalette::ButtonText), QApplication::palette().color(QPalette::WindowText));
    EXPECT_TRUE(t.memo().empty());
    EXPECT_FALSE(f.Memo1->isHidden());
    for (QWidget* w : normalControls(f))
        EXPECT_FALSE(w->isHidden()) << w->objectName().toStdString();
    for (QWidget* w : monitorControls(f))
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    // A redo that did not go out is not sent in a later monitor.
    EXPECT_TRUE(f.monitorQueuedCommand.empty());
}

// ---------------------------------------------------------------------------
// Readings: the tick asks, the logger replies, the controls follow.

struct MonitorRunning : MonitorTool {
    MonitorRunning()
    {
        f->Button10->click();
        requestReading();
    }
    // One tick: the reading request goes out.
    void requestReading()
    {
        f->Timer1Timer();
        EXPECT_EQ(port.takeWritten(), QByteArray("n"));
        EXPECT_EQ(f->monitorStreamOpen, 1);
    }
    std::vector<int> bars() const { return {f->TrackBar1->value(), f->TrackBar2->value(), f->TrackBar3->value()}; }
    QStringList labels() const { return {f->Label11->text(), f->Label27->text(), f->Label32->text()}; }
};

TEST(MonitorReadings, OneLineMovesBarsLabelsAndTemperature)
{
    MonitorRunning t;
    TForm1& f = *t.f;
    t.send(kReading + "\r\n");
    EXPECT_EQ(t.bars(), (std::vector<int>{25, 8, 40}));
    EXPECT_EQ(t.labels(), (QStringList{"    5", "  -12", "   20"}));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral("25.3C"));
    EXPECT_EQ(f.Label23->text(), QStringLiteral("3"));
    EXPECT_TRUE(t.memo().empty());  // not listed

    // The end mark closes the exchange; the next tick asks again.
    t.send("#");
    EXPECT_EQ(f.monitorStreamOpen, 0);
    EXPECT_EQ(f.lineLength, 0);
    EXPECT_FALSE(t.port.Open());
    t.requestReading();
    t.send("X=   -3 Y=    0 Z=   25       p= 9.9C\r\n#");
    EXPECT_EQ(t.bars(), (std::vector<int>{17, 20, 40}));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral(" 9.9C"));
}

TEST(MonitorReadings, NoSecondRequestWhileAReplyIsOutstanding)
{
    MonitorRunning t;
    t.f->Timer1Timer();
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    t.send(kReading + "\r\n#");
    t.requestReading();
}

TEST(MonitorReadings, ReplySplitOverThreeLinesUpdatesLineByLine)
{
    MonitorRunning t;
    TForm1& f = *t.f;
    t.send("X=    1 p=20.5C\r\n");
    EXPECT_EQ(t.labels(), (QStringList{"    1", "000", "000"}));
    EXPECT_EQ(t.bars(), (std::vector<int>{21, 20, 20}));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral("20.5C"));

    // The first line's values are shown again; the second adds Y.
    f.Label11->setText(QStringLiteral("seen"));
    t.send("Y=   -2\r\n");
    EXPECT_EQ(t.labels(), (QStringList{"    1", "   -2", "000"}));
    EXPECT_EQ(t.bars(), (std::vector<int>{21, 18, 20}));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral("20.5C"));

    // A later line carrying X wins over the first.
    t.send("X=    7 Z=    3\r\n#");
    EXPECT_EQ(t.labels(), (QStringList{"    7", "   -2", "    3"}));
    EXPECT_EQ(t.bars(), (std::vector<int>{27, 18, 23}));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral("20.5C"));
    EXPECT_EQ(f.monitorStreamOpen, 0);
}

TEST(MonitorReadings, FieldThatIsNoNumberShowsItsTextAndLeavesTheBar)
{
    MonitorRunning t;
    TForm1& f = *t.f;
    t.send(kReading + "\r\n#");
    ASSERT_EQ(t.bars(), (std::vector<int>{25, 8, 40}));
    t.requestReading();
    t.send("X=  abc Y=    3 Z=\r\n#");
    EXPECT_EQ(t.labels(), (QStringList{"  abc", "    3", ""}));
    EXPECT_EQ(t.bars(), (std::vector<int>{25, 23, 40}));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral("25.3C"));
}

TEST(MonitorReadings, TemperatureWithoutANumberClearsTheShownValue)
{
    MonitorRunning t;
    TForm1& f = *t.f;
    t.send(kReading + "\r\n#");
    ASSERT_EQ(f.Edit10->text(), QStringLiteral("25.3C"));
    t.requestReading();
    t.send("X=    1 Y=    2 Z=    3       p=---.-C\r\n#");
    EXPECT_EQ(f.Edit10->text(), QString());
    // The next good reading shows again.
    t.requestReading();
    t.send(kReading + "\r\n#");
    EXPECT_EQ(f.Edit10->text(), QStringLiteral("25.3C"));
}

TEST(MonitorReadings, ReadingsBeyondTheBarSitAtItsEnds)
{
    MonitorRunning t;
    t.send("X=  127 Y= -128 Z=99999\r\n#");
    EXPECT_EQ(t.bars(), (std::vector<int>{40, 0, 40}));
    EXPECT_EQ(t.labels(), (QStringList{"  127", " -128", "99999"}));
}

TEST(MonitorReadings, RedoIsSentInsteadOfTheNextRequest)
{
    MonitorRunning t;
    TForm1& f = *t.f;
    f.Button22->click();
    EXPECT_EQ(f.monitorQueuedCommand.view(), "hAAA");
    EXPECT_TRUE(t.port.takeWritten().isEmpty());  // nothing goes out at once
    t.send(kReading + "\r\n#");
    f.Timer1Timer();
    EXPECT_EQ(t.port.takeWritten(), QByteArray("hAAA"));
    EXPECT_TRUE(f.monitorQueuedCommand.empty());
    // Its answer runs to its end mark before the next reading is asked for.
    f.Timer1Timer();
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    t.send("#");
    t.requestReading();
}

// A reply slower than the tick is waited for: the port stays open and no
// second request goes out, so the reading arrives whole.
TEST(MonitorReadings, SlowReplyIsNotCutByTheTick)
{
    MonitorRunning t;
    TForm1& f = *t.f;
    f.monitorReplyLimitMs = 60000;
    t.send("X=    5 Y=  -12");
    for (int i = 0; i < 3; ++i) {
        f.Timer1Timer();
        EXPECT_TRUE(t.port.Open()) << "tick " << i;
        EXPECT_TRUE(t.port.takeWritten().isEmpty()) << "tick " << i;
    }
    t.send(" Z=   20       p=25.3C\r\n#");
    EXPECT_EQ(t.bars(), (std::vector<int>{25, 8, 40}));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral("25.3C"));
    t.requestReading();
}

// A reply later than the reading's limit is shown as missing ("---", the
// bars greyed) but not cut: while the logger is not silent for the silence
// limit, the port stays open, nothing is asked again, and the reply is shown
// whole when it comes.
TEST(MonitorReadings, LateReplyIsShownMissingButWaitedFor)
{
    MonitorRunning t;
    TForm1& f = *t.f;
    t.send(kReading + "\r\n#");
    t.requestReading();
    f.monitorReplyLimitMs = 0;  // the reading's limit has passed at the next tick
    t.send("X=    5 Y=  -12");
    for (int i = 0; i < 3; ++i) {
        f.Timer1Timer();
        EXPECT_EQ(t.labels(), (QStringList{"---", "---", "---"})) << "tick " << i;
        EXPECT_FALSE(f.TrackBar1->isEnabled()) << "tick " << i;
        EXPECT_TRUE(t.port.Open()) << "tick " << i;
        EXPECT_TRUE(t.port.takeWritten().isEmpty()) << "tick " << i;
    }
    t.send(" Z=   20       p=25.3C\r\n#");
    EXPECT_EQ(t.bars(), (std::vector<int>{25, 8, 40}));
    EXPECT_EQ(t.labels(), (QStringList{"    5", "  -12", "   20"}));
    EXPECT_TRUE(f.TrackBar1->isEnabled());
    t.requestReading();
}

// A reply whose logger has gone silent for the silence limit is given up:
// the readings show "---" (the bars greyed) and the request goes out again;
// the next reply shows again.
TEST(MonitorReadings, LostReplyIsGivenUpAndTheReadingsMarkedStale)
{
    MonitorRunning t;
    TForm1& f = *t.f;
    t.send(kReading + "\r\n#");
    t.requestReading();
    f.monitorReplyLimitMs = 0;
    f.silentLoggerMs = 0;  // silent for the limit at the next tick
    t.send("X=  ");        // the reply breaks off
    f.Timer1Timer();
    EXPECT_EQ(t.labels(), (QStringList{"---", "---", "---"}));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral("---"));
    EXPECT_FALSE(f.TrackBar1->isEnabled());
    EXPECT_EQ(t.port.takeWritten(), QByteArray("n")) << "the request is repeated";
    EXPECT_EQ(f.lineLength, 0) << "the broken reply is dropped";

    f.monitorReplyLimitMs = 60000;
    f.silentLoggerMs = 60000;
    t.send("X=   -3 Y=    0 Z=   25       p= 9.9C\r\n#");
    EXPECT_EQ(t.labels(), (QStringList{"   -3", "    0", "   25"}));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral(" 9.9C"));
    EXPECT_TRUE(f.TrackBar1->isEnabled());
    t.requestReading();
}

// The adapter disappears while the monitor runs: the tick switches the
// monitor off as its button does.
TEST(MonitorReadings, LostAdapterSwitchesTheMonitorOff)
{
    MonitorRunning t;
    TForm1& f = *t.f;
    t.send("X=    5\r\n");  // a reply cut off by the loss
    t.unplugAdapter();
    f.Timer1Timer();
    EXPECT_EQ(f.monitorMode, 0);
    EXPECT_EQ(f.monitorStreamOpen, 0);
    EXPECT_EQ(f.refreshPending, 1);
    EXPECT_EQ(f.Button10->text(), QStringLiteral("モニタ"));
    EXPECT_FALSE(f.Memo1->isHidden());
    EXPECT_TRUE(f.TrackBar1->isHidden());
    EXPECT_TRUE(f.Label11->isHidden());
    EXPECT_FALSE(t.port.Open());
}

// Switched off while a reading reply is still coming: the closed port cuts it
// off, and the settings report still goes out at the next tick.
TEST(MonitorReadings, SwitchedOffInMidReplyTheReportIsStillAskedFor)
{
    MonitorRunning t;
    TForm1& f = *t.f;
    t.send("X=    5\r\n");
    f.Button10->click();
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(f.monitorStreamOpen, 0);
    f.Timer1Timer();
    EXPECT_EQ(t.port.takeWritten(), QByteArray("p"));
    EXPECT_EQ(f.refreshPending, 0);

    // And the monitor, switched on again, asks for readings again.
    t.send("@T=0010\r\n#");
    f.Button10->click();
    t.requestReading();
}

TEST(MonitorButton, DoesNotCutIntoACaptureOrADownload)
{
    struct Busy {
        const char* name;
        std::function<void(TForm1&)> set;
    };
    const std::vector<Busy> table = {
        {"capture", [](TForm1& f) { f.onlineRow = 3; }},
        {"download", [](TForm1& f) { f.downloadActive = 1; }},
        {"firmware", [](TForm1& f) { f.firmwareSending = 1; }},
    };
    for (const Busy& b : table) {
        MonitorTool t;
        TForm1& f = *t.f;
        b.set(f);
        t.port.setOpen(true);
        const int interval = f.Timer1->interval();
        f.Button10->click();
        EXPECT_EQ(f.monitorMode, 0) << b.name;
        EXPECT_TRUE(t.port.Open()) << b.name;
        EXPECT_EQ(f.Timer1->interval(), interval) << b.name;
        EXPECT_TRUE(f.TrackBar1->isHidden()) << b.name;
    }
}

// ---------------------------------------------------------------------------
// The "Z" button.

TEST(ZButton, ActsOnlyForAnIdentifiedLogger)
{
    MonitorTool t;
    TForm1& f = *t.f;
    f.loggerReady = 0;
    f.Memo1->addLine("kept");
    f.Button41->click();
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(t.memo(), std::vector<QByteArray>{"kept"});
}

TEST(ZButton, SendsZAndListsTheAnswer)
{
    MonitorTool t;
    TForm1& f = *t.f;
    f.Memo1->addLine("earlier");
    f.Button41->click();
    EXPECT_EQ(t.port.takeWritten(), QByteArray("Z"));
    EXPECT_TRUE(t.port.Open());
    EXPECT_TRUE(t.memo().empty());
    // The tick waits for the answer and its end mark starts it again.
    EXPECT_EQ(f.Timer1->interval(), 0);
    t.send("ZERO SET\r\nOK\r\n#");
    EXPECT_EQ(t.memo(), (std::vector<QByteArray>{"ZERO SET", "OK"}));
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(f.Timer1->interval(), 1000);
}

TEST(ZButton, BusyPortKeepsTheMemo)
{
    MonitorTool t;
    TForm1& f = *t.f;
    f.Memo1->addLine("a data set");
    t.port.failNextOpen(QStringLiteral("COM3 is in use"));
    f.Button41->click();
    EXPECT_EQ(t.memo(), std::vector<QByteArray>{"a data set"});
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_TRUE(t.dialogs.messages[0].contains(QStringLiteral("in use")));
}

}  // namespace
