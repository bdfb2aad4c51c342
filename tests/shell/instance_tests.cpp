// The single-instance guard between real processes: a second tool ends at
// once with exit code 1, and a killed first one never locks the user out.
#include "platform/InstanceGuard.h"
#include "tests/Deadline.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

#include "tests/WaitFor.h"
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using zelt::InstanceGuard;

namespace {

const QString kName = QStringLiteral("orewazeltda");

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime_.isValid());
        saved_ = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", saved_); }

    // Whether this process could take the guard now (released at once).
    static bool guardFree() { return InstanceGuard(kName).acquired(); }

    QTemporaryDir runtime_;
    QByteArray saved_;
};

template <class Cond>
bool waitFor(Cond cond, int timeoutMs = 10000)
{
    return zelt::test::waitForCondition(cond, timeoutMs);
}

TEST_F(InstanceTest, HolderInAnotherProcessBlocksUntilItIsKilled)
{
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceGuard held(kName);
        const char c = held.acquired() ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        for (;;)
            pause();
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    EXPECT_FALSE(guardFree());

    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(guardFree()) << "a killed holder must release the guard";
    close(ready[0]);
    close(ready[1]);
}

TEST_F(InstanceTest, SecondToolEndsWithExitCodeOne)
{
    const QString bin = qEnvironmentVariable("ZELT_TEST_BIN_DIR") + QStringLiteral("/app/zelt-view");
    ASSERT_TRUE(QFile::exists(bin)) << bin.toStdString();
    QTemporaryDir ports;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("ZELT_PORT_DIR"), ports.path());

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(bin, {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(waitFor([] { return !guardFree(); })) << "the first tool never took the guard";

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(bin, {});
    ASSERT_TRUE(second.waitForFinished(zelt::test::deadline(10000)));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_EQ(first.state(), QProcess::Running);

    // Killed without a chance to clean up, the first tool still frees the guard.
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(zelt::test::deadline(10000)));
    EXPECT_TRUE(waitFor([] { return guardFree(); }));
}

// Help and version are answered while an instance holds the guard.
TEST_F(InstanceTest, HelpAndVersionWhileAnInstanceRuns)
{
    const QString bin = qEnvironmentVariable("ZELT_TEST_BIN_DIR") + QStringLiteral("/app/zelt-view");
    InstanceGuard held(kName);
    ASSERT_TRUE(held.acquired()) << held.error().toStdString();
    struct Case {
        QStringList args;
        QByteArray says;
    };
    for (const Case& c : {Case{{"--version"}, "zelt-view 1."}, Case{{"--help"}, "usage: zelt-view"},
                          Case{{"-h"}, "--lang ja|en"}}) {
        QProcess p;
        p.start(bin, c.args);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 0) << c.args.join(' ').toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().contains(c.says)) << c.args.join(' ').toStdString();
    }
}

// A guard that cannot be made is said, with the file or folder and its
// owner, instead of a silent exit.
TEST_F(InstanceTest, LockThatCannotBeMadeSaysWhichFileAndWhose)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "playing another user needs chown";
    const QString bin = qEnvironmentVariable("ZELT_TEST_BIN_DIR") + QStringLiteral("/app/zelt-view");
    QTemporaryDir base;
    const QString lock = runtime_.filePath(kName + QStringLiteral(".lock"));
    const QString fallback = base.filePath(QStringLiteral("zelt-view-%1").arg(geteuid()));
    struct Case {
        const char* what;
        QString planted;  // made by the other user
        bool folder;
        bool sessionFolder;  // XDG_RUNTIME_DIR set
    };
    for (const Case& c : {Case{"lock file", lock, false, true}, Case{"fallback folder", fallback, true, false}}) {
        SCOPED_TRACE(c.what);
        const QByteArray planted = c.planted.toLocal8Bit();
        if (c.folder)
            ASSERT_EQ(mkdir(planted.constData(), 0700), 0);
        else
            ASSERT_TRUE(QFile(c.planted).open(QIODevice::WriteOnly));
        ASSERT_EQ(chown(planted.constData(), 4242, 4242), 0);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), base.path());
        if (!c.sessionFolder)
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(bin, {});
        ASSERT_TRUE(tool.waitForFinished(10000));
        EXPECT_EQ(tool.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(tool.readAllStandardError());
        EXPECT_TRUE(err.contains(c.planted)) << err.toStdString();
        // The other user has no name on this system: named by the uid alone.
        EXPECT_TRUE(err.contains(QStringLiteral("belongs to uid 4242, not to you, "))) << err.toStdString();
        EXPECT_FALSE(err.contains(QStringLiteral("()"))) << err.toStdString();
        QFile::remove(c.planted);
        QDir(c.planted).removeRecursively();
    }
}

}  // namespace
