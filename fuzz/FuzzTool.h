#pragma once
// The whole tool as a harness drives it: the six windows and every feature
// on the in-memory port, a registry naming the logger's adapter on COM3, and
// dialogs that answer from a script (and may let the logger answer while an
// input box is open, as it does while a person reads the prompt).
#include "fuzz/FuzzSupport.h"

#include "link/MemoryComPort.h"
#include "platform/Dialogs.h"
#include "platform/PortRegistry.h"
#include "shell/PortSearch.h"
#include "shell/TForm1.h"
#include "app/Application.h"

#include <QCoreApplication>
#include <functional>
#include <memory>

namespace zelt::fuzz {

struct HarnessDialogs : ScriptedDialogs {
    std::function<void()> whileAsking;
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override
    {
        if (whileAsking)
            whileAsking();
        return ScriptedDialogs::inputQuery(caption, prompt, value);
    }
};

struct Tool {
    MemoryComPort port;
    MemoryRegistry registry;
    HarnessDialogs dialogs;
    std::unique_ptr<Application> app;
    TForm1* f = nullptr;

    // linked: as after a connect (link up, logger ready, port closed);
    // otherwise the tool as it starts, finding its logger on COM3.
    explicit Tool(bool linked = true)
    {
        registry.keys[QString::fromLatin1(kSerialCommKey)] = {{QStringLiteral("\\Device\\VCP0"), QStringLiteral("COM3")}};
        registry.keys[QString::fromLatin1(kLoggerAdapterKey)] = {
            {QStringLiteral("FriendlyName"), QStringLiteral("USB Serial Port (COM3)")}};
        Application::Options options;
        options.locale = QLocale(QLocale::Japanese, QLocale::Japan);
        options.port = &port;
        options.registry = &registry;
        options.dialogs = &dialogs;
        options.screen = QSize(1280, 1024);
        app = std::make_unique<Application>(options);
        f = &app->form1();
        if (linked) {
            f->autoConnectDone = 1;
            f->linkUp = 1;
            f->loggerReady = 1;
            port.setOpen(false);
            port.takeWritten();
        }
    }

    ~Tool()
    {
        app.reset();
        // Deferred deletions and posted events of this run end with it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    // The logger's bytes in pieces of `chunk`, each handed on before the next
    // arrives; a closed port is opened for them, as during an exchange.
    void send(const QByteArray& bytes, int chunk)
    {
        if (!port.Open())
            port.setOpen(true);
        for (qsizetype pos = 0; pos < bytes.size(); pos += chunk)
            port.feed(bytes.mid(pos, chunk));
    }

    // Lets the event loop deliver what is pending (a few turns: a delivery
    // may post further events).
    static void settle(int turns = 4)
    {
        for (int i = 0; i < turns; ++i)
            QCoreApplication::processEvents();
    }
};

// The feature object of type T among the children of `parent`.
template <class T>
T* featureOf(QObject& parent)
{
    for (QObject* o : parent.children())
        if (auto* p = dynamic_cast<T*>(o))
            return p;
    return nullptr;
}

}  // namespace zelt::fuzz
