// zelt's files beyond ordinary ones, run as a user runs the program: -o on a
// pipe or a device writes it and never replaces it, a full device or a full
// standard output fails with "disk full", a pipe never holds the program
// beyond Ctrl-C; and a firmware update cut by a lost port says what state
// the logger is in and how to repeat it.
#include "tests/SimulatedTool.h"
#include "tests/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace zelt;
using namespace zelt::test;

namespace {

struct ZeltRun {
    int code = -1;
    QByteArray out, err;
};

ZeltRun zelt(const QStringList& args, const QString& stdoutFile = QString(), int limitMs = 60000)
{
    QProcess p;
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    p.start(QStringLiteral(ZELT_CLI_PROGRAM), args);
    if (!p.waitForFinished(limitMs)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "zelt " << args.join(' ').toStdString() << " did not end within " << limitMs << " ms";
    }
    ZeltRun r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

std::string shown(const ZeltRun& r)
{
    return "exit " + std::to_string(r.code) + "\nstderr: " + r.err.left(2000).toStdString();
}

struct Logger {
    explicit Logger(int com, sim::Options options = {}) : tool(com, options), port(QStringLiteral("COM%1").arg(com))
    {
        const std::string error = tool.plugIn();
        EXPECT_TRUE(error.empty()) << error;
    }
    SimulatedTool tool;
    QString port;
};

mode_t typeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

TEST(CliFiles, OutputToDevicesAndPipesIsWrittenNeverReplaced)
{
    Logger logger(71);
    QTemporaryDir dir;
    // Copies of /dev/null's and /dev/full's nodes: nothing of the system is at stake.
    const QString null = dir.filePath(QStringLiteral("null")), full = dir.filePath(QStringLiteral("full"));
    const bool devices = ::mknod(QFile::encodeName(null).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                         ::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    if (devices) {
        const ZeltRun toNull = zelt({"download", "--port", logger.port, "-o", null, "--quiet"});
        EXPECT_EQ(toNull.code, 0) << shown(toNull);
        EXPECT_EQ(typeOf(null), static_cast<mode_t>(S_IFCHR));

        const ZeltRun toFull = zelt({"download", "--port", logger.port, "-o", full, "--quiet"});
        EXPECT_EQ(toFull.code, 1) << shown(toFull);
        EXPECT_TRUE(toFull.err.contains("disk full")) << shown(toFull);
        EXPECT_EQ(typeOf(full), static_cast<mode_t>(S_IFCHR));
    }
    // Standard output on a full device: the lost data is a failure.
    const ZeltRun stdoutFull = zelt({"download", "--port", logger.port, "-o", "-", "--quiet"}, QStringLiteral("/dev/full"));
    EXPECT_EQ(stdoutFull.code, 1) << shown(stdoutFull);
    EXPECT_TRUE(stdoutFull.err.contains("cannot write standard output: disk full")) << shown(stdoutFull);

    // A pipe with a reader: the reader gets the recording, the pipe stays.
    const QString fifo = dir.filePath(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess reader;
    const QString copy = dir.filePath(QStringLiteral("copy.csv"));
    reader.setStandardOutputFile(copy);
    reader.start(QStringLiteral("cat"), {fifo});
    ASSERT_TRUE(reader.waitForStarted());
    const ZeltRun toPipe = zelt({"download", "--port", logger.port, "-o", fifo, "--quiet"});
    EXPECT_EQ(toPipe.code, 0) << shown(toPipe);
    ASSERT_TRUE(reader.waitForFinished(20000));
    QFile copied(copy);
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    const QByteArray got = copied.readAll();
    EXPECT_TRUE(got.startsWith("Start Year=")) << got.left(200).toStdString();
    EXPECT_TRUE(got.endsWith("\r\n"));
    EXPECT_EQ(typeOf(fifo), static_cast<mode_t>(S_IFIFO));
    if (!devices)
        GTEST_SKIP() << "no right to make device nodes: the device cases were left out";
}

// A pipe that nobody reads holds neither -o nor --image beyond Ctrl-C.
TEST(CliFiles, APipeNeverHoldsTheProgram)
{
    Logger logger(72);
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.hex"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    const ZeltRun image = zelt({"firmware", "--port", logger.port, "--image", fifo, "--quiet"}, QString(), 20000);
    EXPECT_EQ(image.code, 2) << shown(image);
    EXPECT_TRUE(image.err.contains("not an ordinary file")) << shown(image);

    QProcess p;
    p.start(QStringLiteral(ZELT_CLI_PROGRAM), {"download", "--port", logger.port, "-o", fifo, "--quiet"});
    // The download is done and the program waits for a reader of the pipe.
    ASSERT_TRUE(waitForCondition(
        [&] {
            const auto c = logger.tool.sim.observations().commands;
            return std::find(c.begin(), c.end(), std::string("D")) != c.end();
        },
        20000));
    ASSERT_FALSE(p.waitForFinished(1000));
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(20000)) << "Ctrl-C did not end the wait for a reader";
    EXPECT_EQ(p.exitCode(), 130) << p.readAllStandardError().toStdString();
    EXPECT_EQ(typeOf(fifo), static_cast<mode_t>(S_IFIFO));
}

// The adapter unplugged while the image goes out.
TEST(CliFiles, AnUpdateCutByALostPortSaysTheLoggersStateAndHowToRepeat)
{
    sim::Options options;
    options.burstGapMs = 1;
    Logger logger(73, options);
    QProcess p;
    p.start(QStringLiteral(ZELT_CLI_PROGRAM),
            {"firmware", "--port", logger.port, "--image", QStringLiteral(ZELT_STANDIN_IMAGE), "--quiet"});
    ASSERT_TRUE(waitForCondition([&] { return logger.tool.sim.observations().loaderLines > 100; }, 60000));
    logger.tool.sim.unplug();
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("port lost at line"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("left in its loader with a partly written program"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("run zelt firmware again"))) << err.toStdString();
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << "one line: " << err.toStdString();
}

}  // namespace
