#include "graph/GraphFeature.h"

#include "data/TForm4.h"
#include "graph/TForm2.h"
#include "platform/LogMemo.h"
#include "shell/TForm1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace zelt {

namespace {

constexpr int kGapMs = 1800001;  // a longer step between samples breaks the traces

// The grid's labels and lines in the desktop's "grey text" colour: a mid
// grey that reads well on the window's light background.
const QColor kGrayText(109, 109, 109);

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
    // A pick applies its item every time, the item already shown included.
    connect(f_.ComboBox1, &QComboBox::activated, this, [this] { f1_.guard([this] { ComboBox1Change(); }); });
    connect(f_.ComboBox2, &QComboBox::activated, this, [this] { f1_.guard([this] { ComboBox2Change(); }); });
    connect(f_.Edit8, &QLineEdit::returnPressed, this, [this] { f1_.guard([this] { Edit8Return(); }); });
    // The statistics follow the mean override as it is typed.
    connect(f_.Edit1, &QLineEdit::textChanged, this, [this] { f_.update(); });
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
    if (!line0.startsWith("Start")) {
        // A data set that is no recording is refused, and the user told why.
        f1_.dialogs().message(memo.size() == 0 || (memo.size() == 1 && line0.isEmpty())
                                  ? QStringLiteral("グラフを表示できません: ログにデータがありません")
                                  : QStringLiteral("グラフを表示できません: 1行目が「Start」で始まっていません（記録データではありません）"));
        return;
    }
    f1_.countsPerG = countsPerGFromHeader(line0, f1_.countsPerG);
    f1_.decodedCount = std::min(memo.size(), lineLimit_);
    f1_.recordLines.clear();
    for (int i = 0; i < f1_.decodedCount; ++i)
        f1_.recordLines.set(i, graphRecordLine(memo.view(i)));
    if (memo.size() > lineLimit_)
        f1_.dialogs().message(QStringLiteral("データが多すぎます。グラフは先頭の%1行だけを表示します (全%2行)")
                                  .arg(lineLimit_)
                                  .arg(memo.size()));
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
    applyEdit8();
}

void GraphFeature::Edit8Return()
{
    // As the blank item: the typed divisor with the last factor. The list
    // shows the blank item, since no named time base applies any more.
    applyEdit8();
    f_.ComboBox1->setCurrentIndex(f_.ComboBox1->count() - 1);
}

void GraphFeature::applyEdit8()
{
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
        QPoint at = screen.height() >= 760 ? QPoint(f_.x() + f_.width() / 3, f_.y() - f4_.height() + 20)
                                           : QPoint(f_.x() + f_.width() / 6, f_.y() + 10);
        // The whole window, title bar included, stays on the graph window's
        // screen.
        if (const QScreen* on = f_.screen()) {
            const QRect area = on->availableGeometry();
            const QSize frame = f4_.frameGeometry().size().expandedTo(f4_.size());
            at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width())));
            at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height())));
        }
        f4_.move(at);
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
        // Physical size, or the whole window scaled down to the page.
        const QSize size =
            printedSize(image.size(), page.logicalDpiX(), page.logicalDpiY(), QSize(page.width(), page.height()));
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
    const QColor grayText = kGrayText;
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    p.setFont(font);
    const QFontMetrics metrics(font);
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

    // 4: value grid. The temperature labels stand clear of the widest G
    // label, their digits in one column whatever the sign.
    int widestG = 0;
    for (int v = -100; v <= 100; v += 10)
        widestG = std::max(widestG, metrics.horizontalAdvance(gLabel(v, f1_.countsPerG)));
    const int temperatureX = 5 + widestG + 10 + metrics.horizontalAdvance(QLatin1Char('-'));
    for (int v = -100; v <= 100; v += 10) {
        const int y = originY + 2 * v;
        QColor pen(0xC0, 0xC0, 0xC0);
        if (v % 20 == 0) {
            pen = grayText;
            if (v >= -40 && v <= 40) {
                const QString label = temperatureLabel(v);
                const int minus = label.startsWith(QLatin1Char('-')) ? metrics.horizontalAdvance(QLatin1Char('-')) : 0;
                text(temperatureX - minus, y - 9, grayText, label);
            }
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

    // 8: x mapping and the average step between samples
    const GraphSampleTable& t = table;
    const TimeScale sc = scale();
    const int P = std::clamp(f_.ScrollBar1->value(), t.firstRow, t.lastRow);
    const std::int64_t base = t.timeMs[P];
    const auto xOf = [&](int k) { return sc.pixels(t.timeMs[k] - base) + centreX; };
    int steps = 0;
    std::int64_t stepSum = 0;
    for (int k = t.isSample(P) ? P : t.nextSample[P]; k >= 0 && steps < 10 && t.nextSample[k] >= 0; ++steps) {
        stepSum += xOf(t.nextSample[k]) - xOf(k);
        k = t.nextSample[k];
    }
    const std::int64_t A = steps > 0 ? stepSum / steps : 0;

    // Time labels keep clear of each other: one whose text would run into a
    // label already written is left out.
    std::vector<std::pair<std::int64_t, std::int64_t>> labelSpans;
    const auto timeLabel = [&](int k, bool atOffsetZero) {
        const std::int64_t offset = sc.pixels(t.timeMs[k] - base);
        if (offset % 80 != 0 || (offset == 0 && !atOffsetZero) || !t.sample[k])
            return;
        const std::int64_t x = xOf(k) - 5;
        if (x > W || x < -400)
            return;
        const QByteArray clock = t.timeText[k].mid(6, scaleNumerator == 100 ? 11 : 8);
        const QString label = QString::fromUtf8("↑") + QString::fromLatin1(clock);
        const std::int64_t right = x + metrics.horizontalAdvance(label) + 2;
        for (const auto& span : labelSpans)
            if (x < span.second && span.first < right)
                return;
        labelSpans.emplace_back(x, right);
        text(static_cast<int>(x), centreY + 150, shadow, label);
    };
    // The piece between sample rows a and b, when they are close enough in
    // time; rows between them that are no sample are passed over.
    const auto piece = [&](int a, int b, std::int64_t xa, std::int64_t xb, bool forward) {
        if (a < 0 || b < 0 || !t.isSample(a) || !t.isSample(b))
            return;
        if (std::abs(t.timeMs[b] - t.timeMs[a]) >= kGapMs)
            return;
        const bool wide = (forward ? xb - xa : xa - xb) > 2 * A;
        const auto trace = [&](const QColor& colour, std::int32_t va, std::int32_t vb) {
            const auto cut = clipPiece(xa, centreY - 2LL * va, xb, centreY - 2LL * vb, -16, W + 16);
            if (!cut)
                return;
            p.setPen(colour);
            p.drawLine(cut->toLine());
        };
        trace(red, t.temperature[a], t.temperature[b]);
        if (t.humidity[a] != 0)
            trace(highlight, t.humidity[a], t.humidity[b]);
        if (f_.CheckBox1->isChecked())
            trace(wide ? grey : magenta, t.x[a], t.x[b]);
        if (f_.CheckBox2->isChecked())
            trace(wide ? grey : blue, t.y[a], t.y[b]);
        if (f_.CheckBox3->isChecked())
            trace(wide ? grey : green, t.z[a], t.z[b]);
    };

    // 9, 10: forward pass. Each sample row is joined to the next sample row;
    // when the centre row is none, the piece across it joins its neighbours.
    const int count = lineCount();
    if (!t.isSample(P))
        piece(t.previousSample[P], t.nextSample[P], xOf(std::max(t.previousSample[P], 0)),
              xOf(std::max(t.nextSample[P], 0)), true);
    int k = P;
    while (!(k >= count - 1) && k + 1 < t.rows()) {
        const std::int64_t xk = xOf(k);
        if (xk > W)
            break;
        if (t.isSample(k)) {
            timeLabel(k, true);
            const int next = t.nextSample[k];
            if (next >= 0) {
                const std::int64_t xNext = xOf(next);
                if (markerOffset != 0 && markerEnd == 0 && xNext > xm) {
                    markerStart = P;
                    markerEnd = k;
                    f4_.intervalStats.statsEndText = QStringLiteral("終了:") + QString::fromLatin1(t.timeText[k]);
                }
                piece(k, next, xk, xNext, true);
            }
        }
        ++k;
    }
    const int E = k;

    // 11, 12: backward pass, each sample row joined to the sample before it
    k = P;
    while (k > t.firstRow && !(xOf(k) <= originX && xOf(k - 1) <= originX)) {
        if (t.isSample(k)) {
            timeLabel(k, false);
            const int previous = t.previousSample[k];
            if (previous >= 0)
                piece(k, previous, xOf(k), xOf(previous), false);
        }
        --k;
    }
    const int B = k;
    f_.setWindowTitle(QString::asprintf("start= %dend=%d", B, E));

    // 13: statistics of the interval
    if (markerOffset != 0)
        computeIntervalStats(t, markerStart, markerEnd, statsAxis, f_.Edit1->text(), f4_.intervalStats);
}

}  // namespace zelt
