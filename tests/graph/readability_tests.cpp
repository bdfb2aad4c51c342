// The windows as a user with another desktop sees them: a dark palette and a
// larger font. Colours are judged by the contrast of what is painted
// against the background painted under it; labels by where their texts
// stand.
#include "tests/AppFixture.h"
#include "graph/GraphFeature.h"
#include "graph/TForm2.h"
#include "data/TForm5.h"
#include "settings/TForm3.h"
#include "platform/Readable.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionButton>
#include <gtest/gtest.h>
#include <map>

using namespace zelt;
using zelt::test::AppFixture;
using zelt::test::waitFor;

namespace {

// A dark desktop palette, as dark themes set it: light text on dark grey,
// the 3-D shadow black.
QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Base, QColor(0x2A, 0x2A, 0x2A));
    p.setColor(QPalette::AlternateBase, QColor(0x42, 0x42, 0x42));
    p.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::ToolTipBase, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::ToolTipText, QColor(0xEE, 0xEE, 0xEE));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x7F, 0x7F, 0x7F));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x7F, 0x7F, 0x7F));
    return p;
}

// The application's palette or font for the length of a test.
struct PaletteScope {
    QPalette saved = QApplication::palette();
    explicit PaletteScope(const QPalette& p) { QApplication::setPalette(p); }
    ~PaletteScope() { QApplication::setPalette(saved); }
};
struct FontScope {
    QFont saved = QApplication::font();
    explicit FontScope(const QFont& f) { QApplication::setFont(f); }
    ~FontScope() { QApplication::setFont(saved); }
};

// One sample a second from 09:00:00: X 20, Y -12, Z 40, 10 °C, 30 %RH.
std::vector<QByteArray> recording(int samples)
{
    std::vector<QByteArray> lines{"Start Year=2024 @1G=10", "date time,x(G),y(G),z(G),temperature(C)", "OK"};
    for (int i = 0; i < samples; ++i)
        lines.push_back(QStringLiteral("2024/06/24 09:%1:%2.000, 20,-12, 40, 10.4, 30")
                            .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                            .arg(i % 60, 2, 10, QLatin1Char('0'))
                            .toLatin1());
    lines.insert(lines.end(), {"", "end", ""});
    return lines;
}

// The colour in rect that stands out most from the background: the colour
// a text or line in it is painted in.
QColor strongest(const QImage& image, const QRect& rect, const QColor& background)
{
    QColor best = background;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (QRect(QPoint(0, 0), image.size()).contains(x, y) &&
                contrastRatio(image.pixelColor(x, y), background) > contrastRatio(best, background))
                best = image.pixelColor(x, y);
    return best;
}

// The colour most pixels of the image (or of a part) have: the background
// painted there.
QColor commonest(const QImage& image, QRect part = QRect())
{
    if (part.isNull())
        part = image.rect();
    const int step = part.width() * part.height() > 10000 ? 2 : 1;
    std::map<QRgb, int> counts;
    for (int y = part.top(); y <= part.bottom(); y += step)
        for (int x = part.left(); x <= part.right(); x += step)
            ++counts[image.pixel(x, y)];
    return QColor::fromRgb(std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first);
}

}  // namespace

TEST(DarkPalette, GraphAxesTracesAndTextsStandOut)
{
    PaletteScope dark(darkPalette());
    AppFixture tool;
    TForm1& f = tool.start();
    f.Memo1->setLines(recording(100));
    f.Button12->click();
    TForm2& g = tool.app->form2();
    GraphFeature& feature = *GraphFeature::of(g);
    ASSERT_TRUE(g.isVisible());
    QImage image = g.grab().toImage();
    const QColor paper = commonest(image);
    ASSERT_TRUE(isDarkBackground(paper)) << paper.name().toStdString();
    const int cx = feature.centreX, cy = feature.centreY;
    // Lines: 3:1 against the background painted.
    const struct {
        QRect where;
        const char* what;
    } lines[] = {{QRect(29, 500, 1, 1), "axis"},
                 {QRect(300, cy, 1, 1), "zero line"},
                 {QRect(cx, cy + 120, 1, 1), "centre line"},
                 {QRect(cx + 20, cy - 40, 1, 1), "X trace"},
                 {QRect(cx + 20, cy + 20, 1, 9), "Y trace"},
                 {QRect(cx + 20, cy - 80, 1, 1), "Z trace"},
                 {QRect(cx + 20, cy - 20, 1, 1), "temperature trace"},
                 {QRect(cx + 20, cy - 60, 1, 1), "humidity trace"}};
    for (const auto& line : lines) {
        const QColor c = strongest(image, line.where, paper);
        EXPECT_GE(contrastRatio(c, paper), kLineContrast) << line.what << " " << c.name().toStdString() << " on "
                                                          << paper.name().toStdString();
    }
    // Texts: 4.5:1, every one the paint wrote (legend, value and
    // temperature labels, times).
    const auto& labels = feature.lastFrame().labels;
    ASSERT_GE(labels.size(), 20u);
    for (const auto& label : labels) {
        const QColor c = strongest(image, label.rect, paper);
        EXPECT_GE(contrastRatio(c, paper), kTextContrast)
            << label.text.toStdString() << " " << c.name().toStdString() << " on " << paper.name().toStdString();
    }
    // The steps drawn in the grey of long ones: at the last sample there is
    // no step to average, so every piece is one.
    g.ScrollBar1->setValue(g.ScrollBar1->maximum());
    image = g.grab().toImage();
    const QColor wide = strongest(image, QRect(feature.centreX - 20, cy - 40, 1, 1), paper);
    EXPECT_GE(contrastRatio(wide, paper), kLineContrast) << wide.name().toStdString();
}

TEST(DarkPalette, MainWindowNoticeAndLabelsStandOut)
{
    PaletteScope dark(darkPalette());
    AppFixture tool;
    TForm1& f = tool.start();
    f.show();
    // The notice the window shows on a simulated logger's port.
    f.simulatorNotice->setText(QStringLiteral("Simulated logger on COM9 (zelt-sim 1234)"));
    f.simulatorNotice->show();
    f.Label24->setText(QStringLiteral("COM9"));
    const QImage image = f.grab().toImage();
    ASSERT_TRUE(isDarkBackground(commonest(image)));
    for (QLabel* label : f.findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().trimmed().isEmpty() || !label->pixmap().isNull())
            continue;
        const QRect box(label->mapTo(&f, QPoint(0, 0)), label->size());
        if (!QRect(QPoint(0, 0), f.size()).contains(box.center()))
            continue;
        const QColor paper = commonest(image, box.intersected(image.rect()));  // what is under its text
        const QColor c = strongest(image, box, paper);
        EXPECT_GE(contrastRatio(c, paper), kTextContrast)
            << label->objectName().toStdString() << " " << c.name().toStdString() << " on " << paper.name().toStdString();
    }
}

namespace {

// Every visible label of window whose place lies on the window: its text
// fits its place, or is elided with the whole text in its tooltip; no text
// is cut at top or bottom or by the window's edge, and no two texts overlap.
void expectLabelsReadable(QWidget* window, const char* what)
{
    const QRect shown(QPoint(0, 0), window->size());
    std::vector<std::pair<QLabel*, QRect>> texts;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty() || label->isWindow())
            continue;
        const QRect box(label->mapTo(window, QPoint(0, 0)), label->size());
        if (!shown.intersects(box))
            continue;  // on the part of the window out of sight
        QRect area = label->contentsRect();
        area.adjust(label->margin(), label->margin(), -label->margin(), -label->margin());
        const QSize need =
            label->fontMetrics().boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, label->text()).size();
        const std::string name = std::string(what) + " " + label->objectName().toStdString() + " \"" +
                                 label->text().toStdString() + "\"";
        if (need.width() > area.width()) {
            EXPECT_TRUE(label->toolTip().startsWith(label->text())) << name << ": cut without its tooltip";
        }
        // Across, the text's advance (or the place, elided); up and down,
        // its ink where the label centres its line.
        const QRect line = QStyle::alignedRect(label->layoutDirection(), label->alignment(),
                                               QSize(std::min(need.width(), area.width()), need.height()), area)
                               .translated(box.topLeft());
        QRect text = line;
        if (!label->text().contains(QLatin1Char('\n'))) {
            const QRect ink = label->fontMetrics().tightBoundingRect(label->text());
            text.setTop(line.top() + label->fontMetrics().ascent() + ink.top());
            text.setBottom(line.top() + label->fontMetrics().ascent() + ink.bottom());
        }
        EXPECT_TRUE(area.translated(box.topLeft()).contains(text)) << name << ": cut at top or bottom";
        EXPECT_TRUE(shown.contains(text)) << name << ": cut by the window's edge";
        texts.emplace_back(label, text);
    }
    ASSERT_FALSE(texts.empty()) << what;
    for (size_t i = 0; i < texts.size(); ++i)
        for (size_t j = i + 1; j < texts.size(); ++j)
            EXPECT_FALSE(texts[i].second.intersects(texts[j].second))
                << what << ": " << texts[i].first->objectName().toStdString() << " \""
                << texts[i].first->text().toStdString() << "\" and " << texts[j].first->objectName().toStdString()
                << " \"" << texts[j].first->text().toStdString() << "\"";
}

}  // namespace

namespace {

// Every visible push button of window that lies on the window: its caption
// (the button's text, unchanged) fits the place the style writes it in, or
// it is shown elided with the whole caption in its tooltip; no button is
// pushed over another.
void expectCaptionsReadable(QWidget* window, const char* what)
{
    const QRect shown(QPoint(0, 0), window->size());
    std::vector<std::pair<QPushButton*, QRect>> buttons;
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (!button->isVisible() || button->text().isEmpty() || button->isWindow())
            continue;
        const QRect box(button->mapTo(window, QPoint(0, 0)), button->size());
        if (!shown.intersects(box))
            continue;  // on the part of the window out of sight
        const std::string name =
            std::string(what) + " " + button->objectName().toStdString() + " \"" + button->text().toStdString() + "\"";
        QStyleOptionButton option;
        option.initFrom(button);
        if (button->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        if (button->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
        option.text = button->text();
        const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const int need = button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width();
        if (need > contents.width()) {
            EXPECT_TRUE(button->toolTip().startsWith(button->text()))
                << name << ": caption " << need << " wide in " << contents.width() << ", cut without its tooltip";
        }
        buttons.emplace_back(button, box);
    }
    ASSERT_FALSE(buttons.empty()) << what;
    for (size_t i = 0; i < buttons.size(); ++i)
        for (size_t j = i + 1; j < buttons.size(); ++j)
            EXPECT_FALSE(buttons[i].second.intersects(buttons[j].second))
                << what << ": " << buttons[i].first->objectName().toStdString() << " and "
                << buttons[j].first->objectName().toStdString() << " overlap";
}

}  // namespace

TEST(LargerFont, ButtonCaptionsShowWholeOrElidedWithTheirTooltip)
{
    for (const int points : {9, 12, 14}) {
        SCOPED_TRACE(points);
        QFont font(QStringLiteral("Noto Sans CJK JP"), points);
        FontScope larger(font);
        AppFixture tool;
        TForm1& f = tool.start();
        f.show();
        QTest::qWait(1);
        expectCaptionsReadable(&f, "main window");
        // The enlarged view, opened with "↓".
        QTest::mouseClick(f.Label20, Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return f.height() > f.compactHeight; }));
        expectCaptionsReadable(&f, "main window enlarged");

        f.Memo1->setLines(recording(100));
        QTest::mouseClick(f.Button12, Qt::LeftButton);
        TForm2& g = tool.app->form2();
        ASSERT_TRUE(waitFor([&] { return g.isVisible(); }));
        QTest::qWait(1);
        expectCaptionsReadable(&g, "graph window");

        for (QWidget* dialog : std::initializer_list<QWidget*>{&tool.app->form3(), &tool.app->form5(), &tool.app->form6()}) {
            dialog->show();
            QTest::qWait(1);
            expectCaptionsReadable(dialog, dialog->objectName().toLatin1().constData());
            dialog->hide();
        }
    }
}

TEST(LargerFont, LabelsNeitherOverlapNorGetCut)
{
    // The tool's own font, and one a third and a half larger again, as a
    // desktop set to larger text gives it.
    for (const int points : {9, 12, 14}) {
        SCOPED_TRACE(points);
        QFont font(QStringLiteral("Noto Sans CJK JP"), points);
        FontScope larger(font);
        AppFixture tool;
        TForm1& f = tool.start();
        f.show();
        // What the window shows once linked to a simulated logger.
        f.simulatorNotice->setText(QStringLiteral("Simulated logger on COM9 (zelt-sim 1234)"));
        f.simulatorNotice->show();
        f.Label41->setText(QString::fromUtf8("接続"));
        f.Label33->setText(QStringLiteral("ZELT-100 Ver 3.21"));
        f.Label6->setText(QStringLiteral("2024/06/24 09:00"));
        f.Label26->setToolTip(QStringLiteral("what the label does"));  // a tooltip of the window's own
        QTest::qWait(1);
        expectLabelsReadable(&f, "main window");
        EXPECT_TRUE(f.Label26->toolTip().endsWith(QStringLiteral("what the label does")));
        // The enlarged view, opened with "↓".
        QTest::mouseClick(f.Label20, Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return f.height() > f.compactHeight; }));
        expectLabelsReadable(&f, "main window enlarged");

        f.Memo1->setLines(recording(100));
        QTest::mouseClick(f.Button12, Qt::LeftButton);
        TForm2& g = tool.app->form2();
        ASSERT_TRUE(waitFor([&] { return g.isVisible(); }));
        g.grab();  // a paint places the centre time
        QTest::qWait(1);
        expectLabelsReadable(&g, "graph window");
    }
}
