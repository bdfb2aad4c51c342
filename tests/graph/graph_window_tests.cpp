// The graph window in the whole tool: opening from "グラフ", parsing into the
// window, time base, drawing, scrolling, trace switches, the interval marker
// with its statistics, and printing.
#include "tests/AppFixture.h"
#include "data/TForm4.h"
#include "graph/GraphFeature.h"
#include "graph/TForm2.h"
#include "platform/Language.h"
#include "platform/Readable.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
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

    // As the tool does it: the main window on screen and a click on "グラフ".
    void openThroughMainWindow(const std::vector<QByteArray>& lines)
    {
        f->Memo1->setLines(lines);
        f->show();
        ASSERT_TRUE(f->Button12->isVisible());
        ASSERT_TRUE(f->Button12->isEnabled());
        QTest::mouseClick(f->Button12, Qt::LeftButton);
        ASSERT_TRUE(waitFor([this] { return g->isVisible(); }));
    }

    QImage render() { return g->grab().toImage(); }
};

// Picks text from box as a user does: a click opens the list, the arrow
// keys walk to the item and Return takes it.
void pick(QComboBox* box, const QString& text)
{
    const int index = box->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    ASSERT_TRUE(box->isVisible() && box->isEnabled());
    QTest::mouseClick(box, Qt::LeftButton);
    QAbstractItemView* list = box->view();
    ASSERT_TRUE(waitFor([list] { return list->isVisible(); }));
    const int from = list->currentIndex().row();
    for (int i = from; i < index; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    for (int i = from; i > index; --i)
        QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(waitFor([list] { return !list->isVisible(); }));
    ASSERT_EQ(box->currentText(), text);
}

// Replaces an edit field's text by typing, Return at the end when asked.
void type(QLineEdit* edit, const QString& text, bool enter = false)
{
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
    if (enter)
        QTest::keyClick(edit, Qt::Key_Return);
}

// The font the graph writes its texts in.
QFont graphFont()
{
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    return font;
}

// The colour of the legend and the time labels: the palette's shadow colour
// where it reads as text on the window's background (4.5:1), else its text
// colour.
QColor textColour(const QWidget& window)
{
    const QColor shadow = window.palette().color(QPalette::Shadow);
    return zelt::contrastRatio(shadow, window.palette().color(QPalette::Window)) >= 4.5
               ? shadow
               : window.palette().color(QPalette::WindowText);
}

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
    EXPECT_EQ(t.f->recordLines.at(5), QByteArray("2024/06/24 09:00:02.007, 20,-12, 40, 10.4"));
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

TEST(GraphWindow, NotARecordingIsRefusedWithTheReason)
{
    for (const char* first : {"Bad", "Star", ""}) {
        GraphTool t;
        auto lines = recording(20);
        lines[0] = first;
        t.f->decodedCount = 4;
        t.open(lines);
        EXPECT_FALSE(t.g->isVisible()) << first;
        EXPECT_EQ(t.f->decodedCount, 4);
        EXPECT_EQ(t.dialogs.messages,
                  QStringList{QStringLiteral("グラフを表示できません: 1行目が「Start」で始まっていません（記録データではありません）")})
            << first;
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
        pick(t.g->ComboBox1, QString::fromUtf8(row.item));
        EXPECT_EQ(t.g->Edit8->text(), QString::fromLatin1(row.edit8));
        EXPECT_EQ(t.feature->scaleNumerator, row.numerator);
        EXPECT_EQ(t.feature->scaleDenominator, 10);
        EXPECT_EQ(t.feature->timeDivisor, row.divisor);
    }
    // The blank item applies what was typed, with the last factor.
    type(t.g->Edit8, QStringLiteral("40"));
    pick(t.g->ComboBox1, QStringLiteral(" "));
    EXPECT_EQ(t.feature->timeDivisor, 40);
    EXPECT_EQ(t.feature->scaleNumerator, 1);
    // Typed text that is no usable divisor is reported and changes nothing.
    for (const char* typed : {"abc", "0"}) {
        pick(t.g->ComboBox1, QStringLiteral("分"));
        type(t.g->Edit8, QString::fromLatin1(typed));
        t.dialogs.messages.clear();
        pick(t.g->ComboBox1, QStringLiteral(" "));
        ASSERT_EQ(t.dialogs.messages.size(), 1) << typed;
        EXPECT_TRUE(t.dialogs.messages[0].startsWith(QStringLiteral("'%1' is not a valid").arg(typed)));
        EXPECT_EQ(t.feature->timeDivisor, 150);
    }
}

TEST(GraphWindow, PickingATimeBaseAlwaysAppliesIt)
{
    // Where the X trace is drawn (X is 20: 40 pixels above the zero line),
    // in its colour or in the grey of steps wider than twice the average.
    const auto xTraceAt = [](const QImage& image, int x) {
        const QColor c = image.pixelColor(x, 235);
        return c == kMagenta || c == QColor(0x80, 0x80, 0x80);
    };
    GraphTool t;
    t.open(recording(100));
    t.render();
    const int cx = t.feature->centreX;
    // Before any pick: 12 s per division, the trace runs 51 s right of the
    // centre, to cx + 170.
    ASSERT_EQ(t.g->ComboBox1->currentText(), QStringLiteral("分"));
    EXPECT_TRUE(xTraceAt(t.render(), cx + 100));
    // Picking the item already shown applies it: 1 min per division.
    pick(t.g->ComboBox1, QStringLiteral("分"));
    EXPECT_EQ(t.g->Edit8->text(), QStringLiteral("150"));
    QImage image = t.render();
    EXPECT_FALSE(xTraceAt(image, cx + 100));
    EXPECT_TRUE(xTraceAt(image, cx + 20));
    // A typed divisor applies on Return, with the last factor: 15 gives
    // 6 s per division, so the trace reaches cx + 340.
    type(t.g->Edit8, QStringLiteral("15"), true);
    EXPECT_EQ(t.feature->timeDivisor, 15);
    EXPECT_EQ(t.g->ComboBox1->currentText(), QStringLiteral(" "));
    image = t.render();
    EXPECT_TRUE(xTraceAt(image, cx + 300));
    // The blank item picked while shown applies a newly typed value.
    type(t.g->Edit8, QStringLiteral("30"));
    EXPECT_EQ(t.feature->timeDivisor, 15);
    pick(t.g->ComboBox1, QStringLiteral(" "));
    EXPECT_EQ(t.feature->timeDivisor, 30);
    image = t.render();
    EXPECT_FALSE(xTraceAt(image, cx + 300));
    EXPECT_TRUE(xTraceAt(image, cx + 150));
    // Return with text that is no divisor is reported once and changes nothing.
    t.dialogs.messages.clear();
    type(t.g->Edit8, QStringLiteral("x1"), true);
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_EQ(t.feature->timeDivisor, 30);
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
    pick(t.g->ComboBox1, QStringLiteral("秒"));  // 1 s per 40 px: only part fits
    t.render();
    EXPECT_EQ(t.g->windowTitle(), QStringLiteral("start= 93end=105"));
}

TEST(GraphWindow, IntervalMarkerAndStatistics)
{
    GraphTool t;
    t.open(recording(100));
    t.g->move(100, 300);  // where the statistics window fits above it
    t.render();
    const int cx = t.feature->centreX;
    const int P = t.g->ScrollBar1->value();
    pick(t.g->ComboBox2, QStringLiteral("Y"));
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
    type(t.g->Edit1, QStringLiteral("5"));
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
    t.g->move(100, 200);
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

    explicit PrinterDouble(QSize size = QSize(1800, 1200))
    {
        page = QImage(size, QImage::Format_RGB32);
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

TEST(GraphWindow, PrintoutOnASmallPageShowsTheWholeGraph)
{
    // 800 x 550 at 192 dpi is 1600 x 1100 on paper; these pages are smaller.
    const struct {
        QSize page;
        QSize printed;
    } rows[] = {{QSize(1000, 900), QSize(1000, 687)}, {QSize(1700, 660), QSize(960, 660)}};
    for (const auto& row : rows) {
        GraphTool t;
        t.open(recording(100));
        auto printer = std::make_unique<PrinterDouble>(row.page);
        PrinterDouble& p = *printer;
        p.button = t.g->Button2;
        t.feature->setPrinter(std::move(printer));
        QTest::mouseClick(t.g->Button2, Qt::LeftButton);
        ASSERT_EQ(p.printed, 1);
        const int w = row.printed.width(), h = row.printed.height();
        // The picture ends inside the page on both axes ...
        EXPECT_NE(p.page.pixelColor(w - 2, h / 3), QColor(Qt::cyan)) << w;
        EXPECT_NE(p.page.pixelColor(w / 2, h - 2), QColor(Qt::cyan)) << h;
        if (w + 2 < row.page.width()) {
            EXPECT_EQ(p.page.pixelColor(w + 2, h / 2), QColor(Qt::cyan));
        }
        if (h + 2 < row.page.height()) {
            EXPECT_EQ(p.page.pixelColor(w / 2, h + 2), QColor(Qt::cyan));
        }
        // ... and holds the whole window: the scroll bar along its foot and
        // the centre line where the window has it, scaled.
        const double scale = double(w) / 800;
        const int centre = int(t.feature->centreX * scale);
        bool centreLine = false;
        for (int x = centre - 1; x <= centre + 1; ++x)
            centreLine = centreLine || columnHas(p.page, x, int(100 * scale), int(450 * scale), QColor(Qt::black));
        EXPECT_TRUE(centreLine);
    }
}

TEST(GraphWindow, IrregularRecordingIsDrawnWhole)
{
    // From the tenth record on, every record follows a marker line; one has
    // the lead byte of a record whose time ran backwards. With the gap, the
    // record after sample 60 comes 31 minutes later.
    for (bool gap : {false, true}) {
        GraphTool t;
        std::vector<QByteArray> lines{"Start Year=2024 @1G=10", "date time,x(G),y(G),z(G),temperature(C)", "OK"};
        for (int i = 0; i < 100; ++i) {
            if (i >= 10)
                lines.push_back("//\x81\xAB" "Irregular Record //");
            QByteArray line = sampleLine(gap && i > 60 ? i + 31 * 60 : i, false);
            if (i == 40)
                line[0] = '\x81';
            lines.push_back(line);
        }
        lines.insert(lines.end(), {"", "end", ""});
        t.open(lines);
        const QImage image = t.render();
        const int cx = t.feature->centreX;
        // The centre row (96) is sample 51; sample j lies at cx + (j - 51) * 10 / 3.
        ASSERT_EQ(t.g->ScrollBar1->value(), 96);
        ASSERT_EQ(t.g->Label4->text(), QStringLiteral("06/24 09:00:51.000"));
        const int lastX = gap ? cx + 30 : cx + 160;
        for (int x = cx - 165; x <= lastX - 1; ++x)
            ASSERT_EQ(image.pixelColor(x, 235), kMagenta) << "x = cx + " << x - cx << (gap ? " with gap" : "");
        for (int x = lastX + 2; x < 790; ++x)
            ASSERT_NE(image.pixelColor(x, 235), kMagenta) << "x = cx + " << x - cx << (gap ? " with gap" : "");
    }
}

namespace {
// A full download of the logger's memory at one record a minute: 72,020
// records over 50 days from 2024/06/01 00:00.
std::vector<QByteArray> fullDownload()
{
    std::vector<QByteArray> lines{"Start Year=2024 @1G=10", "date time,x(G),y(G),z(G),temperature(C)", "OK"};
    lines.reserve(72026);
    for (int i = 0; i < 72020; ++i) {
        const int d = i / 1440, minute = i % 1440;
        lines.push_back(QStringLiteral("2024/%1/%2 %3:%4:00.000, 20,%5, 40, 10.4")
                            .arg(d < 30 ? 6 : 7, 2, 10, QLatin1Char('0'))
                            .arg(d < 30 ? d + 1 : d - 29, 2, 10, QLatin1Char('0'))
                            .arg(minute / 60, 2, 10, QLatin1Char('0'))
                            .arg(minute % 60, 2, 10, QLatin1Char('0'))
                            .arg(-(10 + i % 5), 3)
                            .toLatin1());
    }
    lines.insert(lines.end(), {"", "end", ""});
    return lines;
}
}  // namespace

TEST(GraphWindow, FullDownloadIsDrawnWholeWithItsTimeAxis)
{
    GraphTool t;
    t.open(fullDownload());
    EXPECT_TRUE(t.dialogs.messages.isEmpty());
    EXPECT_EQ(t.f->decodedCount, 72026);
    EXPECT_EQ(t.g->ScrollBar1->maximum(), 72022);  // the last record's row
    EXPECT_EQ(t.g->Label3->text(), QStringLiteral("07/21 00:19:00"));
    // One minute per division, at the last record (50 days in).
    pick(t.g->ComboBox1, QStringLiteral("分"));
    t.g->ScrollBar1->setFocus();
    QTest::keyClick(t.g->ScrollBar1, Qt::Key_End);
    EXPECT_EQ(t.g->ScrollBar1->value(), 72022);
    EXPECT_EQ(t.g->Label4->text(), QStringLiteral("07/21 00:19:00.000"));
    QImage image = t.render();
    const int cx = t.feature->centreX;
    // The records before it lie 40 pixels apart, back to the axis. (No
    // record follows the last one, so there is no average step and the
    // pieces are drawn in the grey of wide steps.)
    EXPECT_EQ(t.g->windowTitle(), QStringLiteral("start= 72013end=72025"));
    EXPECT_EQ(image.pixelColor(cx - 20, 235), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(image.pixelColor(cx - 260, 235), QColor(0x80, 0x80, 0x80));
    // 100 records earlier the same, the right part drawn up to the edge.
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(t.g->ScrollBar1, Qt::Key_PageUp);
    const int P = t.g->ScrollBar1->value();
    ASSERT_EQ(P, 72022 - 100);
    image = t.render();
    EXPECT_EQ(t.g->windowTitle(), QStringLiteral("start= %1end=%2").arg(P - 9).arg(P + 11));
    EXPECT_EQ(image.pixelColor(cx + 20, 235), kMagenta);
}

TEST(GraphWindow, LineLimitSaysWhenItCuts)
{
    GraphTool t;
    t.feature->setLineLimit(50);
    t.open(recording(100));
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_TRUE(t.dialogs.messages[0].contains(QStringLiteral("50"))) << t.dialogs.messages[0].toStdString();
    EXPECT_TRUE(t.dialogs.messages[0].contains(QStringLiteral("106"))) << t.dialogs.messages[0].toStdString();
    EXPECT_EQ(t.f->decodedCount, 50);
    // Within the limit nothing is said.
    t.dialogs.messages.clear();
    t.open(recording(40));
    EXPECT_TRUE(t.dialogs.messages.isEmpty());
    EXPECT_EQ(t.f->decodedCount, 46);
}

TEST(GraphWindow, MeanOverrideThatIsNoNumberIsSaidOnce)
{
    GraphTool t;
    t.open(recording(100));
    t.g->move(100, 300);
    t.render();
    QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(t.feature->centreX + 30, 300));
    ASSERT_TRUE(t.s->isVisible());
    type(t.g->Edit1, QStringLiteral("abc"));
    for (int i = 0; i < 3; ++i)
        t.render();
    ASSERT_TRUE(waitFor([&] { return t.s->Label8->text().contains(QStringLiteral("\"abc\"")); }));
    EXPECT_TRUE(t.s->Label8->isVisible());
    EXPECT_TRUE(QRect(QPoint(0, 0), t.s->size()).contains(t.s->Label8->geometry()));
    EXPECT_TRUE(t.dialogs.messages.isEmpty());
    // The computed mean stays in use: X is 20 throughout.
    EXPECT_TRUE(t.s->Label7->text().contains(QStringLiteral("(20)dgt"))) << t.s->Label7->text().toStdString();
    // A whole number is used and the note goes.
    type(t.g->Edit1, QStringLiteral("3"));
    ASSERT_TRUE(waitFor([&] { return t.s->Label8->text().isEmpty(); }));
    EXPECT_TRUE(t.s->Label7->text().contains(QStringLiteral("(3)dgt"))) << t.s->Label7->text().toStdString();
}

TEST(GraphWindow, GridLabelsAreReadable)
{
    GraphTool t;
    t.open(recording(0, false, "Start Year=2024 @1G=100"));  // the grid alone
    const QImage image = t.render();
    // The grid's grey: a mid grey, on the line at v = -100 and in its label "1.0G".
    EXPECT_EQ(image.pixelColor(300, 75), QColor(109, 109, 109));
    int darkest = 255;
    for (int x = 5; x < 40; ++x)
        for (int y = 66; y < 75; ++y)
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
    EXPECT_LE(darkest, 120);
    // Each temperature label stands apart from the G label of its row: the
    // ink of the row's texts falls in two groups with a blank of at least
    // eight columns between them (wider than any gap inside a label) (the axis and division lines left aside).
    for (int v = -40; v <= 40; v += 20) {
        const int top = 275 + 2 * v - 9;
        std::vector<bool> ink(160, false);
        for (int x = 0; x < 160; ++x) {
            if (x == 28 || x == 29 || (x - 28) % 40 == 0)
                continue;
            for (int y = top; y <= top + 12; ++y)
                if ((y < top + 8 || y > top + 10) && qGray(image.pixel(x, y)) < 200)
                    ink[x] = true;
        }
        int groups = 0, blank = 8;
        for (int x = 0; x < 160; ++x) {
            if (ink[x] && blank >= 8)
                ++groups;
            blank = ink[x] ? 0 : blank + 1;
        }
        std::string row;
        for (int x = 0; x < 160; ++x)
            row += ink[x] ? '#' : '.';
        EXPECT_EQ(groups, 2) << "v = " << v << "\n" << row;
    }
}

TEST(GraphWindow, TimeLabelsDoNotOverprint)
{
    const QFontMetrics metrics(graphFont());
    const int labelWidth = metrics.horizontalAdvance(QString::fromUtf8("↑09:00:00.00"));
    // One sample a second at 1 s per division: a label every 80 pixels is
    // due, narrower than the label. The ink of the label row falls into
    // pieces no wider than one label.
    {
        GraphTool t;
        t.open(recording(100));
        pick(t.g->ComboBox1, QString::fromUtf8("秒"));
        const QImage image = t.render();
        const QColor shadow = textColour(*t.g);
        const int top = t.feature->centreY + 150;
        int run = 0, widest = 0, blank = 3, pieces = 0;
        for (int x = 0; x < 800; ++x) {
            bool ink = false;
            for (int y = top; y < top + 16; ++y)
                ink = ink || image.pixel(x, y) == shadow.rgb();
            if (ink) {
                if (blank >= 3) {
                    run = 0;
                    ++pieces;
                }
                run += blank < 3 ? blank + 1 : 1;
                widest = std::max(widest, run);
                blank = 0;
            } else {
                ++blank;
            }
        }
        EXPECT_GE(pieces, 4);
        EXPECT_LE(widest, labelWidth);
    }
    // A capture, one sample every 5 ms, at 1 s per division: five samples
    // fall on each labelled column. The label 160 pixels right of the centre
    // is the one of its first sample, written once.
    {
        GraphTool t;
        std::vector<QByteArray> lines{"Start Year=2024 @1G=10", "date time,x(G),y(G),z(G),temperature(C)", "OK"};
        for (int i = 0; i < 2000; ++i)
            lines.push_back(QStringLiteral("2024/06/24 09:00:%1.%2,  0,  0,  0,  0.0")
                                .arg(5 * i / 1000, 2, 10, QLatin1Char('0'))
                                .arg(5 * i % 1000, 3, 10, QLatin1Char('0'))
                                .toLatin1());
        lines.insert(lines.end(), {"", "end", ""});
        t.open(lines);
        pick(t.g->ComboBox1, QString::fromUtf8("秒"));
        const QImage image = t.render();
        // The centre row is sample 998 (4.990 s); 160 pixels are 4 s.
        ASSERT_EQ(t.g->Label4->text(), QStringLiteral("06/24 09:00:04.990"));
        const QColor shadow = textColour(*t.g);
        const QRect label(t.feature->centreX + 155, t.feature->centreY + 150, labelWidth, 16);
        QImage expected(image.size(), image.format());
        expected.fill(t.g->palette().color(QPalette::Window));
        {
            QPainter painter(&expected);
            painter.setFont(graphFont());
            painter.setPen(shadow);
            painter.drawText(QRect(label.topLeft(), QSize(400, 16)), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                             QString::fromUtf8("↑09:00:08.99"));
        }
        int inkPixels = 0;
        // (The grid line crossing the label, 160 pixels below the zero line, is
        // left aside: text over it blends differently.)
        for (int x = label.left() - 4; x <= label.right() + 2; ++x)
            for (int y = label.top() - 2; y <= label.bottom() + 2; ++y) {
                if (y == t.feature->centreY + 160)
                    continue;
                const bool seen = image.pixel(x, y) == shadow.rgb();
                inkPixels += seen ? 1 : 0;
                ASSERT_EQ(seen, expected.pixel(x, y) == shadow.rgb()) << "at " << x - label.left() << "," << y - label.top();
            }
        EXPECT_GT(inkPixels, 8);  // the label is there
    }
}

// Runs on whatever platform the test program has; registered once more to
// run under a display server (xcb on Xvfb), where windows have real screens.
namespace {
void skipWithoutDisplayServer()
{
    if (qEnvironmentVariableIsSet("ZELT_NO_DISPLAY_SERVER"))
        GTEST_SKIP() << "xvfb-run was not found when the tests were configured: the run on a display server "
                        "(xcb) is skipped";
}
}  // namespace

TEST(GraphOnDisplay, EveryControlIsInsideTheWindowAsItOpens)
{
    skipWithoutDisplayServer();
    if (testing::Test::IsSkipped())
        return;
    GraphTool t;
    t.openThroughMainWindow(recording(100));
    if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(t.g));
    }
    ASSERT_EQ(t.g->size(), QSize(800, 550));
    const QRect window(QPoint(0, 0), t.g->size());
    QWidget* const controls[] = {t.g->ComboBox1, t.g->ComboBox2, t.g->Edit8,     t.g->Edit1,     t.g->Button2,
                                 t.g->Button4,   t.g->CheckBox1, t.g->CheckBox2, t.g->CheckBox3, t.g->ScrollBar1};
    for (QWidget* c : controls) {
        EXPECT_TRUE(c->isVisible()) << c->objectName().toStdString();
        EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
        EXPECT_TRUE(window.contains(c->geometry())) << c->objectName().toStdString();
        for (QWidget* other : controls) {
            if (other != c && !(qobject_cast<QCheckBox*>(c) && qobject_cast<QCheckBox*>(other))) {
                EXPECT_FALSE(c->geometry().intersects(other->geometry()))
                    << c->objectName().toStdString() << " " << other->objectName().toStdString();
            }
        }
    }
    EXPECT_EQ(t.g->CheckBox1->pos(), QPoint(68, 38));
    EXPECT_EQ(t.g->CheckBox2->pos(), QPoint(68, 50));
    EXPECT_EQ(t.g->CheckBox3->pos(), QPoint(68, 62));

    // Each one works from where it is.
    t.render();
    const int cx = t.feature->centreX;
    QTest::mouseClick(t.g->CheckBox1, Qt::LeftButton);
    EXPECT_FALSE(columnHas(t.render(), cx + 20, 235, 235, kMagenta));
    QTest::mouseClick(t.g->CheckBox1, Qt::LeftButton);
    EXPECT_TRUE(columnHas(t.render(), cx + 20, 235, 235, kMagenta));
    for (QCheckBox* box : {t.g->CheckBox2, t.g->CheckBox3}) {
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    }
    t.g->ScrollBar1->setFocus();
    QTest::keyClick(t.g->ScrollBar1, Qt::Key_End);
    EXPECT_EQ(t.g->Label4->text(), QStringLiteral("06/24 09:01:39.000"));
    QTest::mouseClick(t.g->Button4, Qt::LeftButton);  // parses again: back to the middle
    EXPECT_EQ(t.g->Label4->text(), QStringLiteral("06/24 09:00:48.000"));
    type(t.g->Edit8, QStringLiteral("15"), true);
    EXPECT_EQ(t.feature->timeDivisor, 15);
    pick(t.g->ComboBox1, QStringLiteral("分"));
    EXPECT_EQ(t.g->Edit8->text(), QStringLiteral("150"));
    pick(t.g->ComboBox2, QStringLiteral("Z"));
    t.render();
    QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(t.feature->centreX + 30, 300));
    ASSERT_TRUE(t.s->isVisible());
    EXPECT_TRUE(waitFor([&] { return t.s->Label3->text().contains(QStringLiteral("(40)dgt")); }));
    type(t.g->Edit1, QStringLiteral("-7"));
    EXPECT_TRUE(waitFor([&] { return t.s->Label7->text().contains(QStringLiteral("(-7)dgt")); }));
    auto printer = std::make_unique<PrinterDouble>();
    PrinterDouble& p = *printer;
    p.button = t.g->Button2;
    t.feature->setPrinter(std::move(printer));
    QTest::mouseClick(t.g->Button2, Qt::LeftButton);
    EXPECT_EQ(p.printed, 1);
}

TEST(GraphOnDisplay, StatisticsWindowStaysOnTheScreen)
{
    skipWithoutDisplayServer();
    if (testing::Test::IsSkipped())
        return;
    GraphTool t;
    t.openThroughMainWindow(recording(100));
    const bool real = QGuiApplication::platformName() != QStringLiteral("offscreen");
    const QRect area = t.g->screen()->availableGeometry();
    const struct {
        QPoint graphAt;
        bool fits;  // the placement rule alone keeps it on the screen
        const char* what;
    } rows[] = {
        {area.topLeft() + QPoint(10, 30), false, "graph window at the top"},
        {QPoint(area.right() - 500, area.top() + 300), false, "graph window at the right edge"},
        {area.topLeft() + QPoint(20, 300), true, "room above the graph window"},
    };
    for (const auto& row : rows) {
        t.g->move(row.graphAt);
        if (real) {
            ASSERT_TRUE(waitFor([&] { return t.g->pos() == row.graphAt; })) << row.what;
        }
        t.render();
        QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(t.feature->centreX + 30, 300));
        ASSERT_TRUE(t.s->isVisible()) << row.what;
        if (real) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(t.s)) << row.what;
        }
        EXPECT_TRUE(area.contains(t.s->frameGeometry()))
            << row.what << ": " << t.s->frameGeometry().x() << "," << t.s->frameGeometry().y();
        if (row.fits) {  // placed by the rule alone
            EXPECT_EQ(t.s->pos(), QPoint(t.g->x() + 800 / 3, t.g->y() - t.s->height() + 20)) << row.what;
        }
        // Above the graph window, overlapping it.
        EXPECT_LT(t.s->frameGeometry().top(), t.g->y() + 30) << row.what;
        QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(t.feature->centreX, 300));  // clears, hides
        ASSERT_FALSE(t.s->isVisible());
    }
}

// ---- Exploring a recording: zoom, scroll, readout, unit, interval
// analysis and the picture as a file.

#include "graph/AnalysisPanel.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QHeaderView>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <cmath>

namespace {

// The text Label4 shows for sample i of recording(): one a second from 09:00:00.
QString sampleTime(int i)
{
    return QStringLiteral("06/24 09:%1:%2.000").arg(i / 60 % 60, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0'));
}

// A 5 ms capture of a sine on X (amplitude in counts, at @1G=100), Y and Z
// still.
std::vector<QByteArray> sineCapture(int samples, double hz, int amplitude)
{
    std::vector<QByteArray> lines{"Start Year=2024 @1G=100", "date time,x(G),y(G),z(G),temperature(C)", "OK"};
    for (int i = 0; i < samples; ++i) {
        const int ms = 5 * i;
        const int x = static_cast<int>(std::lround(amplitude * std::sin(2 * M_PI * hz * ms / 1000.0)));
        lines.push_back(QStringLiteral("2024/06/24 09:00:%1.%2,%3, 10, 100, 20.0")
                            .arg(ms / 1000, 2, 10, QLatin1Char('0'))
                            .arg(ms % 1000, 3, 10, QLatin1Char('0'))
                            .arg(x, 3)
                            .toLatin1());
    }
    lines.insert(lines.end(), {"", "end", ""});
    return lines;
}

void wheel(QWidget* w, QPoint at, int notches)
{
    QWheelEvent event(QPointF(at), QPointF(w->mapToGlobal(at)), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

// Where a user can reach it: shown, enabled, inside the window as it opens.
void expectReachable(QWidget* control, QWidget* window)
{
    EXPECT_TRUE(control->isVisible() && control->isEnabled()) << control->objectName().toStdString();
    EXPECT_TRUE(QRect(QPoint(0, 0), window->size()).contains(control->geometry())) << control->objectName().toStdString();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(GraphExplore, WheelZoomsAroundTheMouseAndDragScrolls)
{
    GraphTool t;
    t.open(recording(600));
    t.render();
    const int cx = t.feature->centreX;
    const int centre = t.g->ScrollBar1->value() - 3;  // the sample on the centre line
    ASSERT_EQ(t.g->Label4->text(), sampleTime(centre));
    // 0.3 s a pixel at first: 120 pixels right of the centre lie 36 s later.
    // One notch in (0.24 s a pixel) keeps that time under the mouse, so the
    // centre moves 36 - 28.8 s on: 7 samples.
    wheel(t.g, QPoint(cx + 120, 300), 1);
    EXPECT_EQ(t.g->Label4->text(), sampleTime(centre + 7));
    EXPECT_EQ(t.g->Edit8->text(), QStringLiteral("24"));  // 240 ms a pixel: 24 with the factor 1 / 10
    EXPECT_EQ(t.g->ComboBox1->currentText(), QStringLiteral(" "));
    // Out again by a notch, around the centre line: the scale is back.
    wheel(t.g, QPoint(cx, 300), -1);
    EXPECT_EQ(t.g->Edit8->text(), QStringLiteral("30"));
    EXPECT_EQ(t.g->Label4->text(), sampleTime(centre + 7));

    // Dragging 100 pixels left brings 30 s later to the centre line, and
    // marks no interval.
    QTest::mousePress(t.g, Qt::LeftButton, {}, QPoint(cx, 300));
    QTest::mouseMove(t.g, QPoint(cx - 50, 300));
    QTest::mouseMove(t.g, QPoint(cx - 100, 300));
    QTest::mouseRelease(t.g, Qt::LeftButton, {}, QPoint(cx - 100, 300));
    EXPECT_EQ(t.g->Label4->text(), sampleTime(centre + 37));
    EXPECT_EQ(t.feature->markerOffset, 0);
    EXPECT_FALSE(t.s->isVisible());

    // The time-base list still sets its scale.
    pick(t.g->ComboBox1, QStringLiteral("秒"));
    EXPECT_EQ(t.g->Edit8->text(), QStringLiteral("250"));
    EXPECT_EQ(t.feature->scaleNumerator, 100);
}

TEST(GraphExplore, KeysZoomAndScroll)
{
    GraphTool t;
    t.open(recording(600));
    t.g->show();
    QApplication::setActiveWindow(t.g);
    QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(100, 300));  // the graph takes the keys
    ASSERT_TRUE(waitFor([&] { return t.g->hasFocus(); }));
    const int centre = t.g->ScrollBar1->value() - 3;
    QTest::keyClick(t.g, Qt::Key_Plus);
    EXPECT_EQ(t.g->Edit8->text(), QStringLiteral("24"));
    QTest::keyClick(t.g, Qt::Key_Minus);
    EXPECT_EQ(t.g->Edit8->text(), QStringLiteral("30"));
    QTest::keyClick(t.g, Qt::Key_Right);  // one division: 12 s
    EXPECT_EQ(t.g->Label4->text(), sampleTime(centre + 12));
    QTest::keyClick(t.g, Qt::Key_Left);
    EXPECT_EQ(t.g->Label4->text(), sampleTime(centre));
    QTest::keyClick(t.g, Qt::Key_End);
    EXPECT_EQ(t.g->Label4->text(), sampleTime(599));
    QTest::keyClick(t.g, Qt::Key_Home);
    EXPECT_EQ(t.g->Label4->text(), sampleTime(0));
}

TEST(GraphExplore, FitAllShowsTheWholeFullRecording)
{
    GraphTool t;
    t.openThroughMainWindow(fullDownload());
    for (QWidget* control : std::initializer_list<QWidget*>{t.g->FitButton, t.g->UnitBox, t.g->PngButton,
                                                            t.g->SvgButton, t.g->PdfButton})
        expectReachable(control, t.g);
    QTest::mouseClick(t.g->FitButton, Qt::LeftButton);
    const QImage image = t.render();
    // Every line drawn, the first sample near the axis and the last near
    // the right edge: 50 days in 770 pixels.
    EXPECT_EQ(t.g->windowTitle(), QStringLiteral("start= 3end=72025"));
    EXPECT_TRUE(columnHas(image, 31, 230, 240, kMagenta) || columnHas(image, 32, 230, 240, kMagenta));
    bool right = false;
    for (int x = 780; x < 800; ++x)
        right = right || columnHas(image, x, 230, 240, kMagenta);
    EXPECT_TRUE(right);
    EXPECT_FALSE(columnHas(image, 29 - 2, 230, 240, kMagenta));
}

TEST(GraphExplore, ReadoutFollowsTheMouseInTheChosenUnit)
{
    GraphTool t;
    t.open(recording(100, true));
    t.g->show();
    t.render();
    const int cx = t.feature->centreX;
    const int centre = t.g->ScrollBar1->value() - 3;
    QTest::mouseMove(t.g, QPoint(cx + 40, 300));  // 12 s on
    ASSERT_TRUE(waitFor([&] { return t.g->Readout->isVisible(); }));
    const QString at12 = t.g->Readout->text();
    EXPECT_TRUE(at12.startsWith(sampleTime(centre + 12))) << at12.toStdString();
    const int y = -(10 + (centre + 12) % 5);
    EXPECT_TRUE(at12.contains(QStringLiteral("X 2.00G  Y %1G  Z 4.00G").arg(y / 10.0, 0, 'f', 2)))
        << at12.toStdString();
    EXPECT_TRUE(at12.contains(QString::fromUtf8("10.4℃  30%RH"))) << at12.toStdString();
    QTest::mouseMove(t.g, QPoint(cx - 40, 300));
    EXPECT_TRUE(t.g->Readout->text().startsWith(sampleTime(centre - 12))) << t.g->Readout->text().toStdString();

    // A click pins it: the mouse moves on, the readout stays; Escape lets go.
    QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(cx + 40, 300));
    EXPECT_TRUE(t.g->Readout->text().startsWith(QString::fromUtf8("固定 ") + sampleTime(centre + 12)));
    QTest::mouseMove(t.g, QPoint(cx - 80, 300));
    EXPECT_TRUE(t.g->Readout->text().contains(sampleTime(centre + 12)));
    QTest::keyClick(t.g, Qt::Key_Escape);
    EXPECT_FALSE(t.g->Readout->isVisible());

    // m/s², and the choice is remembered for the next run.
    QTest::mouseMove(t.g, QPoint(cx + 40, 300));
    pick(t.g->UnitBox, QString::fromUtf8("m/s²"));
    QTest::mouseMove(t.g, QPoint(cx + 41, 300));
    EXPECT_TRUE(t.g->Readout->text().contains(QString::fromUtf8("X 19.61m/s²"))) << t.g->Readout->text().toStdString();
    EXPECT_EQ(t.preferences.values[QStringLiteral("graph/unit")], QStringLiteral("m/s2"));
    EXPECT_EQ(valueLabel(-100, 10, ValueUnit::MetresPerSecond2), QString::fromUtf8("98.1m/s²"));

    zelt::test::AppFixture next;
    next.preferences.values[QStringLiteral("graph/unit")] = QStringLiteral("m/s2");
    next.start();
    EXPECT_EQ(next.app->form2().UnitBox->currentText(), QString::fromUtf8("m/s²"));
}

TEST(GraphExplore, SelectingAnIntervalShowsItsAnalysisAndSpectrum)
{
    GraphTool t;
    // 10 s of a 10 Hz sine of 0.5 G at 5 ms.
    t.open(sineCapture(2000, 10.0, 50));
    t.g->show();
    QTest::mouseClick(t.g->FitButton, Qt::LeftButton);
    t.render();
    // Shift and drag over the whole recording.
    QTest::mousePress(t.g, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 300));
    QTest::mouseMove(t.g, QPoint(400, 300));
    QTest::mouseRelease(t.g, Qt::LeftButton, Qt::ShiftModifier, QPoint(799, 300));
    AnalysisPanel& panel = t.feature->analysisPanel();
    ASSERT_TRUE(waitFor([&] { return panel.isVisible(); }));
    EXPECT_EQ(t.feature->selectionFirst(), 3);
    EXPECT_EQ(t.feature->selectionLast(), 2002);
    EXPECT_TRUE(panel.Summary->text().contains(QString::fromUtf8("(2000 サンプル)"))) << panel.Summary->text().toStdString();
    EXPECT_TRUE(panel.Summary->text().contains(QString::fromUtf8("サンプリング間隔: 5.0 ms")));
    const auto cell = [&](int row, int column) { return panel.Table->item(row, column)->text(); };
    // RMS of a sine: A / √2 (the samples' rounding to whole counts moves it
    // by less than a thousandth); peak-to-peak 2A; the spectrum's peak at 10 Hz.
    EXPECT_EQ(cell(0, 0), QStringLiteral("0.500 G"));
    EXPECT_NEAR(cell(3, 0).section(QLatin1Char(' '), 0, 0).toDouble(), 0.5 / std::sqrt(2.0), 0.001) << cell(3, 0).toStdString();
    EXPECT_EQ(cell(5, 0), QStringLiteral("1.000 G"));
    EXPECT_EQ(cell(7, 0), QStringLiteral("10.00 Hz"));
    // Y holds still: its RMS is its mean, and it has no dominant frequency.
    EXPECT_EQ(cell(2, 1), QStringLiteral("0.100 G"));
    EXPECT_EQ(cell(3, 1), QStringLiteral("0.100 G"));
    EXPECT_EQ(cell(7, 1), QStringLiteral("-"));
    EXPECT_TRUE(panel.Spectrum->note().isEmpty());
    // The peak of the acceleration vector: √(0.5² + 0.1² + 1²).
    EXPECT_TRUE(panel.Summary->text().contains(QString::fromUtf8("合成加速度の最大: 1.122 G")))
        << panel.Summary->text().toStdString();

    // The interval's lines as a recording file of their own.
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/interval");
    t.dialogs.files.push_back(path);
    QTest::mouseClick(panel.SaveCsvButton, Qt::LeftButton);
    const QByteArray bytes = readFile(path + QStringLiteral(".csv"));
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 3 + 2000 + 3 + 1);  // the last line end leaves an empty piece
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(lines[0], QByteArray("Start Year=2024 @1G=100\r"));
    EXPECT_EQ(lines[3], sineCapture(1, 10, 50)[3] + '\r');
    EXPECT_TRUE(lines[2003].startsWith("//Interval 06/24 09:00:00.000 - 06/24 09:00:09.995 (lines 4-2003) //"));
    EXPECT_EQ(bytes.count("\r\n"), bytes.count('\n'));
}

TEST(GraphExplore, IrregularSamplingHasNoSpectrum)
{
    GraphTool t;
    auto lines = recording(100);
    lines[50] = "2024/06/24 09:01:10.000, 20,-10, 40, 10.4";  // one step of 24 s among 1 s steps
    t.open(lines);
    t.g->show();
    t.render();
    QTest::mousePress(t.g, Qt::RightButton, {}, QPoint(100, 300));
    QTest::mouseMove(t.g, QPoint(700, 300));
    QTest::mouseRelease(t.g, Qt::RightButton, {}, QPoint(700, 300));
    AnalysisPanel& panel = t.feature->analysisPanel();
    ASSERT_TRUE(waitFor([&] { return panel.isVisible(); }));
    EXPECT_FALSE(panel.Spectrum->note().isEmpty());
    EXPECT_TRUE(panel.Summary->text().contains(QString::fromUtf8("一定ではありません")));
    EXPECT_EQ(panel.Table->item(7, 0)->text(), QStringLiteral("-"));
    EXPECT_EQ(panel.Table->item(0, 0)->text(), QStringLiteral("2.000 G"));
}

TEST(GraphExplore, ExportsShowTheWindowsPicture)
{
    GraphTool t;
    t.open(recording(100));
    t.g->show();
    const QImage window = t.render();
    const int cx = t.feature->centreX;
    QTemporaryDir dir;

    t.dialogs.files.push_back(dir.path() + QStringLiteral("/graph"));
    QTest::mouseClick(t.g->PngButton, Qt::LeftButton);
    ASSERT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join('\n').toStdString();
    const QImage png(dir.path() + QStringLiteral("/graph.png"));
    ASSERT_EQ(png.size(), QSize(800, 550));
    // The traces and grid where the window has them, and the labels' texts.
    for (const QPoint at : {QPoint(cx + 20, 235), QPoint(cx + 20, 195), QPoint(cx + 20, 255), QPoint(300, 275), QPoint(28, 500)})
        EXPECT_EQ(png.pixelColor(at), window.pixelColor(at)) << at.x() << "," << at.y();
    int ink = 0;
    for (int x = 130; x < 280; ++x)
        for (int y = 22; y < 36; ++y)
            ink += qGray(png.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GT(ink, 20);  // Label2's first sample time

    t.dialogs.files.push_back(dir.path() + QStringLiteral("/graph.svg"));
    QTest::mouseClick(t.g->SvgButton, Qt::LeftButton);
    const QByteArray svg = readFile(dir.path() + QStringLiteral("/graph.svg"));
    EXPECT_TRUE(svg.contains("<svg")) << svg.left(200).toStdString();
    EXPECT_TRUE(svg.contains("#ff00ff"));  // the X trace
    EXPECT_TRUE(svg.contains("06/24 09:00:00"));  // a label's text

    t.dialogs.files.push_back(dir.path() + QStringLiteral("/graph.pdf"));
    QTest::mouseClick(t.g->PdfButton, Qt::LeftButton);
    const QByteArray pdf = readFile(dir.path() + QStringLiteral("/graph.pdf"));
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    EXPECT_TRUE(pdf.contains("/MediaBox [0 0 600.000000 413.000000]")) << "one page of the window's size in points";

    // A folder that cannot be written to says so and leaves nothing behind.
    t.dialogs.files.push_back(dir.path() + QStringLiteral("/no/such/folder/graph.png"));
    QTest::mouseClick(t.g->PngButton, Qt::LeftButton);
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_TRUE(t.dialogs.messages[0].contains(QStringLiteral("no/such/folder"))) << t.dialogs.messages[0].toStdString();
}

TEST(GraphExplore, ReadoutFollowsTheKeys)
{
    GraphTool t;
    t.open(recording(600));
    t.g->show();
    QApplication::setActiveWindow(t.g);
    t.render();
    const int cx = t.feature->centreX;
    const int centre = t.g->ScrollBar1->value() - 3;
    // A click gives the graph the keys (and pins the readout); Escape lets go.
    QTest::mouseClick(t.g, Qt::LeftButton, {}, QPoint(cx + 200, 300));
    ASSERT_TRUE(waitFor([&] { return t.g->hasFocus(); }));
    QTest::keyClick(t.g, Qt::Key_Escape);
    QTest::mouseMove(t.g, QPoint(cx - 40, 300));  // 12 s before the centre
    ASSERT_TRUE(waitFor([&] { return t.g->Readout->isVisible(); }));
    ASSERT_TRUE(t.g->Readout->text().startsWith(sampleTime(centre - 12))) << t.g->Readout->text().toStdString();
    // The mouse stays where it is while the keys move the recording under it.
    const struct {
        Qt::Key key;
        int sample;  // the sample then under the mouse
    } steps[] = {{Qt::Key_Right, centre}, {Qt::Key_End, 599 - 12}, {Qt::Key_Left, 599 - 24}, {Qt::Key_Home, 0}};
    for (const auto& step : steps) {
        QTest::keyClick(t.g, step.key);
        EXPECT_TRUE(waitFor([&] { return t.g->Readout->text().startsWith(sampleTime(step.sample)); }))
            << "after key " << step.key << ": " << t.g->Readout->text().toStdString();
    }
    EXPECT_EQ(t.feature->pinnedRow(), -1);
}

TEST(GraphExplore, SlowRecordingsSpectrumSaysItsFrequencies)
{
    EXPECT_EQ(frequencyText(10.0), QStringLiteral("10.00 Hz"));
    const struct {
        double hz;
        const char* text;
    } rows[] = {{0, "0 Hz"}, {100, "100.00 Hz"}, {1, "1.00 Hz"}, {0.5, "500 mHz"}, {1.0 / 120, "8.33 mHz"},
                {1.0 / 600, "1.67 mHz"}, {1.0 / 86400, "11.6 µHz"}, {1.0 / 1200, "833 µHz"}};
    for (const auto& row : rows)
        EXPECT_EQ(frequencyText(row.hz), QString::fromUtf8(row.text)) << row.hz;

    // One record a minute for ten hours, X a sine of 0.5 G with a period of
    // ten minutes.
    GraphTool t;
    std::vector<QByteArray> lines{"Start Year=2024 @1G=100", "date time,x(G),y(G),z(G),temperature(C)", "OK"};
    for (int i = 0; i < 600; ++i) {
        const int x = static_cast<int>(std::lround(50 * std::sin(2 * M_PI * i / 10.0)));
        lines.push_back(QStringLiteral("2024/06/24 %1:%2:00.000,%3, 10, 100, 20.0")
                            .arg(9 + i / 60, 2, 10, QLatin1Char('0'))
                            .arg(i % 60, 2, 10, QLatin1Char('0'))
                            .arg(x, 3)
                            .toLatin1());
    }
    lines.insert(lines.end(), {"", "end", ""});
    t.open(lines);
    t.g->show();
    QTest::mouseClick(t.g->FitButton, Qt::LeftButton);
    t.render();
    QTest::mousePress(t.g, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 300));
    QTest::mouseMove(t.g, QPoint(400, 300));
    QTest::mouseRelease(t.g, Qt::LeftButton, Qt::ShiftModifier, QPoint(799, 300));
    AnalysisPanel& panel = t.feature->analysisPanel();
    ASSERT_TRUE(waitFor([&] { return panel.isVisible(); }));
    ASSERT_EQ(t.feature->selectionLast() - t.feature->selectionFirst() + 1, 600);
    EXPECT_EQ(panel.Table->item(7, 0)->text(), QStringLiteral("1.67 mHz"));
    // The spectrum's frequency axis as painted: up to half a sample a minute.
    QByteArray svg;
    QBuffer buffer(&svg);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(panel.Spectrum->size());
    {
        QPainter painter(&generator);
        panel.Spectrum->render(&painter);
    }
    EXPECT_TRUE(svg.contains("8.33 mHz")) << svg.toStdString();
    EXPECT_FALSE(svg.contains("0.0 Hz"));
}

// The analysis panel of a slow recording (one record a minute) as it
// opens: every cell's text whole within its column (no "496 …"), in either
// unit and either language, the dominant frequencies in mHz.
TEST(GraphOnDisplay, AnalysisPanelShowsEveryCellWholeAsItOpens)
{
    // Where the panel opens and how wide depends on the screen: a real one.
    skipWithoutDisplayServer();
    if (testing::Test::IsSkipped())
        return;
    std::vector<QByteArray> lines{"Start Year=2024 @1G=100", "date time,x(G),y(G),z(G),temperature(C)", "OK"};
    for (int i = 0; i < 600; ++i) {
        const int x = static_cast<int>(std::lround(-50 * std::sin(2 * M_PI * i / 10.0)));
        const int y = static_cast<int>(std::lround(-80 * std::sin(2 * M_PI * i / 3.3)));
        const int z = static_cast<int>(std::lround(-100 + 30 * std::sin(2 * M_PI * i / 4.2)));
        lines.push_back(QStringLiteral("2024/06/24 %1:%2:00.000,%3,%4,%5, 20.0")
                            .arg(9 + i / 60, 2, 10, QLatin1Char('0'))
                            .arg(i % 60, 2, 10, QLatin1Char('0'))
                            .arg(x, 4)
                            .arg(y, 4)
                            .arg(z, 4)
                            .toLatin1());
    }
    lines.insert(lines.end(), {"", "end", ""});
    struct Case {
        Language language;
        const char* unit;
    };
    for (const Case& c : {Case{Language::Japanese, "G"}, Case{Language::Japanese, "m/s²"}, Case{Language::English, "G"},
                          Case{Language::English, "m/s²"}}) {
        SCOPED_TRACE(std::string(languageCode(c.language).toStdString()) + " " + c.unit);
        useLanguage(c.language);
        GraphTool t;
        t.openThroughMainWindow(lines);
        const bool real = QGuiApplication::platformName() != QStringLiteral("offscreen");
        if (real) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(t.g));
        }
        const QRect area = t.g->screen()->availableGeometry();
        if (area.width() < 1280 || area.height() < 1024)
            GTEST_SKIP() << "the screen is " << area.width() << "x" << area.height() << ", not 1280x1024";
        if (QString::fromUtf8(c.unit) != t.g->UnitBox->currentText())
            pick(t.g->UnitBox, QString::fromUtf8(c.unit));
        QTest::mouseClick(t.g->FitButton, Qt::LeftButton);
        t.render();
        QTest::mousePress(t.g, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 300));
        QTest::mouseMove(t.g, QPoint(400, 300));
        QTest::mouseRelease(t.g, Qt::LeftButton, Qt::ShiftModifier, QPoint(799, 300));
        AnalysisPanel& panel = t.feature->analysisPanel();
        ASSERT_TRUE(waitFor([&] { return panel.isVisible(); }));
        if (real) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        }
        ASSERT_EQ(t.feature->selectionLast() - t.feature->selectionFirst() + 1, 600);
        QTableWidget& table = *panel.Table;
        // The margin the view leaves on either side of a cell's text.
        const int textMargin = table.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &table) + 1;
        const QFontMetrics metrics(table.font());
        for (int row = 0; row < table.rowCount(); ++row) {
            for (int column = 0; column < table.columnCount(); ++column) {
                const QTableWidgetItem* item = table.item(row, column);
                ASSERT_NE(item, nullptr);
                const QRect cell = table.visualItemRect(item);
                ASSERT_TRUE(table.viewport()->rect().contains(cell)) << row << "," << column;
                EXPECT_LE(metrics.horizontalAdvance(item->text()), cell.width() - 2 * textMargin)
                    << item->text().toStdString() << " in a column " << cell.width() << " wide";
            }
        }
        for (int column = 0; column < 3; ++column)
            EXPECT_TRUE(table.item(7, column)->text().endsWith(QStringLiteral(" mHz"))) << table.item(7, column)->text().toStdString();
        EXPECT_TRUE(table.item(0, 0)->text().endsWith(QString::fromUtf8(c.unit))) << table.item(0, 0)->text().toStdString();
    }
    useLanguage(Language::Japanese);
}

TEST(GraphOnDisplay, AnalysisPanelLeavesTheControlsFree)
{
    skipWithoutDisplayServer();
    if (testing::Test::IsSkipped())
        return;
    GraphTool t;
    t.openThroughMainWindow(recording(100));
    const bool real = QGuiApplication::platformName() != QStringLiteral("offscreen");
    if (real) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(t.g));
    }
    const QRect area = t.g->screen()->availableGeometry();
    if (area.width() < 1280 || area.height() < 1024)
        GTEST_SKIP() << "the screen is " << area.width() << "x" << area.height() << ", not 1280x1024";
    ASSERT_EQ(t.g->size(), QSize(800, 550));  // the window as it opens
    t.render();
    QTest::mousePress(t.g, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 300));
    QTest::mouseMove(t.g, QPoint(400, 300));
    QTest::mouseRelease(t.g, Qt::LeftButton, Qt::ShiftModifier, QPoint(700, 300));
    AnalysisPanel& panel = t.feature->analysisPanel();
    ASSERT_TRUE(waitFor([&] { return panel.isVisible(); }));
    if (real) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }
    EXPECT_TRUE(area.contains(panel.frameGeometry()));
    QWidget* const controls[] = {t.g->ComboBox1, t.g->ComboBox2, t.g->Edit8,     t.g->Edit1,     t.g->Button2,
                                 t.g->Button4,   t.g->FitButton, t.g->UnitBox,   t.g->PngButton, t.g->SvgButton,
                                 t.g->PdfButton, t.g->CheckBox1, t.g->CheckBox2, t.g->CheckBox3, t.g->ScrollBar1,
                                 t.g->Label5,    t.g->Label2,    t.g->Label3,    t.g->Label1};
    for (QWidget* c : controls) {
        const QRect onScreen(c->mapToGlobal(QPoint(0, 0)), c->size());
        EXPECT_FALSE(panel.frameGeometry().intersects(onScreen))
            << c->objectName().toStdString() << " under the panel at " << panel.frameGeometry().x() << ","
            << panel.frameGeometry().y() << " " << panel.frameGeometry().width() << "x" << panel.frameGeometry().height();
        // What the screen shows at the control's middle is the control.
        QWidget* at = QApplication::widgetAt(onScreen.center());
        EXPECT_TRUE(at == c || c->isAncestorOf(at))
            << c->objectName().toStdString() << ": " << (at ? at->objectName().toStdString() : std::string("nothing"));
    }
    // 印刷 works with the panel open.
    auto printer = std::make_unique<PrinterDouble>();
    PrinterDouble& p = *printer;
    p.button = t.g->Button2;
    t.feature->setPrinter(std::move(printer));
    QTest::mouseClick(t.g->Button2, Qt::LeftButton);
    EXPECT_EQ(p.printed, 1);
    EXPECT_TRUE(panel.isVisible());
}

namespace {
// The texts of a picture exported as SVG, in the order written.
QStringList svgTexts(const QByteArray& svg)
{
    QStringList texts;
    const QString doc = QString::fromUtf8(svg);
    static const QRegularExpression text(QStringLiteral("<text[^>]*>([^<]*)</text>"));
    for (auto it = text.globalMatch(doc); it.hasNext();)
        texts << it.next().captured(1).trimmed();
    return texts;
}
}  // namespace

TEST(GraphWindow, TimeLabelsSayTheDateWhereTheTimeRepeats)
{
    GraphTool t;
    t.open(fullDownload());
    t.g->show();
    QTemporaryDir dir;
    const struct {
        const char* base;
        bool dated;
    } rows[] = {{"日", true}, {"6時間", true}, {"分", false}};
    for (const auto& row : rows) {
        pick(t.g->ComboBox1, QString::fromUtf8(row.base));
        t.render();
        const QString path = dir.path() + QStringLiteral("/%1.svg").arg(row.dated ? 1 : 0) + QString::fromUtf8(row.base);
        t.dialogs.files.push_back(path);
        QTest::mouseClick(t.g->SvgButton, Qt::LeftButton);
        const QStringList texts = svgTexts(readFile(path));
        // Each time label, with the date written under it when there is one.
        QStringList labels;
        for (int i = 0; i < texts.size(); ++i) {
            if (!texts[i].startsWith(QString::fromUtf8("↑")))
                continue;
            const bool date = i + 1 < texts.size() && QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d$")).match(texts[i + 1]).hasMatch();
            labels << (date ? texts[i] + QLatin1Char(' ') + texts[i + 1] : texts[i]);
        }
        ASSERT_GE(labels.size(), 3) << row.base << ": " << texts.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(QSet<QString>(labels.begin(), labels.end()).size(), labels.size())
            << row.base << ": labels read alike: " << labels.join(QLatin1Char('|')).toStdString();
        for (const QString& label : labels)
            EXPECT_EQ(label.contains(QLatin1Char('/')), row.dated) << row.base << ": " << label.toStdString();
    }
}

TEST(GraphWindow, ValueLabelsKeepClearOfTheAxisTheLegendAndTheLines)
{
    for (const auto unit : {ValueUnit::G, ValueUnit::MetresPerSecond2}) {
        SCOPED_TRACE(unit == ValueUnit::G ? "G" : "m/s2");
        GraphTool t;
        t.open(recording(0, false, "Start Year=2024 @1G=100"));  // the grid alone
        t.g->show();
        pick(t.g->UnitBox, unit == ValueUnit::G ? QStringLiteral("G") : QString::fromUtf8("m/s²"));
        const QImage image = t.render();
        // The axis runs unbroken from top to bottom.
        for (int y = 0; y < t.g->height() - 18; ++y) {
            ASSERT_EQ(image.pixelColor(28, y), QColor(Qt::black)) << "y " << y;
            ASSERT_EQ(image.pixelColor(29, y), QColor(Qt::black)) << "y " << y;
        }
        // The legend looks the same whatever the unit: no value label in it.
        const QRect legend(36, 12, 72, 68);
        static QImage reference;
        if (unit == ValueUnit::G)
            reference = image.copy(legend);
        else
            EXPECT_EQ(image.copy(legend), reference);
        // Every text stands alone, on no line: inside its box only the
        // text's own colours and the background.
        const QColor paper = image.pixelColor(t.g->width() - 5, 5);
        const std::vector<GraphFrame::Label>& labels = t.feature->lastFrame().labels;
        ASSERT_GE(labels.size(), 21u + 5u);
        for (size_t i = 0; i < labels.size(); ++i) {
            const QRect r = labels[i].rect;
            EXPECT_FALSE(r.intersects(QRect(27, 0, 4, t.g->height()))) << labels[i].text.toStdString();
            for (size_t j = i + 1; j < labels.size(); ++j)
                EXPECT_FALSE(r.intersects(labels[j].rect)) << labels[i].text.toStdString() << " / " << labels[j].text.toStdString();
            if (labels[i].text.contains(QLatin1Char('G')) || labels[i].text.contains(QStringLiteral("m/s"))) {
                // A grid line through a value label would leave a row of its
                // colour across the box's whole width.
                for (int y = r.top(); y <= r.bottom(); ++y) {
                    int run = 0;
                    for (int x = r.left() - 1; x <= r.right() + 1; ++x)
                        run = image.pixelColor(x, y) != paper && qGray(image.pixel(x, y)) > 100 ? run + 1 : 0;
                    EXPECT_LT(run, r.width()) << labels[i].text.toStdString() << " row " << y - r.top();
                }
            }
        }
    }
}
