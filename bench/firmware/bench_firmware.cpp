// The firmware update's round trips, measured: the whole update of the
// built-in 7,525-line image (every line sent, its answer awaited) by the
// code "zelt firmware" and the window run (the logger link, the firmware
// transfer, the real serial port on a pseudo-terminal, the event loop),
// against the simulated logger at the serial line's rate in both directions
// behind a simulated USB adapter whose latency timer holds the logger's
// answers: 16 ms (the adapter's default) and 1 ms (what the tool asks for).
//
// Prints, for each latency, the time the update took and the time its bytes
// need on the wire (lines and answers at 115200 baud, 10 bits a byte, one
// round trip after the other), and their ratio.
//
// Left out: the real USB stack and adapter. The simulated adapter hands the
// answer on when its timer runs out (the full timer, unless 62 bytes wait);
// a real one's free-running timer may hand it on sooner. The total includes
// the connect (about 0.3 s) and the erase and verify handshakes.
//
//   build/bench/firmware/bench_firmware [--latency MS ...]
#include "cli/Progress.h"
#include "cli/Session.h"
#include "firmware/HexFile.h"
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

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<int> latencies;
    for (int i = 1; i + 1 < argc; i += 2)
        if (QByteArray(argv[i]) == "--latency")
            latencies.push_back(QByteArray(argv[i + 1]).toInt());
    if (latencies.empty())
        latencies = {16, 1};

    const HexFileResult image = loadHexFile(QStringLiteral(ZELT_STANDIN_IMAGE));
    if (!image.error.isEmpty()) {
        std::fprintf(stderr, "bench_firmware: %s\n", image.error.toLocal8Bit().constData());
        return 1;
    }
    QTemporaryDir portDir;
    qputenv("ZELT_PORT_DIR", portDir.path().toLocal8Bit());
    const double wire = wireSeconds(image.lines);
    std::printf("firmware update of %d lines, wire time %.2f s\n", image.lines.size(), wire);
    std::printf("%-10s %10s %10s %12s\n", "latency", "total s", "wire s", "total/wire");

    for (const int latency : latencies) {
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
        sim.setAdapterLatency(latency);

        cli::Progress progress(cli::Progress::Style::Quiet);
        cli::Session session(progress, 5000);
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
        std::printf("%-10s %10.2f %10.2f %12.2f   (%d lines taken)\n", (std::to_string(latency) + " ms").c_str(), total,
                    wire, total / wire, taken);
        std::fflush(stdout);
        sim.stop();
    }
    return 0;
}
