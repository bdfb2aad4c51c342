// Recording start mode: the start-mode box, the reservation label and query,
// and the reservation dialog with its checks, day correction and key filter.
#include "data/StartMode.h"
#include "data/TForm5.h"
#include "link/ComPort.h"
#include "platform/PeriodicTimer.h"
#include "tests/AppFixture.h"
#include "tests/settings/SettingsTool.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace zelt::test {
namespace {

constexpr int kParkedTick = 3600000;
const QString kNow = QStringLiteral("2024/01/05 12:34:56");

struct StartModeTool : LinkedTool {
    TForm5& d;

    StartModeTool() : d(app->form5())
    {
        f->Timer1->setInterval(kParkedTick);  // no tick during a test
        f->nowText = kNow;
        f->reservationText = QStringLiteral("01/05 12:34");
        f->reservationState = 0;
        port.takeWritten();
    }

    // The user picks an item of the start-mode box.
    void choose(const QString& text)
    {
        const int index = f->ComboBox4->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        f->ComboBox4->setCurrentIndex(index);
        emit f->ComboBox4->activated(index);
    }
    void setBoxes(const char* month, const char* day, const char* hour, const char* minute)
    {
        d.ComboBox1->setEditText(QString::fromLatin1(month));
        d.ComboBox2->setEditText(QString::fromLatin1(day));
        d.ComboBox3->setEditText(QString::fromLatin1(hour));
        d.ComboBox4->setEditText(QString::fromLatin1(minute));
    }
    void confirm() { d.Button1->click(); }
    QByteArray written() { return port.takeWritten(); }
    int tick() const { return f->Timer1->interval(); }
};

TEST(StartModeBox, EachChoiceSendsItsCommandAndQueuesTheFollowUp)
{
    struct Row {
        const char* text;
        int reservationState;
        QByteArray sent;
        const char* q1;
        const char* q2;
        const char* q3;
        bool tickStopped;
    };
    const Row rows[] = {
        {"今すぐ開始", 0, "s2024/01/05 12:34:56", "t", "", "", true},
        {"Sleep", 0, "f", "p", "", "", true},
        {"予約開始", 1, "s2024/01/05 12:34:56", "l01/05 12:34", "f", "t", true},
        {"予約開始", 2, "s2024/01/05 12:34:56", "l01/05 12:34", "f", "t", true},
    };
    for (const Row& r : rows) {
        StartModeTool t;
        t.f->reservationState = r.reservationState;
        t.choose(QString::fromUtf8(r.text));
        SCOPED_TRACE(r.text);
        EXPECT_EQ(t.written(), r.sent);
        EXPECT_TRUE(t.port.Open());
        EXPECT_EQ(t.f->queuedCommand1.view(), r.q1);
        EXPECT_EQ(t.f->queuedCommand2.view(), r.q2);
        EXPECT_EQ(t.f->queuedCommand3.view(), r.q3);
        EXPECT_EQ(t.tick() == 0, r.tickStopped);
        EXPECT_FALSE(t.d.isVisible());
    }
}

TEST(StartModeBox, ReportedStartTypedAndUnknownTexts)
{
    StartModeTool t;
    // The settings report puts "開始" into the box: that sends nothing.
    t.f->ComboBox4->showText(QStringLiteral("開始"));
    EXPECT_TRUE(t.written().isEmpty());
    EXPECT_TRUE(t.f->queuedCommand1.empty());

    // The user re-chooses it by typing into the box: nothing goes out while
    // the text is typed, "o" once it is confirmed with Return.
    t.f->ComboBox4->showText(QString());
    typeText(t.f->ComboBox4, QStringLiteral("開始"));
    EXPECT_TRUE(t.written().isEmpty());
    QTest::keyClick(t.f->ComboBox4, Qt::Key_Return);
    EXPECT_EQ(t.written(), QByteArray("o"));
    EXPECT_EQ(t.f->queuedCommand1.view(), "p");
    EXPECT_EQ(t.tick(), 0);

    // A text that names no start mode sends nothing and leaves the queue as
    // it was: nothing is left to go out at the next end mark.
    StartModeTool u;
    u.f->ComboBox4->showText(QString());
    typeText(u.f->ComboBox4, QStringLiteral("Sle"));
    QTest::keyClick(u.f->ComboBox4, Qt::Key_Return);
    EXPECT_TRUE(u.written().isEmpty());
    EXPECT_TRUE(u.f->queuedCommand1.empty());
    EXPECT_EQ(u.tick(), kParkedTick);
}

TEST(StartModeBox, NothingWithoutAReadyLoggerOrWhileTheLineIsBusy)
{
    StartModeTool notReady;
    notReady.f->loggerReady = 0;
    notReady.choose(QStringLiteral("Sleep"));
    EXPECT_TRUE(notReady.written().isEmpty());
    EXPECT_TRUE(notReady.f->queuedCommand1.empty());

    // A download in progress: its data must not meet a start command.
    StartModeTool downloading;
    downloading.f->downloadActive = 1;
    downloading.choose(QStringLiteral("今すぐ開始"));
    EXPECT_TRUE(downloading.written().isEmpty());
    EXPECT_TRUE(downloading.f->queuedCommand1.empty());
    EXPECT_EQ(downloading.tick(), kParkedTick);
}

TEST(StartModeBox, FirstReservedStartWaitsForTheDialogThenRunsFourExchanges)
{
    StartModeTool t;
    t.choose(QStringLiteral("予約開始"));
    EXPECT_TRUE(t.written().isEmpty());
    EXPECT_TRUE(t.d.isVisible());
    EXPECT_EQ(t.f->reservationState, 2);
    EXPECT_TRUE(t.f->queuedCommand1.empty());
    EXPECT_EQ(t.tick(), kParkedTick);
    // The dialog shows the reservation text.
    EXPECT_EQ(t.d.ComboBox1->currentText(), QStringLiteral("01"));
    EXPECT_EQ(t.d.ComboBox2->currentText(), QStringLiteral("05"));
    EXPECT_EQ(t.d.ComboBox3->currentText(), QStringLiteral("12"));
    EXPECT_EQ(t.d.ComboBox4->currentText(), QStringLiteral("34"));

    t.setBoxes("03", "07", "08", "30");
    t.confirm();
    EXPECT_FALSE(t.d.isVisible());
    EXPECT_EQ(t.f->reservationText, QStringLiteral("03/07 08:30"));
    EXPECT_EQ(t.f->Label25->text(), QStringLiteral("03/07 08:30"));
    EXPECT_EQ(t.f->reservationState, 1);
    EXPECT_EQ(t.dialogs.messages, QStringList{QStringLiteral("ずいぶんさきですけど、よいですか？")});

    EXPECT_EQ(t.written(), QByteArray("s2024/01/05 12:34:56"));
    EXPECT_EQ(t.tick(), 0);
    const QByteArray next[] = {"l03/07 08:30", "f", "t"};
    for (const QByteArray& command : next) {
        t.send("#");
        EXPECT_EQ(t.written(), command);
        EXPECT_TRUE(t.port.Open());
    }
    // The last exchange's end mark closes the port and restarts the tick.
    t.send("#");
    EXPECT_TRUE(t.written().isEmpty());
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(t.tick(), 1000);
}

TEST(ReservationDialog, ConfirmedKeyDifferenceGivesItsNotice)
{
    struct Row {
        const char *month, *day, *hour, *minute;
        QStringList messages;
    };
    const QString far = QStringLiteral("ずいぶんさきですけど、よいですか？");
    const QString nextYear = QStringLiteral("来年の話ですけど、よいですか？");
    const Row rows[] = {
        {"01", "05", "12", "34", {}},
        {"01", "20", "12", "34", {}},          // 150000 units
        {"01", "21", "12", "34", {far}},       // 160000 units
        {"12", "31", "23", "59", {far}},
        {"01", "04", "00", "00", {nextYear}},
    };
    for (const Row& r : rows) {
        StartModeTool t;
        t.f->loggerReady = 0;  // the label needs no ready logger
        emit t.f->Label25->doubleClicked();
        ASSERT_TRUE(t.d.isVisible());
        EXPECT_EQ(t.d.reservationKeyAtShow, reservationKey(1, 5, 12, 34));
        t.setBoxes(r.month, r.day, r.hour, r.minute);
        t.confirm();
        const QString expectedText = QStringLiteral("%1/%2 %3:%4").arg(r.month, r.day, r.hour, r.minute);
        SCOPED_TRACE(expectedText.toStdString());
        EXPECT_EQ(t.dialogs.messages, r.messages);
        // Taken in any case, without sending anything.
        EXPECT_EQ(t.f->reservationText, expectedText);
        EXPECT_EQ(t.f->reservationState, 1);
        EXPECT_TRUE(t.written().isEmpty());
    }
}

TEST(ReservationDialog, TimeConfirmedFromTheLabelIsSentAtOnceByALaterChoice)
{
    StartModeTool t;
    emit t.f->Label25->doubleClicked();
    t.setBoxes("02", "14", "07", "05");
    t.confirm();
    EXPECT_TRUE(t.written().isEmpty());
    t.choose(QStringLiteral("予約開始"));
    EXPECT_FALSE(t.d.isVisible());
    EXPECT_EQ(t.written(), QByteArray("s2024/01/05 12:34:56"));
    EXPECT_EQ(t.f->queuedCommand1.view(), "l02/14 07:05");
}

TEST(ReservationDialog, ConfirmingRunsTheBoxAgainWithTheTextItShowsThen)
{
    // The box may have been changed (by a report) while the dialog was open:
    // the confirmation acts on what it shows.
    const std::pair<const char*, QByteArray> rows[] = {{"記録開始", ""}, {"Sleep", "f"}};
    for (const auto& [shown, sent] : rows) {
        StartModeTool t;
        t.choose(QStringLiteral("予約開始"));
        t.f->ComboBox4->setEditText(QString::fromUtf8(shown));
        t.confirm();
        SCOPED_TRACE(shown);
        EXPECT_EQ(t.written(), sent);
        EXPECT_EQ(t.f->reservationState, 1);
        EXPECT_EQ(t.f->queuedCommand1.view(), sent.isEmpty() ? "" : "p");
    }
}

TEST(ReservationDialog, ShownWithAOneDigitHour)
{
    StartModeTool t;
    t.f->reservationText = QStringLiteral("03/07 8:30");
    t.d.show();
    EXPECT_EQ(t.d.ComboBox3->currentText(), QStringLiteral("08"));
    EXPECT_EQ(t.d.ComboBox4->currentText(), QStringLiteral("30"));
    EXPECT_EQ(t.d.reservationKeyAtShow, reservationKey(3, 7, 8, 30));
}

TEST(ReservationDialog, ImpossibleDayIsCorrectedWithinASecond)
{
    struct Row {
        const char* month;
        const char* day;
        const char* shown;
        const char* message;
    };
    const Row rows[] = {
        {"04", "31", "30", "その日は指定できません"},
        {"02", "30", "28", "その日は指定できません"},
        {"02", "31", "28", "その日は指定できません"},
        {"02", "29", "29", "うるう年ですか？"},
        {"11", "31", "30", "その日は指定できません"},
        {"01", "31", "31", nullptr},
    };
    for (const Row& r : rows) {
        StartModeTool t;
        t.d.show();
        t.d.ComboBox1->setEditText(QString::fromLatin1(r.month));
        const int index = t.d.ComboBox2->findText(QString::fromLatin1(r.day));
        t.d.ComboBox2->setCurrentIndex(index);
        emit t.d.ComboBox2->activated(index);
        SCOPED_TRACE(std::string(r.month) + "/" + r.day);
        EXPECT_EQ(t.dialogs.messages,
                  r.message ? QStringList{QString::fromUtf8(r.message)} : QStringList{});
        EXPECT_EQ(t.d.pendingDay, QString::fromLatin1(r.shown).toInt());
        EXPECT_TRUE(waitFor([&] { return t.d.ComboBox2->currentText() == QString::fromLatin1(r.shown); }, 2500));
    }
}

TEST(ReservationDialog, TypedDaysAreCheckedAndTheDayBoxKeepsThePendingDay)
{
    StartModeTool t;
    t.d.show();
    t.d.ComboBox1->setEditText(QStringLiteral("02"));
    t.d.ComboBox2->setEditText(QStringLiteral("01"));
    QTest::keyClicks(t.d.ComboBox2, QStringLiteral("30"));
    EXPECT_EQ(t.dialogs.messages, QStringList{QStringLiteral("その日は指定できません")});
    EXPECT_EQ(t.d.pendingDay, 28);
    ASSERT_TRUE(waitFor([&] { return t.d.ComboBox2->currentText() == QStringLiteral("28"); }, 2500));

    // A day set by the program is put back to the pending day.
    t.d.ComboBox2->setEditText(QStringLiteral("15"));
    EXPECT_TRUE(waitFor([&] { return t.d.ComboBox2->currentText() == QStringLiteral("28"); }, 2500));
}

TEST(ReservationKeyFilter, PreparedTextBeforeADigit)
{
    const std::pair<const char*, const char*> rows[] = {
        {"123", "12"}, {"", "00"}, {"  ", "00"}, {" 7 ", "7"}, {"05", "05"}, {"2024", "20"},
    };
    for (const auto& [before, after] : rows)
        EXPECT_EQ(reservationBoxBeforeDigit(QString::fromLatin1(before)), QString::fromLatin1(after)) << before;
}

// The keys go where a user's keys go: to the box, which has the focus (its
// line edit hands the focus on to it).
TEST(ReservationKeyFilter, KeysTypedIntoABoxKeepItAtTwoDigits)
{
    struct Row {
        const char* before;
        const char* keys;
        const char* after;
    };
    const Row rows[] = {
        {"123", "4", "24"},   // cut to "12", then the digit
        {"", "7", "07"},      // "00", then the digit
        {"00", "08", "08"},
        {"00", "0812", "12"},
        {"05", "a", "05"},    // a letter changes nothing
        {"05", "x-/ ", "05"},
        {"12", "3a4", "34"},
    };
    for (const Row& r : rows) {
        StartModeTool t;
        t.d.show();
        for (QComboBox* box : {t.d.ComboBox1, t.d.ComboBox2, t.d.ComboBox3, t.d.ComboBox4}) {
            box->setEditText(QString::fromLatin1(r.before));
            box->setFocus();
            QTest::keyClicks(box, QString::fromLatin1(r.keys));
            EXPECT_EQ(box->currentText(), QString::fromLatin1(r.after))
                << box->objectName().toStdString() << " " << r.before << " + " << r.keys;
        }
    }
}

TEST(ReservationKeyFilter, ErasingKeysAndPastesDoNotGetPastTheFilter)
{
    StartModeTool t;
    t.d.show();
    QComboBox* hour = t.d.ComboBox3;
    hour->setEditText(QStringLiteral("08"));
    QApplication::clipboard()->setText(QStringLiteral("99"));
    ASSERT_EQ(QApplication::clipboard()->text(), QStringLiteral("99"));
    for (const Qt::Key key : {Qt::Key_Backspace, Qt::Key_Delete})
        QTest::keyClick(hour, key);
    QTest::keyClick(hour, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(hour->currentText(), QStringLiteral("08"));
}

TEST(ReservationQuery, AsksTheLoggerOnlyWhenReady)
{
    StartModeTool t;
    emit t.f->Label26->doubleClicked();
    EXPECT_EQ(t.written(), QByteArray("t"));
    EXPECT_TRUE(t.port.Open());

    StartModeTool notReady;
    notReady.f->loggerReady = 0;
    emit notReady.f->Label26->doubleClicked();
    EXPECT_TRUE(notReady.written().isEmpty());
    EXPECT_FALSE(notReady.port.Open());
}

}  // namespace
}  // namespace zelt::test
