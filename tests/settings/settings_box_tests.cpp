// The settings boxes through their real widgets: typing and choosing send,
// texts set by the settings report do not; the "10min" cycling button; the
// range box without a logger; the configuration file of "SAV".
#include "SettingsTool.h"

#include "platform/Cp932.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace zelt;
using namespace zelt::test;

namespace {

// Chooses an item from the box's open list, as the user does.
void choose(QComboBox* box, const QString& item)
{
    const int index = box->findText(item, Qt::MatchExactly);
    ASSERT_GE(index, 0) << item.toStdString();
    box->showPopup();
    QAbstractItemView* view = box->view();
    view->setCurrentIndex(box->model()->index(index, 0));
    QTest::keyClick(view, Qt::Key_Return);
    box->hidePopup();
}

// Types one key at a time into the box (where the keys of a user go) and
// returns what each keystroke wrote.
std::vector<QByteArray> typeKeys(SettingsTool& t, QComboBox* box, const QString& keys)
{
    std::vector<QByteArray> sent;
    for (const QChar key : keys) {
        typeText(box, QString(key));
        sent.push_back(t.written());
    }
    return sent;
}

TEST(ThresholdBox, TypedTextIsSentWholeOnceConfirmedEvenDuringAnExchange)
{
    SettingsTool t;
    t.exchangeRunning();
    t.f->ComboBox1->showText(QString());
    const auto sent = typeKeys(t, t.f->ComboBox1, QStringLiteral("abc"));
    EXPECT_EQ(sent, (std::vector<QByteArray>{"", "", ""}));
    EXPECT_FALSE(t.memoCleared());
    QTest::keyClick(t.f->ComboBox1, Qt::Key_Return);
    EXPECT_EQ(t.written(), QByteArray("dabc"));
    EXPECT_TRUE(t.memoCleared());
    EXPECT_TRUE(t.refreshRequested());
    EXPECT_TRUE(t.port.Open());

    // Deleting a character is a change too, sent once confirmed.
    QTest::keyClick(t.f->ComboBox1, Qt::Key_Backspace);
    EXPECT_EQ(t.written(), QByteArray());
    QTest::keyClick(t.f->ComboBox1, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(t.written(), QByteArray("dab"));
}

// A report that arrives while the user types (the answer to another
// command) neither overwrites the typed text nor makes it a change.
TEST(ThresholdBox, AReportWhileTheUserTypesKeepsTheTypedText)
{
    SettingsTool t;
    t.f->ComboBox1->showText(QStringLiteral("07"));
    t.f->ComboBox1->lineEdit()->selectAll();
    typeText(t.f->ComboBox1, QStringLiteral("2"));
    t.send("@d=07\n");
    EXPECT_EQ(t.f->ComboBox1->currentText(), QStringLiteral("2"));
    typeText(t.f->ComboBox1, QStringLiteral("0"));
    EXPECT_EQ(t.written(), QByteArray());
    QTest::keyClick(t.f->ComboBox1, Qt::Key_Return);
    EXPECT_EQ(t.written(), QByteArray("d20"));
    // Confirmed, the box shows the logger's reports again.
    t.send("@d=20\n");
    EXPECT_EQ(t.f->ComboBox1->currentText(), QStringLiteral("20"));
    EXPECT_EQ(t.written(), QByteArray());
}

// Escape gives a typed text up: the last value comes back and nothing is
// sent, not even when the user then leaves the box.
TEST(ThresholdBox, EscapeGivesTheTypedTextUp)
{
    SettingsTool t;
    t.f->ComboBox1->showText(QStringLiteral("15"));
    typeText(t.f->ComboBox1, QStringLiteral("7 "));
    QTest::keyClick(t.f->ComboBox1, Qt::Key_Escape);
    EXPECT_EQ(t.f->ComboBox1->currentText(), QStringLiteral("15"));
    EXPECT_FALSE(t.f->ComboBox1->typing());
    QTest::keyClick(t.f->ComboBox1, Qt::Key_Return);
    EXPECT_EQ(t.written(), QByteArray());
}

TEST(ThresholdBox, ChoosingFromTheListSendsTheItem)
{
    SettingsTool t;
    choose(t.f->ComboBox1, QStringLiteral("07"));
    EXPECT_EQ(t.written(), QByteArray("d07"));
    EXPECT_TRUE(t.refreshRequested());
    EXPECT_EQ(t.f->ComboBox1->count(), 99);

    // Without a ready logger nothing is sent and the log stays.
    SettingsTool u;
    u.f->loggerReady = 0;
    choose(u.f->ComboBox1, QStringLiteral("12"));
    QTest::keyClicks(u.f->ComboBox1, QStringLiteral("3"));
    QTest::keyClick(u.f->ComboBox1, Qt::Key_Return);
    EXPECT_EQ(u.written(), QByteArray());
    EXPECT_FALSE(u.memoCleared());
    EXPECT_TRUE(u.f->queuedCommand1.empty());
}

TEST(ThresholdBox, ReturnAfterTypingNeitherResendsNorGrowsTheList)
{
    SettingsTool t;
    t.f->ComboBox1->showText(QString());
    QTest::keyClicks(t.f->ComboBox1, QStringLiteral("xy"));
    EXPECT_EQ(t.written(), QByteArray());
    QTest::keyClick(t.f->ComboBox1, Qt::Key_Return);
    EXPECT_EQ(t.written(), QByteArray("dxy"));
    QTest::keyClick(t.f->ComboBox1, Qt::Key_Return);
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_EQ(t.f->ComboBox1->count(), 99);
    EXPECT_EQ(t.f->ComboBox1->findText(QStringLiteral("xy")), -1);
}

TEST(SettingsBoxes, TextsFromTheReportSendNothing)
{
    SettingsTool t;
    t.send("@D=1.5G\n@d=07\n@R=d 15sec\n@I=4\n@T=   50\n@W=abcd0\n");
    EXPECT_EQ(t.f->ComboBox1->currentText(), QStringLiteral("07"));
    EXPECT_EQ(t.f->ComboBox2->currentText(), QStringLiteral("15sec"));
    EXPECT_EQ(t.f->ComboBox3->currentText(), QStringLiteral("Trace(32Hz)"));
    EXPECT_EQ(t.f->ComboBox5->currentText(), QStringLiteral("50"));
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_TRUE(t.f->queuedCommand1.empty());
    EXPECT_EQ(t.tick(), SettingsTool::kParkedTick);
}

TEST(IntervalBox, ChoosingARowSendsItsCodeAndLeavesTheCyclingIndex)
{
    const struct {
        const char* item;
        const char* bytes;
    } cases[] = {{"15sec", "jd"}, {"30min", "j^"}, {"1sec", "ja"}, {"10min", "jJ"}, {"1min", "jA"}};
    for (const auto& c : cases) {
        SettingsTool t;
        t.f->intervalIndex = 3;
        // A report of a code the tool does not know: every row is a change.
        t.f->ComboBox2->showText(QStringLiteral("???"));
        choose(t.f->ComboBox2, QString::fromLatin1(c.item));
        EXPECT_EQ(t.written(), QByteArray(c.bytes)) << c.item;
        EXPECT_EQ(t.f->intervalText, QString::fromLatin1(c.item));
        EXPECT_EQ(t.f->intervalIndex, 3);
        EXPECT_TRUE(t.refreshRequested()) << c.item;
    }
}

TEST(IntervalBox, TypingSendsOnlyATextOfTheTable)
{
    SettingsTool t;
    t.f->ComboBox2->showText(QString());
    const auto sent = typeKeys(t, t.f->ComboBox2, QStringLiteral("20sec"));
    EXPECT_EQ(sent, (std::vector<QByteArray>{"", "", "", "", ""}));
    QTest::keyClick(t.f->ComboBox2, Qt::Key_Return);
    EXPECT_EQ(t.written(), QByteArray("je"));
    EXPECT_EQ(t.f->intervalText, QStringLiteral("20sec"));
    EXPECT_TRUE(t.refreshRequested());

    SettingsTool u;
    u.f->ComboBox2->showText(QString());
    QTest::keyClicks(u.f->ComboBox2, QStringLiteral("7min"));
    QTest::keyClick(u.f->ComboBox2, Qt::Key_Return);
    EXPECT_EQ(u.written(), QByteArray());
    EXPECT_FALSE(u.port.Open());
    EXPECT_TRUE(u.f->queuedCommand1.empty());
    EXPECT_EQ(u.tick(), SettingsTool::kParkedTick);
}

TEST(IntervalBox, WaitsForAnExchangeAndForAReadyLogger)
{
    SettingsTool t;
    t.exchangeRunning();
    choose(t.f->ComboBox2, QStringLiteral("5sec"));
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_TRUE(t.f->queuedCommand1.empty());

    SettingsTool u;
    u.f->loggerReady = 0;
    choose(u.f->ComboBox2, QStringLiteral("5sec"));
    EXPECT_EQ(u.written(), QByteArray());
}

TEST(IntervalButton, NinePressesFromTheStartCycleTheMinuteIntervals)
{
    SettingsTool t;
    t.f->loggerReady = 0;  // no guard
    std::vector<QByteArray> sent;
    for (int press = 0; press < 9; ++press) {
        t.f->Button17->click();
        sent.push_back(t.written());
    }
    EXPECT_EQ(sent, (std::vector<QByteArray>{"jB", "jC", "jD", "jE", "jJ", "jO", "jT", "j^", "jA"}));
    EXPECT_EQ(t.f->ComboBox2->currentText(), QStringLiteral("1min"));
    EXPECT_EQ(t.f->intervalText, QStringLiteral("1min"));
    EXPECT_EQ(t.f->intervalIndex, 0);
    // No refresh, the tick untouched.
    EXPECT_TRUE(t.f->queuedCommand1.empty());
    EXPECT_EQ(t.tick(), SettingsTool::kParkedTick);
}

TEST(IntervalButton, ContinuesFromTheReportedInterval)
{
    const struct {
        const char* report;
        const char* bytes;
        const char* shown;
    } cases[] = {
        {"@R=f\n", "jA", "1min"},   // the last seconds interval returns to the start
        {"@R=c\n", "jd", "15sec"},  // the seconds go on
        {"@R=^\n", "jA", "1min"},   // the last minute interval
        {"@R=Q\n", "jA", "1min"},   // a code not in the table
    };
    for (const auto& c : cases) {
        SettingsTool t;
        t.send(c.report);
        t.written();
        t.f->Button17->click();
        EXPECT_EQ(t.written(), QByteArray(c.bytes)) << c.report;
        EXPECT_EQ(t.f->ComboBox2->currentText(), QString::fromLatin1(c.shown)) << c.report;
    }

    // A chosen interval does not move the cycle.
    SettingsTool t;
    choose(t.f->ComboBox2, QStringLiteral("20min"));
    t.port.setOpen(false);
    t.written();
    t.f->Button17->click();
    EXPECT_EQ(t.written(), QByteArray("jB"));
}

TEST(SamplingBox, SendsTheRowCodeOrZero)
{
    SettingsTool t;
    choose(t.f->ComboBox3, QStringLiteral("1mTRC"));
    EXPECT_EQ(t.written(), QByteArray("iF"));
    EXPECT_TRUE(t.refreshRequested());
    choose(t.f->ComboBox3, QStringLiteral("10msec"));  // during the exchange too
    EXPECT_EQ(t.written(), QByteArray("i7"));

    // A typed text goes out once, when confirmed: its row's code, or 0 for
    // a text of no row.
    const std::pair<const char*, QByteArray> typed[] = {{"Trace(32Hz)", "i4"}, {"0.5秒", "i0"}};
    for (const auto& [text, command] : typed) {
        SettingsTool u;
        u.f->ComboBox3->showText(QString());
        const auto sent = typeKeys(u, u.f->ComboBox3, QString::fromUtf8(text));
        for (const QByteArray& s : sent)
            EXPECT_EQ(s, QByteArray()) << text;
        QTest::keyClick(u.f->ComboBox3, Qt::Key_Return);
        EXPECT_EQ(u.written(), command) << text;
    }

    SettingsTool w;
    w.f->loggerReady = 0;
    choose(w.f->ComboBox3, QStringLiteral("2msec"));
    EXPECT_EQ(w.written(), QByteArray());
}

TEST(RangeBox, WithoutALoggerSetsTheCountsPerG)
{
    SettingsTool t;
    t.f->loggerReady = 0;
    t.f->ComboBox5->setEnabled(true);  // the range box is disabled in the window; its handler is joined all the same
    t.f->countsPerG = 10;
    t.f->ComboBox5->showText(QString());
    QTest::keyClicks(t.f->ComboBox5, QStringLiteral("2"));
    QTest::keyClick(t.f->ComboBox5, Qt::Key_Return);
    EXPECT_EQ(t.f->countsPerG, 50);
    QTest::keyClicks(t.f->ComboBox5, QStringLiteral("0"));
    QTest::keyClick(t.f->ComboBox5, Qt::Key_Return);
    EXPECT_EQ(t.f->countsPerG, 5);
    choose(t.f->ComboBox5, QStringLiteral("01"));
    EXPECT_EQ(t.f->countsPerG, 100);
    choose(t.f->ComboBox5, QStringLiteral("00"));
    EXPECT_EQ(t.f->countsPerG, 1);
    QTest::keyClicks(t.f->ComboBox5, QStringLiteral("x"));
    QTest::keyClick(t.f->ComboBox5, Qt::Key_Return);
    EXPECT_EQ(t.f->countsPerG, 1);
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_EQ(t.dialogs.messages[0], QStringLiteral("'00x' is not a valid integer value"));
    EXPECT_EQ(t.written(), QByteArray());
}

TEST(RangeBox, WithALoggerSendsTheTextAsTheCommand)
{
    SettingsTool t;
    t.f->ComboBox5->setEnabled(true);
    choose(t.f->ComboBox5, QStringLiteral("20"));
    EXPECT_EQ(t.written(), QByteArray("20"));
    EXPECT_TRUE(t.refreshRequested());
    EXPECT_EQ(t.f->countsPerG, 10);  // the report sets it
}

TEST(SaveConfiguration, ProposesTheIdNameAndWritesTheLogAsCp932WithCrLf)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SettingsTool t;
    t.f->loggerReady = 0;  // no guard
    t.send("@M= 012\n");
    ASSERT_EQ(t.f->Label18->text(), QStringLiteral("12"));
    const std::vector<QString> lines = {QStringLiteral("@A h  05  00  01"), QStringLiteral("閾値 設定"),
                                        QStringLiteral("")};
    t.f->Memo1->clear();
    for (const QString& line : lines)
        t.f->Memo1->addLine(line);

    const QString path = dir.filePath(QStringLiteral("settings"));  // no extension: none is added
    t.dialogs.files.push_back(path);
    t.f->Button27->click();
    ASSERT_EQ(t.dialogs.fileRequests.size(), 1u);
    const FileRequest& asked = t.dialogs.fileRequests[0];
    EXPECT_EQ(asked.fileName, QStringLiteral("Config-zelt12.txt"));
    EXPECT_TRUE(asked.confirmOverwrite);
    EXPECT_EQ(asked.filter, QString());
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join('|').toStdString();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray expected;
    for (const QString& line : lines)
        expected += toCp932(line) + "\r\n";
    EXPECT_EQ(file.readAll(), expected);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".txt")));
    EXPECT_EQ(t.written(), QByteArray());
}

TEST(SaveConfiguration, KeepsTheCsvFilterAndTheOverwriteQuestion)
{
    SettingsTool t;
    t.f->SaveDialog1.filter = QStringLiteral("CSV files (*.csv)|*.CSV");
    t.f->Button27->click();  // cancelled (no answer scripted)
    ASSERT_EQ(t.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(t.dialogs.fileRequests[0].fileName, QStringLiteral("Config-zelt00.txt"));
    EXPECT_EQ(t.dialogs.fileRequests[0].filter, QStringLiteral("CSV files (*.csv)|*.CSV"));
    EXPECT_TRUE(t.f->SaveDialog1.confirmOverwrite);
    EXPECT_EQ(t.f->Memo1->count(), 1);
    EXPECT_TRUE(t.dialogs.messages.isEmpty());
}

TEST(SaveConfiguration, AFileThatCannotBeWrittenIsReported)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SettingsTool t;
    const QString path = dir.filePath(QStringLiteral("missing/dir/config.txt"));
    t.dialogs.files.push_back(path);
    t.f->Button27->click();
    EXPECT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(t.f->Memo1->count(), 1);
}

}  // namespace
