// How fast the receive line loop takes a download: about 1.6 MB of record
// lines fed through the real dispatcher and its controls, in notifications
// of 4096 bytes (the port's receive buffer), compared with the serial line's
// rate of 11,520 bytes per second (115200 baud, 8N1).
#include "tests/AppFixture.h"
#include "link/MemoryComPort.h"
#include "platform/Dialogs.h"
#include "platform/PortRegistry.h"
#include "shell/TForm1.h"
#include "app/Application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    zelt::test::AppFixture fx;
    zelt::TForm1& f = fx.start();
    zelt::MemoryComPort& port = fx.port;
    f.show();

    // 72,020 records of 21 characters with CR LF: the largest download.
    QByteArray stream;
    for (int i = 0; i < 72020; ++i)
    {
        char line[40];
        std::snprintf(line, sizeof line, "%02X6B%04X0102FF19%02X2D5\r\n", 0x5A, i & 0xFFFF, i % 100);
        stream += line;
    }

    const int rounds = 5;
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        f.linkUp = 1;
        f.downloadActive = 1;
        f.recordCount = 0;
        f.ProgressBar1->setMaximum(72020);
        port.setOpen(true);
        QElapsedTimer t;
        t.start();
        for (qsizetype pos = 0; pos < stream.size(); pos += 4096)
            port.feed(stream.mid(pos, 4096));
        const double s = t.nsecsElapsed() / 1e9;
        best = std::min(best, s);
        if (f.recordCount != 72020) {
            std::printf("error: %d records stored\n", f.recordCount);
            return 1;
        }
    }
    const double rate = stream.size() / best;
    std::printf("dispatch: %lld bytes (72020 record lines) in %.4f s (best of %d)\n",
                static_cast<long long>(stream.size()), best, rounds);
    std::printf("dispatch: %.0f bytes/s = %.0f x the serial line rate (11520 bytes/s); target >= 200 x\n", rate,
                rate / 11520.0);
    return 0;
}
