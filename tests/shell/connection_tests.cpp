// Port discovery, the periodic tick and the connection buttons, on an
// in-memory port and a registry set up by each test.
#include "tests/AppFixture.h"

#include "platform/Clock.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "platform/Widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>

using namespace zelt;
using namespace zelt::test;

namespace {

const QString kVersion = QStringLiteral("UPdater203.0Jun7th");

TEST(PortSearch, FriendlyNameParsing)
{
    struct Case {
        const char* friendly;
        std::optional<QString> port;
    };
    const Case cases[] = {
        {"USB Serial Port (COM7)", QStringLiteral("COM7")},
        {"(COM999)", QStringLiteral("COM999")},
        {"USB Serial Port (COM1000)", std::nullopt},  // longer than six characters
        {"USB Serial Port", std::nullopt},
        {"USB Serial Port (COM7", std::nullopt},
        {"USB ) Serial (COM3)", QStringLiteral("COM3")},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(portNameFromFriendlyName(QString::fromLatin1(c.friendly)), c.port) << c.friendly;
}

TEST(PortSearch, PortNumberFromTheField)
{
    const std::pair<const char*, int> cases[] = {
        {"COM7", 7}, {"COM12", 12}, {"COM123456", 12345}, {"No Port", 0}, {"COM", 0}, {"1", 0}, {"COM4x", 4},
    };
    for (const auto& [field, n] : cases)
        EXPECT_EQ(portNumberFromName(QString::fromLatin1(field)), n) << field;
}

TEST(Tick, SerialPortsWithoutVcpAreTheNoPortCase)
{
    AppFixture fx;
    fx.registry.keys[QString::fromLatin1(kSerialCommKey)] = {{QStringLiteral("\\Device\\Serial0"), QStringLiteral("COM1")}};
    TForm1& f = fx.start();
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("No Port"));
    EXPECT_EQ(f.caption(), QStringLiteral("Can't find a ZELT") + kVersion);
    EXPECT_EQ(f.ListBox1->count(), 1);
    EXPECT_TRUE(f.Image4->isVisibleTo(&f));
    EXPECT_FALSE(f.Image5->isVisibleTo(&f));
    EXPECT_EQ(f.Timer1->interval(), 2000);
    EXPECT_TRUE(fx.port.written().isEmpty());
    // The adapter keys are not even looked at.
    EXPECT_EQ(fx.registry.reads, QStringList{QString::fromLatin1(kSerialCommKey)});
}

TEST(Tick, LoggerAdapterCountsOnlyWhenItsPortIsAVcpPort)
{
    AppFixture fx;
    fx.registry.keys[QString::fromLatin1(kSerialCommKey)] = {
        {QStringLiteral("\\Device\\VCP0"), QStringLiteral("COM3")},
        {QStringLiteral("\\Device\\Serial0"), QStringLiteral("COM7")}};
    fx.registry.keys[QString::fromLatin1(kLoggerAdapterKey)] = {
        {QStringLiteral("FriendlyName"), QStringLiteral("USB Serial Port (COM7)")}};
    TForm1& f = fx.start();
    EXPECT_EQ(f.Edit19->text(), QStringLiteral("COM7"));
    EXPECT_EQ(f.Edit5->text(), QStringLiteral("ZELT"));
    EXPECT_EQ(f.ListBox2->count(), 1);
    EXPECT_EQ(f.UpDown1->maximum(), 0);
    EXPECT_EQ(f.caption(), QStringLiteral("Serching ZELT") + kVersion);
    EXPECT_TRUE(fx.port.written().isEmpty());  // not found: no connect
    EXPECT_EQ(f.Timer1->interval(), 2000);
    // With CheckBox1 unchecked the generic key is never read.
    EXPECT_FALSE(fx.registry.reads.contains(QString::fromLatin1(kGenericAdapterKey)));

    // Once COM7 is a VCP port the adapter is found and connected to.
    fx.registry.keys[QString::fromLatin1(kSerialCommKey)].push_back({QStringLiteral("\\Device\\VCP1"), QStringLiteral("COM7")});
    f.Timer1Timer();
    EXPECT_EQ(f.caption(), kVersion);
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("COM7"));
    EXPECT_EQ(fx.port.ComNumber(), 7);
    EXPECT_EQ(fx.port.written(), QByteArray("m"));
    EXPECT_EQ(f.autoConnectDone, 1);
    EXPECT_EQ(f.Button4->text(), QStringLiteral("|=|"));
    // The tick stays stopped until the logger's answer ends.
    EXPECT_EQ(f.Timer1->interval(), 0);
}

TEST(Tick, GenericAdapterOnlyWhenChecked)
{
    AppFixture fx;
    fx.registry.keys[QString::fromLatin1(kSerialCommKey)] = {{QStringLiteral("\\Device\\VCP0"), QStringLiteral("COM3")}};
    fx.registry.keys[QString::fromLatin1(kGenericAdapterKey)] = {{QStringLiteral("PortName"), QStringLiteral("COM3")}};
    TForm1& f = fx.start();
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("1"));  // the port field is untouched when nothing is found
    EXPECT_TRUE(fx.port.written().isEmpty());

    f.CheckBox1->setChecked(true);
    f.Timer1Timer();
    EXPECT_EQ(f.Edit5->text(), QStringLiteral("FTDI"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("COM3"));
    EXPECT_EQ(fx.port.written(), QByteArray("m"));
}

TEST(Tick, ManyValueNamesAndOddFriendlyNamesStayInBounds)
{
    AppFixture fx;
    std::vector<RegistryValue> names;
    for (int i = 0; i < 70; ++i)
        names.push_back({QStringLiteral("\\Device\\Serial%1").arg(i), QStringLiteral("COM%1").arg(i + 100)});
    names.push_back({QStringLiteral("\\Device\\VCP0"), QStringLiteral("COM5")});  // the 71st name
    fx.registry.keys[QString::fromLatin1(kSerialCommKey)] = names;
    fx.registry.keys[QString::fromLatin1(kLoggerAdapterKey)] = {{QStringLiteral("FriendlyName"), QStringLiteral("broken (COM5")}};
    TForm1& f = fx.start();
    EXPECT_EQ(f.ListBox1->count(), 71);
    EXPECT_TRUE(fx.port.written().isEmpty());  // an unreadable name finds nothing

    fx.registry.keys[QString::fromLatin1(kLoggerAdapterKey)] = {{QStringLiteral("FriendlyName"), QStringLiteral("x (COM5)")}};
    f.Timer1Timer();
    EXPECT_EQ(fx.port.written(), QByteArray("m"));  // found past the 64th name
}

TEST(Tick, WakeUpFiresOnceOnTheNextTick)
{
    AppFixture fx;
    TForm1& f = fx.start();
    f.wakeArmed = 1;
    f.wakeTime = toDayValue(localNow()) - 1.0 / 86400;
    f.Timer1Timer();
    EXPECT_EQ(fx.port.written(), QByteArray("m"));
    EXPECT_EQ(f.wakeArmed, 0);
    EXPECT_EQ(f.Timer1->interval(), 0);  // left stopped for the answer's end mark
    f.Timer1->setInterval(2000);
    f.Timer1Timer();
    EXPECT_EQ(fx.port.written(), QByteArray("m"));  // not again

    f.wakeArmed = 1;
    f.wakeTime = toDayValue(localNow()) + 1.0;  // tomorrow
    f.Timer1Timer();
    EXPECT_EQ(f.wakeArmed, 1);
    EXPECT_EQ(fx.port.written(), QByteArray("m"));
}

// A tool linked to a logger on COM9 (the answer to the connect has come).
struct Linked : AppFixture {
    TForm1* form = nullptr;
    Linked()
    {
        withLoggerOn(QStringLiteral("COM9"));
        form = &start();
        port.feed("J");  // the first bytes: the link is established
        // The answer to the connect and the two reports it asks for end.
        for (int i = 0; i < 3; ++i)
            endOfAnswer();
        port.takeWritten();
    }
    // The logger's end mark closes the exchange that runs.
    void endOfAnswer() { feedLogger(port, "#"); }
};

TEST(Tick, SendQueueSendsOneCharacterPerTick)
{
    Linked fx;
    TForm1& f = *fx.form;
    ASSERT_EQ(f.linkUp, 1);
    f.tickSendQueue = "p";
    f.tickSendPos = 0;
    f.Timer1Timer();
    EXPECT_EQ(fx.port.takeWritten(), QByteArray("p"));
    EXPECT_EQ(f.tickSendPos, -1);
    fx.endOfAnswer();

    f.tickSendQueue = "abcdefg";  // at most five, one per tick
    f.tickSendPos = 0;
    QByteArray sent;
    for (int i = 0; i < 7; ++i) {
        f.Timer1Timer();
        sent += fx.port.takeWritten();
        fx.endOfAnswer();
    }
    EXPECT_EQ(sent, QByteArray("abcde"));
    EXPECT_EQ(f.tickSendPos, -1);
}

TEST(Tick, RefreshAndMonitorRequests)
{
    Linked fx;
    TForm1& f = *fx.form;
    f.refreshPending = 1;
    f.Timer1Timer();
    EXPECT_EQ(fx.port.takeWritten(), QByteArray("p"));
    EXPECT_EQ(f.refreshPending, 0);
    fx.endOfAnswer();

    f.monitorMode = 1;
    f.Timer1Timer();
    EXPECT_EQ(fx.port.takeWritten(), QByteArray("n"));
    EXPECT_EQ(f.monitorStreamOpen, 1);
    EXPECT_EQ(f.Label23->text(), QStringLiteral("4"));
    f.Timer1Timer();
    EXPECT_TRUE(fx.port.takeWritten().isEmpty());  // one request outstanding at a time
    fx.endOfAnswer();
    EXPECT_EQ(f.monitorStreamOpen, 0);
    f.monitorQueuedCommand = "hAAA";
    f.Timer1Timer();
    EXPECT_EQ(fx.port.takeWritten(), QByteArray("hAAA"));
    EXPECT_TRUE(f.monitorQueuedCommand.empty());
}

TEST(Connection, LinkEstablishmentOnTheFirstAnswer)
{
    AppFixture fx;
    fx.withLoggerOn(QStringLiteral("COM9"));
    TForm1& f = fx.start();
    ASSERT_EQ(fx.port.takeWritten(), QByteArray("m"));
    EXPECT_EQ(f.linkUp, 0);
    f.Memo1->addLine(QByteArray("old"));
    fx.port.feed("JKTW128 SN=20240624\r\n#");
    EXPECT_EQ(f.linkUp, 1);
    EXPECT_EQ(f.loggerReady, 1);
    EXPECT_EQ(f.Button4->text(), QStringLiteral("接続"));
    EXPECT_FALSE(f.Image4->isVisibleTo(&f));
    EXPECT_TRUE(f.Image5->isVisibleTo(&f));
    EXPECT_TRUE(f.Button45->isVisibleTo(&f));
    EXPECT_EQ(f.Memo1->count(), 0);
    EXPECT_EQ(f.reservationText, f.nowText.mid(5, 11));
    EXPECT_EQ(f.Label25->text(), f.reservationText);
    EXPECT_EQ(fx.port.takeWritten(), QByteArray("m"));  // the link's own 'm'
    // The waiting bytes were left for the next notification, which the answer to 'm' brings.
    EXPECT_EQ(fx.port.InBuffUsed(), 22);
}

TEST(Connection, HelloLinksWithoutSendingThenAsksForAReading)
{
    AppFixture fx;
    TForm1& f = fx.start();
    f.Button38->click();
    EXPECT_EQ(f.linkUp, 1);
    EXPECT_EQ(f.loggerReady, 1);
    EXPECT_EQ(f.Button4->text(), QStringLiteral("接続"));
    EXPECT_TRUE(fx.port.written().isEmpty());
    f.Button38->click();
    EXPECT_EQ(fx.port.written(), QByteArray("n"));
}

TEST(Connection, CloseLeavesThePortClosedAtThree)
{
    AppFixture fx;
    TForm1& f = fx.start();
    f.Button42->click();
    EXPECT_FALSE(fx.port.Open());
    EXPECT_EQ(fx.port.ComNumber(), 3);

    fx.port.setComNumber(9);
    fx.port.setOpen(true);
    f.Button42->click();
    EXPECT_FALSE(fx.port.Open());
    EXPECT_EQ(fx.port.ComNumber(), 3);
    EXPECT_TRUE(fx.dialogs.messages.isEmpty());
}

TEST(Connection, DeviceManagerAsksThePlatform)
{
    AppFixture fx;
    TForm1& f = fx.start();
    QWidget* owner = nullptr;
    f.platform.openDeviceManager = [&](QWidget* w) { owner = w; };
    f.Button13->click();
    EXPECT_EQ(owner, &f);
}

TEST(Connection, UnplugWhileOpenThenReplug)
{
    Linked fx;
    TForm1& f = *fx.form;
    fx.port.setOpen(true);  // an exchange is in progress
    f.Timer1->setInterval(0);
    fx.port.unplug(QStringLiteral("the device was removed"));
    EXPECT_FALSE(fx.port.Open());
    EXPECT_TRUE(fx.dialogs.messages.isEmpty());  // a line in the log, no dialog
    EXPECT_TRUE(f.Memo1->lines().back().startsWith("// Port lost: ")) << f.Memo1->lines().back().toStdString();
    EXPECT_EQ(f.Memo1->count(), 1);  // once
    EXPECT_EQ(f.Timer1->interval(), 1000);

    // The device is gone from the system: the next tick shows the no-link look.
    fx.registry.keys.clear();
    f.Timer1Timer();
    EXPECT_EQ(f.caption(), QStringLiteral("Can't find a ZELT") + kVersion);
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("No Port"));
    EXPECT_EQ(f.loggerReady, 0);
    EXPECT_TRUE(f.Image4->isVisibleTo(&f));
    EXPECT_FALSE(f.Button45->isVisibleTo(&f));

    // Plugged in again: found and connected without a restart.
    fx.port.takeWritten();
    fx.withLoggerOn(QStringLiteral("COM9"));
    f.Timer1Timer();
    EXPECT_EQ(f.caption(), kVersion);
    EXPECT_EQ(fx.port.takeWritten(), QByteArray("m"));
    EXPECT_EQ(f.linkUp, 0);
    fx.port.feed("J");
    EXPECT_EQ(f.linkUp, 1);
}

TEST(Connection, SilentLoggerDoesNotFreezeTheTick)
{
    AppFixture fx;
    fx.withLoggerOn(QStringLiteral("COM9"));
    TForm1& f = fx.start();
    f.silentLoggerMs = 200;
    ASSERT_EQ(fx.port.takeWritten(), QByteArray("m"));
    ASSERT_EQ(f.Timer1->interval(), 0);  // waiting for an answer that never comes
    ASSERT_TRUE(waitFor([&] { return f.Timer1->interval() != 0; }, 5000));
    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_FALSE(fx.port.Open());
    EXPECT_EQ(f.Memo1->lines().back(), QByteArray("// No answer from the logger for 1 s: exchange abandoned //"));
    // The next tick tries the connect again.
    f.Timer1Timer();
    EXPECT_EQ(fx.port.takeWritten(), QByteArray("m"));
}

}  // namespace

namespace {

// Commands that leave the tick running (情報, GET, 時間表示, ON, StandBy): the
// tick does not close the port under their answer, and sends nothing of its
// own into it; the answer runs to its end mark.
TEST(Exchange, TickLeavesARunningAnswerWhole)
{
    struct Case {
        QPushButton* TForm1::*button;
        const char* command;
    };
    const Case cases[] = {{&TForm1::Button15, "m"}, {&TForm1::Button29, "n"}, {&TForm1::Button16, "t"},
                          {&TForm1::Button7, "o"},  {&TForm1::Button14, "f"}};
    for (const Case& c : cases) {
        Linked fx;
        TForm1& f = *fx.form;
        f.refreshPending = 1;  // the tick has a command of its own waiting
        (f.*c.button)->click();
        EXPECT_EQ(fx.port.takeWritten(), QByteArray(c.command));
        fx.port.feed("first line of the answer\r\n");
        f.Timer1Timer();
        f.Timer1Timer();
        EXPECT_TRUE(fx.port.Open()) << c.command << ": the tick closed the port under the answer";
        EXPECT_EQ(fx.port.takeWritten(), QByteArray()) << c.command;
        fx.port.feed("second line\r\n#");
        EXPECT_FALSE(fx.port.Open());
        const std::vector<QByteArray> lines = f.Memo1->lines();
        ASSERT_GE(lines.size(), 2u) << c.command;
        EXPECT_EQ(lines[lines.size() - 2], QByteArray("first line of the answer")) << c.command;
        EXPECT_EQ(lines.back(), QByteArray("second line")) << c.command;
        // Then the tick's own command goes out.
        f.Timer1Timer();
        EXPECT_EQ(fx.port.takeWritten(), QByteArray("p")) << c.command;
    }
}

// An answer that does not end within its limit is given up by the tick: the
// port closes, the log says so once, and the tick goes on with its work.
TEST(Exchange, AnswerThatNeverEndsIsGivenUpAtItsLimit)
{
    Linked fx;
    TForm1& f = *fx.form;
    f.Button29->click();
    fx.port.takeWritten();
    fx.port.feed("half an ans");
    f.silentLoggerMs = 0;
    f.refreshPending = 1;
    f.Timer1Timer();
    ASSERT_FALSE(f.Memo1->lines().empty()) << "not given up";
    EXPECT_EQ(f.Memo1->lines().back(), QByteArray("// No answer from the logger for 0 s: exchange abandoned //"));
    EXPECT_EQ(f.lineLength, 0);
    EXPECT_EQ(fx.port.takeWritten(), QByteArray("p")) << "the tick's own work goes on";
    EXPECT_NE(f.Timer1->interval(), 0);
}

// An exchange given up because its logger went silent says which of the
// commands queued behind it were not sent: the watchdog of a stopped tick
// (新規開始 waits for "t") and the tick's own look at a running exchange.
TEST(Exchange, AbandonedExchangeNamesTheCommandsNotSent)
{
    struct Case {
        const char* what;
        std::function<void(TForm1&)> act;
        std::function<void(TForm1&)> giveUp;
        const char* note;
    };
    const Case cases[] = {
        {"新規開始", [](TForm1& f) { f.Button2->click(); }, [](TForm1& f) { f.checkSilentLogger(); },
         "// No answer from the logger for 0 s: exchange abandoned; not sent: \"t\" //"},
        {"GET with two queued",
         [](TForm1& f) {
             f.Button29->click();
             f.queuedCommand1 = "k0";
             f.queuedCommand2 = "p";
         },
         [](TForm1& f) { f.Timer1Timer(); },
         "// No answer from the logger for 0 s: exchange abandoned; not sent: \"k0\", \"p\" //"},
    };
    for (const Case& c : cases) {
        Linked fx;
        TForm1& f = *fx.form;
        c.act(f);
        ASSERT_FALSE(fx.port.takeWritten().isEmpty()) << c.what;
        f.silentLoggerMs = 0;
        c.giveUp(f);
        EXPECT_FALSE(fx.port.Open()) << c.what;
        ASSERT_FALSE(f.Memo1->lines().empty()) << c.what << ": not given up";
        EXPECT_EQ(f.Memo1->lines().back(), QByteArray(c.note)) << c.what;
        EXPECT_TRUE(f.queuedCommand1.empty() && f.queuedCommand2.empty() && f.queuedCommand3.empty()) << c.what;
        fx.endOfAnswer();  // a late end mark sends nothing of the dropped queue
        EXPECT_EQ(fx.port.takeWritten(), QByteArray()) << c.what;
    }
}

// The time a silent logger is waited for is the user's: typed into the
// options of the widened window (taken on Return, not at each digit),
// remembered for the next start.
TEST(Options, SilenceLimitIsTypedAndRemembered)
{
    AppFixture fx;
    fx.withLoggerOn(QStringLiteral("COM9"));
    TForm1& f = fx.start();
    QSpinBox* box = f.SilenceLimitBox;
    EXPECT_EQ(box->value(), 30);
    EXPECT_EQ(f.silentLoggerMs, 30000);

    f.show();
    f.resize(800, f.height());  // the user widens the window to see the options
    ASSERT_TRUE(box->isVisible());
    ASSERT_TRUE(box->isEnabled());
    ASSERT_TRUE(f.rect().contains(QRect(box->mapTo(&f, QPoint(0, 0)), box->size())));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QStringLiteral("45"));
    EXPECT_EQ(f.silentLoggerMs, 30000) << "taken before the number was whole";
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->text(), QStringLiteral("45 s"));
    EXPECT_EQ(f.silentLoggerMs, 45000);
    EXPECT_EQ(fx.preferences.value(QStringLiteral("line/silenceLimitSeconds"), {}), QStringLiteral("45"));

    fx.app.reset();
    TForm1& again = fx.start();
    EXPECT_EQ(again.SilenceLimitBox->value(), 45);
    EXPECT_EQ(again.silentLoggerMs, 45000);
}

}  // namespace
