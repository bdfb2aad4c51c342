#pragma once
// The whole tool on the in-memory port for the monitor and capture tests:
// linked to a logger on COM3, the tick driven by the test, and an input box
// that can let the logger answer while it is open, as it does while a person
// reads the prompt.
#include "tests/AppFixture.h"

#include "platform/Clock.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"

#include <QDateTime>
#include <functional>
#include <ostream>
#include <vector>

namespace zelt::test {

struct AnsweringDialogs : ScriptedDialogs {
    QStringList inputCaptions;
    QStringList initialValues;
    std::function<void()> whileAsking;  // runs while the input box is open

    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override
    {
        inputCaptions << caption;
        initialValues << value;
        if (whileAsking)
            whileAsking();
        return ScriptedDialogs::inputQuery(caption, prompt, value);
    }
};

struct MonitorTool {
    MemoryComPort port;
    MemoryRegistry registry;
    AnsweringDialogs dialogs;
    std::unique_ptr<Application> app;
    TForm1* f = nullptr;

    MonitorTool()
    {
        Application::Options options;
        options.locale = QLocale(QLocale::Japanese, QLocale::Japan);
        options.port = &port;
        options.registry = &registry;
        options.dialogs = &dialogs;
        options.screen = QSize(1280, 1024);
        app = std::make_unique<Application>(options);
        f = &app->form1();
        // Linked, idle, with the logger's adapter present for the tick.
        registry.keys[QString::fromLatin1(kSerialCommKey)] = {{QStringLiteral("\\Device\\VCP0"), QStringLiteral("COM3")}};
        registry.keys[QString::fromLatin1(kLoggerAdapterKey)] = {
            {QStringLiteral("FriendlyName"), QStringLiteral("USB Serial Port (COM3)")}};
        f->autoConnectDone = 1;
        f->linkUp = 1;
        f->loggerReady = 1;
        f->countsPerG = 10;
        port.setOpen(false);
        port.takeWritten();
    }

    void unplugAdapter() { registry.keys.clear(); }

    void send(const QByteArray& bytes, int chunk = 4096) { feedLogger(port, bytes, chunk); }

    std::vector<QByteArray> memo() const { return f->Memo1->lines(); }
};

// The clock the tool reads, set by the test.
struct TestClock {
    QDateTime now;
    explicit TestClock(QDateTime start) : now(std::move(start))
    {
        setClockForTests([this] { return now; });
    }
    ~TestClock() { setClockForTests(nullptr); }
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;
};

}  // namespace zelt::test
