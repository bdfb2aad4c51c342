// How a firmware update ends, as the user sees it in the window: a finished
// update says so with its line count, and its progress text fits the bar,
// in both languages; an update cut short by a lost port or a silent logger
// says what state the logger is left in and how to repeat the update.
#include "firmware/Firmware.h"
#include "platform/Language.h"
#include "platform/PeriodicTimer.h"
#include "tests/AppFixture.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace zelt::test {
namespace {

FirmwareFeature& firmwareOf(TForm1& f)
{
    for (QObject* o : f.children())
        if (auto* p = dynamic_cast<FirmwareFeature*>(o))
            return *p;
    throw std::logic_error("no firmware feature");
}

void userClick(QWidget* control)
{
    ASSERT_TRUE(control->isVisible()) << control->objectName().toStdString();
    ASSERT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    QTest::mouseClick(control, Qt::LeftButton);
}

// The window on screen with the simulated logger identified; "Start" and
// "Update" pressed by the user, the loader answering '#' to "e".
struct UpdateTool : LinkedTool {
    UpdateTool()
    {
        f->platform.portNotice = [](int com) { return QStringLiteral("Simulated logger on COM%1").arg(com); };
        // The logger on the line proves it is the simulator.
        firmwareOf(*f).askSimulator = [] { return true; };
        send("JKTW128 SN=20240624\n");
        f->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(f));
        f->Timer1->setInterval(1000);
    }
    void startUpdate()
    {
        userClick(f->Button37);
        QTimer::singleShot(0, &port, [this] { port.feed("#"); });
        userClick(f->Button39);
        port.takeWritten();
    }
    // Answers lines until the transfer ends, the 'M' coming with the last.
    // The bar's text after the first answer is kept.
    QString answerAll()
    {
        QString firstText;
        for (int arrivals = 0; f->firmwareSending && arrivals < 20000; ++arrivals) {
            const int i = f->firmwareLineIndex, n = f->firmwareLineCount;
            const bool last = i >= n - 1 || (f->Memo1->store().view(i) == QByteArrayView(":020000040002F8") && i + 2 >= n);
            if (last)
                QTimer::singleShot(0, &port, [this] { port.feed("VERIFY OK M"); });
            port.feed("\x06");
            if (arrivals == 0)
                firstText = f->ProgressBar1->text();
        }
        return firstText;
    }
};

TEST(UpdateOutcome, AFinishedUpdateSaysSoWithItsLineCountAndTheProgressFitsItsBar)
{
    struct Case {
        Language language;
        QString progress;  // after the loader's first answer
        QString done;
    };
    const Case cases[] = {
        {Language::Japanese, QStringLiteral("1 / 7525 行（0%）"), QStringLiteral("更新が完了しました（7525 行のうち 7522 行を送信）")},
        {Language::English, QStringLiteral("1 / 7525 lines (0%)"), QStringLiteral("Update completed (7522 of 7525 lines sent)")},
    };
    for (const Case& c : cases) {
        UpdateTool t;
        useLanguage(c.language);
        t.startUpdate();
        ASSERT_EQ(t.f->firmwareSending, 1) << t.dialogs.messages.join('|').toStdString();
        ASSERT_TRUE(t.f->ProgressBar1->isVisible());
        const QString shown = t.answerAll();
        EXPECT_EQ(shown, c.progress);
        // The whole text within the bar, with room for its frame.
        const QFontMetrics metrics(t.f->ProgressBar1->font());
        EXPECT_LT(metrics.horizontalAdvance(shown), t.f->ProgressBar1->width() - 8) << shown.toStdString();
        EXPECT_EQ(t.f->firmwareSending, 0);
        ASSERT_FALSE(t.dialogs.messages.isEmpty());
        EXPECT_EQ(t.dialogs.messages.back(), c.done);
        // The bar is a download's again.
        EXPECT_EQ(t.f->ProgressBar1->format(), QStringLiteral("%p%"));
        useLanguage(Language::Japanese);
    }
}

// The adapter unplugged in the middle of the image: one message, which says
// the port was lost, what state the logger is in and how to repeat the
// update; the stall watch adds no "did not answer" afterwards.
TEST(UpdateOutcome, PortLostMidImageSaysPortLostAndTheLoggersState)
{
    UpdateTool t;
    t.f->silentLoggerMs = 300;
    t.startUpdate();
    ASSERT_EQ(t.f->firmwareSending, 1);
    for (int i = 0; i < 10; ++i)
        t.port.feed("\x06");
    const int before = static_cast<int>(t.dialogs.messages.size());
    t.port.unplug();
    ASSERT_TRUE(waitFor([&] { return t.f->firmwareSending == 0; }, 10000));
    // Longer than the line limit several times over: nothing more is said.
    QTest::qWait(1500);
    const QStringList said = t.dialogs.messages.mid(before);
    ASSERT_EQ(said.size(), 1) << said.join('|').toStdString();
    const QString& m = said.front();
    EXPECT_TRUE(m.contains(QStringLiteral("port lost at line 10 of 7525"))) << m.toStdString();
    EXPECT_FALSE(m.contains(QStringLiteral("did not answer"))) << m.toStdString();
    EXPECT_TRUE(m.contains(QStringLiteral("left in its loader with a partly written program"))) << m.toStdString();
    EXPECT_TRUE(m.contains(QStringLiteral("press Start, then Update"))) << m.toStdString();
    EXPECT_TRUE(t.f->ProgressBar1->isHidden());
    EXPECT_EQ(t.f->Timer1->interval(), 1000);
}

// A loader that stops answering: the message says so, and the same about
// the logger's state.
TEST(UpdateOutcome, SilentLoaderSaysTheLoggersStateAndHowToRepeat)
{
    UpdateTool t;
    t.f->silentLoggerMs = 300;
    t.startUpdate();
    t.port.feed("\x06");
    ASSERT_TRUE(waitFor([&] { return t.f->firmwareSending == 0; }, 10000));
    const QString& m = t.dialogs.messages.back();
    EXPECT_TRUE(m.contains(QStringLiteral("did not answer line 1 of 7525"))) << m.toStdString();
    EXPECT_TRUE(m.contains(QStringLiteral("left in its loader with a partly written program"))) << m.toStdString();
    EXPECT_TRUE(m.contains(QStringLiteral("press Start, then Update"))) << m.toStdString();
}

}  // namespace
}  // namespace zelt::test
