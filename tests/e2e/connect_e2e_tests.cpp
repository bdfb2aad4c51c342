// The whole tool against the simulated logger on a real pseudo-terminal:
// it finds the logger under its COM name, connects by itself, answers the
// enquiry, shows the settings report, and follows an unplug and a replug.
#include "tests/SimulatedTool.h"

#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QDate>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace zelt;
using namespace zelt::test;

namespace {

constexpr int kCom = 91;
const QString kVersion = QStringLiteral("UPdater203.0Jun7th");

class ConnectE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string error = tool_.plugIn();
        ASSERT_TRUE(error.empty()) << error;
        tool_.startTool();
    }

    TForm1& f() { return tool_.f(); }
    bool linkedAndIdle() { return tool_.idle(); }
    bool memoHas(const QByteArray& prefix) { return tool_.memoHas(prefix); }

    SimulatedTool tool_{kCom};
    sim::Simulator& sim_ = tool_.sim;
    ScriptedDialogs& dialogs_ = tool_.dialogs;
    std::unique_ptr<QtComPort>& port_ = tool_.port;
};

TEST_F(ConnectE2E, FindsConnectsShowsTheReportAndFollowsUnplugAndReplug)
{
    // The first tick ran during start-up: the logger is found and connected at once.
    EXPECT_EQ(f().caption(), kVersion);
    EXPECT_EQ(f().Edit3->text(), QStringLiteral("COM%1").arg(kCom));
    ASSERT_TRUE(waitFor([&] { return linkedAndIdle() && f().Label18->text() == QStringLiteral("042"); }, 15000))
        << "no link; memo lines: " << f().Memo1->count();

    EXPECT_EQ(f().loggerReady, 1);
    EXPECT_EQ(f().Label41->text(), QStringLiteral("20240624"));
    EXPECT_TRUE(f().Button37->isVisibleTo(&f()));
    EXPECT_TRUE(f().Image5->isVisibleTo(&f()));
    // The simulator proves what it is on the line once the link is free.
    EXPECT_TRUE(waitFor([&] { return f().simulatorNotice->isVisibleTo(&f()); }, 10000));
    // The settings report filled the settings controls with the logger's values.
    EXPECT_EQ(f().Edit1->text(), QStringLiteral(" 05"));
    EXPECT_EQ(f().Edit2->text(), QStringLiteral("ON"));
    EXPECT_EQ(f().Edit6->text(), QStringLiteral("OFF"));
    EXPECT_EQ(f().Label19->text(), QStringLiteral("BZ-ON"));
    EXPECT_EQ(f().ComboBox1->currentText(), QStringLiteral("15"));
    EXPECT_EQ(f().ComboBox2->currentText(), QStringLiteral("1sec"));
    EXPECT_EQ(f().ComboBox3->currentText(), QStringLiteral("0.5秒"));
    EXPECT_EQ(f().ComboBox5->currentText(), QStringLiteral("02"));
    EXPECT_EQ(f().countsPerG, 50);
    EXPECT_TRUE(f().CheckBox2->isChecked());
    EXPECT_EQ(f().Edit21->text(), QStringLiteral("LOGGER 01"));
    EXPECT_EQ(f().Label15->text(), QStringLiteral("2024"));
    EXPECT_EQ(f().Label31->text(), QStringLiteral("05"));
    EXPECT_TRUE(memoHas("@R="));
    const sim::Observations seen = sim_.observations();
    ASSERT_GE(seen.commands.size(), 3u);
    EXPECT_EQ(seen.commands[0], "m");
    EXPECT_EQ(seen.commands[1], "m");
    EXPECT_EQ(seen.commands[2], "p");

    // Hello asks for a reading; its lines are listed, and an enquiry in the
    // middle of the answer is answered.
    sim_.setEnquiry(sim::Enquiry::MidLine);
    ASSERT_TRUE(waitFor([&] { return linkedAndIdle(); }, 10000));
    f().Button38->click();
    const bool listed = waitFor([&] { return memoHas("X="); }, 10000);
    if (!listed) {
        for (const QByteArray& l : f().Memo1->lines())
            ADD_FAILURE() << "memo: " << l.toStdString();
        for (const std::string& c : sim_.observations().commands)
            ADD_FAILURE() << "sim saw: " << c;
    }
    ASSERT_TRUE(listed);
    EXPECT_TRUE(sim_.waitFor([](const sim::Observations& o) { return o.acks >= 1; }, 10000));
    sim_.setEnquiry(sim::Enquiry::Off);

    // Unplugged: the window turns to the no-link look.
    sim_.unplug();
    ASSERT_TRUE(waitFor([&] { return f().caption() == QStringLiteral("Can't find a ZELT") + kVersion; }, 15000));
    EXPECT_EQ(f().Edit3->text(), QStringLiteral("No Port"));
    EXPECT_TRUE(f().Image4->isVisibleTo(&f()));
    EXPECT_FALSE(f().Image5->isVisibleTo(&f()));
    EXPECT_EQ(f().loggerReady, 0);

    // Plugged in again: found and linked without a restart.
    std::string error;
    ASSERT_TRUE(sim_.replug(&error)) << error;
    ASSERT_TRUE(waitFor([&] { return f().caption() == kVersion && f().Image5->isVisibleTo(&f()) && linkedAndIdle(); },
                        20000));
    EXPECT_EQ(f().loggerReady, 1);
    EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(ConnectE2E, UnplugInTheMiddleOfAnExchangeShowsAtMostOneLine)
{
    ASSERT_TRUE(waitFor([&] { return linkedAndIdle(); }, 15000));
    sim_.setSlow(3000, 0);  // the next answer takes its time
    f().Button38->click();  // asks for a reading: the port stays open for the answer
    ASSERT_TRUE(port_->Open());
    sim_.unplug();
    ASSERT_TRUE(waitFor([&] { return !port_->Open() && memoHas("// Port lost"); }, 10000));
    ASSERT_TRUE(waitFor([&] { return f().caption() == QStringLiteral("Can't find a ZELT") + kVersion; }, 15000));
    int lost = 0;
    for (const QByteArray& line : f().Memo1->lines())
        lost += line.startsWith("// Port lost") ? 1 : 0;
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(ConnectE2E, SilentLoggerLeavesDiscoveryRunning)
{
    ASSERT_TRUE(waitFor([&] { return linkedAndIdle(); }, 15000));
    f().silentLoggerMs = 1500;
    sim_.setSilence(sim::Silence::NoEndMark);
    f().Button30->click();  // a download whose end mark never comes
    ASSERT_EQ(f().Timer1->interval(), 0);
    ASSERT_TRUE(waitFor([&] { return f().Timer1->interval() != 0; }, 15000)) << "the tick stayed stopped";
    // What arrived is decoded and kept, and the log says the download is incomplete.
    EXPECT_EQ(f().downloadActive, 0);
    EXPECT_TRUE(f().Memo1->isVisibleTo(&f()));
    EXPECT_TRUE(memoHas("// Download incomplete"));
    EXPECT_GT(f().Memo1->count(), 100);
    // With the tick running again, an unplug is noticed.
    sim_.unplug();
    EXPECT_TRUE(waitFor([&] { return f().caption() == QStringLiteral("Can't find a ZELT") + kVersion; }, 15000));
}

// A click where a user clicks: on a control that is shown, enabled and
// inside the window.
void userClick(QWidget* control)
{
    ASSERT_TRUE(control->isVisible()) << control->objectName().toStdString();
    ASSERT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    QWidget* window = control->window();
    ASSERT_TRUE(window->rect().contains(QRect(control->mapTo(window, QPoint(0, 0)), control->size())))
        << control->objectName().toStdString();
    QTest::mouseClick(control, Qt::LeftButton);
}

// A logger that starts its answers late (busy with its clock or its memory)
// is waited for: 新規開始 sends "s" and the time, then "t" at its end mark,
// and 取得 gets every record, though each answer begins only after 10 s.
TEST_F(ConnectE2E, AnswersThatStartAfterTenSecondsAreWaitedFor)
{
    ASSERT_TRUE(waitFor([&] { return linkedAndIdle(); }, 15000));
    f().show();
    userClick(f().Label20);  // ↓: the command rows
    sim_.setSlowStart(10000, "Ds");

    userClick(f().Button2);  // 新規開始
    ASSERT_TRUE(sim_.waitFor([](const sim::Observations& o) { return !o.commands.empty() && o.commands.back()[0] == 's'; },
                             10000));
    const QByteArray year = QByteArray::number(QDate::currentDate().year());
    ASSERT_TRUE(waitFor([&] { return memoHas(year + "/") && linkedAndIdle(); }, 60000))
        << "the clock's answer never came; sim saw " << sim_.observations().commands.back();
    EXPECT_EQ(sim_.observations().commands.back(), "t");
    EXPECT_FALSE(memoHas("// No answer")) << "the exchange was abandoned";

    userClick(f().Button30);  // 取得
    ASSERT_TRUE(waitFor([&] { return f().downloadActive == 0 && linkedAndIdle(); }, 60000));
    int records = 0;
    for (const QByteArray& line : f().Memo1->lines())
        records += line.startsWith(year.left(2)) && line.size() > 4 && line.at(4) == '/' ? 1 : 0;
    EXPECT_FALSE(memoHas("// Download incomplete"));
    EXPECT_EQ(records, static_cast<int>(sim_.recording().records.size()));
    EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join(QLatin1Char('|')).toStdString();
}

}  // namespace
