#pragma once
// The whole tool on the real serial port, attached to the simulated logger on
// a pseudo-terminal that is registered under the test's own COM number in a
// private port directory. Only registered devices count as serial ports, so
// the machine's own adapters stay out of the test.
#include "tests/AppFixture.h"

#include "link/QtComPort.h"
#include "platform/PeriodicTimer.h"
#include "platform/PortDirectory.h"
#include "platform/SystemRegistry.h"
#include "sim/Simulator.h"

#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <string>

namespace zelt::test {

class SimulatedTool {
    QTemporaryDir portDir_;  // first: it must exist before the simulator registers

public:
    explicit SimulatedTool(int comNumber, sim::Options options = {}) : sim(options)
    {
        qputenv("ZELT_PORT_DIR", portDir_.path().toLocal8Bit());
        sim.setRegistration(
            comNumber, [](int n, const std::string& path, std::string* error) { return registerPort(n, path, error); },
            [](int n) { unregisterPort(n); });
    }
    ~SimulatedTool()
    {
        app.reset();
        sim.stop();
        qunsetenv("ZELT_PORT_DIR");
    }
    SimulatedTool(const SimulatedTool&) = delete;
    SimulatedTool& operator=(const SimulatedTool&) = delete;

    // Plugs the simulated logger in: empty on success, else the reason.
    std::string plugIn()
    {
        std::string error;
        return sim.start(&error) ? std::string() : (error.empty() ? std::string("no pseudo-terminal") : error);
    }

    // Starts the tool; its first tick finds the logger and connects.
    TForm1& startTool()
    {
        registry = std::make_unique<SystemRegistry>([] {
            std::vector<SerialDeviceInfo> devices = listSerialDevices();
            devices.erase(std::remove_if(devices.begin(), devices.end(),
                                         [](const SerialDeviceInfo& d) { return !d.registered; }),
                          devices.end());
            return devices;
        });
        port = std::make_unique<QtComPort>([](const std::vector<SerialDeviceInfo>&) { return std::nullopt; });
        Application::Options options;
        options.port = port.get();
        options.registry = registry.get();
        options.dialogs = &dialogs;
        options.preferences = &preferences;
        options.screen = QSize(1280, 1024);
        options.locale = QLocale(QLocale::Japanese, QLocale::Japan);
        options.arguments = arguments;
        app = std::make_unique<Application>(options);
        return app->form1();
    }

    TForm1& f() const { return app->form1(); }
    // Linked, with no exchange in progress (port closed, tick running).
    bool idle() const { return f().linkUp == 1 && f().Timer1->interval() != 0 && !port->Open(); }
    bool memoHas(const QByteArray& prefix) const
    {
        const ByteLines& lines = f().Memo1->store();
        for (int i = 0; i < lines.size(); ++i)
            if (lines.view(i).startsWith(prefix))
                return true;
        return false;
    }

    sim::Simulator sim;
    std::unique_ptr<SystemRegistry> registry;
    std::unique_ptr<QtComPort> port;
    ScriptedDialogs dialogs;
    MemoryPreferences preferences;  // the user's own settings file stays out of the tests
    QStringList arguments;  // the tool's command line
    std::unique_ptr<Application> app;
};

}  // namespace zelt::test
