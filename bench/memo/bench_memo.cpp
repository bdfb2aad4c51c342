// A file of one huge line (20 MB before its CR LF, as a binary or a damaged
// file can be) in the log memo of the main window on screen: opened
// with "FILE" (the question it raises answered Yes), the memo repainted, and
// saved again with "保存". Prints the time of each, and checks that the saved
// file is the opened one byte for byte.
//
//   bench_memo [megabytes]     (default 20)
#include "tests/AppFixture.h"
#include "platform/Dialogs.h"
#include "platform/LogMemo.h"
#include "shell/TForm1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

namespace {

double ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

// Text of the kind a recording holds, with double-byte characters, ended by
// CR LF as the tool ends every line it saves.
QByteArray hugeLine(qsizetype bytes)
{
    const QByteArray piece("2024/06/24 09:00:00.000,  2, -1,  3, 21.3,\x8E\x9E\x8A\xD4,");
    QByteArray line;
    line.reserve(bytes);
    while (line.size() + piece.size() <= bytes)
        line += piece;
    line += QByteArray(bytes - line.size(), 'x');
    return line + "\r\n";
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const qsizetype megabytes = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    QTemporaryDir dir;
    const QString opened = dir.path() + QStringLiteral("/huge.csv");
    const QString saved = dir.path() + QStringLiteral("/saved.csv");
    const QByteArray content = hugeLine(megabytes * 1024 * 1024);
    {
        QFile file(opened);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            std::printf("error: cannot write %s\n", qPrintable(opened));
            return 1;
        }
    }

    zelt::test::AppFixture fx;
    zelt::TForm1& f = fx.start();
    f.show();
    QCoreApplication::processEvents();
    zelt::LogMemo& memo = *f.Memo1;

    // Open: FILE, the file chosen, Yes to loading a file that is no recording;
    // the time runs until the memo shows the line.
    fx.dialogs.files.push_back(opened);
    fx.dialogs.answers.push_back(true);
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(f.Button11, Qt::LeftButton);
    memo.viewport()->repaint();
    QCoreApplication::processEvents();
    const double loadMs = ms(t);
    if (memo.count() != 1 || memo.line(0).size() != content.size() - 2 || !fx.dialogs.messages.isEmpty()) {
        std::printf("error: %d lines, first %lld bytes, messages: %s\n", memo.count(),
                    static_cast<long long>(memo.line(0).size()), qPrintable(fx.dialogs.messages.join('|')));
        return 1;
    }

    // Repaint: the whole memo drawn into an image, five times.
    double firstGrab = 0, bestGrab = 1e12;
    for (int i = 0; i < 5; ++i) {
        t.restart();
        const QPixmap image = memo.grab();
        const double m = ms(t);
        if (image.isNull()) {
            std::printf("error: empty grab\n");
            return 1;
        }
        if (i == 0)
            firstGrab = m;
        bestGrab = std::min(bestGrab, m);
    }
    const QString shown = memo.model()->index(0, 0).data().toString();

    // Save: 保存 with the name chosen.
    fx.dialogs.files.push_back(saved);
    t.restart();
    QTest::mouseClick(f.Button6, Qt::LeftButton);
    const double saveMs = ms(t);
    QFile back(saved);
    const bool identical = back.open(QIODevice::ReadOnly) && back.readAll() == content && fx.dialogs.messages.isEmpty();

    std::printf("file: one line of %lld bytes (%lld MB) and CR LF\n", static_cast<long long>(content.size() - 2),
                static_cast<long long>(megabytes));
    std::printf("load (FILE, Yes, first repaint): %.1f ms\n", loadMs);
    std::printf("repaint (grab of the memo): %.1f ms first, %.1f ms best of 5\n", firstGrab, bestGrab);
    std::printf("save (保存): %.1f ms; saved file identical to the opened one: %s\n", saveMs, identical ? "yes" : "NO");
    std::printf("shown text of the line: %lld characters\n", static_cast<long long>(shown.size()));
    return identical ? 0 : 1;
}
