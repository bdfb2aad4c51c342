// A download on a line that misbehaves: what arrived is kept and decoded, the
// tool says how much of what was announced arrived, lines of noise in the
// record stream are data and nothing else, and the table has a bound.
#include "tests/data/DataTool.h"

#include "sim/Records.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <gtest/gtest.h>

using namespace zelt;
using namespace zelt::test;

namespace {

// n records a minute apart from 2024/05/01 00:00, 21.5 degrees, Z 10.
QByteArray records(int n, int first = 0)
{
    QByteArray out;
    const long long start = sim::toMillis(sim::DateTime{2024, 5, 1, 0, 0, 0, 0});
    for (int i = first; i < first + n; ++i) {
        const sim::DateTime t = sim::fromMillis(start + i * 60000LL);
        sim::RecordFields fields;
        fields.month = t.month;
        fields.day = t.day;
        fields.hour = t.hour;
        fields.minute = t.minute;
        fields.tempTenths = 215;
        fields.z = 10;
        fields.hundredths = 0;
        out += QByteArray::fromStdString(sim::encodeRecord(fields)) + "\r\n";
    }
    return out;
}

// The last lines of a memo, for failure messages.
std::string tail(const std::vector<QByteArray>& lines, size_t n = 3)
{
    std::string out;
    for (size_t i = lines.size() > n ? lines.size() - n : 0; i < lines.size(); ++i)
        out += "[" + lines[i].toStdString() + "]";
    return out;
}

std::string decoded(int i)
{
    char line[64];
    std::snprintf(line, sizeof line, "2024/05/01 %02d:%02d:00.000,  0,  0, 10, 21.5", i / 60, i % 60);
    return line;
}

// The logger announced `announced` records; a download of them was started.
struct Downloading : ReadyTool {
    int heightBefore = 0;
    explicit Downloading(int announced)
    {
        send(QStringLiteral("@C= %1 1min\n#").arg(announced).toLatin1());
        port.takeWritten();
        heightBefore = f->height();
        f->Button30->click();
        EXPECT_EQ(port.takeWritten(), QByteArray("D"));
        EXPECT_EQ(f->downloadActive, 1);
    }
    // The window is back from its download view, the data set shown.
    void expectDataSetShown()
    {
        EXPECT_EQ(f->downloadActive, 0);
        EXPECT_FALSE(f->Memo1->isHidden());
        EXPECT_TRUE(f->ProgressBar1->isHidden());
        EXPECT_EQ(f->height(), heightBefore);
    }
    std::vector<QByteArray> expectedMemo(int n, const QString& note)
    {
        std::vector<QByteArray> lines{"Start Year=2024 @1G=10", "date time,x(G),y(G),z(G),temperature(C)"};
        for (int i = 0; i < n; ++i)
            lines.push_back(QByteArray::fromStdString(decoded(i)));
        if (!note.isEmpty())
            lines.push_back(note.toLatin1());
        return lines;
    }
};

// Unplugged in the middle: the download ends at once with what arrived,
// under its headers, and says how much of it; a replug and the link that
// follows leave that data set alone.
TEST(DownloadCutShort, PortLostKeepsWhatArrivedAndTheLinkLeavesItAlone)
{
    Downloading t(100);
    TForm1& f = *t.f;
    t.send(records(40) + "6709", 5);  // and the start of the 41st
    t.port.unplug(QStringLiteral("the device was removed"));
    t.expectDataSetShown();
    std::vector<QByteArray> expected = t.expectedMemo(40, QString());
    ASSERT_EQ(t.memo().size(), expected.size() + 1) << tail(t.memo());
    const QByteArray note = t.memo().back();
    EXPECT_TRUE(note.startsWith("// Download incomplete (port lost: ") && note.contains("the device was removed") &&
                note.endsWith("): 40 of 100 records arrived //"))
        << note.toStdString();
    expected.push_back(note);
    EXPECT_EQ(t.memo(), expected) << tail(t.memo());
    ASSERT_EQ(t.dialogs.messages.size(), 1) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(t.dialogs.messages[0].contains(QStringLiteral("100 件中 40 件"))) << t.dialogs.messages[0].toStdString();
    EXPECT_EQ(f.decodedCount, 40);

    // Plugged in again: the connect and the link, the reports that follow.
    t.withLoggerOn(QStringLiteral("COM3"));
    f.autoConnectDone = 0;
    f.Timer1Timer();
    EXPECT_EQ(f.linkUp, 0);
    t.send("J");
    EXPECT_EQ(f.linkUp, 1);
    t.send("KTW128 SN=20240624\n@C= 100 1min\n#");  // after the "J" that linked
    EXPECT_EQ(f.Label41->text(), QStringLiteral("20240624"));
    t.send("@T=   10\n#");
    t.send("@R=A 1min\n#");
    EXPECT_EQ(t.memo(), expected) << tail(t.memo());
    EXPECT_EQ(t.dialogs.messages.size(), 1) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(f.countsPerG, 10);  // the reports are applied all the same
}

// An end mark in the middle of the record stream (noise) ends the download:
// fewer records than the logger announced, and the tool says so.
TEST(DownloadCutShort, EarlyEndMarkIsComparedWithTheAnnouncedCount)
{
    Downloading t(100);
    t.send(records(50) + "#" + records(50, 50));
    t.expectDataSetShown();
    EXPECT_EQ(t.memo(), t.expectedMemo(
                            50, QStringLiteral("// Download incomplete (the end mark came early): 50 of 100 records arrived //")));
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_TRUE(t.dialogs.messages[0].contains(QStringLiteral("100 件中 50 件"))) << t.dialogs.messages[0].toStdString();

    // All that was announced (or more: the logger records on) says nothing.
    Downloading whole(100);
    whole.send(records(101) + "#");
    EXPECT_EQ(whole.memo(), whole.expectedMemo(101, QString()));
    EXPECT_TRUE(whole.dialogs.messages.isEmpty()) << whole.dialogs.messages.join(QLatin1Char('|')).toStdString();
}

// Lines in the record stream that are no records are data: never an
// identification, never a report acted on.
TEST(DownloadCutShort, ReportAndIdentificationLinesInTheStreamAreOnlyData)
{
    Downloading t(3);
    TForm1& f = *t.f;
    const bool detectBefore = f.CheckBox2->isChecked();
    const int countsBefore = f.countsPerG;
    t.send(records(1) + "@W=abcd1\r\n@T=   50\r\nJKTW128 SN=99\r\nJXYZ\r\nOK\r\n" + records(2, 1) + "#");
    EXPECT_EQ(t.port.takeWritten(), QByteArray()) << "a line of the stream wrote to the logger";
    EXPECT_EQ(f.CheckBox2->isChecked(), detectBefore);
    EXPECT_EQ(f.countsPerG, countsBefore);
    EXPECT_EQ(f.ComboBox5->currentText(), QStringLiteral("02"));
    EXPECT_EQ(f.Label41->text(), QString());
    const std::vector<QByteArray> expected = {
        "Start Year=2024 @1G=10", "date time,x(G),y(G),z(G),temperature(C)", "OK",
        QByteArray::fromStdString(decoded(0)), "//Bad Record: @W=abcd1 //", "//Bad Record: @T=   50 //",
        "//Bad Record: JKTW128 SN=99 //",     "//Bad Record: JXYZ //",
        QByteArray::fromStdString(decoded(1)), QByteArray::fromStdString(decoded(2))};
    EXPECT_EQ(t.memo(), expected);
    // One message: the count of lines that could not be read; no box of an
    // identification, no count mismatch.
    ASSERT_EQ(t.dialogs.messages.size(), 1) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(t.dialogs.messages[0].contains(QStringLiteral("Bad Record")));
}

// A logger that never ends its answer cannot grow the record table without
// bound: the download stops at the bound with what arrived, and says so.
TEST(DownloadCutShort, StreamWithoutEndMarkStopsAtTheBound)
{
    Downloading t(100);
    TForm1& f = *t.f;
    f.recordLimit = 120;
    t.send(records(150));
    t.expectDataSetShown();
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(f.decodedCount, 120);
    EXPECT_EQ(t.memo(), t.expectedMemo(120, QStringLiteral("// Download incomplete (120 lines without an end mark): "
                                                           "120 of 100 records arrived //")));
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_EQ(f.Timer1->interval(), 1000);
}

}  // namespace
