#include "graph/AnalysisPanel.h"

#include "graph/PlotMath.h"
#include "platform/Readable.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QLine>
#include <QVector>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace zelt {

double inUnit(double g, ValueUnit unit) { return unit == ValueUnit::G ? g : g * kStandardGravity; }
QString unitText(ValueUnit unit) { return unit == ValueUnit::G ? QStringLiteral("G") : QString::fromUtf8("m/s²"); }

QString frequencyText(double hz, int hzDecimals)
{
    if (!std::isfinite(hz))
        return QStringLiteral("- Hz");
    if (hz == 0)
        return QStringLiteral("0 Hz");
    if (std::abs(hz) >= 1)
        return QStringLiteral("%1 Hz").arg(QString::number(hz, 'f', hzDecimals));
    double value = hz * 1000;
    QString unit = QStringLiteral("mHz");
    if (std::abs(value) < 1) {
        value *= 1000;
        unit = QString::fromUtf8("µHz");
    }
    // Three significant digits.
    const double magnitude = std::abs(value);
    const int decimals = magnitude >= 99.95 ? 0 : magnitude >= 9.995 ? 1 : 2;
    return QStringLiteral("%1 %2").arg(QString::number(value, 'f', decimals), unit);
}

namespace {

const QColor kAxisColours[3] = {QColor(0xFF, 0x00, 0xFF), QColor(0x00, 0x00, 0xFF), QColor(0x00, 0x80, 0x00)};

QString number(double v, int decimals = 3) { return QString::number(v, 'f', decimals); }

}  // namespace

SpectrumView::SpectrumView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Spectrum"));
    // Narrow enough for the panel to stand beside the graph window on a
    // screen of 1280 pixels.
    setMinimumSize(260, 160);
    setAutoFillBackground(true);
}

void SpectrumView::setSpectra(const IntervalAnalysis& analysis, ValueUnit unit)
{
    analysis_ = analysis;
    unit_ = unit;
    if (analysis.count < 4)
        note_ = QString::fromUtf8("スペクトルなし: サンプルが少なすぎます");
    else if (!analysis.intervalSeconds)
        note_ = QString::fromUtf8("スペクトルなし: サンプリング間隔が一定ではありません");
    else
        note_.clear();
    update();
}

void SpectrumView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect area = rect().adjusted(48, 8, -12, -28);
    // In the palette's colours: the frame and texts in its text colour, the
    // traces lightened where the background is dark.
    const QColor paper = palette().color(backgroundRole());
    p.setPen(readableOn(palette().color(foregroundRole()), paper, kTextContrast));
    p.drawRect(area);
    if (!note_.isEmpty()) {
        p.drawText(area, Qt::AlignCenter, note_);
        return;
    }
    double top = 0;
    double nyquist = 0;
    for (const Spectrum& s : analysis_.spectrum) {
        for (size_t k = 1; k < s.amplitude.size(); ++k)
            top = std::max(top, inUnit(s.amplitude[k], unit_));
        nyquist = std::max(nyquist, s.binHz * (s.amplitude.size() ? s.amplitude.size() - 1 : 0));
    }
    if (top <= 0)
        top = 1;
    if (nyquist <= 0)
        nyquist = 1;
    // Axes: frequency from 0 to half the sampling rate, amplitude from 0
    // to the largest amplitude outside DC (the offset would flatten the rest).
    p.drawText(QRect(0, area.top() - 4, 46, 16), Qt::AlignRight, number(top, 3));
    p.drawText(QRect(0, area.bottom() - 12, 46, 16), Qt::AlignRight, QStringLiteral("0"));
    p.drawText(QRect(area.left(), area.bottom() + 4, 60, 16), Qt::AlignLeft, QStringLiteral("0 Hz"));
    p.drawText(QRect(area.right() - 100, area.bottom() + 4, 100, 16), Qt::AlignRight, frequencyText(nyquist, 1));
    p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), 16), Qt::AlignHCenter,
               QString::fromUtf8("振幅 (%1, ハン窓)").arg(unitText(unit_)));
    p.setClipRect(area.adjusted(1, 1, 0, 0));
    for (int a = 2; a >= 0; --a) {
        const Spectrum& s = analysis_.spectrum[a];
        TracePath path(area.left(), area.right());
        const auto xOf = [&](size_t k) { return area.left() + std::llround(k * s.binHz / nyquist * area.width()); };
        const auto yOf = [&](size_t k) {
            return area.bottom() - std::llround(std::min(1.0, inUnit(s.amplitude[k], unit_) / top) * area.height());
        };
        for (size_t k = 2; k < s.amplitude.size(); ++k)
            path.piece(xOf(k - 1), yOf(k - 1), xOf(k), yOf(k));
        p.setPen(isDarkBackground(paper) ? readableOn(kAxisColours[a], paper, kLineContrast) : kAxisColours[a]);
        QVector<QLine> lines;
        for (const PlotLine& l : path.lines())
            lines.append(QLine(l.from.x, l.from.y, l.to.x, l.to.y));
        p.drawLines(lines);
    }
}

AnalysisPanel::AnalysisPanel(QWidget* owner) : QWidget(owner, Qt::Tool)
{
    setObjectName(QStringLiteral("AnalysisPanel"));
    setWindowTitle(QString::fromUtf8("区間解析"));
    auto* layout = new QVBoxLayout(this);
    Summary = new QLabel(this);
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Summary->setWordWrap(true);
    layout->addWidget(Summary);
    Table = new QTableWidget(8, 3, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setHorizontalHeaderLabels({QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")});
    Table->setVerticalHeaderLabels({QString::fromUtf8("最大"), QString::fromUtf8("最小"), QString::fromUtf8("平均"),
                                    QStringLiteral("RMS"), QString::fromUtf8("標準偏差"),
                                    QString::fromUtf8("ピーク間"), QString::fromUtf8("クレストファクタ"),
                                    QString::fromUtf8("卓越周波数")});
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Table->setMinimumHeight(Table->verticalHeader()->length() + Table->horizontalHeader()->height() + 4);
    layout->addWidget(Table);
    Spectrum = new SpectrumView(this);
    layout->addWidget(Spectrum, 1);
    SaveCsvButton = new QPushButton(QString::fromUtf8("区間をCSV保存..."), this);
    SaveCsvButton->setObjectName(QStringLiteral("SaveCsvButton"));
    layout->addWidget(SaveCsvButton);
    connect(SaveCsvButton, &QPushButton::clicked, this, [this] {
        if (onSaveCsv)
            onSaveCsv();
    });
    resize(520, 600);
}

void AnalysisPanel::showAnalysis(const IntervalAnalysis& r, const GraphSampleTable& table, ValueUnit unit)
{
    const QString u = unitText(unit);
    QString summary;
    if (r.count == 0) {
        summary = QString::fromUtf8("選択した区間にサンプルがありません");
    } else {
        summary = QString::fromUtf8("区間: %1 〜 %2  (%3 サンプル)")
                      .arg(QString::fromLatin1(table.timeText(r.firstRow)), QString::fromLatin1(table.timeText(r.lastRow)))
                      .arg(r.count);
        summary += QLatin1Char('\n');
        summary += r.intervalSeconds ? QString::fromUtf8("サンプリング間隔: %1 ms").arg(number(*r.intervalSeconds * 1000, 1))
                                     : QString::fromUtf8("サンプリング間隔: 一定ではありません");
        summary += QLatin1Char('\n');
        summary += QString::fromUtf8("合成加速度の最大: %1 %2  (%3)")
                       .arg(number(inUnit(r.peakMagnitude, unit)), u,
                            QString::fromLatin1(table.timeText(r.peakMagnitudeRow)));
    }
    Summary->setText(summary);
    for (int a = 0; a < 3; ++a) {
        const SeriesStats& s = r.axis[a];
        const QString cells[8] = {
            number(inUnit(s.max, unit)) + QLatin1Char(' ') + u,
            number(inUnit(s.min, unit)) + QLatin1Char(' ') + u,
            number(inUnit(s.mean, unit)) + QLatin1Char(' ') + u,
            number(inUnit(s.rms, unit)) + QLatin1Char(' ') + u,
            number(inUnit(s.stdDev, unit)) + QLatin1Char(' ') + u,
            number(inUnit(s.peakToPeak, unit)) + QLatin1Char(' ') + u,
            number(s.crestFactor, 2),
            r.intervalSeconds && r.spectrum[a].dominantAmplitude > 0
                ? frequencyText(r.spectrum[a].dominantHz)
                : QStringLiteral("-"),
        };
        for (int row = 0; row < 8; ++row) {
            auto* item = new QTableWidgetItem(r.count == 0 ? QStringLiteral("-") : cells[row]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Table->setItem(row, a, item);
        }
    }
    fitColumns();
    Spectrum->setSpectra(r, unit);
    SaveCsvButton->setEnabled(r.count > 0);
}

void AnalysisPanel::fitColumns()
{
    // The three columns share the table's width equally, so each is made as
    // wide as the widest text any of them holds, with the margins the view
    // leaves on either side of a cell's text: no cell is cut ("496 mHz", not
    // "496 …"). The table, and with it the panel, is then at least as wide
    // as the row titles and three such columns.
    const QFontMetrics metrics(Table->font());
    int widest = 0;
    for (int row = 0; row < Table->rowCount(); ++row)
        for (int column = 0; column < Table->columnCount(); ++column)
            if (const QTableWidgetItem* item = Table->item(row, column))
                widest = std::max(widest, metrics.horizontalAdvance(item->text()));
    const QFontMetrics headerMetrics(Table->horizontalHeader()->font());
    for (int column = 0; column < Table->columnCount(); ++column)
        if (const QTableWidgetItem* title = Table->horizontalHeaderItem(column))
            widest = std::max(widest, headerMetrics.horizontalAdvance(title->text()));
    const int textMargin = Table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Table) + 1;
    const int columnWidth = widest + 2 * textMargin + 2;  // and the grid line, with a pixel to spare
    Table->horizontalHeader()->setMinimumSectionSize(columnWidth);
    const int rowTitles = std::max(Table->verticalHeader()->sizeHint().width(), Table->verticalHeader()->width());
    Table->setMinimumWidth(rowTitles + Table->columnCount() * columnWidth + 2 * Table->frameWidth());
}

}  // namespace zelt
