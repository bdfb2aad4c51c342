// The command controls of the main window through their real widgets: the
// exact bytes written, the guards, clearing the log, and what each leaves
// for the tick and the end-mark queue.
#include "SettingsTool.h"

#include "platform/Clock.h"
#include "platform/Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <functional>

using namespace zelt;
using namespace zelt::test;

namespace {

enum class Needs { Nothing, Ready, ReadyIdle };
enum class After { Nothing, Refresh, StopTick, Tick };

struct Row {
    const char* name;
    std::function<void(TForm1&)> prepare;
    std::function<void(TForm1&)> trigger;
    QByteArray bytes;
    Needs needs;
    bool clearsLog;
    After after;
    int tickMs;
};

std::function<void(TForm1&)> clickOn(QPushButton* TForm1::*button)
{
    return [button](TForm1& f) { (f.*button)->click(); };
}

std::function<void(TForm1&)> editText(QLineEdit* TForm1::*edit, const char* text)
{
    return [edit, text](TForm1& f) { (f.*edit)->setText(QString::fromUtf8(text)); };
}

const auto nothing = [](TForm1&) {};

const std::vector<Row>& rows()
{
    static const std::vector<Row> table = {
        {"情報", nothing, clickOn(&TForm1::Button15), "m", Needs::Nothing, true, After::Nothing, 0},
        {"T", nothing, clickOn(&TForm1::Button5), "#", Needs::Nothing, false, After::Nothing, 0},
        {"m", nothing, clickOn(&TForm1::Button46), "m", Needs::Nothing, false, After::Nothing, 0},
        {"OLD", nothing, clickOn(&TForm1::Button44), "vp", Needs::Nothing, true, After::Nothing, 0},
        {"GPS", nothing, clickOn(&TForm1::Button56), "E", Needs::Nothing, false, After::Nothing, 0},
        {"GET", nothing, clickOn(&TForm1::Button29), "n", Needs::ReadyIdle, false, After::Nothing, 0},
        {"時間表示", nothing, clickOn(&TForm1::Button16), "t", Needs::ReadyIdle, false, After::Nothing, 0},
        {"ON", nothing, clickOn(&TForm1::Button7), "o", Needs::Ready, false, After::Nothing, 0},
        {"StandBy", nothing, clickOn(&TForm1::Button14), "f", Needs::Ready, false, After::Nothing, 0},
        {"ハザード", editText(&TForm1::Edit1, " -3"), clickOn(&TForm1::Button18), "Ox-03", Needs::Ready, true,
         After::Refresh, 0},
        {"Gravity", editText(&TForm1::Edit2, "ON"), clickOn(&TForm1::Button19), "Oy00", Needs::Ready, true,
         After::Refresh, 0},
        {"エンドレス ON", editText(&TForm1::Edit6, "ON"), clickOn(&TForm1::Button20), "Oz00", Needs::Ready, true,
         After::Refresh, 0},
        {"エンドレス OFF", editText(&TForm1::Edit6, "OFF"), clickOn(&TForm1::Button20), "Oz01", Needs::Ready, true,
         After::Refresh, 0},
        {"エンドレス 0", editText(&TForm1::Edit6, "0"), clickOn(&TForm1::Button20), "Oz01", Needs::Ready, true,
         After::Refresh, 0},
        {"100hz", editText(&TForm1::Edit7, "ON  "), clickOn(&TForm1::Button21), "OX00", Needs::Ready, true,
         After::Refresh, 0},
        {"表示", editText(&TForm1::Edit8, "12"), clickOn(&TForm1::Button23), "OY12", Needs::Ready, true,
         After::Refresh, 0},
        {"DF -3", editText(&TForm1::Edit11, "-3"), clickOn(&TForm1::Button24), "OZ-03", Needs::Ready, true,
         After::Refresh, 0},
        {"DF 12", editText(&TForm1::Edit11, "12"), clickOn(&TForm1::Button24), "OZ12", Needs::Ready, true,
         After::Refresh, 0},
        {"DF 0", editText(&TForm1::Edit11, "0"), clickOn(&TForm1::Button24), "OZ00", Needs::Ready, true,
         After::Refresh, 0},
        {"LCD1", nothing, clickOn(&TForm1::Button25), "q7", Needs::Ready, true, After::Nothing, 0},
        {"DR50", nothing, clickOn(&TForm1::Button33), "q5", Needs::Ready, true, After::Refresh, 0},
        {"DR10", nothing, clickOn(&TForm1::Button34), "q1", Needs::Ready, true, After::Refresh, 0},
        {"N", nothing, clickOn(&TForm1::Button35), "b0", Needs::Ready, true, After::Refresh, 0},
        {"L", nothing, clickOn(&TForm1::Button36), "b1", Needs::Ready, true, After::Refresh, 0},
        {"320", nothing, clickOn(&TForm1::Button43), "b0", Needs::Ready, true, After::Nothing, 0},
        {"L+Edit14", editText(&TForm1::Edit14, "7"), clickOn(&TForm1::Button48), "L07", Needs::Ready, true,
         After::Refresh, 0},
        {"W", nothing, clickOn(&TForm1::Button49), "W", Needs::Nothing, true, After::Tick, 3000},
        {"Rec 2500", editText(&TForm1::Edit15, "2500"), clickOn(&TForm1::Button50), "r25", Needs::Ready, true,
         After::Refresh, 0},
        {"Rec 50", editText(&TForm1::Edit15, "50"), clickOn(&TForm1::Button50), "r00", Needs::Ready, true,
         After::Refresh, 0},
        {"X2", editText(&TForm1::Edit20, " 12 "), clickOn(&TForm1::Button53), "FX 12", Needs::Ready, false,
         After::Refresh, 0},
        {"Y2", editText(&TForm1::Edit16, "-5"), clickOn(&TForm1::Button51), "FY-5", Needs::Ready, false,
         After::Refresh, 0},
        {"Z2", editText(&TForm1::Edit17, "ABC  "), clickOn(&TForm1::Button52), "FZABC", Needs::Ready, false,
         After::Refresh, 0},
        {"id", nothing, clickOn(&TForm1::Button54), "Kr", Needs::Ready, false, After::StopTick, 0},
        {"Wid", editText(&TForm1::Edit21, "ABC  "), clickOn(&TForm1::Button55), "KwABC\r", Needs::Ready, false,
         After::StopTick, 0},
        {"検出値", [](TForm1& f) { f.ComboBox1->setEditText(QStringLiteral("15")); }, clickOn(&TForm1::Button9),
         "d15", Needs::Nothing, false, After::Nothing, 0},
        {"調整用->", nothing, [](TForm1& f) { emit f.Label36->clicked(); }, "e", Needs::Ready, true,
         After::Nothing, 0},
        {"BZ-OFF", [](TForm1& f) { f.Label19->setText(QStringLiteral("BZ-OFF")); },
         [](TForm1& f) { emit f.Label19->doubleClicked(); }, "z0", Needs::ReadyIdle, false, After::Refresh, 0},
        {"BZ-ON", [](TForm1& f) { f.Label19->setText(QStringLiteral("BZ-ON")); },
         [](TForm1& f) { emit f.Label19->doubleClicked(); }, "z1", Needs::ReadyIdle, false, After::Refresh, 0},
        {"SETBLE", nothing, clickOn(&TForm1::Button31), "q8", Needs::Ready, true, After::Tick, 2000},
        {"RSTBLE", nothing, clickOn(&TForm1::Button32), "q9", Needs::Ready, true, After::Tick, 10000},
        {"VER", nothing, clickOn(&TForm1::Button8), "p", Needs::Nothing, true, After::Tick, 2000},
    };
    return table;
}

// What a sent command left behind, against the row's expectations.
void expectSent(SettingsTool& t, const Row& row)
{
    EXPECT_EQ(t.written(), row.bytes) << row.name;
    EXPECT_EQ(t.memoCleared(), row.clearsLog) << row.name;
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << row.name << ": " << t.dialogs.messages.join('|').toStdString();
    switch (row.after) {
    case After::Nothing:
        EXPECT_EQ(t.tick(), SettingsTool::kParkedTick) << row.name;
        EXPECT_TRUE(t.f->queuedCommand1.empty()) << row.name;
        break;
    case After::Refresh:
        EXPECT_TRUE(t.refreshRequested()) << row.name;
        break;
    case After::StopTick:
        EXPECT_EQ(t.tick(), 0) << row.name;
        EXPECT_TRUE(t.f->queuedCommand1.empty()) << row.name;
        break;
    case After::Tick:
        EXPECT_EQ(t.tick(), row.tickMs) << row.name;
        EXPECT_TRUE(t.f->queuedCommand1.empty()) << row.name;
        break;
    }
}

void expectIgnored(SettingsTool& t, const Row& row)
{
    EXPECT_EQ(t.written(), QByteArray()) << row.name;
    EXPECT_FALSE(t.memoCleared()) << row.name;
    EXPECT_TRUE(t.f->queuedCommand1.empty()) << row.name;
    EXPECT_EQ(t.tick(), SettingsTool::kParkedTick) << row.name;
}

TEST(CommandControls, SendTheirBytesWhenTheLoggerIsReadyAndIdle)
{
    for (const Row& row : rows()) {
        SettingsTool t;
        row.prepare(*t.f);
        row.trigger(*t.f);
        expectSent(t, row);
        EXPECT_TRUE(t.port.Open()) << row.name << ": the answer is awaited on the open port";
    }
}

TEST(CommandControls, WithoutAReadyLoggerOnlyTheUnguardedOnesSend)
{
    for (const Row& row : rows()) {
        SettingsTool t;
        t.f->loggerReady = 0;
        row.prepare(*t.f);
        row.trigger(*t.f);
        if (row.needs == Needs::Nothing)
            expectSent(t, row);
        else
            expectIgnored(t, row);
    }
}

TEST(CommandControls, DuringAnExchangeOnlyTheIdleGuardedOnesWait)
{
    for (const Row& row : rows()) {
        SettingsTool t;
        t.exchangeRunning();
        const int opens = t.port.openCount();
        row.prepare(*t.f);
        row.trigger(*t.f);
        if (row.needs == Needs::ReadyIdle)
            expectIgnored(t, row);
        else
            expectSent(t, row);
        EXPECT_EQ(t.port.openCount(), opens) << row.name << ": an open port is not opened again";
    }
}

TEST(CommandControls, GetWaitsForTheExchangeWhileDr50GoesAtOnce)
{
    SettingsTool t;
    t.f->Button16->click();  // 時間表示: the exchange begins
    EXPECT_EQ(t.written(), QByteArray("t"));
    t.f->Button29->click();  // GET
    EXPECT_EQ(t.written(), QByteArray());
    t.f->Button33->click();  // DR50
    EXPECT_EQ(t.written(), QByteArray("q5"));
    EXPECT_TRUE(t.refreshRequested());

    // The end marks: the refresh request goes out, then the exchange ends and
    // GET acts again.
    t.send("#");
    EXPECT_EQ(t.written(), QByteArray("p"));
    t.send("@B=abcd0\n#");
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(t.tick(), 1000);
    t.f->Button29->click();
    EXPECT_EQ(t.written(), QByteArray("n"));
}

TEST(CommandControls, BuzzerLabelDoubleClickAsksForTheReportAfterTheEndMark)
{
    SettingsTool t;
    t.send("@B=abcd1\n");  // the report shows the buzzer off
    t.port.setOpen(false);
    ASSERT_EQ(t.f->Label19->text(), QStringLiteral("BZ-OFF"));
    t.written();

    QTest::mouseDClick(t.f->Label19, Qt::LeftButton);
    EXPECT_EQ(t.written(), QByteArray("z0"));
    EXPECT_TRUE(t.refreshRequested());
    t.send("#");
    EXPECT_EQ(t.written(), QByteArray("p"));
    EXPECT_TRUE(t.f->queuedCommand1.empty());
    t.send("@B=abcd0\n#");
    EXPECT_EQ(t.f->Label19->text(), QStringLiteral("BZ-ON"));
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(t.tick(), 1000);

    // The "  RUN" label beside it does nothing.
    QTest::mouseDClick(t.f->Label22, Qt::LeftButton);
    QTest::mouseClick(t.f->Label22, Qt::LeftButton);
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_FALSE(t.port.Open());
}

TEST(CommandControls, ParameterThatIsNotAnIntegerStopsTheCommand)
{
    const struct {
        QPushButton* TForm1::*button;
        QLineEdit* TForm1::*edit;
        const char* text;
        const char* message;
    } cases[] = {
        {&TForm1::Button24, &TForm1::Edit11, "abc", "'abc' is not a valid integer value"},
        {&TForm1::Button18, &TForm1::Edit1, "", "'' is not a valid integer value"},
        {&TForm1::Button23, &TForm1::Edit8, "1.5", "'1.5' is not a valid integer value"},
        {&TForm1::Button48, &TForm1::Edit14, "--2", "'--2' is not a valid integer value"},
        {&TForm1::Button50, &TForm1::Edit15, "2500x", "'2500x' is not a valid integer value"},
        {&TForm1::Button50, &TForm1::Edit15, "-2500", "'-2500' is not a valid record value"},
    };
    for (const auto& c : cases) {
        SettingsTool t;
        (t.f->*c.edit)->setText(QString::fromLatin1(c.text));
        (t.f->*c.button)->click();
        EXPECT_EQ(t.written(), QByteArray()) << c.text;
        ASSERT_EQ(t.dialogs.messages.size(), 1) << c.text;
        EXPECT_EQ(t.dialogs.messages[0], QString::fromLatin1(c.message));
        // The steps before the parameter stay done; no refresh is asked for.
        EXPECT_TRUE(t.memoCleared()) << c.text;
        EXPECT_TRUE(t.port.Open()) << c.text;
        EXPECT_TRUE(t.f->queuedCommand1.empty()) << c.text;
        EXPECT_EQ(t.tick(), SettingsTool::kParkedTick) << c.text;
    }
}

TEST(CommandControls, WidEndsWithACarriageReturnOfItsOwn)
{
    SettingsTool t;
    t.f->Edit21->setText(QStringLiteral("LOGGER 01 \t"));
    t.f->Button55->click();
    EXPECT_EQ(t.written(), QByteArray("KwLOGGER 01\r"));
    EXPECT_EQ(t.f->parameterText, QStringLiteral("LOGGER 01"));
    EXPECT_EQ(t.tick(), 0);
}

TEST(VersionButton, MakesTheLoggerReadyAndShowsRstbleForItsNumberOnly)
{
    for (const int number : {20240624, 20240625, 0}) {
        SettingsTool t;
        t.f->loggerReady = 0;
        t.f->monitorStreamOpen = 1;
        t.f->loggerNumber = number;
        t.f->Button39->show();
        t.f->Button8->click();
        EXPECT_EQ(t.written(), QByteArray("p"));
        EXPECT_EQ(t.f->loggerReady, 1);
        EXPECT_EQ(t.f->monitorStreamOpen, 0);
        EXPECT_EQ(t.tick(), 2000);
        EXPECT_FALSE(t.f->Button39->isVisibleTo(t.f));
        EXPECT_EQ(t.f->Button32->isVisibleTo(t.f), number == 20240624) << number;
        // With the logger ready the guarded commands act.
        t.f->Button7->click();
        EXPECT_EQ(t.written(), QByteArray("o"));
    }
}

TEST(BleButtons, SwapVisibilityAndPollAgainLater)
{
    SettingsTool t;
    t.f->Button31->show();
    t.f->Button32->show();
    t.f->Button32->click();  // RSTBLE
    EXPECT_EQ(t.written(), QByteArray("q9"));
    EXPECT_TRUE(t.f->Button31->isVisibleTo(t.f));
    EXPECT_FALSE(t.f->Button32->isVisibleTo(t.f));
    EXPECT_EQ(t.tick(), 10000);

    t.f->Button31->click();  // SETBLE, in the middle of the exchange
    EXPECT_EQ(t.written(), QByteArray("q8"));
    EXPECT_FALSE(t.f->Button31->isVisibleTo(t.f));
    EXPECT_FALSE(t.f->Button32->isVisibleTo(t.f));
    EXPECT_EQ(t.tick(), 2000);

    // Refused without a ready logger: the buttons stay as they are.
    t.f->loggerReady = 0;
    t.f->Button32->show();
    t.f->Button32->click();
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_TRUE(t.f->Button32->isVisibleTo(t.f));
    EXPECT_FALSE(t.f->Button31->isVisibleTo(t.f));
}

TEST(SButton, SendsTwoCharactersSwapsWithMAndClosesThePort)
{
    SettingsTool t;
    t.f->Button45->show();
    t.f->Button46->hide();
    t.f->loggerReady = 0;  // no guard
    t.f->Button45->click();
    EXPECT_EQ(t.written(), QByteArray("ep"));
    EXPECT_FALSE(t.port.Open());
    EXPECT_FALSE(t.f->Button45->isVisibleTo(t.f));
    EXPECT_TRUE(t.f->Button46->isVisibleTo(t.f));

    t.f->Button46->click();  // m leaves the port open
    EXPECT_EQ(t.written(), QByteArray("m"));
    EXPECT_TRUE(t.port.Open());
}

TEST(ClockButtons, SetTheClockAndQueueTheirFollowUp)
{
    const QDateTime now(QDate(2024, 6, 24), QTime(12, 34, 56));
    setClockForTests([now] { return now; });
    {
        SettingsTool t;
        t.f->nowValue = toDayValue(now);
        t.f->nowText = formatDayValue(t.f->nowValue);
        t.f->Button2->click();  // 新規開始
        EXPECT_EQ(t.written(), QByteArray("s2024/06/24 12:34:56"));
        EXPECT_TRUE(t.f->queuedCommand1 == "t");
        EXPECT_EQ(t.tick(), 0);
        EXPECT_EQ(t.f->wakeArmed, 0);
        t.send("#");
        EXPECT_EQ(t.written(), QByteArray("t"));

        // Idle-guarded: refused while that exchange runs.
        t.f->Button2->click();
        EXPECT_EQ(t.written(), QByteArray());
    }
    {
        // "e": the clock is set, "te" follows the end mark, and once 12
        // seconds have passed since the last tick's time the tick sends the
        // wake-up 'm' (one tick past the moment, as ticks come each second).
        SettingsTool t;
        t.f->nowValue = toDayValue(now);
        t.f->nowText = formatDayValue(t.f->nowValue);
        t.f->loggerReady = 0;  // no guard
        t.f->Button1->click();
        const QByteArray sent = t.written();
        EXPECT_EQ(sent, QByteArray("s2024/06/24 12:34:56"));
        EXPECT_EQ(sent.size(), 20);
        EXPECT_TRUE(t.f->queuedCommand1 == "te");
        EXPECT_EQ(t.tick(), 0);
        EXPECT_EQ(t.f->wakeArmed, 1);
        EXPECT_NEAR((t.f->wakeTime - t.f->nowValue) * 86400.0, 12.0, 1e-6);
        t.send("#");
        EXPECT_EQ(t.written(), QByteArray("te"));
        t.send("#");
        EXPECT_FALSE(t.port.Open());
        EXPECT_EQ(t.tick(), 1000);

        setClockForTests([now] { return now.addSecs(11); });
        t.f->Timer1Timer();
        EXPECT_EQ(t.written(), QByteArray());
        EXPECT_EQ(t.f->wakeArmed, 1);
        setClockForTests([now] { return now.addSecs(13); });
        t.f->Timer1Timer();
        EXPECT_EQ(t.written(), QByteArray("m"));
        EXPECT_EQ(t.f->wakeArmed, 0);
    }
    setClockForTests(nullptr);
}

TEST(Button26, SendsN01AndLeavesPForTheNextTick)
{
    SettingsTool t;
    t.f->loggerReady = 0;  // no guard
    t.f->Button26->click();
    EXPECT_EQ(t.written(), QByteArray("N01"));
    EXPECT_TRUE(t.f->tickSendQueue == "p");
    EXPECT_EQ(t.f->tickSendPos, 0);

    // The tick of a linked tool whose logger port is present sends it once,
    // when the answer to "N01" has ended.
    t.withLoggerOn(QStringLiteral("COM3"));
    t.f->autoConnectDone = 1;
    t.f->Timer1Timer();
    EXPECT_EQ(t.written(), QByteArray()) << "the tick cut into the answer to N01";
    t.send("#");
    t.f->Timer1Timer();
    EXPECT_EQ(t.written(), QByteArray("p"));
    EXPECT_EQ(t.f->tickSendPos, -1);
    t.f->Timer1Timer();
    EXPECT_EQ(t.written(), QByteArray());
}

TEST(Button22, LeavesHAAAForTheMonitorTick)
{
    SettingsTool t;
    t.f->Button22->show();
    t.f->Button22->click();
    EXPECT_TRUE(t.f->monitorQueuedCommand == "hAAA");
    EXPECT_EQ(t.written(), QByteArray());
}

TEST(ThresholdCheckBox, ClicksToggleTheDetectionAndAskForTheReport)
{
    SettingsTool t;
    t.f->CheckBox2->click();
    EXPECT_EQ(t.written(), QByteArray("k1"));
    EXPECT_TRUE(t.f->CheckBox2->isChecked());
    EXPECT_EQ(t.f->thresholdDetect, 1);
    EXPECT_TRUE(t.refreshRequested());

    t.f->CheckBox2->click();
    EXPECT_EQ(t.written(), QByteArray("k0"));
    EXPECT_FALSE(t.f->CheckBox2->isChecked());
    EXPECT_EQ(t.f->thresholdDetect, 0);

    // Refused without a ready logger.
    t.f->loggerReady = 0;
    t.f->queuedCommand1.clear();
    t.f->CheckBox2->click();
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_EQ(t.f->thresholdDetect, 0);
    EXPECT_TRUE(t.f->queuedCommand1.empty());
}

TEST(ThresholdCheckBox, ReportThatChangesTheMarkSendsItsStateOnceAtItsEndMark)
{
    SettingsTool t;
    t.send("@W=abcd1\n");
    // Nothing is written into the report being received.
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_TRUE(t.f->CheckBox2->isChecked());
    EXPECT_EQ(t.f->thresholdDetect, 1);
    EXPECT_EQ(t.tick(), 0);
    t.send("@Y=2024\n#");
    EXPECT_EQ(t.written(), QByteArray("k1"));
    t.send("OK\n#");
    EXPECT_EQ(t.written(), QByteArray("p"));
    t.send("@W=abcd1\n#");  // the mark stays: nothing more, the exchange ends
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(t.tick(), 1000);

    t.send("@W=abcd0\n#");
    EXPECT_EQ(t.written(), QByteArray("k0"));
    EXPECT_EQ(t.f->thresholdDetect, 0);
    EXPECT_FALSE(t.f->CheckBox2->isChecked());
}

TEST(ThresholdCheckBox, ReportCommandKeepsTheQueueInStep)
{
    // Each row: the slots before the report, then what each end mark sends.
    const struct {
        const char* q1;
        const char* q2;
        const char* q3;
        std::vector<QByteArray> sends;
    } cases[] = {
        {"", "", "", {"k1", "p"}},
        {"", "p", "", {"k1", "p"}},           // the second report request of a connect
        {"p", "", "", {"p", "k1", "p"}},      // a refresh asked for during the exchange
        {"p", "f", "", {"p", "f", "k1"}},
        {"p", "f", "t", {"p", "f", "t"}},     // no free slot: written at once
    };
    for (const auto& c : cases) {
        SettingsTool t;
        t.exchangeRunning();
        t.f->queuedCommand1 = c.q1;
        t.f->queuedCommand2 = c.q2;
        t.f->queuedCommand3 = c.q3;
        t.send("@W=abcd1\n");
        const QByteArray atOnce = t.written();
        std::vector<QByteArray> sends;
        for (int mark = 0; mark < 4 && t.port.Open(); ++mark) {
            t.send("#");
            const QByteArray sent = t.written();
            if (!sent.isEmpty())
                sends.push_back(sent);
        }
        EXPECT_EQ(sends, c.sends) << c.q1 << "|" << c.q2 << "|" << c.q3;
        EXPECT_EQ(atOnce, QByteArray(c.q3[0] ? "k1" : "")) << c.q1 << "|" << c.q2 << "|" << c.q3;
        EXPECT_FALSE(t.port.Open());
        EXPECT_EQ(t.f->thresholdDetect, 1);
    }
}

TEST(ThresholdCheckBox, ReportBeforeTheLoggerIsReadyOnlySetsTheMark)
{
    SettingsTool t;
    t.f->loggerReady = 0;
    t.send("@W=abcd1\n#");
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_TRUE(t.f->CheckBox2->isChecked());
    EXPECT_EQ(t.f->thresholdDetect, 1);
    EXPECT_TRUE(t.f->queuedCommand1.empty());
    EXPECT_TRUE(t.f->queuedCommand2.empty());
}

}  // namespace

namespace {

// While a capture stream or a firmware transfer has the line, no control
// writes into it, whatever its own guard.
TEST(BusyLine, NoCommandGoesOutDuringACaptureOrAFirmwareTransfer)
{
    for (const char* what : {"capture", "firmware"}) {
        zelt::test::LinkedTool t;
        zelt::TForm1& f = *t.f;
        if (std::string(what) == "capture")
            f.onlineRow = 5;
        else
            f.firmwareSending = 1;
        const int interval = f.intervalIndex;
        for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{f.Button8, f.Button15, f.Button33, f.Button26,
                                                                          f.Button49, f.Button29, f.Button1, f.Button17})
            b->click();
        EXPECT_EQ(f.intervalIndex, interval) << what;
        EXPECT_EQ(f.wakeArmed, 0) << what;
        EXPECT_EQ(f.tickSendPos, -1) << what;
        EXPECT_TRUE(t.port.takeWritten().isEmpty()) << what;
        EXPECT_TRUE(f.queuedCommand1.empty()) << what;
    }
}

}  // namespace
