// Downloading the logger's records: the four transfer buttons, the receive
// path of a download and the decoding pass at its closing end mark, fed
// through the in-memory port; then one whole download of a full logger
// memory from the simulated logger over a real pseudo-terminal.
#include "tests/data/DataTool.h"
#include "tests/SimulatedTool.h"

#include "data/Download.h"
#include "link/QtComPort.h"
#include "platform/PortDirectory.h"
#include "sim/Records.h"
#include "sim/Simulator.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <gtest/gtest.h>

using namespace zelt;
using namespace zelt::test;

namespace {

const QByteArray kColumns = "date time,x(G),y(G),z(G),temperature(C)";
const QByteArray kStarColumns = "Date,Xaxis,Yaxis,Zaxis,Temp";
const QByteArray kMarker = QByteArray("//\x81\xAB") + "Irregular Record //";
const QString kIrregularMessage = QStringLiteral("時間不整合");

int messagesAbout(const QStringList& messages, const QString& text)
{
    int n = 0;
    for (const QString& m : messages)
        n += m.contains(text) ? 1 : 0;
    return n;
}

// ---------------------------------------------------------------------------
// The transfer buttons.

enum class Height { AboveProgressBar, Compact160, Unchanged };

struct TransferCase {
    const char* name;
    QPushButton* TForm1::*button;
    const char* year;   // Label15
    int countsPerG;
    QByteArray command;
    QByteArray header;
    QByteArray columns;
    Height height;
    bool namesDataSet;  // currentFileName = range + logger ID
};
void PrintTo(const TransferCase& c, std::ostream* os) { *os << c.name; }

class TransferButton : public ::testing::TestWithParam<TransferCase> {};

TEST_P(TransferButton, PreparesTheWindowAndSendsItsCommand)
{
    const TransferCase& c = GetParam();
    ReadyTool t;
    TForm1& f = *t.f;
    f.Label15->setText(QString::fromLatin1(c.year));
    f.countsPerG = c.countsPerG;
    f.Memo1->addLine("left from before");
    f.currentFileName = QStringLiteral("earlier name");
    f.recordCount = 77;
    f.lineLength = 5;
    const int before = f.height();
    const int aboveBar = f.ProgressBar1->y() + 45;
    ASSERT_NE(before, 160);
    ASSERT_NE(before, aboveBar);
    ASSERT_NE(f.Timer1->interval(), 0);
    ASSERT_FALSE(t.port.Open());

    (f.*c.button)->click();

    EXPECT_EQ(f.Timer1->interval(), 0);
    EXPECT_TRUE(f.Memo1->isHidden());
    EXPECT_FALSE(f.ProgressBar1->isHidden());
    EXPECT_EQ(t.memo(), (std::vector<QByteArray>{c.header, c.columns}));
    EXPECT_EQ(f.savedWindowHeight, before);
    const int expectedHeight = c.height == Height::AboveProgressBar ? aboveBar
                               : c.height == Height::Compact160     ? 160
                                                                     : before;
    EXPECT_EQ(f.height(), expectedHeight);
    EXPECT_EQ(f.currentFileName, c.namesDataSet ? QStringLiteral("02042") : QStringLiteral("earlier name"));
    EXPECT_TRUE(t.port.Open());
    EXPECT_EQ(t.port.takeWritten(), c.command);
    EXPECT_EQ(f.downloadActive, 1);
    EXPECT_EQ(f.recordCount, 0);
    EXPECT_EQ(f.lineLength, 0);
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();

    // An answer without records: the window comes back as it was.
    t.send("#");
    EXPECT_EQ(f.height(), before);
    EXPECT_FALSE(f.Memo1->isHidden());
    EXPECT_TRUE(f.ProgressBar1->isHidden());
    EXPECT_EQ(f.downloadActive, 0);
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_EQ(t.memo(), (std::vector<QByteArray>{c.header, c.columns}));
}

INSTANTIATE_TEST_SUITE_P(
    FourVariants, TransferButton,
    ::testing::Values(
        TransferCase{"Get", &TForm1::Button30, "2024", 10, "D", "Start Year=2024 @1G=10", kColumns,
                     Height::AboveProgressBar, true},
        TransferCase{"Enquire", &TForm1::Button47, "2031", 50, "C", "Start Year=2031 @1G=50", kColumns,
                     Height::Compact160, true},
        TransferCase{"Version3", &TForm1::Button3, "2024", 10, "G", "Start Year=2024", kColumns,
                     Height::Compact160, false},
        TransferCase{"Star", &TForm1::Button28, "20XX", 10, "G", "Start Year=20XX", kStarColumns,
                     Height::Unchanged, false}),
    [](const ::testing::TestParamInfo<TransferCase>& info) { return std::string(info.param.name); });

TEST(TransferButtons, DoNothingUntilTheLoggerIsReady)
{
    ReadyTool t;
    TForm1& f = *t.f;
    f.loggerReady = 0;
    f.Memo1->addLine("kept");
    f.currentFileName = QStringLiteral("kept name");
    f.recordCount = 5;
    const int height = f.height();
    const int interval = f.Timer1->interval();
    for (QPushButton* b : {f.Button30, f.Button47, f.Button3, f.Button28}) {
        b->click();
        EXPECT_TRUE(t.port.takeWritten().isEmpty()) << b->text().toStdString();
        EXPECT_FALSE(t.port.Open()) << b->text().toStdString();
        EXPECT_EQ(t.memo(), std::vector<QByteArray>{"kept"}) << b->text().toStdString();
        EXPECT_FALSE(f.Memo1->isHidden());
        EXPECT_TRUE(f.ProgressBar1->isHidden());
        EXPECT_EQ(f.height(), height);
        EXPECT_EQ(f.Timer1->interval(), interval);
        EXPECT_EQ(f.downloadActive, 0);
        EXPECT_EQ(f.recordCount, 5);
        EXPECT_EQ(f.currentFileName, QStringLiteral("kept name"));
    }
}

TEST(TransferButtons, BytesLeftInThePortFromBeforeAreNotTakenAsRecords)
{
    ReadyTool t;
    TForm1& f = *t.f;
    // Bytes of an earlier answer that nobody took are still waiting.
    t.port.setOpen(true);
    const auto handler = t.port.OnTriggerAvail;
    t.port.OnTriggerAvail = nullptr;
    t.port.feed("6709000302FF031500\r\n");
    t.port.OnTriggerAvail = handler;
    ASSERT_TRUE(t.port.CharReady());

    f.Button30->click();
    EXPECT_FALSE(t.port.CharReady());
    t.send("670900130100031500\r\n#");
    EXPECT_EQ(f.decodedCount, 1);
    EXPECT_EQ(t.memo(), (std::vector<QByteArray>{"Start Year=2024 @1G=10", kColumns,
                                                 "2024/06/24 09:00:01.000,  1,  0,  3, 21.3"}));
}

TEST(TransferButtons, PortThatCannotBeOpenedLeavesNoDownloadBehind)
{
    ReadyTool t;
    TForm1& f = *t.f;
    const int height = f.height();
    const int interval = f.Timer1->interval();
    ASSERT_NE(interval, 0);
    const std::vector<QByteArray> recording{"Start Year=2024 @1G=10", kColumns, "2024/06/24 09:00:01.000,  1,  0,  3, 21.3"};
    f.Memo1->setLines(recording);  // a data set not saved yet
    t.port.failNextOpen(QStringLiteral("COM9 is in use by another program"));
    f.Button30->click();
    EXPECT_EQ(t.memo(), recording);  // nothing of it is lost

    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_TRUE(t.dialogs.messages[0].contains(QStringLiteral("in use"))) << t.dialogs.messages[0].toStdString();
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    EXPECT_EQ(f.downloadActive, 0);
    // The window is not left shrunk around a progress bar of nothing, and the
    // tick runs on.
    EXPECT_EQ(f.height(), height);
    EXPECT_FALSE(f.Memo1->isHidden());
    EXPECT_TRUE(f.ProgressBar1->isHidden());
    EXPECT_EQ(f.Timer1->interval(), interval);

    // The next press, with the port free again, downloads as usual.
    f.Button30->click();
    EXPECT_EQ(t.port.takeWritten(), QByteArray("D"));
    EXPECT_EQ(f.downloadActive, 1);
}

// ---------------------------------------------------------------------------
// A scripted download through the in-memory port.

// The logger's answer of download_irregular.txt gives the lines of
// irregular.csv: two short lines listed after the headers, the two records
// whose time ran backwards flagged with 0x81 and every record from the first
// of them on preceded by the marker line, the damaged record replaced by its
// bad-record line.
TEST(ScriptedDownload, IrregularRecordingGivesTheFixtureLinesAndMessages)
{
    TestClock clock;
    clock.now = QDateTime(QDate(2024, 6, 24), QTime(9, 30, 0));
    ReadyTool t;
    TForm1& f = *t.f;
    const int height = f.height();
    f.Button30->click();
    ASSERT_EQ(t.port.takeWritten(), QByteArray("D"));

    QByteArray answer = fixtureBytes("download_irregular.txt");
    ASSERT_TRUE(answer.endsWith('#'));
    answer.chop(1);
    // The logger enquires in the middle of a record; the record stays whole.
    const qsizetype mid = answer.indexOf("6709003401FF041500") + 7;
    answer.insert(mid, '\x05');
    t.send(answer, 7);
    EXPECT_EQ(t.port.takeWritten(), QByteArray("\x06", 1));

    EXPECT_EQ(f.recordCount, 8);
    EXPECT_EQ(f.ProgressBar1->value(), 8);
    EXPECT_EQ(f.recordLines[3], QByteArray("670900140000031500"));
    EXPECT_EQ(f.recordLines[4], QByteArray("6709003401FF041500"));
    EXPECT_EQ(t.memo(), (std::vector<QByteArray>{"Start Year=2024 @1G=10", kColumns, "OK", "xyz"}));
    EXPECT_TRUE(f.Memo1->isHidden());
    EXPECT_TRUE(t.dialogs.messages.isEmpty());

    clock.now = clock.now.addSecs(3600 + 2 * 60 + 3);
    t.send("#");

    const std::vector<QByteArray> expected = crLfLines(fixtureBytes("irregular.csv"));
    ASSERT_EQ(expected.size(), 16u);
    EXPECT_EQ(t.memo(), expected);
    EXPECT_EQ(f.Memo1->line(8).at(0), '\x81');
    EXPECT_EQ(f.Memo1->line(13).at(0), '\x81');

    ASSERT_EQ(t.dialogs.messages.size(), 2) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(t.dialogs.messages[0], kIrregularMessage);
    EXPECT_TRUE(t.dialogs.messages[1].contains(QStringLiteral(" 1 ")));
    EXPECT_TRUE(t.dialogs.messages[1].contains(QStringLiteral("Bad Record")));

    EXPECT_EQ(f.Label33->text(), QStringLiteral("8rec 123sec"));
    EXPECT_EQ(f.decodedCount, 8);
    EXPECT_EQ(f.downloadActive, 0);
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_EQ(f.height(), height);
    EXPECT_FALSE(f.Memo1->isHidden());
    EXPECT_TRUE(f.ProgressBar1->isHidden());
    EXPECT_EQ(f.Label24->text(), QStringLiteral("2024/06/24 09:00:05.000,  0,  0,  3, -1.2"));

    // Saved as it stands, the download is the fixture file byte for byte.
    PlainTempDir dir;
    ASSERT_TRUE(dir.usable()) << dir.dir.path().toStdString();
    t.dialogs.files.push_back(dir.path(QStringLiteral("download")));
    f.Button6->click();
    EXPECT_EQ(fileBytes(dir.path(QStringLiteral("download.csv"))), fixtureBytes("irregular.csv"));
}

TEST(ScriptedDownload, ElapsedTimeShowsMinutesAndSecondsOnly)
{
    struct Case {
        QDateTime start;
        QDateTime end;
        const char* label;
    };
    const QDate day(2024, 6, 24);
    const std::vector<Case> cases = {
        {QDateTime(day, QTime(9, 0, 0)), QDateTime(day, QTime(9, 0, 0)), "1rec 0sec"},
        {QDateTime(day, QTime(9, 0, 0)), QDateTime(day, QTime(9, 0, 59, 999)), "1rec 59sec"},
        {QDateTime(day, QTime(9, 0, 0)), QDateTime(day, QTime(10, 2, 3)), "1rec 123sec"},
        {QDateTime(day, QTime(9, 0, 0)), QDateTime(day, QTime(9, 59, 59)), "1rec 3599sec"},
        {QDateTime(day, QTime(9, 0, 0)), QDateTime(day, QTime(11, 0, 0)), "1rec 0sec"},
        {QDateTime(day, QTime(23, 59, 30)), QDateTime(day.addDays(1), QTime(0, 0, 40)), "1rec 70sec"},
        {QDateTime(day, QTime(8, 0, 0)), QDateTime(day.addDays(1), QTime(10, 1, 5)), "1rec 65sec"},
    };
    TestClock clock;
    ReadyTool t;
    for (const Case& c : cases) {
        clock.now = c.start;
        t.f->Button30->click();
        t.send("6709000302FF031500\r\n");
        clock.now = c.end;
        t.send("#");
        EXPECT_EQ(t.f->Label33->text(), QString::fromLatin1(c.label))
            << c.start.toString(Qt::ISODateWithMs).toStdString() << " -> "
            << c.end.toString(Qt::ISODateWithMs).toStdString();
    }
}

TEST(ScriptedDownload, DamagedRecordsAreShownInPlaceAndCounted)
{
    ReadyTool t;
    TForm1& f = *t.f;
    f.Button30->click();
    t.send(QByteArray("6709000302FF031500\r\n"
                      "67090013\r\n"                         // cut short
                      "670900130100031500\r\n"
                      "67090024FE01021G00\r\n"               // not a digit in the fixed part
                      "67090024FE01021500\r\n"
                      "67090034\x80" "1FF041500\r\n"         // a byte from line noise
                      "6709003401FF041500\r\n"
                      "67090052000003fe00\r\n"               // lower case in the fixed part
                      "6709004401FF0415002Z \r\n"            // damaged humidity digit, trailing blank
                      "#"));
    const std::vector<QByteArray> expected = {
        "Start Year=2024 @1G=10",
        kColumns,
        "2024/06/24 09:00:00.000,  2, -1,  3, 21.3",
        "//Bad Record: 67090013 //",
        "2024/06/24 09:00:01.000,  1,  0,  3, 21.3",
        "//Bad Record: 67090024FE01021G00 //",
        "2024/06/24 09:00:02.000, -2,  1,  2, 21.4",
        "//Bad Record: 67090034?1FF041500 //",
        "2024/06/24 09:00:03.000,  1, -1,  4, 21.4",
        "//Bad Record: 67090052000003fe00 //",
        // The optional fields are read up to the damage: the record is kept.
        "2024/06/24 09:00:04.000,  1, -1,  4, 21.4, 2",
    };
    EXPECT_EQ(t.memo(), expected);
    ASSERT_EQ(t.dialogs.messages.size(), 1) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(t.dialogs.messages[0].contains(QStringLiteral(" 4 "))) << t.dialogs.messages[0].toStdString();
    EXPECT_EQ(messagesAbout(t.dialogs.messages, kIrregularMessage), 0);
    EXPECT_EQ(f.decodedCount, 9);
    EXPECT_TRUE(f.Label33->text().startsWith(QStringLiteral("9rec ")));
}

// One record a day at noon for ten days. The logger's day counter has two
// bits and comes round from 3 to 0 on day 5 and again on day 9; each record
// is a day later than the one before, so the recording is regular.
//   B0 = 0101 cc DD (May, counter, day bits 4-3), B1 = ddd 01100 (day bits
//   2-0, hour 12), 12:00:00, tenths '0', X Y Z 0, 20 degrees, hundredths 00.
TEST(ScriptedDownload, DayCounterComingRoundTwiceIsNotIrregular)
{
    const std::vector<std::pair<QByteArray, QByteArray>> table = {
        {"502C00000000001400", "2024/05/01 12:00:00.000,  0,  0,  0, 20.0"},  // counter 0
        {"544C00000000001400", "2024/05/02 12:00:00.000,  0,  0,  0, 20.0"},  // 1
        {"586C00000000001400", "2024/05/03 12:00:00.000,  0,  0,  0, 20.0"},  // 2
        {"5C8C00000000001400", "2024/05/04 12:00:00.000,  0,  0,  0, 20.0"},  // 3
        {"50AC00000000001400", "2024/05/05 12:00:00.000,  0,  0,  0, 20.0"},  // 0: first time round
        {"54CC00000000001400", "2024/05/06 12:00:00.000,  0,  0,  0, 20.0"},  // 1
        {"58EC00000000001400", "2024/05/07 12:00:00.000,  0,  0,  0, 20.0"},  // 2
        {"5D0C00000000001400", "2024/05/08 12:00:00.000,  0,  0,  0, 20.0"},  // 3 (day 8: DD 01)
        {"512C00000000001400", "2024/05/09 12:00:00.000,  0,  0,  0, 20.0"},  // 0: second time round
        {"554C00000000001400", "2024/05/10 12:00:00.000,  0,  0,  0, 20.0"},  // 1
    };
    ReadyTool t;
    t.f->Button30->click();
    std::vector<QByteArray> expected = {"Start Year=2024 @1G=10", kColumns};
    QByteArray answer;
    for (const auto& [raw, line] : table) {
        answer += raw + "\r\n";
        expected.push_back(line);
    }
    // The same day again after the second round: the time ran back a day.
    answer += "512C00000000001400\r\n#";
    expected.push_back(kMarker);
    expected.push_back("\x81" "024/05/09 12:00:00.000,  0,  0,  0, 20.0");
    t.send(answer);
    EXPECT_EQ(t.memo(), expected);
    EXPECT_EQ(t.dialogs.messages, QStringList{kIrregularMessage});
}

// More records than the logger's memory holds (line noise, a larger model):
// every one is stored, decoded and shown.
TEST(ScriptedDownload, MoreRecordsThanTheMemoryHoldsAreAllKept)
{
    // The full memory (one record a minute from May 1st, 2024) and 80 more.
    std::vector<std::string> records = sim::makeRecording(sim::RecordingKind::Full).records;
    ASSERT_EQ(records.size(), static_cast<size_t>(kRecordCapacity));
    const long long start = sim::toMillis(sim::DateTime{2024, 5, 1, 0, 0, 0, 0});
    for (int i = kRecordCapacity; i < kRecordCapacity + 80; ++i) {
        const sim::DateTime t = sim::fromMillis(start + i * 60000LL);
        sim::RecordFields fields;
        fields.month = t.month;
        fields.day = t.day;
        fields.cycle = static_cast<int>((i / 1440) % 4);  // one step a day
        fields.hour = t.hour;
        fields.minute = t.minute;
        fields.tempTenths = 215;
        fields.z = 10;
        fields.hundredths = 0;
        records.push_back(sim::encodeRecord(fields));
    }
    QByteArray answer;
    for (const std::string& r : records)
        answer += QByteArray::fromStdString(r) + "\r\n";
    answer += '#';

    ReadyTool t;
    t.f->Button30->click();
    t.send(answer);

    const int total = kRecordCapacity + 80;
    EXPECT_EQ(t.f->recordCount, total);
    EXPECT_EQ(t.f->decodedCount, total);
    ASSERT_EQ(t.f->Memo1->count(), total + 2);
    // 72,020 minutes after May 1st 00:00 is June 20th 00:20 (50 days and 20 minutes).
    EXPECT_TRUE(t.f->Memo1->line(2).startsWith("2024/05/01 00:00:00.000,"));
    EXPECT_TRUE(t.f->Memo1->line(2 + kRecordCapacity).startsWith("2024/06/20 00:20:00.000,"))
        << t.f->Memo1->line(2 + kRecordCapacity).toStdString();
    EXPECT_EQ(t.f->Memo1->line(total + 1), QByteArray("2024/06/20 01:39:00.000,  0,  0, 10, 21.5"));
    EXPECT_TRUE(t.f->Label33->text().startsWith(QStringLiteral("72100rec ")));
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
}

// During the decoding pass the bar counts down: after record i it shows
// count + 2 - i whenever that is a multiple of 100.
TEST(ScriptedDownload, DecodingPassCountsTheBarDown)
{
    ReadyTool t;
    TForm1& f = *t.f;
    t.send("@C=250 1min\n#");
    ASSERT_EQ(f.ProgressBar1->maximum(), 250);
    f.Button30->click();
    QByteArray answer;
    for (int i = 0; i < 250; ++i)
        answer += "5A00000000000000\r\n";
    answer += '#';
    std::vector<int> shown;
    QObject::connect(f.ProgressBar1, &QProgressBar::valueChanged, [&shown](int v) { shown.push_back(v); });
    t.send(answer);
    ASSERT_EQ(f.decodedCount, 250);
    // Storing runs the bar up to 250, then the pass: 252 - i at i = 52 and 152.
    ASSERT_GE(shown.size(), 2u);
    const std::vector<int> pass(shown.end() - 2, shown.end());
    EXPECT_EQ(pass, (std::vector<int>{200, 100}));
    EXPECT_EQ(shown[shown.size() - 3], 250);
}

// A line of noise that reads like the logger's record-count report arrives in
// the middle of a download. It is stored as a record (and shown as a bad
// one) and leaves the count of stored records alone: every record after it
// is there.
TEST(ScriptedDownload, CountReportInsideADownloadDoesNotTakeThePassPastTheRecords)
{
    ReadyTool t;
    TForm1& f = *t.f;
    f.Button30->click();
    t.send("6709000302FF031500\r\n@C=99999 1min\r\n670900130100031500\r\n67090024FE01021500\r\n#");
    ASSERT_FALSE(t.port.Open());
    const std::vector<QByteArray>& lines = t.memo();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], QByteArray("2024/06/24 09:00:00.000,  2, -1,  3, 21.3"));
    EXPECT_EQ(lines[3], QByteArray("//Bad Record: @C=99999 1min //"));
    EXPECT_EQ(lines[lines.size() - 2], QByteArray("2024/06/24 09:00:01.000,  1,  0,  3, 21.3"));
    EXPECT_EQ(lines.back(), QByteArray("2024/06/24 09:00:02.000, -2,  1,  2, 21.4"));
    EXPECT_EQ(f.decodedCount, 4);
}

// ---------------------------------------------------------------------------
// End to end: the whole tool on the real serial port, the simulated logger
// with a full memory on a pseudo-terminal, download, save and open again.

constexpr int kCom = 93;

TEST(DownloadEndToEnd, FullMemoryDownloadSavedAndOpenedAgain)
{
    QElapsedTimer elapsed;
    elapsed.start();
    sim::Options simOptions;
    simOptions.recording = sim::RecordingKind::Full;
    simOptions.realtime = false;  // as fast as the pseudo-terminal takes it
    SimulatedTool tool(kCom, simOptions);
    const std::string error = tool.plugIn();
    ASSERT_TRUE(error.empty()) << error;
    sim::Simulator& sim = tool.sim;
    const sim::Recording recording = sim.recording();
    ASSERT_EQ(recording.records.size(), static_cast<size_t>(sim::kMemoryRecords));
    TForm1& f = tool.startTool();
    QtComPort& port = *tool.port;
    ScriptedDialogs& dialogs = tool.dialogs;

    // The tool finds the logger and connects by itself; the exchange is over
    // when the settings report has come and the port is closed again.
    const auto idle = [&] { return f.linkUp == 1 && f.Timer1->interval() != 0 && !port.Open(); };
    ASSERT_TRUE(waitFor([&] { return idle() && f.loggerReady == 1 && f.Label18->text() == QStringLiteral("042"); },
                        15000))
        << "no link; caption " << f.caption().toStdString();

    f.Label15->setText(QString::number(recording.startYear));
    const QString rangeAndId = f.ComboBox5->currentText() + f.Label18->text();
    const QByteArray header = "Start Year=" + QByteArray::number(recording.startYear) + " @1G=" +
                              QByteArray::number(f.countsPerG);
    f.Button30->click();
    ASSERT_EQ(f.downloadActive, 1);
    ASSERT_TRUE(waitFor([&] { return f.downloadActive == 0 && idle(); }, 40000))
        << "download unfinished: " << f.recordCount << " records";

    EXPECT_EQ(f.recordCount, sim::kMemoryRecords);
    EXPECT_EQ(f.decodedCount, sim::kMemoryRecords);
    ASSERT_EQ(f.Memo1->count(), sim::kMemoryRecords + 2);
    EXPECT_EQ(f.Memo1->line(0), header);
    EXPECT_EQ(f.Memo1->line(1), kColumns);
    // Every record arrived whole and in order.
    for (int i = 0; i < sim::kMemoryRecords; ++i) {
        if (f.recordLines[static_cast<size_t>(i)] != QByteArray::fromStdString(recording.records[static_cast<size_t>(i)])) {
            ADD_FAILURE() << "record " << i << " differs: " << f.recordLines[static_cast<size_t>(i)].toStdString();
            break;
        }
    }
    // One record a minute from May 1st 00:00 for 72,020 minutes, 50 days on.
    EXPECT_TRUE(f.Memo1->line(2).startsWith("2024/05/01 00:00:00.000,")) << f.Memo1->line(2).toStdString();
    EXPECT_TRUE(f.Memo1->line(sim::kMemoryRecords + 1).startsWith("2024/06/20 00:19:00.000,"))
        << f.Memo1->line(sim::kMemoryRecords + 1).toStdString();
    int flagged = 0;
    for (const QByteArray& line : f.Memo1->lines())
        flagged += (line.startsWith('\x81') || line.startsWith("//")) ? 1 : 0;
    EXPECT_EQ(flagged, 0);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(f.Label33->text().startsWith(QStringLiteral("72020rec "))) << f.Label33->text().toStdString();
    EXPECT_EQ(f.currentFileName, rangeAndId);
    EXPECT_FALSE(f.Memo1->isHidden());
    const std::vector<std::string> commands = sim.observations().commands;
    EXPECT_NE(std::find(commands.begin(), commands.end(), "D"), commands.end());

    // Save through the save button, open through the file button.
    PlainTempDir dir;
    ASSERT_TRUE(dir.usable()) << dir.dir.path().toStdString();
    const std::vector<QByteArray> downloaded = f.Memo1->lines();
    dialogs.files.push_back(dir.path(QStringLiteral("full")));
    f.Button6->click();
    const QString saved = dir.path(QStringLiteral("full.csv"));
    ASSERT_TRUE(QFile::exists(saved));
    f.Memo1->clear();
    dialogs.files.push_back(saved);
    f.Button11->click();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(f.currentFileName, saved);
    EXPECT_TRUE(f.Memo1->lines() == downloaded) << "opened " << f.Memo1->count() << " lines";
    EXPECT_TRUE(fileBytes(saved) == withCrLf(f.Memo1->lines()));

    sim.stop();
    std::printf("[ e2e      ] full-memory download, save and open in %.1f s\n", elapsed.elapsed() / 1000.0);
}

}  // namespace
