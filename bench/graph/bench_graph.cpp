// The graph window on the simulated logger's full recording (72,020 records,
// one a minute for 50 days), decoded by the real pass into the real memo and
// opened with "グラフ": the heap the opening adds against the CSV's size
// (the window's own pixels left out: they exist before),
// and the time of a frame of the real window (offscreen, 1280 x 1024) at
// every time base, standing still and while scrolling through the whole
// recording. Beside each, the same frame's traces drawn as a plain
// per-pixel-column min/max envelope onto an image of the same size, the
// least a frame can cost.
//
// Left out: the window system's own compositing of the frame (offscreen
// there is none) and the printer.
#include "tests/AppFixture.h"
#include "graph/GraphFeature.h"
#include "graph/TForm2.h"
#include "platform/LogMemo.h"
#include "sim/Records.h"
#include "shell/TForm1.h"
#include "app/Application.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {

// Bytes the heap has handed out (small blocks and mapped ones).
long long heapBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return static_cast<long long>(m.uordblks + m.hblkhd);
}

double ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

struct Figures {
    double min = 0, median = 0;
};
Figures figures(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2]};
}

// The traces of rows B .. E as a min/max envelope a pixel column.
void drawEnvelope(QImage& image, const zelt::GraphSampleTable& t, const zelt::GraphFrame& frame, int centreRow,
                  const zelt::TimeScale& scale)
{
    const int W = image.width();
    std::vector<int> lo(5 * (W + 1)), hi(5 * (W + 1));
    std::fill(lo.begin(), lo.end(), 1 << 30);
    std::fill(hi.begin(), hi.end(), -(1 << 30));
    const std::int64_t base = t.timeMs[centreRow];
    const std::vector<std::int32_t>* columns[5] = {&t.temperature, &t.humidity, &t.x, &t.y, &t.z};
    for (int k = std::max(frame.startRow, t.firstRow); k <= std::min(frame.endRow, t.lastRow); ++k) {
        if (!t.sample[k])
            continue;
        const std::int64_t x = scale.pixels(t.timeMs[k] - base) + frame.centreX;
        if (x < 0 || x > W)
            continue;
        for (int c = 0; c < 5; ++c) {
            const int y = frame.centreY - 2 * (*columns[c])[k];
            int& l = lo[c * (W + 1) + x];
            int& h = hi[c * (W + 1) + x];
            l = std::min(l, y);
            h = std::max(h, y);
        }
    }
    QPainter p(&image);
    const QColor colours[5] = {Qt::red, Qt::cyan, Qt::magenta, Qt::blue, Qt::darkGreen};
    for (int c = 0; c < 5; ++c) {
        p.setPen(colours[c]);
        for (int x = 0; x <= W; ++x)
            if (lo[c * (W + 1) + x] <= hi[c * (W + 1) + x])
                p.drawLine(x, lo[c * (W + 1) + x], x, hi[c * (W + 1) + x]);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);

    const std::vector<std::string> records = zelt::sim::makeRecording(zelt::sim::RecordingKind::Full).records;
    zelt::test::AppFixture fx;
    zelt::TForm1& f = fx.start();
    f.show();
    QCoreApplication::processEvents();

    // The graph window once on a recording of a few lines, so that its own
    // pixels (the window's backing store, 800 x 550) exist before the
    // opening that is measured: what that opening adds is the data's cost.
    f.Memo1->setLines(std::vector<QByteArray>{"Start Year=2024 @1G=10", "date time,x(G),y(G),z(G),temperature(C)", "OK",
                                              "2024/06/24 09:00:00.000,  1,  2,  3, 20.0", "", "", ""});
    f.Button12->click();
    QCoreApplication::processEvents();

    // The download's decoding pass, as the receive path runs it.
    f.linkUp = 1;
    f.loggerReady = 1;
    f.Label15->setText(QStringLiteral("2024"));
    f.Button30->click();
    for (size_t i = 0; i < records.size(); ++i)
        f.recordLines.set(static_cast<int>(i), QByteArrayView(records[i].data(), static_cast<qsizetype>(records[i].size())));
    f.recordCount = static_cast<int>(records.size());
    fx.port.takeWritten();
    f.hooks.downloadComplete();
    QCoreApplication::processEvents();
    long long csvBytes = 0;
    for (int i = 0; i < f.Memo1->count(); ++i)
        csvBytes += f.Memo1->store().view(i).size() + 2;
    // The raw records are the download's; the graph replaces them.
    f.recordLines.clear();
    malloc_trim(0);

    zelt::TForm2& g = fx.app->form2();
    zelt::GraphFeature& graph = *zelt::GraphFeature::of(g);
    const long long before = heapBytes();
    QElapsedTimer opening;
    opening.start();
    f.Button12->click();
    QCoreApplication::processEvents();
    const double openMs = ms(opening);
    const long long added = heapBytes() - before;
    if (!g.isVisible() || g.ScrollBar1->maximum() < 72000) {
        std::printf("error: the graph did not open on the recording (%d rows)\n", g.ScrollBar1->maximum());
        return 1;
    }
    std::printf("recording: %d lines, CSV %lld bytes; opening the graph %.1f ms\n", f.Memo1->count(), csvBytes, openMs);
    std::printf("memory: opening the graph adds %.2f MB of heap = %.2f x the CSV (target <= 2)\n",
                added / 1048576.0, static_cast<double>(added) / static_cast<double>(csvBytes));

    g.resize(1280, 1024);
    QCoreApplication::processEvents();
    const int frames = argc > 1 ? std::max(3, atoi(argv[1])) : 25;
    const int first = g.ScrollBar1->minimum(), last = g.ScrollBar1->maximum();
    std::printf("frames of %dx%d, %d per figure; ms per frame (min / median)\n", g.width(), g.height(), frames);
    std::printf("%-8s %18s %18s %18s %18s\n", "base", "still", "scrolling", "paint function", "envelope only");

    QStringList bases;
    for (int i = 0; i < g.ComboBox1->count() - 1; ++i)
        bases << g.ComboBox1->itemText(i);
    bases << QString::fromUtf8("全体");
    double worstMedian = 0;
    for (const QString& base : bases) {
        if (base == QString::fromUtf8("全体")) {
            g.FitButton->click();
        } else {
            g.ComboBox1->setCurrentText(base);
            graph.ComboBox1Change();
        }
        g.repaint();
        std::vector<double> still, scrolling, envelope, paintOnly;
        for (int i = 0; i < frames; ++i) {
            QElapsedTimer t;
            t.start();
            g.repaint();
            still.push_back(ms(t));
        }
        const int centre = g.ScrollBar1->value();
        for (int i = 0; i < frames; ++i) {
            g.ScrollBar1->setValue(first + static_cast<int>(static_cast<long long>(last - first) * i / (frames - 1)));
            QElapsedTimer t;
            t.start();
            g.repaint();
            scrolling.push_back(ms(t));
        }
        g.ScrollBar1->setValue(centre);
        g.repaint();
        QImage image(g.size(), QImage::Format_ARGB32_Premultiplied);
        const zelt::TimeScale scale{graph.scaleNumerator, graph.scaleDenominator, graph.timeDivisor};
        for (int i = 0; i < frames; ++i) {
            QElapsedTimer t;
            t.start();
            image.fill(Qt::white);
            drawEnvelope(image, graph.table, graph.lastFrame(), centre, scale);
            envelope.push_back(ms(t));
        }
        // The paint function alone onto an image: the frame without the
        // widget's background fill and the backing store.
        for (int i = 0; i < frames; ++i) {
            QPainter painter(&image);
            QElapsedTimer t;
            t.start();
            graph.paintView(painter, false);
            paintOnly.push_back(ms(t));
        }
        const Figures s = figures(still), sc = figures(scrolling), e = figures(envelope), po = figures(paintOnly);
        worstMedian = std::max({worstMedian, s.median, sc.median});
        std::printf("%-8s %8.2f / %6.2f %8.2f / %6.2f %8.2f / %6.2f %8.2f / %6.2f   rows %d..%d\n",
                    base.toUtf8().constData(), s.min, s.median, sc.min, sc.median, po.min, po.median, e.min, e.median,
                    graph.lastFrame().startRow, graph.lastFrame().endRow);
    }
    std::printf("worst median: %.2f ms per frame (target <= 3)\n", worstMedian);
    return 0;
}
