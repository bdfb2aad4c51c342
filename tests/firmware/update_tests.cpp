// The firmware update through the whole tool: which image goes to which
// logger, "Start", "Update", the line-by-line transfer paced by the logger,
// the closing handshake, and the time limits of the waits.
#include "firmware/Firmware.h"
#include "firmware/FirmwareImage.h"
#include "platform/PeriodicTimer.h"
#include "tests/SimulatedTool.h"
#include "tests/port/PtyHelper.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

namespace zelt::test {
namespace {

const QString kWarning = QStringLiteral("Do not Release or Power off until update completed");
const QByteArray kLoaderCall("\x03\x06\x03\x06\x03", 5);

// Clicks a control as the user does: it must be on screen, enabled and
// inside its window.
void userClick(QWidget* control)
{
    ASSERT_TRUE(control->isVisible()) << control->objectName().toStdString();
    ASSERT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    QWidget* window = control->window();
    ASSERT_TRUE(window->rect().contains(QRect(control->mapTo(window, QPoint(0, 0)), control->size())))
        << control->objectName().toStdString();
    QTest::mouseClick(control, Qt::LeftButton);
}

FirmwareFeature& featureOf(TForm1& f)
{
    for (QObject* o : f.children())
        if (auto* p = dynamic_cast<FirmwareFeature*>(o))
            return *p;
    throw std::logic_error("no firmware feature");
}

// A small firmware file in the loader's layout: program data under upper
// addresses 0 and 1, the configuration words behind ":020000040002F8".
const std::vector<QByteArray> kSmallImage = {
    ":08000000AC6D1B00DC75D4009F",
    ":04000800FBFB780086",
    ":020000040001F9",
    ":08000000112233004455660093",
    ":020000040002F8",
    ":10AFF000FFFF00003FFF00007FCE00007F3F00000A",
    ":00000001FF",
    ";PIC24FJ128GA310",
};
// What the transfer sends of it: all but the configuration words and their
// address record.
const std::vector<QByteArray> kSmallImageSent = {kSmallImage[0], kSmallImage[1], kSmallImage[2],
                                                 kSmallImage[3], kSmallImage[6], kSmallImage[7]};

QByteArray joined(const std::vector<QByteArray>& lines, const char* eol)
{
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + eol;
    return out;
}

// Firmware files the user may open, in a directory of the test's own.
struct HexFiles {
    QTemporaryDir dir;
    QString write(const QString& name, const QByteArray& content)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return f.fileName();
    }
};

struct FirmwareTool : LinkedTool {
    // Whether the port is the simulated logger's, as the platform tells it.
    bool simulated = true;

    explicit FirmwareTool(bool simulatedLogger = true) : simulated(simulatedLogger)
    {
        f->platform.portNotice = [this](int comNumber) {
            return simulated ? QStringLiteral("Simulated logger on COM%1").arg(comNumber) : QString();
        };
        // The logger on the line proves it is the simulator when it is one.
        feature().askSimulator = [this] { return simulated; };
    }

    // The window on screen, the logger identified as the supported model.
    void showIdentified()
    {
        send("JKTW128 SN=20240624\n");
        f->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
        port.takeWritten();
    }
    // "HEX..." pressed and `path` chosen in the open dialog.
    void openHex(const QString& path)
    {
        dialogs.files.push_back(path);
        userClick(feature().hexFileButton);
    }
    // "Update" pressed by the user; the loader answers '#' to "e".
    void userUpdate()
    {
        QTimer::singleShot(0, &port, [this] { port.feed("#"); });
        userClick(f->Button39);
    }
    QLabel& imageLabel() { return *feature().imageLabel; }

    FirmwareFeature& feature() { return featureOf(*f); }
    // "Start", with the tick running at 1000 ms as after an exchange.
    void start()
    {
        f->Timer1->setInterval(1000);
        f->Button37->click();
        port.takeWritten();
    }
    // "Update"; the loader answers `ready` to "e" once the wait has begun.
    void update(const QByteArray& ready = "#")
    {
        if (!ready.isEmpty())
            QTimer::singleShot(0, &port, [this, ready] { port.feed(ready); });
        f->Button39->click();
    }
    // Whether the next arrival ends the transfer.
    bool nextArrivalFinishes() const
    {
        const int i = f->firmwareLineIndex, n = f->firmwareLineCount;
        if (i >= n - 1)
            return true;
        return QString::fromLatin1(f->Memo1->store().at(i)) == f->Edit22->text() && i + 2 >= n;
    }

    struct Run {
        std::vector<QByteArray> sent;  // one entry per write while sending
        QByteArray closing;            // written by the arrival that finished
        int maxProgress = 0;
        int arrivals = 0;
        QString edit12AfterFirst;
    };
    // Answers every line with `answer` until the transfer ends; the loader
    // confirms the verification with "VERIFY OK M" when `verify` is set.
    Run answerAll(const QByteArray& answer, bool verify = true)
    {
        Run run;
        QByteArray first = port.takeWritten();  // "e" and line 0
        if (first.startsWith('e'))
            first.remove(0, 1);
        run.sent.push_back(first);
        while (f->firmwareSending && run.arrivals < 20000) {
            if (verify && nextArrivalFinishes())
                QTimer::singleShot(0, &port, [this] { port.feed("VERIFY OK M"); });
            port.feed(answer);
            ++run.arrivals;
            if (run.arrivals == 1)
                run.edit12AfterFirst = f->Edit12->text();
            run.maxProgress = std::max(run.maxProgress, f->ProgressBar1->value());
            if (f->firmwareSending)
                run.sent.push_back(port.takeWritten());
            else
                run.closing = port.takeWritten();
        }
        return run;
    }
};

std::vector<int> indicesOf(const std::vector<QByteArray>& sent)
{
    QHash<QByteArray, int> index;
    const ByteLines& img = standInImageLines();
    for (int i = 0; i < img.size(); ++i)
        index.insert(img.at(i), i);
    std::vector<int> out;
    for (const QByteArray& s : sent)
        out.push_back(index.value(s, -1));
    return out;
}

// The loader has left after "qs" and the tool's closing "m" arrived.
bool backFromLoader(const sim::Observations& o)
{
    return !o.loaderMode && std::find(o.commands.begin(), o.commands.end(), std::string("m")) != o.commands.end();
}

// The lines of a HEX image (records and comments) the loader received, in order.
std::vector<QByteArray> imageLinesReceived(const sim::Observations& o)
{
    std::vector<QByteArray> lines;
    for (const std::string& c : o.commands)
        if (!c.empty() && (c[0] == ':' || c[0] == ';'))
            lines.push_back(QByteArray::fromStdString(c));
    return lines;
}

std::vector<int> range(int from, int to)
{
    std::vector<int> out;
    for (int i = from; i <= to; ++i)
        out.push_back(i);
    return out;
}

TEST(FirmwareImageChoice, StandInOnlyForTheSimulatedLogger)
{
    FirmwareTool t(false);
    t.showIdentified();
    EXPECT_FALSE(t.imageLabel().isVisible());

    // A real logger and no file: "Start" asks for the file and sends nothing.
    const std::vector<QByteArray> log = t.memo();
    ASSERT_FALSE(log.empty());
    userClick(t.f->Button37);
    EXPECT_EQ(t.dialogs.messages, QStringList{firmwareNeedsFileMessage()});
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    EXPECT_FALSE(t.f->Button39->isVisible());
    EXPECT_EQ(t.memo(), log);

    // The simulated logger: "Start" shows the stand-in, and the label says so.
    t.simulated = true;
    userClick(t.f->Button37);
    EXPECT_EQ(t.port.takeWritten(), kLoaderCall);
    EXPECT_EQ(t.f->Memo1->store(), standInImageLines());
    ASSERT_TRUE(t.f->Button39->isVisible());
    EXPECT_TRUE(t.imageLabel().isVisible());
    EXPECT_EQ(t.imageLabel().text(),
              QStringLiteral("Update sends: the generated stand-in image (simulated logger only)"));

    // The port is a real logger's by the time "Update" is pressed: nothing
    // goes out, not even "e", and the label no longer offers the stand-in.
    t.simulated = false;
    t.dialogs.messages.clear();
    t.f->Timer1->setInterval(1000);
    userClick(t.f->Button39);
    EXPECT_EQ(t.dialogs.messages, QStringList{firmwareNeedsFileMessage()});
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    EXPECT_EQ(t.f->firmwareSending, 0);
    EXPECT_EQ(t.f->Timer1->interval(), 1000);
    EXPECT_TRUE(t.imageLabel().text().startsWith(QStringLiteral("No firmware file open"))) << t.imageLabel().text().toStdString();
}

TEST(FirmwareImageChoice, InvalidFileNamesItsLineAndLoadsNothing)
{
    // The stand-in's text with one record broken far into the file.
    std::vector<QByteArray> lines = standInImageLines().toVector();
    lines.pop_back();
    lines[1000].back() = lines[1000].back() == '0' ? '1' : '0';
    HexFiles files;
    const QString bad = files.write(QStringLiteral("broken.hex"), joined(lines, "\r\n"));

    FirmwareTool t(false);
    t.showIdentified();
    t.openHex(bad);
    ASSERT_EQ(t.dialogs.fileRequests.size(), 1u);
    EXPECT_TRUE(t.dialogs.fileRequests[0].filter.contains(QStringLiteral("*.hex")));
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    const QString& message = t.dialogs.messages[0];
    EXPECT_TRUE(message.contains(QStringLiteral("broken.hex"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("Line 1001: checksum"))) << message.toStdString();
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    EXPECT_FALSE(t.imageLabel().isVisible());

    // Nothing was loaded: with the real logger "Start" still asks for a file.
    userClick(t.f->Button37);
    EXPECT_EQ(t.dialogs.messages.back(), firmwareNeedsFileMessage());
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
}

TEST(FirmwareImageChoice, OpenedFileIsWhatIsShownAndSent)
{
    HexFiles files;
    const QString small = files.write(QStringLiteral("logger-v2.hex"), joined(kSmallImage, "\r\n"));
    FirmwareTool t(false);
    t.showIdentified();
    t.f->Timer1->setInterval(1000);
    t.openHex(small);
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(t.imageLabel().isVisible());
    EXPECT_EQ(t.imageLabel().text(), QStringLiteral("Update sends: logger-v2.hex"));

    userClick(t.f->Button37);
    EXPECT_EQ(t.port.takeWritten(), kLoaderCall);
    std::vector<QByteArray> shown = kSmallImage;
    shown.push_back(QByteArray());  // the empty last line, never sent
    EXPECT_EQ(t.f->Memo1->lines(), shown);
    ASSERT_TRUE(t.f->Button39->isVisible());

    t.userUpdate();
    ASSERT_EQ(t.f->firmwareSending, 1) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
    const FirmwareTool::Run run = t.answerAll("\x06");
    EXPECT_EQ(run.sent, kSmallImageSent);
    EXPECT_EQ(run.closing, "qsm");
    EXPECT_EQ(t.f->caption(), QStringLiteral("Skip CNFG"));
    EXPECT_EQ(t.dialogs.messages, (QStringList{kWarning, QStringLiteral("更新が完了しました（9 行のうち 6 行を送信）")}));

    // Another file opened after "Start": "Update" waits for "Start" again.
    std::vector<QByteArray> other = kSmallImage;
    other.pop_back();  // without the comment
    const QString second = files.write(QStringLiteral("logger-v3.hex"), joined(other, "\n"));
    userClick(t.f->Button37);
    ASSERT_TRUE(t.f->Button39->isVisible());
    t.openHex(second);
    EXPECT_FALSE(t.f->Button39->isVisible());
    EXPECT_EQ(t.imageLabel().text(), QStringLiteral("Update sends: logger-v3.hex"));
}

TEST(FirmwareStart, ShowsTheImageAndCallsTheLoader)
{
    FirmwareTool t;
    EXPECT_EQ(t.f->Memo2->store(), standInImageLines());
    t.f->Memo1->addLine("old answer");
    t.f->Button37->click();
    EXPECT_EQ(t.port.takeWritten(), kLoaderCall);
    EXPECT_EQ(t.f->Memo1->store(), standInImageLines());
    EXPECT_FALSE(t.f->Button39->isHidden());
}

TEST(FirmwareStart, NothingWithoutReadyLoggerOrDuringTransfer)
{
    FirmwareTool t;
    t.f->loggerReady = 0;
    t.f->Memo1->addLine("kept");
    t.f->Button37->click();
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    EXPECT_EQ(t.f->Memo1->count(), 1);
    EXPECT_TRUE(t.f->Button39->isHidden());

    t.f->loggerReady = 1;
    t.start();
    t.update();
    ASSERT_EQ(t.f->firmwareSending, 1);
    t.port.takeWritten();
    t.f->Button37->click();  // a second "Start" would break into the transfer
    t.f->Button39->click();  // and so would a second "Update"
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    EXPECT_EQ(t.f->Memo1->store(), standInImageLines());
}

struct TransferCase {
    const char* name;
    QString skipKey;  // Edit22's text; empty = as at start
    QByteArray answer;
    std::vector<int> expectedLines;
    bool skipCaption;
};

TEST(FirmwareTransfer, WholeImageLineByLine)
{
    std::vector<int> withSkip = range(0, 7518);
    for (int i : {7521, 7522, 7523})
        withSkip.push_back(i);
    const TransferCase cases[] = {
        {"configuration record skipped", QString(), QByteArray("\x06"), withSkip, true},
        {"key that matches nothing sends all", QStringLiteral(":nothing"), QByteArray("\x06"), range(0, 7523), false},
        {"every line rejected, all still sent", QString(), QByteArray("!"), withSkip, true},
    };
    for (const TransferCase& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareTool t;
        ASSERT_EQ(t.f->Edit22->text(), QStringLiteral(":020000040002F8"));
        if (!c.skipKey.isEmpty())
            t.f->Edit22->setText(c.skipKey);
        t.f->setCaption(QStringLiteral("before"));
        t.start();
        t.update();
        ASSERT_EQ(t.f->firmwareSending, 1);
        EXPECT_EQ(t.f->Timer1->interval(), 0);
        EXPECT_EQ(t.f->ProgressBar1->maximum(), 7525);
        EXPECT_FALSE(t.f->ProgressBar1->isHidden());
        const FirmwareTool::Run run = t.answerAll(c.answer);

        EXPECT_EQ(indicesOf(run.sent), c.expectedLines);
        EXPECT_EQ(run.arrivals, static_cast<int>(c.expectedLines.size()));
        EXPECT_EQ(run.maxProgress, 7523);
        EXPECT_EQ(run.edit12AfterFirst, QString::fromLatin1(standInImageLines().at(1)) + QStringLiteral("17525"));
        EXPECT_EQ(t.f->caption(), c.skipCaption ? QStringLiteral("Skip CNFG") : QStringLiteral("before"));
        const int errs = static_cast<int>(t.dialogs.messages.count(QStringLiteral("err")));
        EXPECT_EQ(errs, c.answer == "!" ? run.arrivals : 0);
        EXPECT_EQ(t.dialogs.messages.front(), kWarning);
        ASSERT_EQ(t.dialogs.messages.size(), 2 + errs);
        // The last word is the update's end, with the lines sent.
        EXPECT_EQ(t.dialogs.messages.back(),
                  firmwareDoneMessage(7525, static_cast<int>(c.expectedLines.size())));

        // The finish: "qs", the 'M', "m"; timer back, memo empty.
        EXPECT_EQ(run.closing, "qsm");
        EXPECT_EQ(t.f->firmwareSending, 0);
        EXPECT_EQ(t.f->Timer1->interval(), 1000);
        EXPECT_EQ(t.f->Memo1->count(), 0);
        EXPECT_TRUE(t.f->ProgressBar1->isHidden());
    }
}

TEST(FirmwareTransfer, SeveralBytesInOneArrivalSendOneLine)
{
    FirmwareTool t;
    t.start();
    t.update();
    EXPECT_EQ(t.port.takeWritten(), "e" + standInImageLines().at(0));
    t.port.feed("\x06\x06\x06!");
    EXPECT_EQ(t.port.takeWritten(), standInImageLines().at(1));
    EXPECT_EQ(t.dialogs.messages.count(QStringLiteral("err")), 1);
    t.port.feed("!!");
    EXPECT_EQ(t.port.takeWritten(), standInImageLines().at(2));
    EXPECT_EQ(t.dialogs.messages.count(QStringLiteral("err")), 3);
    EXPECT_EQ(t.f->firmwareLineIndex, 3);
}

TEST(FirmwareTransfer, BytesAroundTheReadyMarkAreNotAnswers)
{
    FirmwareTool t;
    t.start();
    t.update(QByteArray("\x05junk#\r\n"));
    EXPECT_EQ(t.port.takeWritten(), "e" + standInImageLines().at(0));
    EXPECT_FALSE(t.port.CharReady());
    t.port.feed("\x06");
    EXPECT_EQ(t.port.takeWritten(), standInImageLines().at(1));
}

TEST(FirmwareTransfer, KeyMatchingNearTheEndEndsTheTransfer)
{
    // A key that matches the last line examined skips past the end.
    FirmwareTool t;
    t.f->Edit22->setText(QString::fromLatin1(standInImageLines().at(7523)));
    t.start();
    t.update();
    const FirmwareTool::Run run = t.answerAll("\x06");
    EXPECT_EQ(indicesOf(run.sent), range(0, 7522));
    EXPECT_EQ(run.closing, "qsm");
    EXPECT_EQ(t.f->firmwareSending, 0);
}

TEST(FirmwareTransfer, RefusedWhenTheLogNoLongerHoldsTheImage)
{
    FirmwareTool t;
    t.start();
    t.f->Memo1->clear();
    t.f->Memo1->addLine("@T answer of another command");
    t.f->Button39->click();
    EXPECT_TRUE(t.port.takeWritten().isEmpty());
    EXPECT_EQ(t.dialogs.messages, QStringList{firmwareNoImageMessage()});
    EXPECT_EQ(t.f->firmwareSending, 0);
    EXPECT_EQ(t.f->Timer1->interval(), 1000);
}

TEST(FirmwareLimits, NoReadyMarkEndsTheWait)
{
    FirmwareTool t;
    t.f->silentLoggerMs = 300;
    t.start();
    QElapsedTimer clock;
    clock.start();
    t.update(QByteArray("\x05 no mark"));
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 300);
    EXPECT_LT(took, 3000);
    EXPECT_EQ(t.port.takeWritten(), "e");
    EXPECT_EQ(t.dialogs.messages.back(), firmwareNotReadyMessage(300, false));
    EXPECT_EQ(t.f->firmwareSending, 0);
    EXPECT_EQ(t.f->Timer1->interval(), 1000);
    EXPECT_TRUE(t.f->ProgressBar1->isHidden());
    // The image is still there: "Update" can be pressed again.
    t.port.FlushInBuffer();
    t.update();
    EXPECT_EQ(t.port.takeWritten(), "e" + standInImageLines().at(0));
    EXPECT_EQ(t.f->firmwareSending, 1);
}

TEST(FirmwareLimits, PortLostDuringTheWait)
{
    FirmwareTool t;
    t.f->silentLoggerMs = 20000;
    t.start();
    QTimer::singleShot(50, &t.port, [&] { t.port.unplug(); });
    QElapsedTimer clock;
    clock.start();
    t.update(QByteArray());
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(t.dialogs.messages.contains(firmwareNotReadyMessage(20000, true)));
    EXPECT_EQ(t.f->firmwareSending, 0);
}

TEST(FirmwareLimits, VerifyMarkMayComeInPiecesOrNotAtAll)
{
    for (const bool answered : {true, false}) {
        SCOPED_TRACE(answered ? "answered in pieces" : "never answered");
        FirmwareTool t;
        t.f->silentLoggerMs = 300;
        t.start();
        t.update();
        t.f->Edit22->setText(QStringLiteral(":nothing"));
        // Jump to the end of the image: the next arrival finishes.
        t.f->firmwareLineIndex = t.f->firmwareLineCount - 1;
        if (answered) {
            QTimer::singleShot(0, &t.port, [&] { t.port.feed("VERIFY OK "); });
            QTimer::singleShot(60, &t.port, [&] { t.port.feed("M"); });
        }
        t.port.takeWritten();
        t.port.feed("\x06");
        EXPECT_EQ(t.port.takeWritten(), answered ? "qsm" : "qs");
        EXPECT_EQ(t.f->firmwareSending, 0);
        EXPECT_EQ(t.f->Timer1->interval(), 1000);
        EXPECT_EQ(t.f->Memo1->count(), 0);
        EXPECT_EQ(t.dialogs.messages.contains(firmwareNoVerifyMessage(300, false)), !answered);
    }
}

TEST(FirmwareLimits, SilentLoggerStopsTheTransfer)
{
    FirmwareTool t;
    t.f->silentLoggerMs = 300;
    t.start();
    t.update();
    t.port.feed("\x06");  // line 1 goes out and is never answered
    ASSERT_EQ(t.f->firmwareSending, 1);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitFor([&] { return t.f->firmwareSending == 0; }, 5000));
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_EQ(t.dialogs.messages.back(), firmwareStalledMessage(1, 7525, 300));
    EXPECT_EQ(t.f->Timer1->interval(), 1000);
    EXPECT_TRUE(t.f->ProgressBar1->isHidden());
    EXPECT_EQ(t.f->Memo1->store(), standInImageLines());
    // A late answer is no longer taken as a request for a line.
    t.port.takeWritten();
    t.port.feed("\x06");
    EXPECT_FALSE(t.port.takeWritten().startsWith(':'));
}

// A loader that answers the update's three waits ("e" with '#', each line,
// "qs" with 'M'), one of them slowly: it keeps sending other bytes for
// longer than the silence limit before its answer, or pauses before it for
// less than the limit (but longer than a fixed limit of a fraction of it
// would have allowed).
struct SlowLoader {
    enum class Step { Ready, Line, Verify };
    enum class How { KeepsSending, Pauses };
    FirmwareTool& t;
    Step slowStep;
    How how;
    int slowMs;       // how long it sends or pauses before the answer
    int lineCount = 0;
    std::vector<QByteArray> lines;  // image lines received
    QTimer poll;

    SlowLoader(FirmwareTool& tool, Step step, How h, int ms) : t(tool), slowStep(step), how(h), slowMs(ms)
    {
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [this] { look(); });
        poll.start();
    }
    void look()
    {
        const QByteArray w = t.port.takeWritten();
        if (w.isEmpty() || w == "m")
            return;
        Step step = Step::Line;
        QByteArray answer = "\x06";
        if (w == "e") {
            step = Step::Ready;
            answer = "#";
        } else if (w == "qs") {
            step = Step::Verify;
            answer = "VERIFY OK M";
        } else {
            lines.push_back(w);
            ++lineCount;
        }
        // The second line is the slow one of the lines.
        if (step != slowStep || (step == Step::Line && lineCount != 2)) {
            QTimer::singleShot(0, &t.port, [this, answer] { t.port.feed(answer); });
            return;
        }
        if (how == How::KeepsSending) {
            // A byte that is no answer every 100 ms meanwhile.
            for (int at = 100; at < slowMs; at += 100)
                QTimer::singleShot(at, &t.port, [this] { t.port.feed("."); });
        }
        QTimer::singleShot(slowMs, &t.port, [this, answer] { t.port.feed(answer); });
    }
};

TEST(FirmwareLimits, LoaderStillSendingOrPausingWithinTheSilenceLimitIsWaitedFor)
{
    using Step = SlowLoader::Step;
    using How = SlowLoader::How;
    // Scaled down: a short silence limit, and pauses of half of it, where
    // fixed limits of a third and a sixth of the default 30 s used to be.
    const int limit = deadline(1200);
    struct Case {
        const char* what;
        Step step;
        How how;
        int slowMs;
        int limitMs;
    };
    const Case cases[] = {
        {"erasing, sending meanwhile for one and a half times the limit", Step::Ready, How::KeepsSending,
         limit * 3 / 2, limit},
        {"erasing, a pause of half the limit", Step::Ready, How::Pauses, limit / 2, limit},
        {"a line answered after half the limit", Step::Line, How::Pauses, limit / 2, limit},
        {"verifying, sending meanwhile for one and a half times the limit", Step::Verify, How::KeepsSending,
         limit * 3 / 2, limit},
        {"verifying, a pause of half the limit", Step::Verify, How::Pauses, limit / 2, limit},
        // In real time once: a line answered after 5.5 s, with the default limit.
        {"a line answered after 5.5 s", Step::Line, How::Pauses, 5500, TForm1::kDefaultSilenceLimitS * 1000},
    };
    HexFiles files;
    const QString small = files.write(QStringLiteral("logger-v2.hex"), joined(kSmallImage, "\r\n"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FirmwareTool t(false);
        t.showIdentified();
        t.f->silentLoggerMs = c.limitMs;
        t.f->Timer1->setInterval(1000);
        t.openHex(small);
        userClick(t.f->Button37);
        ASSERT_EQ(t.port.takeWritten(), kLoaderCall);
        ASSERT_TRUE(t.f->Button39->isVisible());
        SlowLoader loader(t, c.step, c.how, c.slowMs);
        userClick(t.f->Button39);
        ASSERT_TRUE(waitFor([&] { return t.f->firmwareSending == 0; }, 2 * c.slowMs + 10000));
        EXPECT_EQ(loader.lines, kSmallImageSent);
        EXPECT_EQ(t.dialogs.messages, (QStringList{kWarning, QStringLiteral("更新が完了しました（9 行のうち 6 行を送信）")}));
        EXPECT_EQ(t.f->Timer1->interval(), 1000);
    }
}

// A loader that sends without end but never its answer cannot hold the
// window (which takes no input while it waits): the wait ends at twice the
// silence limit, with the message of a missing answer.
TEST(FirmwareLimits, LoaderThatNeverStopsSendingEndsTheWait)
{
    FirmwareTool t;
    t.f->silentLoggerMs = 300;
    t.start();
    QTimer chatter;
    QObject::connect(&chatter, &QTimer::timeout, [&] { t.port.feed("."); });
    chatter.start(50);
    QElapsedTimer clock;
    clock.start();
    t.update(QByteArray());
    const qint64 took = clock.elapsed();
    chatter.stop();
    EXPECT_GE(took, 600);
    EXPECT_EQ(t.port.takeWritten(), "e");
    EXPECT_EQ(t.dialogs.messages.back(), firmwareNotReadyMessage(600, false));
    EXPECT_EQ(t.f->firmwareSending, 0);
    EXPECT_EQ(t.f->Timer1->interval(), 1000);
}

// The adapter's event character is the loader's answer byte while the
// lines go out, so each answer is handed on at once; it is switched off
// however the transfer ends, and an adapter that refuses it changes
// nothing of the update.
TEST(FirmwareEventCharacter, SetForTheLinesAndSwitchedOffAtEveryEnd)
{
    const std::optional<char> answer = kLoaderLineAnswer;
    ASSERT_EQ(answer, '\x06');  // what the simulated loader answers to a line
    using Requests = std::vector<std::optional<char>>;
    struct Case {
        const char* name;
        bool refused;                          // the adapter has no event character
        std::function<void(FirmwareTool&)> end;  // after line 0 went out
        const char* lastMessageStart;
        Requests requests;                     // asked of the port, in order
    };
    // The next arrival answers the last line; verify: the loader's 'M' follows.
    const auto answerTheLast = [](FirmwareTool& t, bool verify) {
        t.f->Edit22->setText(QStringLiteral(":nothing"));
        t.f->firmwareLineIndex = t.f->firmwareLineCount - 1;
        if (verify)
            QTimer::singleShot(0, &t.port, [&t] { t.port.feed("VERIFY OK M"); });
        t.port.feed("\x06");
    };
    const Case cases[] = {
        {"completed", false, [&](FirmwareTool& t) { answerTheLast(t, true); }, "更新が完了しました",
         {answer, std::nullopt}},
        {"loader never verifies", false, [&](FirmwareTool& t) { answerTheLast(t, false); },
         "The logger did not answer \"qs\"", {answer, std::nullopt}},
        {"loader stops answering", false,
         [](FirmwareTool& t) { ASSERT_TRUE(waitFor([&] { return t.f->firmwareSending == 0; }, 5000)); },
         "Update stopped: the logger did not answer line", {answer, std::nullopt}},
        {"adapter unplugged", false, [](FirmwareTool& t) { t.port.unplug(); }, "Update stopped: port lost",
         {answer, std::nullopt}},
        {"refused by the adapter, completed", true, [&](FirmwareTool& t) { answerTheLast(t, true); },
         "更新が完了しました", {answer}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareTool t;
        t.port.refuseEventCharacter = c.refused;
        t.f->silentLoggerMs = 300;
        t.start();
        EXPECT_TRUE(t.port.eventCharacterRequests().empty()) << "set before the loader's '#'";
        t.update();
        ASSERT_EQ(t.f->firmwareSending, 1);
        EXPECT_EQ(t.port.takeWritten(), "e" + standInImageLines().at(0));
        EXPECT_EQ(t.port.eventCharacterRequests(), Requests{answer});
        EXPECT_EQ(t.port.eventCharacter(), c.refused ? std::nullopt : answer);
        // The lines go on as usual.
        t.port.feed("\x06");
        EXPECT_EQ(t.port.takeWritten(), standInImageLines().at(1));

        c.end(t);
        EXPECT_EQ(t.f->firmwareSending, 0);
        EXPECT_EQ(t.port.eventCharacterRequests(), c.requests);
        EXPECT_EQ(t.port.eventCharacter(), std::nullopt);
        ASSERT_FALSE(t.dialogs.messages.isEmpty());
        EXPECT_TRUE(t.dialogs.messages.back().startsWith(QString::fromUtf8(c.lastMessageStart)))
            << t.dialogs.messages.back().toStdString();
    }
}

TEST(FirmwareEventCharacter, OnlyOnceTheLoaderIsReadyAndAgainForANewTransfer)
{
    using Requests = std::vector<std::optional<char>>;
    FirmwareTool t;
    t.f->silentLoggerMs = 300;
    t.start();
    // No '#': nothing of the image goes out, and the character is not set.
    t.update(QByteArray());
    EXPECT_EQ(t.dialogs.messages.back(), firmwareNotReadyMessage(300, false));
    EXPECT_TRUE(t.port.eventCharacterRequests().empty());
    // A transfer that stalls, then "Update" again: set for each transfer.
    t.update();
    ASSERT_TRUE(waitFor([&] { return t.f->firmwareSending == 0; }, 5000));
    EXPECT_EQ(t.port.eventCharacterRequests(), (Requests{'\x06', std::nullopt}));
    t.port.takeWritten();
    t.update();
    EXPECT_EQ(t.port.takeWritten(), "e" + standInImageLines().at(0));
    EXPECT_EQ(t.port.eventCharacterRequests(), (Requests{'\x06', std::nullopt, '\x06'}));
    EXPECT_EQ(t.port.eventCharacter(), std::optional<char>('\x06'));
}

TEST(FirmwareEndToEnd, UpdateAgainstTheSimulatedLogger)
{
    sim::Options options;
    options.burstGapMs = 1;
    SimulatedTool tool(96, options);
    const std::string error = tool.plugIn();
    ASSERT_TRUE(error.empty()) << error;
    TForm1& f = tool.startTool();
    ASSERT_TRUE(waitFor([&] { return tool.idle() && f.loggerReady == 1 && !f.Button37->isHidden(); }, 15000))
        << "no link; caption " << f.caption().toStdString();

    f.Button37->click();
    // The port writes from the event loop, so the wait keeps it running.
    ASSERT_TRUE(waitFor([&] { return tool.sim.observations().loaderMode; }, 5000));
    ASSERT_FALSE(f.Button39->isHidden());
    QElapsedTimer clock;
    clock.start();
    f.Button39->click();
    ASSERT_EQ(f.firmwareSending, 1) << tool.dialogs.messages.join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(waitFor([&] { return f.firmwareSending == 0; }, 120000)) << "stopped at line " << f.firmwareLineIndex;
    ASSERT_TRUE(waitFor([&] { return backFromLoader(tool.sim.observations()); }, 5000));
    const sim::Observations o = tool.sim.observations();
    std::printf("update of %d lines took %lld ms\n", o.loaderLines, static_cast<long long>(clock.elapsed()));

    EXPECT_EQ(o.loaderLines, 7522);
    EXPECT_EQ(tool.dialogs.messages,
              (QStringList{kWarning, QStringLiteral("更新が完了しました（7525 行のうち 7522 行を送信）")}));
    EXPECT_EQ(f.caption(), QStringLiteral("Skip CNFG"));
    // The loader got the image in order, without the configuration part.
    const std::vector<QByteArray> lines = imageLinesReceived(o);
    std::vector<int> expected = range(0, 7518);
    for (int i : {7521, 7522, 7523})
        expected.push_back(i);
    EXPECT_EQ(indicesOf(lines), expected);
    for (const QByteArray& l : lines)
        if (indicesOf({l}).front() < 0)
            ADD_FAILURE() << "not a line of the image: " << l.toStdString();
    EXPECT_EQ(o.unknownBytes, "");
    const auto e = std::find(o.commands.begin(), o.commands.end(), std::string("e"));
    const auto qs = std::find(o.commands.begin(), o.commands.end(), std::string("qs"));
    EXPECT_TRUE(e != o.commands.end() && qs != o.commands.end() && e < qs);
    // The logger is back from the loader and identifies itself.
    EXPECT_TRUE(waitFor([&] { return tool.idle(); }, 10000));
}


TEST(FirmwareEndToEnd, OpenedFileAgainstTheSimulatedLogger)
{
    HexFiles files;
    const QString small = files.write(QStringLiteral("logger-v2.hex"), joined(kSmallImage, "\r\n"));
    sim::Options options;
    options.burstGapMs = 1;
    SimulatedTool tool(97, options);
    const std::string error = tool.plugIn();
    ASSERT_TRUE(error.empty()) << error;
    TForm1& f = tool.startTool();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    ASSERT_TRUE(waitFor([&] { return tool.idle() && f.loggerReady == 1 && f.Button37->isVisible(); }, 15000))
        << "no link; caption " << f.caption().toStdString();

    // The file the user opens goes to the simulated logger instead of the stand-in.
    tool.dialogs.files.push_back(small);
    userClick(featureOf(f).hexFileButton);
    ASSERT_TRUE(tool.dialogs.messages.isEmpty()) << tool.dialogs.messages.join(QLatin1Char('|')).toStdString();
    userClick(f.Button37);
    ASSERT_TRUE(waitFor([&] { return tool.sim.observations().loaderMode; }, 5000));
    EXPECT_EQ(featureOf(f).imageLabel->text(), QStringLiteral("Update sends: logger-v2.hex"));
    userClick(f.Button39);
    ASSERT_TRUE(waitFor([&] { return f.firmwareSending == 0; }, 30000)) << "stopped at line " << f.firmwareLineIndex;
    ASSERT_TRUE(waitFor([&] { return backFromLoader(tool.sim.observations()); }, 5000));
    const sim::Observations o = tool.sim.observations();
    const std::vector<QByteArray> lines = imageLinesReceived(o);
    EXPECT_EQ(lines, kSmallImageSent);
    EXPECT_EQ(o.loaderLines, static_cast<int>(kSmallImageSent.size()));
    EXPECT_EQ(tool.dialogs.messages, (QStringList{kWarning, QStringLiteral("更新が完了しました（9 行のうち 6 行を送信）")}));
    EXPECT_EQ(o.unknownBytes, "");
}

// A logger registered under a COM number like the simulated one, on a
// pseudo-terminal of the user's, that is not the simulator: it answers as a
// logger does, and the simulator's question as any unknown command.
struct ForeignLogger {
    Pty pty;
    sim::Device device;
    QByteArray heard;  // everything the tool sent
    QTimer pump;

    ForeignLogger()
    {
        pump.setInterval(2);
        QObject::connect(&pump, &QTimer::timeout, [this] {
            const QByteArray bytes = pty.takeReceived();
            if (bytes.isEmpty())
                return;
            heard += bytes;
            std::string burst = bytes.toStdString();
            std::string answer;
            for (std::size_t q; (q = burst.find('?')) != std::string::npos;) {
                burst.erase(q, std::min(burst.size() - q, std::size_t{10}));
                answer += "#";
            }
            answer += device.receive(burst, std::chrono::steady_clock::now());
            pty.send(QByteArray::fromStdString(answer));
        });
        pump.start();
    }
};

// The notice "Simulated logger on COMn" is the logger's own proof, not the
// port's registration: a registered pseudo-terminal that answers as a logger
// does, or stays silent, gets none; the simulator gets it once linked.
TEST(SimulatorNotice, ShownOnlyForALoggerThatProvesItIsTheSimulator)
{
    enum class Logger { Simulator, AnswersAsALogger, Silent };
    struct Case {
        const char* what;
        Logger logger;
        int com;
    };
    for (const Case& c : {Case{"the simulator", Logger::Simulator, 93}, Case{"a pty answering as a logger", Logger::AnswersAsALogger, 94},
                          Case{"a silent pty", Logger::Silent, 95}}) {
        SCOPED_TRACE(c.what);
        SimulatedTool tool(c.com);
        ForeignLogger foreign;  // answers only when it is the registered device
        Pty silent;
        std::string error;
        if (c.logger == Logger::Simulator) {
            error = tool.plugIn();
        } else {
            const Pty& pty = c.logger == Logger::Silent ? silent : foreign.pty;
            ASSERT_TRUE(pty.ok());
            registerPort(c.com, pty.slavePath().toStdString(), &error);
        }
        ASSERT_TRUE(error.empty()) << error;
        TForm1& f = tool.startTool();
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        ASSERT_FALSE(f.platform.portNotice(c.com).isEmpty()) << "registered as a simulated logger would be";
        switch (c.logger) {
        case Logger::Simulator:
            ASSERT_TRUE(waitFor([&] { return tool.idle() && f.simulatorNotice->isVisible(); }, 15000))
                << "caption " << f.caption().toStdString();
            EXPECT_EQ(f.simulatorNotice->text(), f.platform.portNotice(c.com));
            EXPECT_TRUE(f.simulatorNotice->text().startsWith(QStringLiteral("Simulated logger on COM%1").arg(c.com)));
            break;
        case Logger::AnswersAsALogger:
            // Linked, asked, and the line free again after the answer.
            ASSERT_TRUE(waitFor([&] { return tool.idle() && f.loggerReady == 1 && foreign.heard.contains('?'); }, 15000))
                << "caption " << f.caption().toStdString();
            ASSERT_TRUE(waitFor([&] { return tool.idle(); }, 10000));
            EXPECT_FALSE(f.simulatorNotice->isVisible()) << f.simulatorNotice->text().toStdString();
            break;
        case Logger::Silent:
            // The connect went out, nothing came back, and it was given up.
            f.setSilenceLimitSeconds(1);
            ASSERT_TRUE(waitFor([&] { return silent.takeReceived().contains('m'); }, 15000));
            ASSERT_TRUE(waitFor([&] { return tool.memoHas("// No answer from the logger"); }, 15000));
            EXPECT_FALSE(f.simulatorNotice->isVisible()) << f.simulatorNotice->text().toStdString();
            break;
        }
        unregisterPort(c.com);
    }
}

TEST(FirmwareEndToEnd, StandInOnlyForALoggerThatProvesItIsTheSimulator)
{
    SimulatedTool tool(98);  // its simulated logger stays unplugged
    ForeignLogger foreign;
    ASSERT_TRUE(foreign.pty.ok());
    std::string error;
    ASSERT_TRUE(registerPort(98, foreign.pty.slavePath().toStdString(), &error)) << error;
    TForm1& f = tool.startTool();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    ASSERT_TRUE(waitFor([&] { return tool.idle() && f.loggerReady == 1 && f.Button37->isVisible(); }, 15000))
        << "no link; caption " << f.caption().toStdString();
    ASSERT_FALSE(f.platform.portNotice(98).isEmpty()) << "registered as a simulated logger would be";

    // Registered like the simulator, but it does not answer the simulator's
    // question: no stand-in, no loader call; the user is asked for a file.
    foreign.heard.clear();
    userClick(f.Button37);
    EXPECT_EQ(tool.dialogs.messages, QStringList{firmwareNeedsFileMessage()});
    EXPECT_TRUE(foreign.heard.startsWith('?')) << "the question was not asked";
    EXPECT_FALSE(waitFor([&] { return foreign.heard.contains(kLoaderCall); }, 1000));
    EXPECT_FALSE(f.Button39->isVisible());
    EXPECT_NE(featureOf(f).imageLabel->text(),
              QStringLiteral("Update sends: the generated stand-in image (simulated logger only)"));
    unregisterPort(98);
}

}  // namespace
}  // namespace zelt::test
