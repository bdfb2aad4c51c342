#pragma once
// The whole tool on test doubles: an in-memory port, a registry set up by
// the test and scripted dialogs.
#include "link/MemoryComPort.h"
#include "platform/LogMemo.h"
#include "platform/Dialogs.h"
#include "platform/PortRegistry.h"
#include "platform/Preferences.h"
#include "shell/PortSearch.h"
#include "shell/TForm1.h"
#include "app/Application.h"
#include "tests/Deadline.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <memory>

#include <ostream>

// Byte lines print as text in failure messages, other bytes as \xNN.
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    static const char kHex[] = "0123456789ABCDEF";
    *os << '"';
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && u != '\\')
            *os << c;
        else
            *os << "\\x" << kHex[u >> 4] << kHex[u & 15];
    }
    *os << '"';
}

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace zelt::test {

struct AppFixture {
    MemoryComPort port;
    MemoryRegistry registry;
    ScriptedDialogs dialogs;
    MemoryPreferences preferences;
    QStringList arguments;  // the tool's command line
    std::unique_ptr<Application> app;

    // Registry content of a system whose logger adapter is on comName.
    void withLoggerOn(const QString& comName)
    {
        registry.keys[QString::fromLatin1(kSerialCommKey)] = {{QStringLiteral("\\Device\\VCP0"), comName}};
        registry.keys[QString::fromLatin1(kLoggerAdapterKey)] = {
            {QStringLiteral("FriendlyName"), QStringLiteral("USB Serial Port (%1)").arg(comName)}};
    }

    TForm1& start(QSize screen = QSize(1280, 1024))
    {
        Application::Options options;
        options.port = &port;
        options.registry = &registry;
        options.dialogs = &dialogs;
        options.preferences = &preferences;
        options.screen = screen;
        options.locale = QLocale(QLocale::Japanese, QLocale::Japan);  // the windows in Japanese unless a test says
        options.arguments = arguments;
        app = std::make_unique<Application>(options);
        return app->form1();
    }

    TForm1& f() { return app->form1(); }
};

// The logger's bytes, in pieces of `chunk` bytes as the port hands them on;
// a closed port is opened for them, as during an exchange.
inline void feedLogger(MemoryComPort& port, const QByteArray& bytes, int chunk = 4096)
{
    if (!port.Open())
        port.setOpen(true);
    for (qsizetype pos = 0; pos < bytes.size(); pos += chunk)
        port.feed(bytes.mid(pos, chunk));
}

// The tool with its link up and the logger ready, as after a connect.
struct LinkedTool : AppFixture {
    TForm1* f = nullptr;

    LinkedTool()
    {
        f = &start();
        f->linkUp = 1;
        f->loggerReady = 1;
        port.takeWritten();
    }

    void send(const QByteArray& bytes, int chunk = 4096) { feedLogger(port, bytes, chunk); }

    std::vector<QByteArray> memo() const { return f->Memo1->lines(); }
};

// Processes events until cond holds or the deadline (timeoutMs at normal
// speed, stretched for this build) passes.
template <class Cond>
bool waitFor(Cond cond, int timeoutMs = 5000)
{
    timeoutMs = deadline(timeoutMs);
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(1);
    }
    return true;
}

}  // namespace zelt::test
