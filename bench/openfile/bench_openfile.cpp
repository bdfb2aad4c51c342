// Opening huge files through the main window's FILE button: the files are
// made in a temporary folder, each opened by the code the window runs (the
// FILE handler, its "load anyway" question answered Yes, the log memo's
// reading with its progress dialog), then deleted.
//
// Cases: a 1 GB file of one single line, 50 MB of empty lines, and a 1 GB
// recording (CSV records). For each it prints
//   - the time the open took, against the time a plain read loop takes to
//     read the file's bytes once (measured in the same run, just before),
//     and their ratio;
//   - the peak memory of the process (VmHWM) and its growth over the
//     window's idle memory, against twice the file's size, and the ratio of
//     the growth to the file's size (the bound is 2);
//   - a cancel: the progress dialog's cancel button is clicked once the
//     dialog shows 25 % and, in another open, 75 % (the second half of the
//     progress is the reading into memory, after the file was measured), and
//     the time from the click until the FILE handler returned.
// Every case runs in a process of its own, so each peak is its own.
//
// Left out: a cold disk cache (the files were just written, so both the
// floor and the open read from the page cache; a file on a slow disk or a
// network folder takes the disk's time in both); the time of the file
// dialog and of drawing the progress dialog on a real screen (offscreen
// here); files on other file systems than the temporary folder's.
//
//   build/bench/openfile/bench_openfile [--folder DIR] [--size-mb N]
#include "tests/AppFixture.h"
#include "platform/LineFiles.h"
#include "platform/LogMemo.h"
#include "shell/TForm1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr double kMB = 1024.0 * 1024.0;

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

long long freeBytes(const QString& folder)
{
    struct statvfs s {};
    if (::statvfs(QFile::encodeName(folder).constData(), &s) != 0)
        return -1;
    return static_cast<long long>(s.f_bavail) * static_cast<long long>(s.f_frsize);
}

// ---- making the files -----------------------------------------------------

enum class Kind { SingleLine, EmptyLines, Recording };

struct Case {
    Kind kind;
    const char* name;
    const char* arg;
    long long bytes;
};

// head, then block repeated (and cut) to bytes after the head.
bool writeRepeated(const QString& path, const QByteArray& head, const QByteArray& block, long long bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (!head.isEmpty() && file.write(head) != head.size())
        return false;
    long long written = 0;  // after the head
    while (written < bytes) {
        const qint64 n = static_cast<qint64>(std::min<long long>(block.size(), bytes - written));
        if (file.write(block.constData(), n) != n)
            return false;
        written += n;
    }
    return file.flush();
}

bool makeFile(const Case& c, const QString& path)
{
    switch (c.kind) {
    case Kind::SingleLine:
        return writeRepeated(path, {}, QByteArray(8 << 20, 'x'), c.bytes);
    case Kind::EmptyLines:
        return writeRepeated(path, {}, QByteArray(8 << 20, '\n'), c.bytes);
    case Kind::Recording: {
        // Whole records only: the block is cut at a record's end.
        // Records of one length, so a block of them repeats at a record's end.
        QByteArray block;
        qsizetype recordBytes = 0;
        for (int i = 0; block.size() < (8 << 20); ++i) {
            const int s = i % 86400;
            char record[64];
            const int n = std::snprintf(record, sizeof record, "2024/06/24 %02d:%02d:%02d.000,%3d,%3d,%3d, %4.1f\r\n",
                                        s / 3600, s / 60 % 60, s % 60, i % 7 - 3, i % 5 - 2, 10 + i % 3,
                                        21.0 + (i % 9) / 10.0);
            recordBytes = n;
            block.append(record, n);
        }
        return writeRepeated(path, "Start Year=2024 @1G=10\r\ndate time,x(G),y(G),z(G),temperature(C)\r\n", block,
                             c.bytes / recordBytes * recordBytes);
    }
    }
    return false;
}

// ---- one case, in a process of its own -----------------------------------

// The time a plain read loop takes to read the file's bytes once.
double plainReadMs(const QString& path, long long* bytesRead)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return -1;
    std::vector<char> buffer(1 << 20);
    QElapsedTimer t;
    t.start();
    long long total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        total += n;
    }
    const double took = ms(t);
    ::close(fd);
    *bytesRead = total;
    return took;
}

struct Opened {
    double ms = 0;
    int lines = 0;
    QStringList messages;
    bool dialogShown = false;
};

// The FILE button clicked with path chosen in its dialog; cancelAt (0..1000
// of the progress dialog's range) clicks the dialog's cancel button once
// the dialog shows that much, and *cancelMs is then the time from that
// click until the handler returned.
Opened openThroughWindow(zelt::test::AppFixture& fx, const QString& path, int cancelAt = -1, double* cancelMs = nullptr,
                         int* cancelSeenAt = nullptr)
{
    zelt::TForm1& f = fx.f();
    fx.dialogs.messages.clear();
    fx.dialogs.files.push_back(path);
    fx.dialogs.answers.push_back(true);  // "no recording: load it anyway?" Yes
    Opened result;
    QElapsedTimer sinceCancel;
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = f.findChild<QProgressDialog*>(QStringLiteral("fileProgress"));
        if (!dialog || !dialog->isVisible())
            return;
        result.dialogShown = true;
        if (cancelAt < 0 || sinceCancel.isValid() || dialog->value() < cancelAt)
            return;
        auto* button = dialog->findChild<QPushButton*>();
        if (!button || !button->isVisible())
            return;
        if (cancelSeenAt)
            *cancelSeenAt = dialog->value();
        sinceCancel.start();
        QTest::mouseClick(button, Qt::LeftButton);
    });
    watch.start();
    QElapsedTimer t;
    t.start();
    f.Button11->click();
    result.ms = ms(t);
    if (cancelMs)
        *cancelMs = sinceCancel.isValid() ? ms(sinceCancel) : -1;
    watch.stop();
    fx.dialogs.answers.clear();
    result.lines = f.Memo1->count();
    result.messages = fx.dialogs.messages;
    return result;
}

int runCase(const QString& path)
{
    zelt::test::AppFixture fx;
    zelt::TForm1& f = fx.start();
    f.show();
    QCoreApplication::processEvents();
    const long long size = QFile(path).size();

    long long bytesRead = 0;
    const double floorMs = plainReadMs(path, &bytesRead);
    if (floorMs < 0 || bytesRead != size) {
        std::printf("  error: the plain read of %s failed\n", qPrintable(path));
        return 1;
    }
    const long long idleRss = statusBytes("VmRSS");
    const long long idleHwm = statusBytes("VmHWM");

    const Opened open = openThroughWindow(fx, path);
    QElapsedTimer shown;
    shown.start();
    f.Memo1->viewport()->repaint();
    QCoreApplication::processEvents();
    const double showMs = ms(shown);
    // The peak of the open and of showing what was opened.
    const long long peakHwm = statusBytes("VmHWM");
    const long long afterRss = statusBytes("VmRSS");

    if (open.messages.isEmpty())
        std::printf("  opened: %d lines in the memo; progress dialog %s\n", open.lines,
                    open.dialogShown ? "shown" : "NOT shown");
    else
        std::printf("  refused: %s\n  (the memo keeps its %d lines; progress dialog %s)\n",
                    qPrintable(open.messages.join(QStringLiteral(" | "))), open.lines,
                    open.dialogShown ? "shown" : "NOT shown");
    std::printf("  time: open %.0f ms (then the first paint of the memo %.0f ms); floor: a plain read loop of the "
                "file's %lld bytes %.0f ms; open / floor = %.2f\n",
                open.ms, showMs, size, floorMs, open.ms / floorMs);
    const long long growth = peakHwm - idleRss;
    std::printf("  memory: idle VmRSS %.0f MB (VmHWM %.0f MB), peak VmHWM %.0f MB (open and first paint), after them "
                "VmRSS %.0f MB\n",
                idleRss / kMB, idleHwm / kMB, peakHwm / kMB, afterRss / kMB);
    std::printf("  memory: growth (peak VmHWM - idle VmRSS) %.0f MB; floor 2 x file %.0f MB; growth / file = %.2f "
                "(bound 2)%s\n",
                growth / kMB, 2.0 * size / kMB, static_cast<double>(growth) / static_cast<double>(size),
                growth > 2 * size ? "  ** OVER THE BOUND **" : "");

    // Cancels: the memo emptied first, so the memory of the open is given back.
    f.Memo1->clear();
    QCoreApplication::processEvents();

    // Where the open's time goes: the reading alone, without the window's
    // progress dialog (after the peak was taken; the same memory again).
    {
        QElapsedTimer t;
        t.start();
        double readMs = 0;
        QString outcome;
        try {
            const std::optional<zelt::ByteLines> lines = zelt::readLinesFile(path);
            readMs = ms(t);
            outcome = QStringLiteral("%1 lines").arg(lines ? lines->size() : -1);
        } catch (const zelt::FileError&) {
            readMs = ms(t);
            outcome = QStringLiteral("refused");
        }
        std::printf("  of the open: the reading alone (readLinesFile without the progress dialog) %.0f ms (%s); "
                    "reading / floor = %.2f\n",
                    readMs, qPrintable(outcome), readMs / floorMs);
    }
    for (const int percent : {25, 75}) {
        double cancelMs = -1;
        int seenAt = -1;
        const Opened cancelled = openThroughWindow(fx, path, percent * 10, &cancelMs, &seenAt);
        if (cancelMs < 0) {
            std::printf("  cancel at %d %%: not reached (%s after %.0f ms)\n", percent,
                        cancelled.messages.isEmpty() ? "opened whole"
                                                     : "the file was refused once measured, at 50 %",
                        cancelled.ms);
            f.Memo1->clear();
            continue;
        }
        std::printf("  cancel at %d %% (clicked at %.1f %%): the FILE handler returned %.1f ms after the click "
                    "(open ran %.0f ms in all); memo %s%s\n",
                    percent, seenAt / 10.0, cancelMs, cancelled.ms,
                    cancelled.lines == 0 ? "unchanged (empty)" : "CHANGED",
                    cancelled.messages.isEmpty() ? "" : ", a message was shown");
    }
    std::printf("  memory after the cancels: VmRSS %.0f MB\n", statusBytes("VmRSS") / kMB);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--case") == 0) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            QApplication app(argc, argv);
            return runCase(QString::fromLocal8Bit(argv[i + 1]));
        }

    QCoreApplication app(argc, argv);
    QString folder = QDir::tempPath();
    long long bigBytes = 1000LL * 1000 * 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--folder") == 0)
            folder = QString::fromLocal8Bit(argv[i + 1]);
        else if (std::strcmp(argv[i], "--size-mb") == 0)
            bigBytes = QByteArray(argv[i + 1]).toLongLong() * 1000 * 1000;
    }
    QTemporaryDir dir(folder + QStringLiteral("/zelt-bench-open-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_openfile: cannot make a folder in %s\n", qPrintable(folder));
        return 1;
    }
    const Case cases[] = {
        {Kind::SingleLine, "one single line", "single", bigBytes},
        {Kind::EmptyLines, "empty lines (LF only)", "empty", 50LL * 1000 * 1000},
        {Kind::Recording, "a recording of CSV records (43 bytes each)", "csv", bigBytes},
    };
    std::printf("open through the main window's FILE button (log memo, progress dialog); files in %s, %.1f GB free "
                "there\n",
                qPrintable(dir.path()), freeBytes(dir.path()) / 1e9);
    int failures = 0;
    for (const Case& c : cases) {
        std::printf("\n%s, %.0f MB:\n", c.name, c.bytes / 1e6);
        std::fflush(stdout);
        const long long room = freeBytes(dir.path());
        if (room >= 0 && room < c.bytes + c.bytes / 4 + (256LL << 20)) {
            std::printf("  skipped: %.1f GB free in %s, the file needs %.1f GB and a margin\n", room / 1e9,
                        qPrintable(dir.path()), c.bytes / 1e9);
            continue;
        }
        const QString path = dir.filePath(QString::fromLatin1(c.arg) + QStringLiteral(".csv"));
        QElapsedTimer made;
        made.start();
        if (!makeFile(c, path)) {
            std::printf("  error: cannot write %s\n", qPrintable(path));
            QFile::remove(path);
            ++failures;
            continue;
        }
        std::printf("  made %s (%lld bytes) in %.1f s\n", qPrintable(path), QFile(path).size(), made.elapsed() / 1000.0);
        std::fflush(stdout);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--case"), path});
        if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            std::printf("  error: the case's process ended with %d (%s)\n", child.exitCode(),
                        qPrintable(child.errorString()));
            ++failures;
        }
        QFile::remove(path);
    }
    std::printf("\nnot measured here: a cold disk cache (floor and open both read the just written file from the page "
                "cache), a real screen (offscreen), the file dialog's own time\n");
    std::printf("the temporary folder and its files are deleted\n");
    return failures == 0 ? 0 : 1;
}
