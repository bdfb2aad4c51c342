// Settings commands against the simulated logger on a pseudo-terminal: each
// command goes out, the logger's settings report that the refresh request
// brings shows the new value, and the exchange ends in step (port closed,
// tick running) so that the next command's answer arrives whole.
#include "tests/SimulatedTool.h"

#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "platform/Widgets.h"
#include "settings/TForm3.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <algorithm>

using namespace zelt;
using namespace zelt::test;

namespace {

constexpr int kCom = 93;

class SettingsE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string error = tool_.plugIn();
        ASSERT_TRUE(error.empty()) << error;
        tool_.startTool();
    }

    SimulatedTool tool_{kCom};
    sim::Simulator& sim_ = tool_.sim;
    ScriptedDialogs& dialogs_ = tool_.dialogs;
    std::unique_ptr<QtComPort>& port_ = tool_.port;

    TForm1& f() { return tool_.f(); }
    bool idle() { return tool_.idle(); }
    // Waits for the exchange to end with cond holding.
    ::testing::AssertionResult settles(const std::function<bool()>& cond, const char* what)
    {
        if (waitFor([&] { return idle() && cond(); }, 15000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << what << " not shown; memo lines " << f().Memo1->count();
    }
    // The commands the logger saw from index `from` on.
    std::vector<std::string> commandsFrom(size_t from)
    {
        const auto all = sim_.observations().commands;
        return std::vector<std::string>(all.begin() + static_cast<long>(std::min(from, all.size())), all.end());
    }
};

TEST_F(SettingsE2E, CommandsChangeTheLoggerAndTheReportShowsIt)
{
    // Connected with the logger's detection on: the report's check mark
    // brings "k1", sent at an end mark after the two report requests of the
    // connect, and its refresh request.
    ASSERT_TRUE(settles([&] { return f().Label18->text() == QStringLiteral("042") && f().CheckBox2->isChecked(); },
                        "the connect report"));
    ASSERT_TRUE(sim_.waitFor([](const sim::Observations& o) { return o.commands.size() >= 6; }, 5000));
    EXPECT_EQ(commandsFrom(0), (std::vector<std::string>{"m", "m", "p", "p", "k1", "p"}));

    // DF with a negative value.
    size_t seen = sim_.observations().commands.size();
    f().Edit11->setText(QStringLiteral("-3"));
    f().Button24->click();
    ASSERT_TRUE(settles([&] { return f().Edit11->text() == QStringLiteral("-03"); }, "DF -03"));
    EXPECT_EQ(commandsFrom(seen), (std::vector<std::string>{"OZ-03", "p"}));

    // A recording interval chosen from the list.
    seen = sim_.observations().commands.size();
    QComboBox* box = f().ComboBox2;
    box->showPopup();
    box->view()->setCurrentIndex(box->model()->index(box->findText(QStringLiteral("15sec")), 0));
    QTest::keyClick(box->view(), Qt::Key_Return);
    ASSERT_TRUE(settles([&] { return f().intervalIndex == 12; }, "interval 15sec"));
    EXPECT_EQ(f().ComboBox2->currentText(), QStringLiteral("15sec"));
    EXPECT_EQ(commandsFrom(seen), (std::vector<std::string>{"jd", "p"}));

    // Detection switched off by a click.
    seen = sim_.observations().commands.size();
    f().CheckBox2->click();
    ASSERT_TRUE(settles([&] { return !f().CheckBox2->isChecked() && f().thresholdDetect == 0; }, "detection off"));
    EXPECT_EQ(commandsFrom(seen), (std::vector<std::string>{"k0", "p"}));

    // The ID and wait dialogs.
    seen = sim_.observations().commands.size();
    emit f().Label17->doubleClicked();
    tool_.app->form3().Edit1->setText(QStringLiteral("7"));
    tool_.app->form3().Button1->click();
    ASSERT_TRUE(settles([&] { return f().Label18->text() == QStringLiteral("007"); }, "ID 007"));
    emit f().Label30->clicked();
    tool_.app->form6().Edit1->setText(QStringLiteral("9"));
    tool_.app->form6().Button1->click();
    ASSERT_TRUE(settles([&] { return f().Label31->text() == QStringLiteral("09"); }, "wait 09"));
    EXPECT_EQ(commandsFrom(seen), (std::vector<std::string>{"Y007", "p", "w09", "p"}));

    EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join('|').toStdString();
    EXPECT_EQ(sim_.observations().unknownBytes, std::string());
}

}  // namespace
