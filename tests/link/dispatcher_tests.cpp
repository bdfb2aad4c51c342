// The receive dispatcher: framing, the enquiry, the end mark and its queue,
// the identification line and the report lines, fed byte for byte through
// the in-memory port.
#include "tests/AppFixture.h"

#include "shell/Dispatcher.h"
#include "link/Protocol.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "platform/Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace zelt;
using namespace zelt::test;

namespace {

TEST(Framing, LineEndsAndSplitsGiveTheSameLines)
{
    const std::vector<std::vector<QByteArray>> chunkings = {
        {"@Y=2024\n"},
        {"@Y=2024\r\n"},
        {"@Y=20", "24\r", "\n"},
        {"@", "Y", "=", "2", "0", "2", "4", "\r", "\n"},
        {"@Y!=20?24\r\n"},  // '!' and '?' are ignored
    };
    for (const auto& chunks : chunkings) {
        LinkedTool t;
        for (const QByteArray& c : chunks)
            t.send(c);
        ASSERT_EQ(t.memo().size(), 1u) << chunks.front().toStdString();
        EXPECT_EQ(t.memo()[0], QByteArray("@Y=2024"));
        EXPECT_EQ(t.f->Label15->text(), QStringLiteral("2024"));
        EXPECT_EQ(t.f->lineLength, 0);
    }
}

TEST(Framing, EnquiryIsAnsweredAtOnceWithoutDisturbingTheLine)
{
    LinkedTool t;
    t.send(QByteArray("@Y=20\x05", 6));
    EXPECT_EQ(t.port.takeWritten(), QByteArray("\x06", 1));  // before the line is complete
    t.send("24\n");
    ASSERT_EQ(t.memo().size(), 1u);
    EXPECT_EQ(t.memo()[0], QByteArray("@Y=2024"));
}

TEST(Framing, ShortLinesAreNotListedAndLongLinesStayInBounds)
{
    LinkedTool t;
    t.send("a\n\nab\n");
    ASSERT_EQ(t.memo().size(), 1u);
    EXPECT_EQ(t.memo()[0], QByteArray("ab"));

    const QByteArray longLine(200, 'x');
    t.send(longLine + "\n@Y=2025\n");
    ASSERT_EQ(t.memo().size(), 3u);
    EXPECT_EQ(t.memo()[1], QByteArray(127, 'x'));  // the excess is dropped
    EXPECT_EQ(t.f->Label15->text(), QStringLiteral("2025"));
}

TEST(Download, ThreeCharacterLinesAreListedFourCharacterLinesStored)
{
    LinkedTool t;
    t.f->downloadActive = 1;
    t.f->recordCount = 0;
    t.send("abc\nabcd\n5A6B0000\n");
    ASSERT_EQ(t.memo().size(), 1u);
    EXPECT_EQ(t.memo()[0], QByteArray("abc"));
    EXPECT_EQ(t.f->recordCount, 2);
    EXPECT_EQ(t.f->recordLines[0], QByteArray("abcd"));
    EXPECT_EQ(t.f->recordLines[1], QByteArray("5A6B0000"));
    EXPECT_EQ(t.f->ProgressBar1->value(), 2);
}

TEST(EndMark, ConnectReportIsRequestedTwiceThenTheExchangeEnds)
{
    AppFixture fx;
    fx.withLoggerOn(QStringLiteral("COM9"));
    TForm1& f = fx.start();
    ASSERT_EQ(fx.port.takeWritten(), QByteArray("m"));
    ASSERT_EQ(f.connectReportPending, 1);
    ASSERT_EQ(f.Timer1->interval(), 0);
    fx.port.feed("J");  // link establishment sends its own 'm'
    ASSERT_EQ(fx.port.takeWritten(), QByteArray("m"));

    fx.port.feed("KTW128 SN=1\r\n#");
    EXPECT_EQ(fx.port.takeWritten(), QByteArray("p"));
    EXPECT_EQ(f.connectReportPending, 0);
    EXPECT_TRUE(fx.port.Open());
    fx.port.feed("#");
    EXPECT_EQ(fx.port.takeWritten(), QByteArray("p"));
    EXPECT_TRUE(fx.port.Open());
    fx.port.feed("@Y=2024\r\n#@Y=1999\r\n");  // bytes after the closing end mark are dropped
    EXPECT_TRUE(fx.port.takeWritten().isEmpty());
    EXPECT_FALSE(fx.port.Open());
    EXPECT_EQ(f.Label15->text(), QStringLiteral("2024"));
    EXPECT_EQ(f.Timer1->interval(), 1000);
    EXPECT_EQ(f.Label23->text(), QStringLiteral("3.5"));
    EXPECT_TRUE(f.Button37->isVisibleTo(&f));
}

TEST(EndMark, QueueSlotsGoOutInOrderOnePerEndMark)
{
    LinkedTool t;
    t.f->queuedCommand2 = "q2";
    t.send("#");
    EXPECT_EQ(t.port.takeWritten(), QByteArray("q2"));  // slot 1 empty: slot 2 goes

    t.f->queuedCommand1 = "first";
    t.f->queuedCommand2 = "2nd";
    t.f->queuedCommand3 = "third";
    QList<QByteArray> sent;
    for (int i = 0; i < 3; ++i) {
        t.send("#");
        sent << t.port.takeWritten();
    }
    EXPECT_EQ(sent, (QList<QByteArray>{"first", "2nd", "third"}));
    EXPECT_TRUE(t.port.Open());
    t.f->Timer1->setInterval(2000);
    t.send("tail#");
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(t.f->Label24->text(), QStringLiteral("tail"));  // what came since the last line end
    EXPECT_EQ(t.f->Timer1->interval(), 2000);                  // a running tick is left alone
}

TEST(Identification, ValidAndInvalidLines)
{
    struct Case {
        const char* line;
        bool valid;
        const char* number;
        int value;
    };
    const Case cases[] = {
        {"JKTW128 SN=20240624", true, "20240624", 20240624},
        {"JKT128=7", true, "7", 7},                 // "128" one place earlier
        {"JKTW128=123456789012345", true, "12345678901", 2147483647},  // cut to 11 characters
        {"JKTW128 no number", true, "", 0},
        {"JKTW256=5", false, "", 0},
        {"J12", false, "", 0},
    };
    for (const Case& c : cases) {
        LinkedTool t;
        t.send(QByteArray(c.line) + "\n");
        EXPECT_EQ(t.f->Button37->isVisibleTo(t.f), c.valid) << c.line;
        if (c.valid) {
            EXPECT_TRUE(t.dialogs.messages.isEmpty()) << c.line;
            EXPECT_EQ(t.f->Label41->text(), QString::fromLatin1(c.number)) << c.line;
            EXPECT_STREQ(t.f->loggerNumberText.c_str(), c.number) << c.line;
            EXPECT_EQ(t.f->loggerNumber, c.value) << c.line;  // too large a number stops at the largest int
        } else {
            EXPECT_EQ(t.dialogs.messages, QStringList{QStringLiteral("This is not a KTW-128")}) << c.line;
        }
    }
}

// Report lines and what each shows.
struct ReportCase {
    const char* line;
    const char* control;
    const char* text;
};

const ReportCase kReports[] = {
    {"@A h= 0005, 0000, 0001", "Edit1", " 05"},
    {"@A h= 0005, 0000, 0001", "Edit2", "OFF"},
    {"@A h= 0005, 0000, 0001", "Edit6", "ON"},
    {"@A x= 0001,-0003, 0012", "Edit7", "ON"},
    {"@A x= 0000,-0003, 0012", "Edit7", "OFF"},
    {"@A x= 0001,-0003, 0012", "Edit8", "-03"},
    {"@A x= 0001,-0003, 0012", "Edit11", " 12"},
    {"@B=BZ  0", "Label19", "BZ-ON"},
    {"@B=BZ  1", "Label19", "BZ-OFF"},
    {"@C= 1234  1sec", "Label13", "1234"},
    {"@C= 1234  1sec", "Label39", "1sec"},
    {"@D=1 2", "ComboBox1", "12"},
    {"@d=34", "ComboBox1", "34"},
    {"@F x= 0001, 0002,-0003", "Edit20", " 01"},
    {"@F x= 0001, 0002,-0003", "Edit16", " 02"},
    {"@F x= 0001, 0002,-0003", "Edit17", "-03"},
    {"@G status is fine", "Label33", "status is fine"},
    {"@I=C", "ComboBox3", "1msec"},
    {"@I=5", "ComboBox3", "Real(32Hz)"},
    {"@I=4", "ComboBox3", "Trace(32Hz)"},
    {"@I=z", "ComboBox3", "Real(16Hz)"},
    {"@K identity text", "Edit21", "identity text"},
    {"@L=ab 12", "Edit14", "12"},
    {"@M= 0042", "Label18", "042"},
    {"@M= 0042xyz", "Label18", "042"},
    {"@R=d", "ComboBox2", "15sec"},
    {"@R=^", "ComboBox2", "30min"},
    {"@R=Q", "ComboBox2", "???"},
    {"@T=abc01", "ComboBox5", "01"},
    {"@T=abc5x", "ComboBox5", "50"},
    {"@W=abcd1", "Edit12", "1"},
    {"@W=abcd0", "Edit12", "0"},
    {"@Y=2024", "Label15", "2024"},
    {"@r= 2500", "Edit15", "2500"},
    {"@s=abcd0", "ComboBox4", "Sleep"},
    {"@s=abcd1", "ComboBox4", "開始"},
    {"@w= 05", "Label31", "05"},
};

QString shownText(TForm1& f, const char* name)
{
    QWidget* w = f.findChild<QWidget*>(QString::fromLatin1(name));
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    return QStringLiteral("<no such control>");
}

TEST(Reports, EachLetterFillsItsControl)
{
    for (const ReportCase& c : kReports) {
        LinkedTool t;
        t.send(QByteArray(c.line) + "\r\n");
        EXPECT_EQ(shownText(*t.f, c.control), QString::fromUtf8(c.text)) << c.line;
        EXPECT_TRUE(t.dialogs.messages.isEmpty()) << c.line;
    }
}

TEST(Reports, SideEffectsOnSharedState)
{
    LinkedTool t;
    t.send("@C= 1234 x\n");
    EXPECT_EQ(t.f->recordCount, 1234);
    EXPECT_EQ(t.f->ProgressBar1->maximum(), 1234);
    t.send("@C=-5 x\n");
    EXPECT_EQ(t.f->recordCount, 5);
    EXPECT_EQ(t.dialogs.messages, QStringList{QStringLiteral("データ数不具合")});

    t.send("@I=C\n");
    EXPECT_EQ(t.f->fastSampling, 1);
    t.send("@I=5\n");
    EXPECT_EQ(t.f->fastSampling, 0);

    const std::tuple<const char*, int, const char*> ranges[] = {
        {"@T=abc00", 1, "00"}, {"@T=abc01", 100, "01"}, {"@T=abc02", 50, "02"}, {"@T=abc1x", 10, "10"},
        {"@T=abc2x", 5, "20"}, {"@T=abc5x", 2, "50"},   {"@T=abc9x", 10, "10"},
    };
    for (const auto& [line, counts, text] : ranges) {
        t.f->countsPerG = -1;
        t.send(QByteArray(line) + "\n");
        EXPECT_EQ(t.f->countsPerG, counts) << line;
        EXPECT_EQ(t.f->ComboBox5->currentText(), QString::fromLatin1(text)) << line;
    }
    t.f->countsPerG = 7;
    t.send("@T=abc09\n");  // '0' then an unknown code: unchanged
    EXPECT_EQ(t.f->countsPerG, 7);

    t.send("@g=5 fifty\n");
    EXPECT_EQ(t.f->countsPerG, 2);
    EXPECT_EQ(t.f->ComboBox5->currentText(), QStringLiteral("50"));
    EXPECT_EQ(t.f->Label33->text(), QStringLiteral("fifty"));
    t.send("@g=1 ten\n");
    EXPECT_EQ(t.f->countsPerG, 2);

    t.send("@R=f\n");
    EXPECT_EQ(t.f->intervalIndex, 14);
    EXPECT_EQ(t.f->intervalText, QStringLiteral("30sec"));
}

TEST(Reports, ThresholdCheckMarkRunsTheClickHandlerWithThePreviousState)
{
    LinkedTool t;
    std::vector<int> seenByHandler;
    QObject::connect(t.f->CheckBox2, &QCheckBox::toggled, [&] { seenByHandler.push_back(t.f->thresholdDetect); });
    t.send("@W=abcd1\n");
    EXPECT_TRUE(t.f->CheckBox2->isChecked());
    EXPECT_EQ(t.f->thresholdDetect, 1);
    EXPECT_EQ(seenByHandler, std::vector<int>{0});
    t.send("@W=abcd7\n");  // unchanged mark: no click
    EXPECT_EQ(seenByHandler.size(), 1u);
    t.send("@W=abcd0\n");
    EXPECT_EQ(t.f->thresholdDetect, 0);
    EXPECT_EQ(seenByHandler, (std::vector<int>{0, 1}));
}

TEST(Reports, ShortAndMalformedLinesShowNothingWrong)
{
    LinkedTool t;
    const char* lines[] = {"@A", "@A h", "@A h=", "@B", "@B=", "@C", "@C=", "@D=1", "@d=", "@F", "@G",
                           "@g", "@g=", "@I", "@I=", "@K", "@L=", "@M", "@M=", "@R", "@R=", "@T=1", "@T=abc",
                           "@W", "@W=abc", "@Y", "@r", "@s=ab", "@w", "@", "@Z=whatever", "J"};
    for (const char* line : lines)
        t.send(QByteArray(line) + "\n");
    EXPECT_EQ(t.memo().size(), std::size(lines) - 2);  // each listed but the one-character "@" and "J"
    EXPECT_EQ(t.f->Label19->text(), QStringLiteral("BZ"));
    EXPECT_EQ(t.f->Label15->text(), QStringLiteral("20XX"));
    EXPECT_EQ(t.f->countsPerG, 10);
    EXPECT_EQ(t.f->ComboBox2->currentText(), QStringLiteral("10min"));
    EXPECT_FALSE(t.f->CheckBox2->isChecked());
    EXPECT_EQ(t.f->recordCount, 0);
}

TEST(Dispatch, PrecedenceOfTheFourBranches)
{
    LinkedTool t;
    QStringList calls;
    t.f->hooks.onlineReceive = [&](quint16 n) { calls << QStringLiteral("online %1").arg(n); };
    t.f->hooks.firmwareReceive = [&] { calls << QStringLiteral("firmware"); };
    t.f->onlineRow = 1;
    t.f->firmwareSending = 1;
    t.send("abcdefgh");
    t.f->onlineRow = 0;
    t.port.FlushInBuffer();
    t.send("x");
    t.f->firmwareSending = 0;
    t.port.FlushInBuffer();
    t.send("@Y=1\n");
    EXPECT_EQ(calls, (QStringList{QStringLiteral("online 8"), QStringLiteral("firmware")}));
    EXPECT_EQ(t.f->Label15->text(), QStringLiteral("1"));
}

}  // namespace
