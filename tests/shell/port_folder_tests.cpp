// The window and a port folder another user can write: the tool tells the
// user which folder it refuses, and takes no port registered there.
#include "platform/ComPortNames.h"
#include "tests/AppFixture.h"
#include "tests/port/PtyHelper.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace zelt::test {
namespace {

TEST(PortFolderInTheWindow, FolderOthersCanWriteIsRefusedWithAMessage)
{
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("ports"));
    const QByteArray path = folder.toLocal8Bit();
    ASSERT_EQ(mkdir(path.constData(), 0700), 0);
    ASSERT_EQ(chmod(path.constData(), 0777), 0);  // another user can plant here
    Pty pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_EQ(symlink(pty.slavePath().toLocal8Bit().constData(), (path + "/COM4").constData()), 0);
    qputenv("ZELT_PORT_DIR", path);

    AppFixture t;
    TForm1& f = t.start();
    f.show();
    ASSERT_TRUE(waitFor([&] { return !t.dialogs.messages.isEmpty(); }, 10000));
    EXPECT_TRUE(t.dialogs.messages.first().contains(folder)) << t.dialogs.messages.first().toStdString();
    EXPECT_TRUE(t.dialogs.messages.first().contains(QStringLiteral("mode 0777"))) << t.dialogs.messages.first().toStdString();
    // What was planted there is no port of the tool's.
    for (const SerialDeviceInfo& d : listSerialDevices())
        EXPECT_FALSE(d.registered) << d.comName.toStdString();
    qunsetenv("ZELT_PORT_DIR");
}

}  // namespace
}  // namespace zelt::test
