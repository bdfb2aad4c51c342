// Process entry of the tool: the single-instance guard, the application and
// its message loop.
#include "platform/ErrorBoundary.h"
#include "platform/InstanceGuard.h"
#include "shell/TForm1.h"
#include "app/Application.h"
#include "ZeltVersion.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

namespace {

// The last line of defence: an error that escapes a handler is shown and the
// message loop goes on.
class ToolApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(nullptr, applicationDisplayName(), QString::fromUtf8(e.what()));
        } catch (...) {
            QMessageBox::critical(nullptr, applicationDisplayName(), QStringLiteral("Unexpected error"));
        }
        return false;
    }
};

bool displayAvailable()
{
#ifdef __linux__
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
#else
    return true;
#endif
}

// The platforms that show nothing to a user: no message box is shown there,
// as nobody could close it.
bool screenShown()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return !platform.startsWith("offscreen") && !platform.startsWith("minimal");
}

// Answers --help and --version; false when neither was asked.
bool answeredOption(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--version" || a == "-v") {
            std::printf("zelt-view %s\n", ZELT_VERSION);
            return true;
        }
        if (a == "--help" || a == "-h") {
            std::printf("usage: zelt-view [--lang ja|en]\n"
                        "\n"
                        "The windows of the acceleration logger tool: connects to the logger on its\n"
                        "serial port, shows its settings and live readings, downloads, captures,\n"
                        "draws graphs and updates its firmware. One instance runs at a time.\n"
                        "\n"
                        "  --lang ja|en   the language of the windows (else the one chosen in the\n"
                        "                 window, else the system's)\n"
                        "  -h, --help     this help\n"
                        "  -v, --version  the version\n"
                        "\n"
                        "Without a window: zelt --help.\n");
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    // Help and version need no instance of their own: they are answered even
    // while the tool runs.
    if (answeredOption(argc, argv))
        return 0;

    zelt::InstanceGuard guard(QStringLiteral("orewazeltda"));
    if (!guard.acquired()) {
        // Another instance runs: the second one ends without a word. A guard
        // that cannot be made at all is said, on the terminal and on the
        // screen.
        if (guard.error().isEmpty())
            return 1;
        const QString text = QStringLiteral("zelt-view does not start: %1").arg(guard.error());
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
        if (displayAvailable() && screenShown()) {
            QApplication app(argc, argv);
            QMessageBox::critical(nullptr, QStringLiteral("ZELT-VIEW"), text);
        }
        return 1;
    }

    if (!displayAvailable()) {
        std::fprintf(stderr, "zelt-view: no display to open the window on (DISPLAY is not set); "
                             "start it in a desktop session or under xvfb-run.\n");
        return 2;
    }

    ToolApplication app(argc, argv);
    // The application's title. No display name is set: the platform would
    // append it to every window's caption, and the captions are the tool's
    // own texts.
    QApplication::setApplicationName(QStringLiteral("ZELT-VIEW"));
    QApplication::setApplicationVersion(QStringLiteral(ZELT_VERSION));
    // The desktop entry the windows belong to (zelt-view.desktop), and its
    // icon on every window.
    QGuiApplication::setDesktopFileName(QStringLiteral("zelt-view"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zelt-view.svg")));
    QFont font(QStringLiteral("Noto Sans CJK JP"), 9);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);

    zelt::Application::Options options;
    options.arguments = QCoreApplication::arguments();
    zelt::Application tool(options);
    tool.form1().show();
    int code = 0;
    try {
        code = app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("ZELT-VIEW"), QString::fromUtf8(e.what()));
    }
    (void)code;
    return 0;
}
