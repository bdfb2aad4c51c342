// The decoding pass of a full logger memory and the CSV file it gives:
// 72,020 records of the simulated logger's full recording (one a minute for
// 50 days) stored as the receive path stores them, decoded by the real pass
// into the real log memo (hidden, as during a download), saved and opened
// again. Prints the times against the serial line (11,520 bytes/s), the
// memory the data set costs and how the shown memo scrolls.
#include "tests/AppFixture.h"
#include "link/MemoryComPort.h"
#include "platform/Dialogs.h"
#include "platform/LogMemo.h"
#include "platform/PortRegistry.h"
#include "sim/Records.h"
#include "shell/TForm1.h"
#include "app/Application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kLineBytesPerSecond = 11520.0;  // 115200 baud, 8N1

// A "VmXXX:   1234 kB" field of /proc/self/status, in bytes.
long long statusBytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong() * 1024;
    return -1;
}

double ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

// A fingerprint of lines (FNV-1a over the bytes and the line ends), so that
// the lines before and after a round trip compare without keeping a copy.
unsigned long long fingerprint(const zelt::ByteLines& lines)
{
    unsigned long long h = 1469598103934665603ULL;
    for (int i = 0; i < lines.size(); ++i) {
        for (const char c : lines.view(i))
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        h = (h ^ 0x100ULL) * 1099511628211ULL;
    }
    return h;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);

    // The logger's side: its records, and the bytes of the download.
    const std::vector<std::string> records = zelt::sim::makeRecording(zelt::sim::RecordingKind::Full).records;
    long long downloadBytes = 1;  // the closing end mark
    for (const std::string& r : records)
        downloadBytes += static_cast<long long>(r.size()) + 2;

    zelt::test::AppFixture fx;
    zelt::TForm1& f = fx.start();
    zelt::MemoryComPort& port = fx.port;
    zelt::ScriptedDialogs& dialogs = fx.dialogs;
    f.show();
    QCoreApplication::processEvents();
    const long long idleRss = statusBytes("VmRSS");
    const long long idleHwm = statusBytes("VmHWM");

    // A download as the tool runs it: the transfer button hides the memo,
    // the receive path stores every line, the closing end mark runs the pass.
    f.linkUp = 1;
    f.loggerReady = 1;
    f.Label15->setText(QStringLiteral("2024"));
    long long storedRss = -1;  // after the records of the first download are stored
    const auto download = [&]() -> double {
        f.Button30->click();
        for (size_t i = 0; i < records.size(); ++i)
            f.recordLines.set(static_cast<int>(i), QByteArrayView(records[i].data(), static_cast<qsizetype>(records[i].size())));
        f.recordCount = static_cast<int>(records.size());
        port.takeWritten();
        if (storedRss < 0)
            storedRss = statusBytes("VmRSS");
        QElapsedTimer t;
        t.start();
        f.hooks.downloadComplete();  // the decoding pass
        return ms(t);
    };
    const double firstPass = download();
    const long long passHwm = statusBytes("VmHWM");
    const long long passRss = statusBytes("VmRSS");
    if (f.Memo1->count() != static_cast<int>(records.size()) + 2 || !dialogs.messages.isEmpty()) {
        std::printf("error: %d memo lines, %lld messages\n", f.Memo1->count(),
                    static_cast<long long>(dialogs.messages.size()));
        return 1;
    }
    QElapsedTimer shown;
    shown.start();
    QCoreApplication::processEvents();
    const double firstShow = ms(shown);

    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/full.csv");
    QElapsedTimer t;
    t.start();
    f.Memo1->saveToFile(path);
    const double saveMs = ms(t);
    const long long csvBytes = QFile(path).size();
    const unsigned long long saved = fingerprint(f.Memo1->store());
    const int savedCount = f.Memo1->count();
    t.restart();
    f.Memo1->loadFromFile(path);
    const double openMs = ms(t);
    QCoreApplication::processEvents();
    if (f.Memo1->count() != savedCount || fingerprint(f.Memo1->store()) != saved) {
        std::printf("error: the opened file differs from the saved lines\n");
        return 1;
    }
    const long long peakHwm = statusBytes("VmHWM");
    const long long afterRss = statusBytes("VmRSS");

    // Timing only, after the memory figures: two more passes, best of three.
    double bestPass = firstPass;
    for (int r = 0; r < 2; ++r) {
        bestPass = std::min(bestPass, download());
        QCoreApplication::processEvents();
    }

    const double lineSeconds = downloadBytes / kLineBytesPerSecond;
    std::printf("records: %zu, download %lld bytes incl. CR LF and end mark, CSV %lld bytes (%d lines)\n",
                records.size(), downloadBytes, csvBytes, f.Memo1->count());
    std::printf("pass: %.1f ms first, %.1f ms best of 3 (memo hidden); first show of the memo after it %.1f ms\n",
                firstPass, bestPass, firstShow);
    std::printf("line time: %.1f s at 11520 bytes/s; line time / pass time = %.0f (first pass %.0f); target >= 500\n",
                lineSeconds, lineSeconds * 1000.0 / bestPass, lineSeconds * 1000.0 / firstPass);
    std::printf("save: %.1f ms, open: %.1f ms; target well under 1000 ms each\n", saveMs, openMs);
    std::printf("memory: idle VmRSS %.1f MB (VmHWM %.1f MB); after download+save+open VmHWM %.1f MB, VmRSS %.1f MB\n",
                idleRss / 1048576.0, idleHwm / 1048576.0, peakHwm / 1048576.0, afterRss / 1048576.0);
    std::printf("memory: stored raw records %.1f MB (%.2f x CSV bytes), decoded memo lines %.1f MB (%.2f x CSV bytes)\n",
                (storedRss - idleRss) / 1048576.0, static_cast<double>(storedRss - idleRss) / csvBytes,
                (passRss - storedRss) / 1048576.0, static_cast<double>(passRss - storedRss) / csvBytes);
    std::printf("memory: after the pass VmHWM %.1f MB: (VmHWM - idle VmRSS) / CSV bytes = %.2f\n",
                passHwm / 1048576.0, static_cast<double>(passHwm - idleRss) / static_cast<double>(csvBytes));
    std::printf("memory: after download+save+open: (peak VmHWM - idle VmRSS) / CSV bytes = %.2f; target < 3\n",
                static_cast<double>(peakHwm - idleRss) / static_cast<double>(csvBytes));

    // Scrolling the shown memo over all its lines.
    zelt::LogMemo& memo = *f.Memo1;
    const int last = memo.count() - 1;
    const int rows[] = {0, last / 2, last, 100, last - 1000, last / 4, 1};
    double worst = 0, total = 0;
    std::printf("scroll:");
    for (int row : rows) {
        QElapsedTimer s;
        s.start();
        memo.scrollTo(memo.model()->index(row, 0), QAbstractItemView::PositionAtTop);
        memo.viewport()->repaint();
        QCoreApplication::processEvents();
        const double m = ms(s);
        worst = std::max(worst, m);
        total += m;
        std::printf(" row %d %.2f ms;", row, m);
    }
    std::printf("\nscroll: %d lines shown, %zu scrolls, worst %.2f ms, total %.2f ms\n", memo.count(),
                std::size(rows), worst, total);
    return 0;
}
