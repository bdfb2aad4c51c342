#include "graph/TForm2.h"

#include "platform/LogMemo.h"
#include "platform/Readable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QPushButton>
#include <QScrollBar>

namespace zelt {

namespace {
template <class W>
W* make(QWidget* parent, const char* name, const char* text, int x, int y, int w, int h)
{
    W* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(x, y, w, h);
    if constexpr (!std::is_same_v<W, QScrollBar> && !std::is_same_v<W, QComboBox> && !std::is_same_v<W, LogMemo>)
        widget->setText(QString::fromUtf8(text));
    return widget;
}
}  // namespace

TForm2::TForm2(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("ZELT GRAPH"));
    resize(1054, 780);
    setAutoFillBackground(true);

    // Everything a user works sits in the top band of the window as it
    // opens (800 x 550), right of the legend and above the grid.
    Label5 = make<QLabel>(this, "Label5", "FILE", 130, 4, 380, 16);
    Label2 = make<QLabel>(this, "Label2", "s", 130, 22, 150, 16);
    Label3 = make<QLabel>(this, "Label3", "e", 290, 22, 150, 16);
    Label1 = make<QLabel>(this, "Label1", "count", 450, 22, 60, 16);
    Label4 = make<QLabel>(this, "Label4", "p", 500, 190, 160, 16);

    ComboBox1 = make<QComboBox>(this, "ComboBox1", "", 520, 4, 80, 22);
    for (const char* item : {"0.01秒", "0.1秒", "0.2秒", "0.5秒", "秒", "10秒", "30秒", "分", "10分", "30分", "時間",
                             "2時間", "3時間", "6時間", "12時間", "日", " "})
        ComboBox1->addItem(QString::fromUtf8(item));
    ComboBox1->setCurrentText(QStringLiteral("分"));
    ComboBox2 = make<QComboBox>(this, "ComboBox2", "", 606, 4, 48, 22);
    ComboBox2->addItems({QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")});
    ComboBox2->setCurrentText(QStringLiteral("X"));
    Edit8 = make<QLineEdit>(this, "Edit8", "Edit8", 660, 4, 64, 22);
    Edit1 = make<QLineEdit>(this, "Edit1", "VOID", 730, 4, 60, 22);
    Button2 = make<QPushButton>(this, "Button2", "印刷", 660, 30, 64, 22);
    Button4 = make<QPushButton>(this, "Button4", "Button4", 730, 30, 60, 22);
    Button1 = make<QPushButton>(this, "Button1", "Button1", 730, 56, 60, 22);
    Button1->hide();

    // The trace switches sit beside their legend rows.
    CheckBox1 = make<QCheckBox>(this, "CheckBox1", "", 68, 38, 16, 16);
    CheckBox2 = make<QCheckBox>(this, "CheckBox2", "", 68, 50, 16, 16);
    CheckBox3 = make<QCheckBox>(this, "CheckBox3", "", 68, 62, 16, 16);
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3})
        box->setChecked(true);

    ScrollBar1 = make<QScrollBar>(this, "ScrollBar1", "", 0, 0, 100, 18);
    ScrollBar1->setOrientation(Qt::Horizontal);
    ScrollBar1->setMinimum(3);
    ScrollBar1->setMaximum(3);
    ScrollBar1->setValue(3);

    Memo1 = make<LogMemo>(this, "Memo1", "", 0, 0, 10, 10);
    Memo1->hide();

    FitButton = make<QPushButton>(this, "FitButton", "全体", 520, 30, 60, 22);
    FitButton->setToolTip(QString::fromUtf8("記録全体を表示 (ホイール: 拡大縮小, ドラッグ: 移動, Shift+ドラッグ: 区間選択)"));
    UnitBox = make<QComboBox>(this, "UnitBox", "", 584, 30, 70, 22);
    UnitBox->addItems({QStringLiteral("G"), QString::fromUtf8("m/s²")});
    PngButton = make<QPushButton>(this, "PngButton", "PNG", 520, 54, 44, 20);
    SvgButton = make<QPushButton>(this, "SvgButton", "SVG", 566, 54, 44, 20);
    PdfButton = make<QPushButton>(this, "PdfButton", "PDF", 612, 54, 44, 20);
    for (QPushButton* b : {PngButton, SvgButton, PdfButton})
        b->setToolTip(QString::fromUtf8("グラフをファイルに保存"));

    Readout = make<QLabel>(this, "Readout", "", 0, 0, 10, 10);
    Readout->setFrameShape(QFrame::Box);
    Readout->setAutoFillBackground(true);
    Readout->setAttribute(Qt::WA_TransparentForMouseEvents);
    Readout->setMargin(3);
    Readout->hide();

    // The graph takes the keys for zoom and scroll once clicked, and follows
    // the mouse for the readout.
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    fitLabelsToText(this);
}

void TForm2::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ScrollBar1->setGeometry(0, height() - 18, width(), 18);
}

void TForm2::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!onPaint)
        return;
    QPainter painter(this);
    onPaint(painter);
}

void TForm2::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Only the window becoming visible counts, not the system restoring it.
    if (!event->spontaneous() && onShow)
        onShow();
}

void TForm2::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (onClose)
        onClose();
}

}  // namespace zelt
