// What another local user can plant where the tool keeps its runtime files:
// the folder made first, a symbolic link in place of a file, a registration
// or a lock of theirs. The tests play that user: as root they hand what they
// make to another uid (chown); modes are planted as such.
#include "platform/InstanceGuard.h"
#include "platform/PortDirectory.h"
#include "tests/port/PtyHelper.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using zelt::InstanceGuard;
using zelt::test::Pty;

// The other local user.
constexpr uid_t kOtherUid = 4242;
// How messages name it: it has no user name on this system, so the uid alone.
const QString kOtherUidText = QStringLiteral("belongs to uid 4242, not to you, ");

bool canPlayOtherUser()
{
    return geteuid() == 0;
}

std::string text(const QString& s)
{
    return s.toStdString();
}

// The environment of one test: no runtime folder of the session, the
// fallback's base a folder of the test's own, no port folder given.
class PrivateFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(base_.isValid());
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR", "ZELT_PORT_DIR"}) {
            if (qEnvironmentVariableIsSet(name))
                saved_.emplace_back(name, qgetenv(name));
            qunsetenv(name);
        }
        qputenv("TMPDIR", base_.path().toLocal8Bit());
    }
    void TearDown() override
    {
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR", "ZELT_PORT_DIR"})
            qunsetenv(name);
        for (const auto& [name, value] : saved_)
            qputenv(name, value);
    }

    // The folder the tool falls back to without XDG_RUNTIME_DIR.
    QString fallback() const { return base_.filePath(QStringLiteral("zelt-view-%1").arg(geteuid())); }
    QString path(const QString& name) const { return base_.filePath(name); }

    QTemporaryDir base_;
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

TEST_F(PrivateFolder, FallbackIsMadeTheUsersAloneAndHoldsThePorts)
{
    std::string error;
    EXPECT_EQ(zelt::privateFolder(&error), text(fallback())) << error;
    EXPECT_EQ(zelt::portDirectory(&error), text(fallback() + QStringLiteral("/zelt-view-ports"))) << error;
    for (const QString& dir : {fallback(), fallback() + QStringLiteral("/zelt-view-ports")}) {
        struct stat st {};
        ASSERT_EQ(lstat(dir.toLocal8Bit().constData(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u) << dir.toStdString();
        EXPECT_EQ(st.st_uid, geteuid());
    }
    EXPECT_EQ(zelt::portDirectoryProblem(), "");

    // The simulated logger's registration is found there.
    Pty pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(zelt::registerPort(3, pty.slavePath().toStdString(), &error)) << error;
    EXPECT_EQ(zelt::registeredPorts().at(3), pty.slavePath().toStdString());
    zelt::unregisterPort(3);
    EXPECT_EQ(zelt::registeredPorts().count(3), 0u);
}

// A uid is named with its user name when the system has one, by the number
// alone otherwise (never an empty name in front of it).
TEST(OwnerName, NameAndUidWhenKnownTheUidAloneOtherwise)
{
    const passwd* own = getpwuid(geteuid());
    ASSERT_TRUE(own && own->pw_name && *own->pw_name) << "the test's own user has no name";
    const std::string ownName = own->pw_name;  // the entry's storage is reused by the next look-up
    const std::string ownUid = std::to_string(static_cast<long>(geteuid()));
    ASSERT_EQ(getpwuid(kOtherUid), nullptr) << "uid 4242 has a user name on this system";
    struct Case {
        long uid;
        std::string says;
    };
    for (const Case& c : {Case{static_cast<long>(geteuid()), "user " + ownName + " (uid " + ownUid + ")"},
                          Case{static_cast<long>(kOtherUid), "uid 4242"}}) {
        SCOPED_TRACE(c.uid);
        EXPECT_EQ(zelt::ownerName(c.uid), c.says);
    }
}

// The fallback folder made first by someone else, or not a folder of the
// user's alone: refused by name, and nothing in it is used.
TEST_F(PrivateFolder, FolderThatIsNotTheUsersAloneIsRefusedByName)
{
    struct Case {
        const char* what;
        std::function<void(const QString& dir)> plant;
        QString says;
        bool asOtherUser;
    };
    const Case cases[] = {
        {"made by another user",
         [](const QString& dir) {
             const QByteArray d = dir.toLocal8Bit();
             ASSERT_EQ(mkdir(d.constData(), 0700), 0);
             ASSERT_EQ(chown(d.constData(), kOtherUid, kOtherUid), 0);
         },
         kOtherUidText, true},
        {"open for all to write",
         [](const QString& dir) {
             const QByteArray d = dir.toLocal8Bit();
             ASSERT_EQ(mkdir(d.constData(), 0700), 0);
             ASSERT_EQ(chmod(d.constData(), 0777), 0);
         },
         QStringLiteral("mode 0777"), false},
        {"a symbolic link to a folder",
         [this](const QString& dir) {
             ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("elsewhere"))));
             ASSERT_EQ(symlink(path(QStringLiteral("elsewhere")).toLocal8Bit().constData(), dir.toLocal8Bit().constData()), 0);
         },
         QStringLiteral("symbolic link"), false},
        {"a file",
         [](const QString& dir) {
             QFile f(dir);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         },
         QStringLiteral("not a folder"), false},
    };
    Pty pty;
    ASSERT_TRUE(pty.ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.asOtherUser && !canPlayOtherUser())
            continue;
        QFile::remove(fallback());
        QDir(fallback()).removeRecursively();
        c.plant(fallback());
        if (QFileInfo(fallback()).isDir() && !QFileInfo(fallback()).isSymLink()) {
            // The other user's registration waits inside.
            const QByteArray ports = (fallback() + QStringLiteral("/zelt-view-ports")).toLocal8Bit();
            mkdir(ports.constData(), 0700);
            (void)!symlink(pty.slavePath().toLocal8Bit().constData(), (ports + "/COM1").constData());
        }

        std::string error;
        EXPECT_EQ(zelt::privateFolder(&error), "");
        EXPECT_NE(error.find(text(fallback())), std::string::npos) << error;
        EXPECT_NE(error.find(text(c.says)), std::string::npos) << error;
        EXPECT_EQ(zelt::portDirectory(), "");
        EXPECT_NE(zelt::portDirectoryProblem().find(text(fallback())), std::string::npos);
        EXPECT_TRUE(zelt::registeredPorts().empty());
        error.clear();
        EXPECT_FALSE(zelt::registerPort(2, pty.slavePath().toStdString(), &error));
        EXPECT_NE(error.find(text(fallback())), std::string::npos) << error;

        InstanceGuard guard(QStringLiteral("zelt-folder-test"));
        EXPECT_FALSE(guard.acquired());
        EXPECT_TRUE(guard.error().contains(fallback())) << text(guard.error());
        EXPECT_TRUE(guard.error().contains(c.says)) << text(guard.error());
        QFile::remove(fallback());
        QDir(fallback()).removeRecursively();
    }

    // A session's runtime folder is checked the same way.
    if (canPlayOtherUser()) {
        const QString run = path(QStringLiteral("run"));
        ASSERT_EQ(mkdir(run.toLocal8Bit().constData(), 0700), 0);
        ASSERT_EQ(chown(run.toLocal8Bit().constData(), kOtherUid, kOtherUid), 0);
        qputenv("XDG_RUNTIME_DIR", run.toLocal8Bit());
        std::string error;
        EXPECT_EQ(zelt::portDirectory(&error), "");
        EXPECT_NE(error.find(text(run)), std::string::npos) << error;
        EXPECT_NE(error.find(text(kOtherUidText)), std::string::npos) << error;
    }
}

// Only a symbolic link of the user's, to a pseudo-terminal of the user's,
// made by a process that still runs, is a registered port.
TEST_F(PrivateFolder, OnlyTheUsersLinksToItsPseudoTerminalsAreRegisteredPorts)
{
    QTemporaryDir ports;
    qputenv("ZELT_PORT_DIR", ports.path().toLocal8Bit());
    const auto at = [&](const QString& name) { return ports.filePath(name).toLocal8Bit(); };
    Pty own, other;
    ASSERT_TRUE(own.ok() && other.ok());
    std::string error;
    ASSERT_TRUE(zelt::registerPort(1, own.slavePath().toStdString(), &error)) << error;

    const QByteArray plainFile = path(QStringLiteral("plain")).toLocal8Bit();
    QFile(QString::fromLocal8Bit(plainFile)).open(QIODevice::WriteOnly);
    ASSERT_EQ(symlink(plainFile.constData(), at(QStringLiteral("COM3")).constData()), 0);       // no terminal
    ASSERT_EQ(symlink("/dev/null", at(QStringLiteral("COM4")).constData()), 0);                 // a device, no pty
    ASSERT_EQ(symlink("/dev/pts/999999", at(QStringLiteral("COM9")).constData()), 0);           // gone
    if (canPlayOtherUser()) {
        // Another user's link to the user's pty, and a link to another user's pty.
        ASSERT_EQ(symlink(own.slavePath().toLocal8Bit().constData(), at(QStringLiteral("COM2")).constData()), 0);
        ASSERT_EQ(lchown(at(QStringLiteral("COM2")).constData(), kOtherUid, kOtherUid), 0);
        ASSERT_EQ(chown(other.slavePath().toLocal8Bit().constData(), kOtherUid, kOtherUid), 0);
        ASSERT_EQ(symlink(other.slavePath().toLocal8Bit().constData(), at(QStringLiteral("COM5")).constData()), 0);
        // The user's link, but the owner file is another user's.
        ASSERT_EQ(symlink(own.slavePath().toLocal8Bit().constData(), at(QStringLiteral("COM6")).constData()), 0);
        QFile owner(QString::fromLocal8Bit(at(QStringLiteral("COM6.owner"))));
        ASSERT_TRUE(owner.open(QIODevice::WriteOnly));
        owner.write(QByteArray::number(getpid()) + '\n');
        owner.close();
        ASSERT_EQ(chown(at(QStringLiteral("COM6.owner")).constData(), kOtherUid, kOtherUid), 0);
    }
    const std::map<int, std::string> expected = {{1, own.slavePath().toStdString()}};
    EXPECT_EQ(zelt::registeredPorts(), expected);
    zelt::unregisterPort(1);
    qunsetenv("ZELT_PORT_DIR");
}

// A link planted in place of a registration's owner file is replaced, never
// written through: the file it points at stays as it was.
TEST_F(PrivateFolder, RegistrationWritesNoFileThroughAPlantedLink)
{
    QTemporaryDir ports;
    qputenv("ZELT_PORT_DIR", ports.path().toLocal8Bit());
    const QString victim = path(QStringLiteral("thesis.txt"));
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("three years of work\n");
    }
    const QByteArray owner = ports.filePath(QStringLiteral("COM7.owner")).toLocal8Bit();
    ASSERT_EQ(symlink(victim.toLocal8Bit().constData(), owner.constData()), 0);
    Pty pty;
    ASSERT_TRUE(pty.ok());
    std::string error;
    ASSERT_TRUE(zelt::registerPort(7, pty.slavePath().toStdString(), &error)) << error;

    QFile f(victim);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("three years of work\n"));
    struct stat st {};
    ASSERT_EQ(lstat(owner.constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(zelt::registeredPorts().at(7), pty.slavePath().toStdString());
    zelt::unregisterPort(7);
    qunsetenv("ZELT_PORT_DIR");
}

// The lock file planted by another user, or as a link: the guard says which
// file and whose it is, and writes nothing through the link.
TEST_F(PrivateFolder, PlantedLockIsNamedWithItsOwner)
{
    QTemporaryDir run;
    qputenv("XDG_RUNTIME_DIR", run.path().toLocal8Bit());
    const QString lock = run.filePath(QStringLiteral("zelt-lock-test.lock"));
    const QString victim = path(QStringLiteral("notes.txt"));
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("notes\n");
    }
    ASSERT_EQ(symlink(victim.toLocal8Bit().constData(), lock.toLocal8Bit().constData()), 0);
    {
        InstanceGuard guard(QStringLiteral("zelt-lock-test"));
        EXPECT_FALSE(guard.acquired());
        EXPECT_TRUE(guard.error().contains(lock)) << text(guard.error());
        EXPECT_TRUE(guard.error().contains(QStringLiteral("symbolic link"))) << text(guard.error());
    }
    QFile f(victim);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("notes\n"));
    ASSERT_TRUE(QFile::remove(lock));

    if (canPlayOtherUser()) {
        QFile planted(lock);
        ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
        planted.close();
        ASSERT_EQ(chown(lock.toLocal8Bit().constData(), kOtherUid, kOtherUid), 0);
        InstanceGuard guard(QStringLiteral("zelt-lock-test"));
        EXPECT_FALSE(guard.acquired());
        EXPECT_TRUE(guard.error().contains(lock)) << text(guard.error());
        EXPECT_TRUE(guard.error().contains(kOtherUidText)) << text(guard.error());
    }

    // A lock of the user's own is taken, and a second guard is told nothing
    // but that it is held.
    QFile::remove(lock);
    InstanceGuard first(QStringLiteral("zelt-lock-test"));
    EXPECT_TRUE(first.acquired()) << text(first.error());
    InstanceGuard second(QStringLiteral("zelt-lock-test"));
    EXPECT_FALSE(second.acquired());
    EXPECT_TRUE(second.error().isEmpty()) << text(second.error());
}

}  // namespace
