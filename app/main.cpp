// Process entry of the tool: the single-instance guard, the application and
// its message loop.
#include "platform/ErrorBoundary.h"
#include "platform/InstanceGuard.h"
#include "shell/TForm1.h"
#include "app/Application.h"

#include <QApplication>
#include <QFont>
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

}  // namespace

int main(int argc, char** argv)
{
    zelt::InstanceGuard guard(QStringLiteral("orewazeltda"));
    if (!guard.acquired())
        return 1;

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
