// The graph window in the whole tool: opening from "グラフ", parsing into the
// window, time base, drawing, scrolling, trace switches, the interval marker
// with its statistics, and printing.
#include "tests/AppFixture.h"
#include "data/TForm4.h"
#include "graph/GraphFeature.h"
#include "graph/TForm2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace zelt;
using zelt::test::AppFixture;
using zelt::test::waitFor;

namespace {

const QColor kMagenta(0xFF, 0x00, 0xFF);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);

// Sample i: one per second from 09:00:00, X 20, Y -(10 + i mod 5), Z 40,
// temperature 10, humidity when asked.
QByteArray sampleLine(int i, bool humidity)
{
    const int s = i % 60, m = (i / 60) % 60;
    QByteArray line = QStringLiteral("2024/06/24 09:%1:%2.000, 20,%3, 40, 10.4")
                          .arg(m, 2, 10, QLatin1Char('0'))
                          .arg(s, 2, 10, QLatin1Char('0'))
                          .arg(-(10 + i % 5), 3)
                          .toLatin1();
    if (humidity)
        line += ", 30";
    return line;
}

std::vector<QByteArray> recording(int samples, bool humidity = false, const char* header = "Start Year=2024 @1G=10")
{
    std::vector<QByteArray> lines{header, "date time,x(G),y(G),z(G),temperature(C)", "OK"};
    for (int i = 0; i < samples; ++i)
        lines.push_back(sampleLine(i, humidity));
    lines.insert(lines.end(), {"", "end", ""});
    return lines;
}

struct GraphTool : AppFixture {
    TForm1* f = nullptr;
    TForm2* g = nullptr;
    TForm4* s = nullptr;
    GraphFeature* feature = nullptr;

    explicit GraphTool(QSize screen = QSize(1280, 1024))
    {
        f = &start(screen);
        g = &app->form2();
        s = &app->form4();
        feature = GraphFeature::of(*g);
    }

    void open(const std::vector<QByteArray>& lines)
    {
        f->Memo1->setLines(lines);
        f->Button12->click();
    }

    QImage render() { return g->grab().toImage(); }
};

// Whether colour appears in column x between rows y0 and y1.
bool columnHas(const QImage& image, int x, int y0, int y1, const QColor& colour)
{
    for (int y = y0; y <= y1; ++y)
        if (image.pixelColor(x, y) == colour)
            return true;
    return false;
}

}  // namespace

TEST(GraphWindow, OpeningTakesTheMemoLines)
{
    GraphTool t;
    ASSERT_NE(t.feature, nullptr);
    auto lines = recording(100, false, "Start Year=2024 @1G=50");
    lines[5] = "2024/06/24 09:00:02.0007, 20,-12, 40, 10.4";
    t.open(lines);
    EXPECT_TRUE(t.g->isVisible());
    EXPECT_EQ(t.g->size(), QSize(800, 550));
    EXPECT_EQ(t.f->countsPerG, 50);
    EXPECT_EQ(t.f->decodedCount, 106);
    ASSERT_EQ(t.f->recordLines.size(), 106);
    EXPECT_EQ(t.f->recordLines.at(5), QByteArray("2024/06/24 09:00:02.000, 20,-12, 40, 10.4"));
    EXPECT_EQ(t.g->Memo1->count(), 106);
    EXPECT_EQ(t.feature->originY, 275);
    EXPECT_EQ(t.g->Label2->text(), QStringLiteral("06/24 09:00:00"));
    EXPECT_EQ(t.g->Label3->text(), QStringLiteral("06/24 09:01:39"));
    EXPECT_EQ(t.g->Label1->text(), QStringLiteral("0"));
    EXPECT_EQ(t.g->ScrollBar1->minimum(), 3);
    EXPECT_EQ(t.g->ScrollBar1->maximum(), 102);  // the last sample row
    EXPECT_EQ(t.g->ScrollBar1->value(), 51);
    EXPECT_EQ(t.g->Label4->text(), QStringLiteral("06/24 09:00:48.000"));
}

TEST(GraphWindow, NotARecordingIsRefusedSilently)
{
    for (const char* first : {"Bad", "Star", ""}) {
        GraphTool t;
        auto lines = recording(20);
        lines[0] = first;
        t.f->decodedCount = 4;
        t.open(lines);
        EXPECT_FALSE(t.g->isVisible()) << first;
        EXPECT_EQ(t.f->decodedCount, 4);
        EXPECT_TRUE(t.dialogs.messages.isEmpty());
    }
}

TEST(GraphWindow, LoadedFileIsParsedWithItsIrregularLines)
{
    GraphTool t;
    t.f->Memo1->loadFromFile(QStringLiteral(ZELT_FIXTURE_DIR "/irregular.csv"));
    t.f->Button12->click();
    ASSERT_TRUE(t.g->isVisible());
    EXPECT_EQ(t.f->decodedCount, 16);
    EXPECT_GT(t.g->ScrollBar1->maximum(), 3);
    const QImage image = t.render();  // paints without reading past the table
    EXPECT_FALSE(image.isNull());
    EXPECT_TRUE(t.g->windowTitle().startsWith(QStringLiteral("start= ")));
}

TEST(GraphWindow, TooFewLinesDrawAxesOnly)
{
    for (int samples : {0, 1}) {
        GraphTool t;
        auto lines = recording(samples);
        lines.resize(lines.size() - (samples == 0 ? 1 : 0));  // 5 and 7 lines
        t.open(lines);
        ASSERT_TRUE(t.g->isVisible());
        EXPECT_EQ(t.g->ScrollBar1->maximum(), 3);
        const QImage image = t.render();
        EXPECT_EQ(image.pixelColor(400, 275), QColor(Qt::black));
        EXPECT_EQ(t.g->windowTitle(), samples == 0 ? QStringLiteral("ZELT GRAPH") : QStringLiteral("start= 3end=6"));
    }
}

TEST(GraphWindow, DrawingAxesTracesAndCaption)
{
    GraphTool t;
    t.open(recording(100));
    const QImage image = t.render();
    const int cx = t.feature->centreX;
    EXPECT_EQ(cx, 28 + 40 * 9);  // the tenth division of 800 pixels
    EXPECT_EQ(image.pixelColor(300, 275), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(28, 500), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(cx, 475), QColor(Qt::black));  // centre line to originY + 200
    // X 20 -> 40 px above the zero line, Z 40 -> 80, temperature 10 -> 20.
    EXPECT_EQ(image.pixelColor(cx + 20, 275 - 40), kMagenta);
    EXPECT_EQ(image.pixelColor(cx + 20, 275 - 80), kGreen);
    EXPECT_EQ(image.pixelColor(cx + 20, 275 - 20), kRed);
    EXPECT_TRUE(columnHas(image, cx + 20, 275 + 20, 275 + 28, kBlue));
    // The whole recording fits: from row 3 to decodedCount - 1.
    EXPECT_EQ(t.g->windowTitle(), QStringLiteral("start= 3end=105"));
    // No trace right of the last sample (100 s at 12 s per 40 px).
    EXPECT_FALSE(columnHas(image, 700, 0, 549, kMagenta));
}

TEST(GraphWindow, TraceSwitchesRemoveOnlyTheirTrace)
{
    GraphTool t;
    t.open(recording(100));
    t.render();
    const int cx = t.feature->centreX;
    const struct {
        QCheckBox* box;
        QColor colour;
        int y0, y1;
    } rows[] = {{t.g->CheckBox1, kMagenta, 235, 235}, {t.g->CheckBox2, kBlue, 295, 303}, {t.g->CheckBox3, kGreen, 195, 195}};
    for (const auto& row : rows) {
        row.box->setChecked(false);
        const QImage off = t.render();
        EXPECT_FALSE(columnHas(off, cx + 20, row.y0, row.y1, row.colour));
        EXPECT_EQ(off.pixelColor(cx + 20, 255), kRed);  // temperature always drawn
        row.box->setChecked(true);
        EXPECT_TRUE(columnHas(t.render(), cx + 20, row.y0, row.y1, row.colour));
    }
}

TEST(GraphWindow, HumidityTraceOnlyWithHumidity)
{
    for (bool humidity : {false, true}) {
        GraphTool t;
        t.open(recording(100, humidity));
        const QColor highlight = t.g->palette().color(QPalette::Highlight);
        const QImage image = t.render();
        EXPECT_EQ(image.pixelColor(t.feature->centreX + 20, 275 - 60) == highlight, humidity);
    }
}

TEST(GraphWindow, TimeBaseFromTheList)
{
    GraphTool t;
    t.open(recording(100));
    EXPECT_EQ(t.feature->timeDivisor, 300);
    const struct {
        const char* item;
        const char* edit8;
        int numerator, divisor;
    } rows[] = {{"0.01秒", "2", 100, 2}, {"秒", "250", 100, 250}, {"10秒", "25", 1, 25}, {"日", "216000", 1, 216000}};
    for (const auto& row : rows) {
        t.g->ComboBox1->setCurrentText(QString::fromUtf8(row.item));
        EXPECT_EQ(t.g->Edit8->text(), QString::fromLatin1(row.edit8));
        EXPECT_EQ(t.feature->scaleNumerator, row.numerator);
        EXPECT_EQ(t.feature->scaleDenominator, 10);
        EXPECT_EQ(t.feature->timeDivisor, row.divisor);
    }
    // The blank item applies what was typed, with the last factor.
    t.g->Edit8->setText(QStringLiteral("40"));
    t.g->ComboBox1->setCurrentText(QStringLiteral(" "));
    EXPECT_EQ(t.feature->timeDivisor, 40);
    EXPECT_EQ(t.feature->scaleNumerator, 1);
    // Typed text that is no usable divisor is reported and changes nothing.
    for (const char* typed : {"abc", "0"}) {
        t.g->ComboBox1->setCurrentText(QStringLiteral("分"));
        t.g->Edit8->setText(QString::fromLatin1(typed));
        t.dialogs.messages.clear();
        t.g->ComboBox1->setCurrentText(QStringLiteral(" "));
        ASSERT_EQ(t.dialogs.messages.size(), 1) << typed;
        EXPECT_TRUE(t.dialogs.messages[0].startsWith(QStringLiteral("'%1' is not a valid").arg(typed)));
        EXPECT_EQ(t.feature->timeDivisor, 150);
    }
}

TEST(GraphWindow, ScrollingMovesTheCentreSample)
{
    GraphTool t;
    t.open(recording(100));
    t.g->ScrollBar1->setValue(3);
    EXPECT_EQ(t.g->Label4->text(), QStringLiteral("06/24 09:00:00.000"));
    t.render();
    EXPECT_EQ(t.g->windowTitle(), QStringLiteral("start= 3end=105"));
    EXPECT_EQ(t.g->Label4->pos(), QPoint(t.feature->centreX, 75));
    // Past the end the bar stops at the last sample.
    t.g->ScrollBar1->setValue(500);
    EXPECT_EQ(t.g->ScrollBar1->value(), 102);
    EXPECT_EQ(t.g->Label4->text(), QStringLiteral("06/24 09:01:39.000"));
    t.g->ComboBox1->setCurrentText(QStringLiteral("秒"));  // 1 s per 40 px: only part fits
    t.render();
    EXPECT_EQ(t.g->windowTitle(), QStringLiteral("start= 93end=105"));
}

TEST(GraphWindow, IntervalMarkerAndStatistics)
{
    GraphTool t;
    t.open(recording(100));
    t.render();
    const int cx = t.feature->centreX;
    const int P = t.g->ScrollBar1->value();
    t.g->ComboBox2->setCurrentText(QStringLiteral("Y"));
    EXPECT_EQ(t.feature->statsAxis, 1);
    QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(cx + 30, 300));
    EXPECT_EQ(t.feature->markerOffset, 30);
    EXPECT_TRUE(t.s->isVisible());
    EXPECT_EQ(t.s->pos(), QPoint(t.g->x() + 800 / 3, t.g->y() - t.s->height() + 20));
    const QImage image = t.render();
    EXPECT_EQ(image.pixelColor(cx + 30, 275 - 50), QColor(0x00, 0xFF, 0x00));
    // x(k) = cx + (k - P) * 1000 / 300: the first next row beyond cx + 30 is P + 10.
    EXPECT_EQ(t.feature->markerStart, P);
    EXPECT_EQ(t.feature->markerEnd, P + 9);
    const IntervalStats& st = t.s->intervalStats;
    EXPECT_EQ(st.statsStartText, QStringLiteral("開始:06/24 09:00:48.000"));
    EXPECT_EQ(st.statsEndText, QStringLiteral("終了:06/24 09:00:57.000"));
    EXPECT_EQ(st.statsCount, 9);
    EXPECT_EQ(st.statsMax, -10);
    EXPECT_EQ(st.statsMin, -14);
    int sum = 0;
    for (int k = P; k < P + 9; ++k)
        sum += -(10 + (k - 3) % 5);
    EXPECT_EQ(st.statsMean, sum * 100 / 9 / 100);
    // The user's mean, then back to the computed one by double click.
    t.g->Edit1->setText(QStringLiteral("5"));
    t.render();
    EXPECT_EQ(st.statsMean, 5);
    QTest::mouseDClick(t.g->Edit1, Qt::LeftButton);
    EXPECT_EQ(t.g->Edit1->text(), QStringLiteral("VOID"));
    // A click beyond the last row drawn finds no end: mean 0, the rest kept.
    QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(790, 300));
    t.render();
    EXPECT_EQ((std::vector<int>{st.statsMax, st.statsMin, st.statsMean, st.statsCount}),
              (std::vector<int>{-10, -14, 0, 9}));
    // A click on the centre line clears the interval.
    QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(cx, 300));
    EXPECT_EQ(t.feature->markerOffset, 0);
    EXPECT_FALSE(t.s->isVisible());
}

TEST(GraphWindow, OneRowInterval)
{
    GraphTool t;
    t.open(recording(100));
    t.render();
    // Rows P and P + 1 lie at centre and centre + 3: a click between P + 1
    // and P + 2 marks the one row P.
    QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(t.feature->centreX + 4, 300));
    t.render();
    EXPECT_EQ(t.feature->markerEnd - t.feature->markerStart, 1);
    const IntervalStats& st = t.s->intervalStats;
    EXPECT_EQ(st.statsCount, 1);
    EXPECT_EQ((std::vector<int>{st.statsMax, st.statsMin, st.statsMean}), (std::vector<int>{20, 20, 20}));
}

TEST(GraphWindow, StatisticsWindowOnASmallScreenAndOnClose)
{
    GraphTool t(QSize(1024, 700));
    t.open(recording(100));
    t.render();
    QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(t.feature->centreX + 30, 300));
    EXPECT_EQ(t.s->pos(), QPoint(t.g->x() + 800 / 6, t.g->y() + 10));
    ASSERT_TRUE(t.s->isVisible());
    t.g->close();
    EXPECT_FALSE(t.s->isVisible());
    // The interval survives reopening.
    t.f->Button12->click();
    EXPECT_EQ(t.feature->markerOffset, 30);
}

namespace {
struct PrinterDouble : GraphPrinter {
    bool confirm = true;
    int asked = 0;
    int printed = 0;
    bool buttonVisibleWhilePrinting = true;
    QPushButton* button = nullptr;
    QImage page;

    PrinterDouble()
    {
        page = QImage(1800, 1200, QImage::Format_RGB32);
        page.fill(Qt::cyan);
        page.setDotsPerMeterX(qRound(192 / 0.0254));
        page.setDotsPerMeterY(qRound(192 / 0.0254));
    }
    bool choosePrinter(QWidget*) override
    {
        ++asked;
        return confirm;
    }
    void printPage(const std::function<void(QPainter&, QPaintDevice&)>& draw) override
    {
        ++printed;
        buttonVisibleWhilePrinting = button->isVisible();
        QPainter painter(&page);
        draw(painter, page);
    }
};
}  // namespace

TEST(GraphWindow, PrintingScalesTheWindowImage)
{
    for (bool confirm : {false, true}) {
        GraphTool t;
        t.open(recording(100));
        auto printer = std::make_unique<PrinterDouble>();
        PrinterDouble& p = *printer;
        p.confirm = confirm;
        p.button = t.g->Button2;
        t.feature->setPrinter(std::move(printer));
        t.g->Button2->click();
        EXPECT_EQ(p.asked, 1);
        EXPECT_EQ(p.printed, confirm ? 1 : 0);
        EXPECT_TRUE(t.g->Button2->isVisible());
        if (!confirm) {
            EXPECT_EQ(p.page.pixelColor(0, 0), QColor(Qt::cyan));
            continue;
        }
        EXPECT_FALSE(p.buttonVisibleWhilePrinting);
        // 800 x 550 at 192 dpi: 1600 x 1100 from the top-left corner.
        EXPECT_EQ(p.page.pixelColor(600, 550), QColor(Qt::black));  // zero line, doubled
        const int cx = t.feature->centreX;
        EXPECT_EQ(p.page.pixelColor(2 * (cx + 20), 2 * 235), kMagenta);
        EXPECT_NE(p.page.pixelColor(1598, 1098), QColor(Qt::cyan));
        EXPECT_EQ(p.page.pixelColor(1602, 600), QColor(Qt::cyan));
        EXPECT_EQ(p.page.pixelColor(800, 1102), QColor(Qt::cyan));
    }
}
