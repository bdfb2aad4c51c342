#include "graph/GraphFeature.h"

#include "data/TForm4.h"
#include "graph/TForm2.h"
#include "platform/LogMemo.h"
#include "shell/TForm1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace zelt {

namespace {

constexpr int kMaxGraphLines = 65500;
constexpr int kGapMs = 1800001;  // a longer step between samples breaks the traces

class SystemPrinter : public GraphPrinter {
public:
    bool choosePrinter(QWidget* owner) override
    {
        QPrintDialog dialog(&printer_, owner);
        return dialog.exec() == QDialog::Accepted;
    }
    void printPage(const std::function<void(QPainter&, QPaintDevice&)>& draw) override
    {
        QPainter painter(&printer_);
        draw(painter, printer_);
    }

private:
    QPrinter printer_;
};

}  // namespace

std::unique_ptr<GraphPrinter> makeSystemPrinter() { return std::make_unique<SystemPrinter>(); }

GraphFeature::GraphFeature(TForm1& main, TForm2& graph, TForm4& statistics)
    : QObject(&graph), f1_(main), f_(graph), f4_(statistics), printer_(makeSystemPrinter())
{
    f1_.onClick(f1_.Button12, [this] { Button12Click(); });
    f_.onShow = [this] { f1_.guard([this] { FormShow(); }); };
    f_.onClose = [this] { FormClose(); };
    f_.onPaint = [this](QPainter& p) { FormPaint(p); };
    f_.onMouseDown = [this](int x) { f1_.guard([this, x] { FormMouseDown(x); }); };
    connect(f_.Button1, &QPushButton::clicked, this, [this] { f1_.guard([this] { Button1Click(); }); });
    connect(f_.Button4, &QPushButton::clicked, this, [this] { f1_.guard([this] { Button4Click(); }); });
    connect(f_.Button2, &QPushButton::clicked, this, [this] { f1_.guard([this] { Button2Click(); }); });
    connect(f_.ScrollBar1, &QScrollBar::valueChanged, this, [this] { f1_.guard([this] { ScrollBar1Change(); }); });
    connect(f_.ComboBox1, &QComboBox::currentIndexChanged, this,
            [this] { f1_.guard([this] { ComboBox1Change(); }); });
    connect(f_.ComboBox2, &QComboBox::currentIndexChanged, this,
            [this] { f1_.guard([this] { ComboBox2Change(); }); });
    for (QCheckBox* box : {f_.CheckBox1, f_.CheckBox2, f_.CheckBox3})
        connect(box, &QCheckBox::toggled, this, [this] { f_.update(); });
    f_.Edit1->installEventFilter(this);

    // Creation: the window starts centred, from the (empty) line list.
    if (f1_.platform.screenSize) {
        const QSize screen = f1_.platform.screenSize();
        f_.move((screen.width() - f_.width()) / 2, (screen.height() - f_.height()) / 2);
    }
    Button1Click();
    originX = 28;
    originY = 390;
    for (QCheckBox* box : {f_.CheckBox1, f_.CheckBox2, f_.CheckBox3})
        box->setChecked(true);
}

GraphFeature::~GraphFeature()
{
    f_.onShow = nullptr;
    f_.onClose = nullptr;
    f_.onPaint = nullptr;
    f_.onMouseDown = nullptr;
}

GraphFeature* GraphFeature::of(TForm2& graph)
{
    for (QObject* child : graph.children())
        if (auto* feature = dynamic_cast<GraphFeature*>(child))
            return feature;
    return nullptr;
}

bool GraphFeature::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == f_.Edit1 && event->type() == QEvent::MouseButtonDblClick) {
        Edit1DblClick();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

int GraphFeature::lineCount() const
{
    return std::min(f1_.decodedCount, f_.Memo1->count());
}

void GraphFeature::Button12Click()
{
    const ByteLines& memo = f1_.Memo1->store();
    const QByteArrayView line0 = memo.view(0);
    if (!line0.startsWith("Start"))
        return;
    f1_.countsPerG = countsPerGFromHeader(line0, f1_.countsPerG);
    f1_.decodedCount = std::min(memo.size(), kMaxGraphLines);
    f1_.recordLines.clear();
    for (int i = 0; i < f1_.decodedCount; ++i)
        f1_.recordLines.set(i, graphRecordLine(memo.view(i)));
    f_.close();
    f_.resize(800, 550);
    f_.show();
}

void GraphFeature::FormShow()
{
    originX = 28;
    originY = f_.height() / 2;
    Button1Click();
    Button4Click();
}

void GraphFeature::Button1Click()
{
    ByteLines lines;
    const int n = std::min(f1_.decodedCount, f1_.recordLines.size());
    for (int i = 0; i < n; ++i)
        lines.append(f1_.recordLines.view(i));
    f_.Memo1->setLines(std::move(lines));
}

void GraphFeature::Button4Click()
{
    const int count = lineCount();
    parseRecording(f_.Memo1->store(), count, table);
    if (table.hasRows()) {
        f_.Label2->setText(table.firstText);
        f_.Label3->setText(table.lastText);
    } else {
        f_.Label2->setText(QString());
        f_.Label3->setText(QString());
    }
    f_.Label1->setText(QString::number(table.backStepCount));
    // The scroll range ends at the last sample row; with no rows it is the
    // single position 3, where nothing is drawn.
    const int last = table.hasRows() ? table.lastRow : table.firstRow;
    const QSignalBlocker block(f_.ScrollBar1);
    f_.ScrollBar1->setMaximum(last);
    f_.ScrollBar1->setValue(std::clamp((count - 3) / 2, table.firstRow, last));
    f_.Label4->setText(QString::fromLatin1(table.timeText[f_.ScrollBar1->value()]));
    f_.update();
}

void GraphFeature::ScrollBar1Change()
{
    f_.update();
    f_.Label4->setText(QString::fromLatin1(table.timeText[f_.ScrollBar1->value()]));
}

void GraphFeature::ComboBox1Change()
{
    if (const auto item = timeBaseItem(f_.ComboBox1->currentText())) {
        scaleNumerator = item->numerator;
        scaleDenominator = item->denominator;
        f_.Edit8->setText(QString::number(item->value / 40));
    }
    const QString text = f_.Edit8->text();
    bool ok = false;
    const int divisor = text.trimmed().toInt(&ok);
    if (!ok)
        throw std::runtime_error(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    if (divisor <= 0)
        throw std::runtime_error(QStringLiteral("'%1' is not a valid time unit").arg(text).toStdString());
    timeDivisor = divisor;
    f_.update();
}

void GraphFeature::ComboBox2Change()
{
    const QString axis = f_.ComboBox2->currentText();
    statsAxis = axis == QStringLiteral("Y") ? 1 : axis == QStringLiteral("Z") ? 2 : 0;
    f_.update();
}

void GraphFeature::Edit1DblClick()
{
    f_.Edit1->setText(QStringLiteral("VOID"));
}

void GraphFeature::FormClose()
{
    f4_.close();
}

void GraphFeature::FormMouseDown(int x)
{
    markerOffset = x - centreX;
    if (markerOffset <= 0) {
        markerOffset = 0;
        f4_.hide();
    } else {
        const QSize screen = f1_.platform.screenSize ? f1_.platform.screenSize() : QSize(1024, 768);
        if (screen.height() >= 760)
            f4_.move(f_.x() + f_.width() / 3, f_.y() - f4_.height() + 20);
        else
            f4_.move(f_.x() + f_.width() / 6, f_.y() + 10);
        f4_.show();
        f4_.raise();
    }
    f4_.intervalStats.statsStartText = QStringLiteral("開始:") + f_.Label4->text();
    f_.update();
}

void GraphFeature::Button2Click()
{
    if (!printer_ || !printer_->choosePrinter(&f_))
        return;
    // The print button is left out of the picture, and comes back even when
    // the printer fails.
    struct ShowAgain {
        QPushButton* button;
        ~ShowAgain() { button->show(); }
    } showAgain{f_.Button2};
    f_.Button2->hide();
    const QImage image = f_.grab().toImage();
    printer_->printPage([&image](QPainter& painter, QPaintDevice& page) {
        const QSize size = printedSize(image.size(), page.logicalDpiX(), page.logicalDpiY());
        painter.drawImage(QRect(QPoint(0, 0), size), image);
    });
}

void GraphFeature::FormPaint(QPainter& p)
{
    const int W = f_.width();
    const int H = f_.height();
    const QPalette& pal = f_.palette();
    const QColor grey(0x80, 0x80, 0x80);
    const QColor shadow = pal.color(QPalette::Shadow);
    const QColor highlight = pal.color(QPalette::Highlight);
    const QColor grayText = pal.color(QPalette::Disabled, QPalette::WindowText);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    p.setFont(font);
    const auto text = [&p](int x, int y, const QColor& colour, const QString& s) {
        p.setPen(colour);
        p.drawText(QRect(x, y, 400, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, s);
    };
    const auto line = [&p](const QColor& colour, int x1, int y1, int x2, int y2) {
        p.setPen(colour);
        p.drawLine(x1, y1, x2, y2);
    };

    // 1, 2: title and axes
    f_.Label5->setText(f1_.currentFileName);
    line(grey, 0, originY - 1, W, originY - 1);
    line(Qt::black, 0, originY, W, originY);
    line(grey, 0, originY + 1, W, originY + 1);
    line(Qt::black, originX, 0, originX, H);
    line(Qt::black, originX + 1, 0, originX + 1, H);

    // 3: legend
    const QColor magenta(0xFF, 0x00, 0xFF), blue(0x00, 0x00, 0xFF), green(0x00, 0x80, 0x00), red(0xFF, 0, 0);
    const struct {
        int y;
        QColor colour;
        const char* label;
    } legend[] = {{20, red, "'C (G*10)"}, {32, highlight, "RH(G*10)"}, {44, magenta, "X"}, {56, blue, "Y"}, {68, green, "Z"}};
    for (const auto& row : legend) {
        line(row.colour, 38, row.y, 48, row.y);
        text(53, row.y - 5, shadow, QString::fromUtf8(row.label));
    }
    f_.CheckBox1->move(68, 38);
    f_.CheckBox2->move(68, 50);
    f_.CheckBox3->move(68, 62);

    // 4: value grid
    for (int v = -100; v <= 100; v += 10) {
        const int y = originY + 2 * v;
        QColor pen(0xC0, 0xC0, 0xC0);
        if (v % 20 == 0) {
            pen = grayText;
            if (v >= -40 && v <= 40)
                text(v <= 0 ? 40 : 35, y - 9, grayText, temperatureLabel(v));
        }
        if (v == 0)
            pen = Qt::black;
        line(pen, 0, y, W, y);
        text(5, y - 9, grayText, gLabel(v, f1_.countsPerG));
    }

    // 5: time divisions
    centreX = originX;
    centreY = originY;
    int division = 0;
    for (int t = 0; t < W; t += 40) {
        ++division;
        const bool centre = division == (W / 40) / 2;
        line(centre ? QColor(Qt::black) : grey, t + 28, originY - 200, t + 28, originY + 200);
        if (centre) {
            centreX = t + 28;
            centreY = originY;
        }
    }

    // 6: the interval bracket
    const int xm = centreX + markerOffset;
    if (markerOffset != 0) {
        const QColor lime(0x00, 0xFF, 0x00);
        line(lime, xm, centreY - 100, xm, centreY + 100);
        line(lime, centreX, centreY - 100, xm, centreY - 100);
        line(lime, centreX, centreY + 100, xm, centreY + 100);
    }

    // 7
    f_.Label4->move(centreX, centreY - 200);

    markerEnd = 0;
    if (!table.hasRows())
        return;

    // 8: x mapping and the average step
    const GraphSampleTable& t = table;
    const TimeScale sc = scale();
    const int P = std::clamp(f_.ScrollBar1->value(), t.firstRow, t.lastRow);
    const std::int32_t base = t.timeMs[P];
    const auto xOf = [&](int k) { return sc.pixels(std::int64_t(t.timeMs[k]) - base) + centreX; };
    int steps = 0;
    std::int64_t stepSum = 0;
    for (int k = P; k < P + 10 && k + 1 <= t.lastRow; ++k, ++steps)
        stepSum += xOf(k + 1) - xOf(k);
    const int A = steps > 0 ? static_cast<int>(stepSum / steps) : 0;

    const auto timeLabel = [&](int k, bool atOffsetZero) {
        const int offset = sc.pixels(std::int64_t(t.timeMs[k]) - base);
        if (offset % 80 != 0 || (offset == 0 && !atOffsetZero) || !t.sample[k])
            return;
        const QByteArray clock = t.timeText[k].mid(6, scaleNumerator == 100 ? 11 : 8);
        text(xOf(k) - 5, centreY + 150, shadow, QString::fromUtf8("↑") + QString::fromLatin1(clock));
    };
    // The piece between rows a and b (both samples, close enough in time).
    const auto piece = [&](int a, int b, int xa, int xb, bool forward) {
        if (!t.sample[a] || !t.sample[b] || !t.parsed(a) || !t.parsed(b))
            return;
        if (std::abs(std::int64_t(t.timeMs[b]) - t.timeMs[a]) >= kGapMs)
            return;
        const auto y = [&](std::int32_t value) { return static_cast<int>(centreY - 2LL * value); };
        line(red, xa, y(t.temperature[a]), xb, y(t.temperature[b]));
        if (t.humidity[a] != 0)
            line(highlight, xa, y(t.humidity[a]), xb, y(t.humidity[b]));
        const bool wide = (forward ? xb - xa : xa - xb) > 2 * A;
        if (f_.CheckBox1->isChecked())
            line(wide ? grey : magenta, xa, y(t.x[a]), xb, y(t.x[b]));
        if (f_.CheckBox2->isChecked())
            line(wide ? grey : blue, xa, y(t.y[a]), xb, y(t.y[b]));
        if (f_.CheckBox3->isChecked())
            line(wide ? grey : green, xa, y(t.z[a]), xb, y(t.z[b]));
    };

    // 9, 10: forward pass
    const int count = lineCount();
    int k = P;
    while (!(k >= count - 1) && k + 1 < GraphSampleTable::kRows) {
        const int xk = xOf(k);
        if (xk > W)
            break;
        timeLabel(k, true);
        const int xNext = xOf(k + 1);
        if (markerOffset != 0 && markerEnd == 0 && t.parsed(k + 1) && xNext > xm) {
            markerStart = P;
            markerEnd = k;
            f4_.intervalStats.statsEndText = QStringLiteral("終了:") + QString::fromLatin1(t.timeText[k]);
        }
        piece(k, k + 1, xk, xNext, true);
        ++k;
    }
    const int E = k;

    // 11, 12: backward pass
    k = P;
    while (k > t.firstRow && !(xOf(k) <= originX && xOf(k - 1) <= originX)) {
        timeLabel(k, false);
        piece(k, k - 1, xOf(k), xOf(k - 1), false);
        --k;
    }
    const int B = k;
    f_.setWindowTitle(QString::asprintf("start= %dend=%d", B, E));

    // 13: statistics of the interval
    if (markerOffset != 0)
        computeIntervalStats(t, markerStart, markerEnd, statsAxis, f_.Edit1->text(), f4_.intervalStats);
}

}  // namespace zelt
