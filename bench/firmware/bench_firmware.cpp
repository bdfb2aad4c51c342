// The firmware update's round trips, measured: the whole update of the
// built-in 7,525-line image (every line sent, its answer awaited) by the
// code "zelt firmware" and the window run (the logger link, the firmware
// transfer, the real serial port on a pseudo-terminal, the event loop),
// against the simulated logger at the serial line's rate in both directions
// behind a simulated USB adapter whose latency timer holds the logger's
// answers: 16 ms (the adapter's default, which Windows keeps), with and
// without the event character, and 1 ms (what the tool asks for on Linux).
//
// The event character: the update asks its port to set it to the loader's
// answer byte. Here the port's adapter is the simulator's, so the port
// passes the request to it (as a driver passes it to the adapter's chip);
// the rows without it use a port that refuses it, as a pseudo-terminal or
// a driver without the setting does.
//
// Prints, for each row, the time the update took and the time its bytes
// need on the wire (lines and answers at 115200 baud, 10 bits a byte, one
// round trip after the other), and their ratio. Target: at most 1.5 x the
// wire at 16 ms with the event character.
//
// Left out: the real USB stack and adapter. The simulated adapter hands the
// answer on when its timer runs out (the full timer, unless 62 bytes wait)
// or at once when the event character has crossed the line; a real one's
// free-running timer may hand it on sooner, and a real one's event
// character costs a USB packet's turn (about 1 ms at full speed) that is
// not modelled. The total includes the connect (about 0.3 s) and the erase
// and verify handshakes.
//
//   build/bench/firmware/bench_firmware [--latency MS ...]
#include "cli/Progress.h"
#include "cli/Session.h"
#include "firmware/HexFile.h"
#include "link/QtComPort.h"
#include "platform/PortDirectory.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

using namespace zelt;

namespace {

constexpr int kCom = 91;
constexpr double kBytesPerSecond = 11520.0;  // 115200 baud, 8N1

// The bytes on the wire: every line the loader takes (the configuration
// words' two are left out) and its one-byte answer.
double wireSeconds(const ByteLines& image)
{
    long long bytes = 0;
    for (int i = 0; i < image.size(); ++i) {
        if (image.view(i) == QByteArrayView(kConfigAddressRecord)) {
            ++i;  // and the record after it
            continue;
        }
        bytes += image.view(i).size() + 1;
    }
    return static_cast<double>(bytes) / kBytesPerSecond;
}

// The real port on the simulator's pseudo-terminal; the adapter behind it
// is the simulator's, so the event character goes there.
class SimulatedAdapterPort : public QtComPort {
public:
    explicit SimulatedAdapterPort(sim::Simulator& sim) : sim_(sim) {}
    bool setEventCharacter(std::optional<char> c) override
    {
        sim_.setAdapterEventCharacter(c);
        (c ? set : cleared)++;
        return true;
    }
    int set = 0, cleared = 0;

private:
    sim::Simulator& sim_;
};

struct Row {
    int latencyMs;
    bool eventChar;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<Row> rows;
    for (int i = 1; i + 1 < argc; i += 2)
        if (QByteArray(argv[i]) == "--latency") {
            const int ms = QByteArray(argv[i + 1]).toInt();
            rows.push_back({ms, false});
            rows.push_back({ms, true});
        }
    if (rows.empty())
        rows = {{16, false}, {16, true}, {1, false}};

    const HexFileResult image = loadHexFile(QStringLiteral(ZELT_STANDIN_IMAGE));
    if (!image.error.isEmpty()) {
        std::fprintf(stderr, "bench_firmware: %s\n", image.error.toLocal8Bit().constData());
        return 1;
    }
    QTemporaryDir portDir;
    qputenv("ZELT_PORT_DIR", portDir.path().toLocal8Bit());
    const double wire = wireSeconds(image.lines);
    std::printf("firmware update of %d lines, wire time %.2f s\n", image.lines.size(), wire);
    std::printf("%-22s %10s %10s %12s\n", "adapter", "total s", "wire s", "total/wire");

    int failures = 0;
    for (const Row& row : rows) {
        sim::Options options;
        options.realtime = true;  // the line's rate, both directions
        sim::Simulator sim(options);
        sim.setRegistration(
            kCom, [](int n, const std::string& path, std::string* error) { return registerPort(n, path, error); },
            [](int n) { unregisterPort(n); });
        std::string error;
        if (!sim.start(&error)) {
            std::fprintf(stderr, "bench_firmware: no simulated logger: %s\n", error.c_str());
            return 1;
        }
        sim.setAdapterLatency(row.latencyMs);

        cli::Progress progress(cli::Progress::Style::Quiet);
        auto port = row.eventChar ? std::make_unique<SimulatedAdapterPort>(sim) : nullptr;
        SimulatedAdapterPort* adapter = port.get();
        cli::Session session(progress, 5000, std::move(port));
        QElapsedTimer clock;
        try {
            session.usePort(QStringLiteral("COM%1").arg(kCom), false);
            clock.start();
            session.firmware(image.lines, QByteArray(kConfigAddressRecord));
        } catch (const cli::Failure& f) {
            std::fprintf(stderr, "bench_firmware: %s\n", f.reason.toLocal8Bit().constData());
            return 1;
        }
        const double total = clock.elapsed() / 1000.0;
        const int taken = sim.observations().loaderLines;
        const std::string name = std::to_string(row.latencyMs) + " ms" + (row.eventChar ? " + event char" : "");
        std::printf("%-22s %10.2f %10.2f %12.2f   (%d lines taken", name.c_str(), total, wire, total / wire, taken);
        if (adapter) {
            std::printf("; event char set %d, cleared %d", adapter->set, adapter->cleared);
            // The update sets it once for the lines and clears it once.
            if (adapter->set != 1 || adapter->cleared != 1 || sim.behaviour().adapterEventChar != -1)
                ++failures;
        }
        std::printf(")\n");
        std::fflush(stdout);
        sim.stop();
    }
    if (failures > 0)
        std::printf("error: the update did not set the event character once and clear it once\n");
    std::printf("target: 16 ms + event char at most 1.5 x the wire\n");
    return failures == 0 ? 0 : 1;
}
