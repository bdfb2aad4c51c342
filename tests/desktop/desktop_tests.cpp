// The real program on a real X display: the captions the window manager
// shows, and closing the main window while another window of the tool is
// open, as a user does it (a double click opens the ID dialog, the close
// button of the main window's frame ends the tool).
#include "tests/desktop/X11Session.h"
#include "tests/Deadline.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/WaitFor.h"

#include <optional>

using zelt::test::X11Session;

namespace {

// The main window's caption when no logger is attached.
const char kNoLoggerCaption[] = "Can't find a ZELTUPdater203.0Jun7th";

template <class Cond>
bool waitFor(Cond cond, int timeoutMs = 15000)
{
    return zelt::test::waitForCondition(cond, timeoutMs);
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "no X display: these tests run under xvfb-run (install xvfb)";
        ASSERT_TRUE(x.ok()) << "cannot connect to the X display " << qgetenv("DISPLAY").constData();
        xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        ASSERT_FALSE(xdotool.isEmpty()) << "xdotool is missing (the README's test command installs it)";
        bin = qEnvironmentVariable("ZELT_TEST_BIN_DIR") + QStringLiteral("/app/zelt-view");
        ASSERT_TRUE(QFile::exists(bin)) << bin.toStdString();
        ASSERT_TRUE(runtime.isValid() && ports.isValid());
    }

    void start(QProcess& tool)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());  // its own instance lock
        env.insert(QStringLiteral("ZELT_PORT_DIR"), ports.path());      // no registered ports
        tool.setProcessEnvironment(env);
        tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tool.start(bin, {});
        ASSERT_TRUE(tool.waitForStarted());
    }

    // The viewable window of the tool with this caption, once it is there.
    std::optional<X11Session::Window> window(const QProcess& tool, const std::string& title)
    {
        for (const X11Session::Window& w : x.windowsOf(tool.processId()))
            if (w.viewable && w.title == title)
                return w;
        return std::nullopt;
    }
    std::vector<std::string> titles(const QProcess& tool)
    {
        std::vector<std::string> out;
        for (const X11Session::Window& w : x.windowsOf(tool.processId()))
            if (w.viewable)
                out.push_back(w.title);
        return out;
    }

    void xdo(const QStringList& args)
    {
        QProcess p;
        p.start(xdotool, args);
        ASSERT_TRUE(p.waitForFinished(zelt::test::deadline(10000)));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }

    X11Session x;
    QString xdotool;
    QString bin;
    QTemporaryDir runtime;
    QTemporaryDir ports;
};

std::string joined(const std::vector<std::string>& v)
{
    std::string s;
    for (const std::string& t : v)
        s += "[" + t + "]";
    return s;
}

TEST_F(DesktopTest, ClosingTheMainWindowWithTheIdDialogOpenEndsTheTool)
{
    QProcess tool;
    start(tool);
    // The caption on the frame is the tool's own text, with nothing added.
    ASSERT_TRUE(waitFor([&] { return !titles(tool).empty(); })) << "the tool showed no window";
    ASSERT_TRUE(waitFor([&] { return window(tool, kNoLoggerCaption).has_value(); }, 3000))
        << "captions on the display: " << joined(titles(tool));
    const X11Session::Window main = *window(tool, kNoLoggerCaption);

    // A double click on "My ID" opens the ID dialog.
    xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(main.id), QStringLiteral("70"),
         QStringLiteral("32"), QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
         QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")});
    ASSERT_TRUE(waitFor([&] { return window(tool, "Set_My_ID").has_value(); }))
        << "captions on the display: " << joined(titles(tool));

    // The main window's close button ends the tool, dialog and all.
    ASSERT_TRUE(x.requestClose(main.id));
    ASSERT_TRUE(tool.waitForFinished(zelt::test::deadline(10000))) << "the tool lives on; captions: " << joined(titles(tool));
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool.exitCode(), 0);

    // Its instance lock went with it: the tool starts again, and closes again.
    QProcess again;
    start(again);
    ASSERT_TRUE(waitFor([&] { return window(again, kNoLoggerCaption).has_value(); }))
        << "the tool did not start again; it ended with " << again.exitCode();
    ASSERT_TRUE(x.requestClose(window(again, kNoLoggerCaption)->id));
    ASSERT_TRUE(again.waitForFinished(zelt::test::deadline(10000)));
    EXPECT_EQ(again.exitCode(), 0);
}

}  // namespace
