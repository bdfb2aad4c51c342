#include "graph/GraphFeature.h"

#include "data/TForm4.h"
#include "graph/AnalysisPanel.h"
#include "graph/PlotMath.h"
#include "graph/TForm2.h"
#include "platform/LineFiles.h"
#include "platform/LogMemo.h"
#include "shell/TForm1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
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

QRect panelPlace(QSize preferred, QSize minimum, const QRect& graphFrame, const std::vector<QRect>& controls,
                 const QRect& area, const QMargins& frame)
{
    constexpr int kGap = 8;
    const QSize extra(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QSize room = area.size() - extra;
    minimum = minimum.boundedTo(room).expandedTo(QSize(1, 1));
    preferred = preferred.expandedTo(minimum).boundedTo(room);
    const QSize sizes[] = {preferred, QSize(preferred.width(), minimum.height()), QSize(minimum.width(), preferred.height()),
                           minimum};
    // The place first tried: right of the graph window, level with its top.
    const QPoint wanted(graphFrame.right() + 1 + kGap, graphFrame.top());

    QRect best;
    std::int64_t bestOverlap = -1, bestDistance = 0;
    int bestSize = 0;
    for (int si = 0; si < 4; ++si) {
        const QSize outer = sizes[si] + extra;
        std::vector<int> xs{area.left(), area.right() + 1 - outer.width(), graphFrame.left(),
                            graphFrame.right() + 1 - outer.width(), wanted.x(), graphFrame.left() - kGap - outer.width()};
        std::vector<int> ys{area.top(), area.bottom() + 1 - outer.height(), graphFrame.top(),
                            graphFrame.bottom() + 1 - outer.height(), graphFrame.bottom() + 1 + kGap,
                            graphFrame.top() - kGap - outer.height()};
        for (const QRect& c : controls) {
            xs.push_back(c.right() + 1 + kGap);
            xs.push_back(c.left() - kGap - outer.width());
            ys.push_back(c.bottom() + 1 + kGap);
            ys.push_back(c.top() - kGap - outer.height());
        }
        for (const int x : xs) {
            for (const int y : ys) {
                const QRect r(QPoint(x, y), outer);
                if (!area.contains(r))
                    continue;
                const QRect clear = r.adjusted(-kGap / 2, -kGap / 2, kGap / 2, kGap / 2);
                if (std::any_of(controls.begin(), controls.end(), [&](const QRect& c) { return c.intersects(clear); }))
                    continue;
                const QRect covered = r.intersected(graphFrame);
                const std::int64_t overlap = std::int64_t(covered.width()) * covered.height();
                const std::int64_t distance = std::int64_t(std::abs(x - wanted.x())) + std::abs(y - wanted.y());
                // Least of the graph covered; then the largest size; then
                // nearest the place first tried.
                const bool better = bestOverlap < 0 || overlap < bestOverlap ||
                                    (overlap == bestOverlap && (si < bestSize || (si == bestSize && distance < bestDistance)));
                if (better) {
                    best = r;
                    bestOverlap = overlap;
                    bestSize = si;
                    bestDistance = distance;
                }
            }
        }
        if (bestOverlap == 0)
            break;  // a smaller size would only do worse
    }
    if (bestOverlap < 0) {
        // Controls everywhere: beside the graph as far as the screen allows.
        const QSize outer = preferred + extra;
        best = QRect(QPoint(std::clamp(wanted.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())),
                            std::clamp(wanted.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height()))),
                     outer);
    }
    return best.marginsRemoved(frame);
}

GraphFeature::GraphFeature(TForm1& main, TForm2& graph, TForm4& statistics)
    : QObject(&graph), f1_(main), f_(graph), f4_(statistics), printer_(makeSystemPrinter())
{
    f1_.onClick(f1_.Button12, [this] { Button12Click(); });
    f_.onShow = [this] { f1_.guard([this] { FormShow(); }); };
    f_.onClose = [this] { FormClose(); };
    f_.onPaint = [this](QPainter& p) { FormPaint(p); };
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
    f_.installEventFilter(this);

    connect(f_.FitButton, &QPushButton::clicked, this, [this] { f1_.guard([this] { fitAll(); }); });
    connect(f_.UnitBox, &QComboBox::activated, this, [this](int index) {
        f1_.guard([this, index] { setUnit(index == 1 ? ValueUnit::MetresPerSecond2 : ValueUnit::G); });
    });
    connect(f_.PngButton, &QPushButton::clicked, this, [this] { f1_.guard([this] { exportPicture(QStringLiteral("png")); }); });
    connect(f_.SvgButton, &QPushButton::clicked, this, [this] { f1_.guard([this] { exportPicture(QStringLiteral("svg")); }); });
    connect(f_.PdfButton, &QPushButton::clicked, this, [this] { f1_.guard([this] { exportPicture(QStringLiteral("pdf")); }); });
    QPalette tip = f_.Readout->palette();
    tip.setColor(QPalette::Window, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::WindowText, tip.color(QPalette::ToolTipText));
    f_.Readout->setPalette(tip);

    panel_ = new AnalysisPanel(&f_);
    panel_->onSaveCsv = [this] { f1_.guard([this] { exportSelection(); }); };
    if (f1_.platform.preferences &&
        f1_.platform.preferences->value(QStringLiteral("graph/unit")) == QStringLiteral("m/s2"))
        unit_ = ValueUnit::MetresPerSecond2;
    f_.UnitBox->setCurrentIndex(unit_ == ValueUnit::G ? 0 : 1);

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
    if (watched == &f_) {
        bool handled = false;
        f1_.guard([&] { handled = mouseEvent(event); });
        if (handled)
            return true;
    }
    return QObject::eventFilter(watched, event);
}

bool GraphFeature::mouseEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* e = static_cast<QMouseEvent*>(event);
        press_ = Press{};
        press_.active = true;
        press_.at = e->position().toPoint();
        press_.select = e->button() == Qt::RightButton || (e->modifiers() & Qt::ShiftModifier);
        press_.centreTime = table.hasRows() ? table.timeMs[std::clamp(f_.ScrollBar1->value(), table.firstRow, table.lastRow)] : 0;
        press_.tenths = tenthsPerPixel(scaleNumerator, scaleDenominator, timeDivisor);
        return true;
    }
    case QEvent::MouseMove: {
        const auto* e = static_cast<QMouseEvent*>(event);
        const QPoint at = e->position().toPoint();
        if (!press_.active) {
            hoverAt(at);
            return true;
        }
        if (!press_.dragging && (at - press_.at).manhattanLength() < 4)
            return true;
        press_.dragging = true;
        if (press_.select) {
            selectColumns(press_.at.x(), at.x());
        } else {
            // The time under the mouse as the press began stays under it.
            centreOnTime(press_.centreTime - (at.x() - press_.at.x()) * press_.tenths / 10);
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        if (!press_.active)
            return false;
        const auto* e = static_cast<QMouseEvent*>(event);
        const Press press = press_;
        press_ = Press{};
        if (!press.dragging) {
            // A click: the interval marker, and the readout pinned there.
            FormMouseDown(press.at.x());
            pinAt(press.at);
        } else if (press.select) {
            selectColumns(press.at.x(), e->position().toPoint().x());
            updateAnalysis();
        }
        return true;
    }
    case QEvent::Wheel: {
        const auto* e = static_cast<QWheelEvent*>(event);
        const int steps = e->angleDelta().y() / 120;
        if (steps != 0)
            zoomAt(e->position().toPoint().x(), steps);
        return true;
    }
    case QEvent::Leave:
        if (pinnedRow_ < 0)
            f_.Readout->hide();
        return false;
    case QEvent::KeyPress: {
        const auto* e = static_cast<QKeyEvent*>(event);
        switch (e->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomAt(centreX, 1);
            return true;
        case Qt::Key_Minus:
            zoomAt(centreX, -1);
            return true;
        case Qt::Key_Left:
            scrollByPixels(-40);
            return true;
        case Qt::Key_Right:
            scrollByPixels(40);
            return true;
        case Qt::Key_Home:
            scrollToEnd(false);
            return true;
        case Qt::Key_End:
            scrollToEnd(true);
            return true;
        case Qt::Key_Escape:
            unpin();
            return true;
        default:
            return false;
        }
    }
    default:
        return false;
    }
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
    // Lines that need no change are shared with the memo, not copied: the
    // line list costs its index only.
    bool unchanged = true;
    for (int i = 0; i < f1_.decodedCount && unchanged; ++i)
        unchanged = !needsGraphRewrite(memo.view(i));
    if (unchanged) {
        f1_.recordLines = memo;
        f1_.recordLines.truncate(f1_.decodedCount);
    } else {
        f1_.recordLines.clear();
        for (int i = 0; i < f1_.decodedCount; ++i)
            f1_.recordLines.set(i, graphRecordLine(memo.view(i)));
    }
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
    // A copy of the list shares its bytes.
    ByteLines lines = f1_.recordLines;
    lines.truncate(std::min(f1_.decodedCount, f1_.recordLines.size()));
    f_.Memo1->setLines(std::move(lines));
}

void GraphFeature::Button4Click()
{
    const int count = lineCount();
    parseRecording(f_.Memo1->store(), count, table);
    // Rows of the lines parsed before mean nothing now.
    selectionFirst_ = selectionLast_ = -1;
    pinnedRow_ = readoutRow_ = -1;
    f_.Readout->hide();
    panel_->hide();
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
    f_.Label4->setText(QString::fromLatin1(table.timeText(f_.ScrollBar1->value())));
    f_.update();
}

void GraphFeature::ScrollBar1Change()
{
    f_.update();
    f_.Label4->setText(QString::fromLatin1(table.timeText(f_.ScrollBar1->value())));
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
    panel_->close();
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

GraphView GraphFeature::view() const
{
    GraphView v;
    v.size = f_.size();
    v.originX = originX;
    v.originY = originY;
    v.scale = scale();
    v.centreRow = f_.ScrollBar1->value();
    v.lineCount = lineCount();
    v.markerOffset = markerOffset;
    v.traceX = f_.CheckBox1->isChecked();
    v.traceY = f_.CheckBox2->isChecked();
    v.traceZ = f_.CheckBox3->isChecked();
    v.countsPerG = f1_.countsPerG;
    v.unit = unit_;
    v.highlight = f_.palette().color(QPalette::Highlight);
    v.shadow = f_.palette().color(QPalette::Shadow);
    v.paper = f_.palette().color(f_.backgroundRole());
    v.ink = f_.palette().color(f_.foregroundRole());
    // The trace switches stand on the graph; so does the centre time, which
    // each paint puts at the top of the centre line.
    for (const QWidget* box : {static_cast<QWidget*>(f_.CheckBox1), static_cast<QWidget*>(f_.CheckBox2),
                               static_cast<QWidget*>(f_.CheckBox3)})
        if (box->isVisible() || !f_.isVisible())
            v.keepClear.push_back(box->geometry());
    v.keepClear.emplace_back(QPoint(centreLineX(v.size.width(), originX), originY - 200), f_.Label4->size());
    v.selectionFirst = selectionFirst_;
    v.selectionLast = selectionLast_;
    v.pinnedRow = pinnedRow_;
    return v;
}

GraphFrame GraphFeature::paintView(QPainter& painter, bool withTexts)
{
    GraphView v = view();
    if (withTexts) {
        // A picture outside the window carries what the window's labels show.
        v.background = f_.palette().color(QPalette::Window);
        for (const QLabel* label : {f_.Label5, f_.Label2, f_.Label3, f_.Label1, f_.Label4})
            if (label->isVisible() || !f_.isVisible())
                v.texts.emplace_back(label->pos(), label->text());
    }
    return paintGraph(painter, table, v);
}

void GraphFeature::FormPaint(QPainter& p)
{
    f_.Label5->setText(f1_.currentFileName);
    frame_ = paintView(p, false);
    centreX = frame_.centreX;
    centreY = frame_.centreY;
    f_.Label4->move(centreX, centreY - 200);
    // A view moved by keys, the wheel or the scroll bar brings another
    // sample under the mouse: the readout follows it once the paint is done.
    if (pinnedRow_ < 0 && f_.Readout->isVisible() && !press_.active && sampleNear(readoutAt_.x()) != readoutRow_) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                f1_.guard([this] {
                    if (pinnedRow_ < 0 && f_.Readout->isVisible())
                        showReadout(sampleNear(readoutAt_.x()), readoutAt_);
                });
            },
            Qt::QueuedConnection);
    }
    markerEnd = 0;
    if (frame_.startRow < 0)
        return;
    if (markerOffset != 0 && frame_.markerEnd != 0) {
        markerStart = std::clamp(f_.ScrollBar1->value(), table.firstRow, table.lastRow);
        markerEnd = frame_.markerEnd;
        f4_.intervalStats.statsEndText = QStringLiteral("終了:") + QString::fromLatin1(table.timeText(markerEnd));
    }
    f_.setWindowTitle(QString::asprintf("start= %dend=%d", frame_.startRow, frame_.endRow));
    if (markerOffset != 0)
        computeIntervalStats(table, markerStart, markerEnd, statsAxis, f_.Edit1->text(), f4_.intervalStats);
}

void GraphFeature::applyTenths(std::int64_t tenths)
{
    const ScaleChoice c = scaleForTenths(tenths);
    scaleNumerator = c.numerator;
    scaleDenominator = c.denominator;
    timeDivisor = c.divisor;
    f_.Edit8->setText(QString::number(timeDivisor));
    // The list names the time base when the zoom is one of its items.
    int shown = f_.ComboBox1->count() - 1;
    for (int i = 0; i < f_.ComboBox1->count(); ++i) {
        const auto item = timeBaseItem(f_.ComboBox1->itemText(i));
        if (item && item->numerator == scaleNumerator && item->denominator == scaleDenominator &&
            item->value / 40 == timeDivisor)
            shown = i;
    }
    f_.ComboBox1->setCurrentIndex(shown);
    f_.update();
}

void GraphFeature::centreOnTime(std::int64_t timeMs)
{
    const int row = nearestSample(table, timeMs);
    if (row < 0)
        return;
    if (row == f_.ScrollBar1->value())
        f_.update();
    f_.ScrollBar1->setValue(row);
}

void GraphFeature::zoomAt(int x, int steps)
{
    const std::int64_t tenths = tenthsPerPixel(scaleNumerator, scaleDenominator, timeDivisor);
    const std::int64_t zoomed = zoomTenths(tenths, steps);
    if (!table.hasRows()) {
        applyTenths(zoomed);
        return;
    }
    const int P = std::clamp(f_.ScrollBar1->value(), table.firstRow, table.lastRow);
    const std::int64_t anchor = table.timeMs[P] + std::int64_t(x - centreX) * tenths / 10;
    applyTenths(zoomed);
    centreOnTime(anchor - std::int64_t(x - centreX) * zoomed / 10);
}

void GraphFeature::fitAll()
{
    const auto [first, last] = sampleTimeExtremes(table);
    if (first < 0)
        return;
    const int W = f_.width();
    const int centre = centreLineX(W, originX);
    const int leftPx = std::max(1, centre - originX - 2);
    const int rightPx = std::max(1, W - centre - 2);
    const std::int64_t t0 = table.timeMs[first], t1 = table.timeMs[last];
    const int row = nearestSample(table, t0 + (t1 - t0) * leftPx / (leftPx + rightPx));
    applyTenths(fitTenths(table.timeMs[row] - t0, t1 - table.timeMs[row], leftPx, rightPx));
    if (row == f_.ScrollBar1->value())
        f_.update();
    f_.ScrollBar1->setValue(row);
}

void GraphFeature::scrollByPixels(int pixels)
{
    if (!table.hasRows())
        return;
    const int P = std::clamp(f_.ScrollBar1->value(), table.firstRow, table.lastRow);
    const std::int64_t tenths = tenthsPerPixel(scaleNumerator, scaleDenominator, timeDivisor);
    int row = nearestSample(table, table.timeMs[P] + std::int64_t(pixels) * tenths / 10);
    // Samples further apart than the step: on to the next one that way.
    if (row == P || row < 0)
        row = pixels > 0 ? table.nextSample[P] : table.previousSample[P];
    if (row >= 0)
        f_.ScrollBar1->setValue(row);
}

void GraphFeature::scrollToEnd(bool last)
{
    f_.ScrollBar1->setValue(last ? f_.ScrollBar1->maximum() : f_.ScrollBar1->minimum());
}

int GraphFeature::sampleNear(int x) const
{
    const int columns = static_cast<int>(frame_.columnFirst.size());
    if (columns == 0 || !table.hasRows())
        return -1;
    const int P = std::clamp(f_.ScrollBar1->value(), table.firstRow, table.lastRow);
    const std::int64_t tenths = tenthsPerPixel(scaleNumerator, scaleDenominator, timeDivisor);
    const std::int64_t at = table.timeMs[P] + std::int64_t(x - centreX) * tenths / 10;
    const int c0 = std::clamp(x, 0, columns - 1);
    for (int d = 0; d < columns; ++d) {
        int best = -1;
        for (const int c : {c0 - d, c0 + d}) {
            if (c < 0 || c >= columns || frame_.columnFirst[c] < 0)
                continue;
            // The samples drawn in this column: the one nearest in time.
            const int lo = std::min(frame_.columnFirst[c], frame_.columnLast[c]);
            const int hi = std::max(frame_.columnFirst[c], frame_.columnLast[c]);
            for (int k = lo; k >= 0 && k <= hi; k = table.nextSample[k])
                if (best < 0 || std::abs(table.timeMs[k] - at) < std::abs(table.timeMs[best] - at))
                    best = k;
        }
        if (best >= 0)
            return best;
    }
    return -1;
}

void GraphFeature::showReadout(int row, QPoint at)
{
    readoutRow_ = row;
    readoutAt_ = at;
    if (row < 0 || !table.isSample(row)) {
        f_.Readout->hide();
        return;
    }
    const double perG = std::max(1, f1_.countsPerG);
    const QString u = unitText(unit_);
    const auto value = [&](std::int32_t counts) {
        return QString::number(inUnit(counts / perG, unit_), 'f', 2) + u;
    };
    // The temperature as the line writes it, with its decimal.
    const QList<QByteArray> fields = table.lines.view(row).toByteArray().mid(24).split(',');
    QString climate = fields.size() > 3 ? QString::fromLatin1(fields[3].trimmed()) + QString::fromUtf8("℃")
                                        : QString::number(table.temperature[row]) + QString::fromUtf8("℃");
    if (table.humidity[row] != 0)
        climate += QStringLiteral("  %1%RH").arg(table.humidity[row]);
    const QString text = QStringLiteral("%1%2\nX %3  Y %4  Z %5\n%6")
                             .arg(pinnedRow_ == row ? QString::fromUtf8("固定 ") : QString(),
                                  QString::fromLatin1(table.timeText(row)), value(table.x[row]),
                                  value(table.y[row]), value(table.z[row]), climate);
    f_.Readout->setText(text);
    f_.Readout->adjustSize();
    // Beside the mouse, inside the window.
    const QSize size = f_.Readout->size();
    int x = at.x() + 14, y = at.y() + 14;
    if (x + size.width() > f_.width())
        x = at.x() - 14 - size.width();
    if (y + size.height() > f_.height() - 18)
        y = at.y() - 14 - size.height();
    f_.Readout->move(std::max(0, x), std::max(0, y));
    f_.Readout->show();
    f_.Readout->raise();
}

void GraphFeature::refreshReadout()
{
    if (f_.Readout->isVisible())
        showReadout(readoutRow_, readoutAt_);
}

void GraphFeature::hoverAt(QPoint at)
{
    if (pinnedRow_ >= 0)
        return;
    showReadout(sampleNear(at.x()), at);
}

void GraphFeature::pinAt(QPoint at)
{
    pinnedRow_ = sampleNear(at.x());
    showReadout(pinnedRow_, at);
    f_.update();
}

void GraphFeature::unpin()
{
    pinnedRow_ = -1;
    f_.Readout->hide();
    f_.update();
}

void GraphFeature::selectColumns(int x1, int x2)
{
    const int columns = static_cast<int>(frame_.columnFirst.size());
    const int lo = std::clamp(std::min(x1, x2), 0, std::max(0, columns - 1));
    const int hi = std::clamp(std::max(x1, x2), 0, std::max(0, columns - 1));
    int first = -1, last = -1;
    for (int c = lo; c <= hi && c < columns; ++c) {
        if (frame_.columnFirst[c] < 0)
            continue;
        const int a = std::min(frame_.columnFirst[c], frame_.columnLast[c]);
        const int b = std::max(frame_.columnFirst[c], frame_.columnLast[c]);
        first = first < 0 ? a : std::min(first, a);
        last = std::max(last, b);
    }
    selectionFirst_ = first;
    selectionLast_ = last;
    f_.update();
}

void GraphFeature::updateAnalysis()
{
    if (selectionFirst_ < 0) {
        panel_->hide();
        return;
    }
    const IntervalAnalysis analysis = analyseInterval(table, selectionFirst_, selectionLast_, f1_.countsPerG);
    panel_->showAnalysis(analysis, table, unit_);
    // Placed as it opens; once open it stays where the user has put it.
    if (!panel_->isVisible())
        placePanel();
    panel_->show();
    panel_->raise();
}

void GraphFeature::placePanel()
{
    const QScreen* on = f_.screen();
    if (!on) {
        panel_->move(f_.frameGeometry().right() + 8, f_.y());
        return;
    }
    // What the panel must leave free: every control of the graph window, on
    // the screen. The readout follows the mouse and is left aside.
    std::vector<QRect> controls;
    for (QObject* child : f_.children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && !w->isWindow() && w->isVisible() && w != f_.Readout)
            controls.emplace_back(w->mapToGlobal(QPoint(0, 0)), w->size());
    }
    // The frame adds the same on every side as the graph window's frame does.
    const QMargins frame(f_.geometry().left() - f_.frameGeometry().left(), f_.geometry().top() - f_.frameGeometry().top(),
                         f_.frameGeometry().right() - f_.geometry().right(),
                         f_.frameGeometry().bottom() - f_.geometry().bottom());
    const QRect place = panelPlace(panel_->size().expandedTo(panel_->sizeHint()), panel_->minimumSizeHint(),
                                   f_.frameGeometry(), controls, on->availableGeometry(), frame);
    panel_->resize(place.size());
    panel_->move(place.topLeft());
}

void GraphFeature::setUnit(ValueUnit unit)
{
    unit_ = unit;
    f_.UnitBox->setCurrentIndex(unit == ValueUnit::G ? 0 : 1);
    if (f1_.platform.preferences)
        f1_.platform.preferences->setValue(QStringLiteral("graph/unit"),
                                           unit == ValueUnit::G ? QStringLiteral("G") : QStringLiteral("m/s2"));
    refreshReadout();
    if (panel_->isVisible())
        updateAnalysis();
    f_.update();
}

void GraphFeature::exportPicture(const QString& format)
{
    FileRequest request;
    request.filter = format == QStringLiteral("png")   ? QStringLiteral("PNG image (*.png)|*.png")
                     : format == QStringLiteral("svg") ? QStringLiteral("SVG image (*.svg)|*.svg")
                                                       : QStringLiteral("PDF document (*.pdf)|*.pdf");
    request.defaultSuffix = format;
    request.fileName = QStringLiteral("ZELT%1.%2").arg(f1_.Label18 ? f1_.Label18->text() : QString(), format);
    request.confirmOverwrite = true;
    if (!f1_.dialogs().saveFile(request))
        return;
    QString path = request.fileName;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + format;

    const QSize size = f_.size();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == QStringLiteral("png")) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(f_.palette().color(QPalette::Window));
        QPainter painter(&image);
        paintView(painter, true);
        painter.end();
        image.save(&buffer, "PNG");
    } else if (format == QStringLiteral("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(96);
        svg.setTitle(f_.windowTitle());
        QPainter painter(&svg);
        paintView(painter, true);
    } else {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / 96.0, QPageSize::Point, QString(), QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(f_.windowTitle());
        QPainter painter(&pdf);
        paintView(painter, true);
    }
    buffer.close();
    if (bytes.isEmpty())
        throw std::runtime_error(QStringLiteral("%1 を作成できません: %2").arg(format.toUpper(), path).toStdString());
    writeBytesFile(bytes, path);
}

void GraphFeature::exportSelection()
{
    if (selectionFirst_ < 0)
        return;
    FileRequest request;
    request.filter = QStringLiteral("CSV files (*.csv)|*.CSV");
    request.fileName = QStringLiteral("ZELT%1-%2-%3.csv")
                           .arg(f1_.Label18 ? f1_.Label18->text() : QString())
                           .arg(selectionFirst_)
                           .arg(selectionLast_);
    request.confirmOverwrite = true;
    if (!f1_.dialogs().saveFile(request))
        return;
    QString path = request.fileName;
    if (!path.contains(QLatin1Char('.')))
        path += QStringLiteral(".csv");
    // A recording file of its own: the data set's three head lines, the
    // interval's lines as they stand (marker lines included), and three
    // closing lines, which a reader of recordings passes over as it does the
    // last three lines of a download; the first names the interval.
    const ByteLines& lines = table.lines;
    ByteLines out;
    for (int i = 0; i < std::min(3, lines.size()); ++i)
        out.append(lines.view(i));
    for (int i = selectionFirst_; i <= selectionLast_ && i < lines.size(); ++i)
        out.append(lines.view(i));
    out.append(QStringLiteral("//Interval %1 - %2 (lines %3-%4) //")
                   .arg(QString::fromLatin1(table.timeText(selectionFirst_)),
                        QString::fromLatin1(table.timeText(selectionLast_)))
                   .arg(selectionFirst_ + 1)
                   .arg(selectionLast_ + 1)
                   .toLatin1());
    out.append(QByteArrayView());
    out.append(QByteArrayView());
    writeLinesFile(out, path);
}

}  // namespace zelt
