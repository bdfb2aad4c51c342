#include "shell/TForm1.h"

#include "link/LoggerLink.h"

#include "link/ComPort.h"
#include "platform/Dialogs.h"
#include "platform/ErrorBoundary.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "platform/Readable.h"
#include "platform/Widgets.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

namespace zelt {

namespace {

template <class W>
W* make(QWidget* parent, const char* name, int x, int y, int w, int h, bool visible = true)
{
    W* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(x, y, w, h);
    widget->setVisible(visible);
    return widget;
}

template <class W>
W* makeText(QWidget* parent, const char* name, const char* text, int x, int y, int w, int h, bool visible = true)
{
    W* widget = make<W>(parent, name, x, y, w, h, visible);
    widget->setText(QString::fromUtf8(text));
    return widget;
}

QGroupBox* frame(QWidget* parent, const char* title, int x, int y, int w, int h)
{
    auto* box = new QGroupBox(QString::fromUtf8(title), parent);
    box->setGeometry(x, y, w, h);
    box->lower();
    return box;
}

// The two status pictures: a grey plug with a red bar (no link) and a green
// plug (linked).
QPixmap statusPicture(bool linked)
{
    QPixmap pixmap(40, 40);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(linked ? QColor(0x20, 0xB0, 0x40) : QColor(0xA0, 0xA0, 0xA0));
    p.drawEllipse(4, 4, 32, 32);
    p.setPen(QPen(Qt::white, 3));
    p.drawLine(14, 12, 14, 20);
    p.drawLine(26, 12, 26, 20);
    p.drawLine(12, 20, 28, 20);
    p.drawLine(20, 20, 20, 28);
    if (!linked) {
        p.setPen(QPen(QColor(0xD0, 0x10, 0x10), 4));
        p.drawLine(8, 32, 32, 8);
    }
    return pixmap;
}

}  // namespace

TForm1::TForm1(const MainPlatform& platform_, QWidget* parent) : QWidget(parent), platform(platform_)
{
    setObjectName(QStringLiteral("Form1"));
    ApdComPort1 = platform.port;
    link_ = std::make_unique<LoggerLink>(*ApdComPort1, *this);
    Timer1 = new PeriodicTimer(2000, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    portRegistry = platform.registry;
    buildControls();
    if (platform.preferences) {
        bool ok = false;
        const int seconds =
            platform.preferences->value(QString::fromLatin1(kSilenceLimitPreference)).toInt(&ok);
        if (ok)
            setSilenceLimitSeconds(seconds);
    }
    connect(SilenceLimitBox, &QSpinBox::valueChanged, this, [this](int seconds) {
        silentLoggerMs = seconds * 1000;
        if (platform.preferences)
            platform.preferences->setValue(QString::fromLatin1(kSilenceLimitPreference), QString::number(seconds));
    });
    fitLabelsToText(this);
    setCaption(QStringLiteral("ZELT-RealTime"));
    connect(Timer1, &PeriodicTimer::timeout, this, [this] { guard([this] { Timer1Timer(); }); });
    connect(ApdComPort1, &ComPort::deviceLost, this, [this](const QString& reason) { portLost(reason); });
    connect(ApdComPort1, &ComPort::bytesSent, this, [this](const QByteArray& bytes) { commandWritten(bytes); });
    onClick(Button4, [this] { Button4Click(); });
    onClick(Button38, [this] { Button38Click(); });
    onClick(Button42, [this] { Button42Click(); });
    onClick(Button13, [this] { Button13Click(); });
    lastLoggerActivity_.start();
    watchdog_ = new QTimer(this);
    watchdog_->setInterval(1000);
    connect(watchdog_, &QTimer::timeout, this, [this] { guard([this] { checkSilentLogger(); }); });
    watchdog_->start();
}

TForm1::~TForm1() = default;

void TForm1::guard(const std::function<void()>& handler)
{
    guarded(dialogs(), handler);
}

void TForm1::onClick(QObject* control, std::function<void()> handler)
{
    auto run = [this, handler = std::move(handler)] { guard(handler); };
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        connect(button, &QAbstractButton::clicked, this, run);
    else if (auto* label = qobject_cast<ClickLabel*>(control)) {
        connect(label, &ClickLabel::clicked, this, run);
        label->setKeyAction(ClickLabel::KeyAction::Click);
    }
}

void TForm1::onDoubleClick(ClickLabel* control, std::function<void()> handler)
{
    connect(control, &ClickLabel::doubleClicked, this, [this, handler = std::move(handler)] { guard(handler); });
    // A label that answers both acts on a key as on a click.
    if (control->keyAction() == ClickLabel::KeyAction::None)
        control->setKeyAction(ClickLabel::KeyAction::DoubleClick);
}

void TForm1::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

QString TForm1::caption() const
{
    return windowTitle();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    Timer1->setInterval(0);
    watchdog_->stop();
    guard([this] { ApdComPort1->setOpen(false); });
    if (onMainWindowClosed)
        onMainWindowClosed();
}

void TForm1::buildControls()
{
    QWidget* f = this;

    // ---- compact view: status, identity, progress, log memo, main buttons
    Image4 = make<QLabel>(f, "Image4", 8, 4, 40, 40);
    Image4->setPixmap(statusPicture(false));
    Image5 = make<QLabel>(f, "Image5", 8, 4, 40, 40, false);
    Image5->setPixmap(statusPicture(true));
    Label41 = makeText<QLabel>(f, "Label41", "", 56, 4, 120, 18);
    QFont bold = Label41->font();
    bold.setBold(true);
    Label41->setFont(bold);
    Label33 = makeText<QLabel>(f, "Label33", "", 180, 4, 292, 18);
    Label17 = makeText<ClickLabel>(f, "Label17", "My ID", 56, 24, 38, 18);
    Label18 = makeText<QLabel>(f, "Label18", "00", 96, 24, 40, 18);
    Label6 = makeText<QLabel>(f, "Label6", "", 140, 24, 120, 18);
    Label26 = makeText<ClickLabel>(f, "Label26", "予約日時", 262, 24, 56, 18);
    Label25 = makeText<ClickLabel>(f, "Label25", "00/00 00:00", 320, 24, 80, 18);
    Label23 = makeText<QLabel>(f, "Label23", "", 404, 24, 30, 18);

    Button8 = makeText<QPushButton>(f, "Button8", "VER", 8, 48, 50, 24);
    Button37 = makeText<QPushButton>(f, "Button37", "Start", 62, 48, 50, 24, false);
    Button39 = makeText<QPushButton>(f, "Button39", "Update", 116, 48, 56, 24, false);
    Edit3 = makeText<QLineEdit>(f, "Edit3", "1", 176, 48, 70, 24);
    Button4 = makeText<QPushButton>(f, "Button4", "接<->続", 250, 48, 70, 24);
    Button45 = makeText<QPushButton>(f, "Button45", "S", 324, 48, 28, 24, false);
    Button46 = makeText<QPushButton>(f, "Button46", "m", 356, 48, 28, 24);
    Label20 = makeText<ClickLabel>(f, "Label20", "↓", 452, 48, 20, 24);
    Label20->setAlignment(Qt::AlignCenter);
    Label20->setCursor(Qt::PointingHandCursor);

    // The answer line shares the progress bar's place, under it: a transfer
    // in progress covers it.
    answerLine = make<QLabel>(f, "answerLine", 8, 76, 464, 18, false);
    answerLine->setTextFormat(Qt::PlainText);
    answerLine->setFrameShape(QFrame::StyledPanel);
    ProgressBar1 = make<QProgressBar>(f, "ProgressBar1", 8, 76, 464, 18, false);
    ProgressBar1->setMinimum(0);
    Memo1 = make<LogMemo>(f, "Memo1", 8, 98, 464, 300);

    // monitor controls share the memo's place (the memo is hidden meanwhile)
    Label1 = makeText<QLabel>(f, "Label1", "Xaxis", 16, 112, 50, 20, false);
    Label2 = makeText<QLabel>(f, "Label2", "Yaxis", 16, 152, 50, 20, false);
    Label3 = makeText<QLabel>(f, "Label3", "Zaxis", 16, 192, 50, 20, false);
    Label11 = makeText<QLabel>(f, "Label11", "000", 70, 112, 50, 20, false);
    Label27 = makeText<QLabel>(f, "Label27", "000", 70, 152, 50, 20, false);
    Label32 = makeText<QLabel>(f, "Label32", "000", 70, 192, 50, 20, false);
    const auto makeTrack = [f](const char* name, int y) {
        QSlider* s = make<QSlider>(f, name, 124, y, 340, 28, false);
        s->setOrientation(Qt::Horizontal);
        s->setRange(0, 40);
        s->setSingleStep(1);
        s->setPageStep(1);
        s->setValue(20);
        s->setTickPosition(QSlider::TicksBelow);
        s->setTickInterval(5);
        return s;
    };
    TrackBar1 = makeTrack("TrackBar1", 108);
    TrackBar2 = makeTrack("TrackBar2", 148);
    TrackBar3 = makeTrack("TrackBar3", 188);
    Edit10 = makeText<QLineEdit>(f, "Edit10", "", 16, 236, 100, 24, false);
    Edit10->setReadOnly(true);
    Button22 = makeText<QPushButton>(f, "Button22", "やりなおし", 124, 236, 90, 24, false);

    // data buttons; the compact height ends 67 pixels below FILE's top
    Button11 = makeText<QPushButton>(f, "Button11", "FILE", 8, 404, 56, 24);
    Button6 = makeText<QPushButton>(f, "Button6", "保存", 68, 404, 56, 24);
    Button12 = makeText<QPushButton>(f, "Button12", "グラフ", 128, 404, 56, 24);
    Button30 = makeText<QPushButton>(f, "Button30", "取得", 188, 404, 56, 24);
    Button47 = makeText<QPushButton>(f, "Button47", "ENQ", 248, 404, 56, 24);
    Button3 = makeText<QPushButton>(f, "Button3", "V3", 308, 404, 40, 24);
    Button28 = makeText<QPushButton>(f, "Button28", "*", 352, 404, 28, 24);
    Button10 = makeText<QPushButton>(f, "Button10", "モニタ", 402, 404, 70, 24);
    Button40 = makeText<QPushButton>(f, "Button40", "5ms", 8, 432, 56, 24);
    Button41 = makeText<QPushButton>(f, "Button41", "Z", 68, 432, 28, 24);
    Button15 = makeText<QPushButton>(f, "Button15", "情報", 100, 432, 50, 24);
    Button27 = makeText<QPushButton>(f, "Button27", "SAV", 154, 432, 50, 24);
    Label24 = makeText<QLabel>(f, "Label24", "", 210, 436, 262, 18);
    simulatorNotice = makeText<QLabel>(f, "simulatorNotice", "", 8, 456, 464, 14, false);
    keepTextReadable(simulatorNotice, QColor(0xA0, 0x50, 0x00));

    // ---- enlarged view (+160 pixels): settings boxes and command rows
    ComboBox1 = make<SettingsBox>(f, "ComboBox1", 8, 476, 52, 22, false);
    ComboBox1->showText(QStringLiteral("10"));
    Button9 = makeText<QPushButton>(f, "Button9", "検出値", 62, 476, 52, 22);
    ComboBox2 = make<SettingsBox>(f, "ComboBox2", 118, 476, 70, 22, false);
    Button17 = makeText<QPushButton>(f, "Button17", "10min", 190, 476, 48, 22);
    ComboBox3 = make<SettingsBox>(f, "ComboBox3", 242, 476, 90, 22, false);
    ComboBox4 = make<SettingsBox>(f, "ComboBox4", 336, 476, 96, 22, false);
    ComboBox4->showText(QStringLiteral("記録開始"));
    ComboBox5 = make<SettingsBox>(f, "ComboBox5", 436, 476, 40, 22);
    ComboBox5->addItems({QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("50"), QStringLiteral("00"),
                         QStringLiteral("02"), QStringLiteral("01")});
    ComboBox5->showText(QStringLiteral("10"));
    ComboBox5->setEnabled(false);

    CheckBox2 = makeText<QCheckBox>(f, "CheckBox2", "CheckBox2", 8, 502, 84, 22);
    makeText<QLabel>(f, "labelThresholdDetect", "閾値超検出", 92, 504, 70, 18);
    Edit12 = makeText<QLineEdit>(f, "Edit12", "", 164, 502, 28, 22);
    Label19 = makeText<ClickLabel>(f, "Label19", "BZ", 196, 504, 56, 18);
    Label22 = makeText<ClickLabel>(f, "Label22", "  RUN", 254, 504, 40, 18);
    Label13 = makeText<QLabel>(f, "Label13", "", 296, 504, 60, 18);
    Label39 = makeText<QLabel>(f, "Label39", "", 358, 504, 118, 18);

    Button7 = makeText<QPushButton>(f, "Button7", "ON", 8, 528, 36, 22);
    Button14 = makeText<QPushButton>(f, "Button14", "StandBy", 46, 528, 58, 22);
    Button2 = makeText<QPushButton>(f, "Button2", "新規開始", 106, 528, 64, 22);
    Button1 = makeText<QPushButton>(f, "Button1", "e", 172, 528, 24, 22);
    Button16 = makeText<QPushButton>(f, "Button16", "時間表示", 198, 528, 64, 22);
    Button29 = makeText<QPushButton>(f, "Button29", "GET", 264, 528, 40, 22);
    Button56 = makeText<QPushButton>(f, "Button56", "GPS", 306, 528, 40, 22);
    Button44 = makeText<QPushButton>(f, "Button44", "OLD", 348, 528, 40, 22);
    Button26 = makeText<QPushButton>(f, "Button26", "Button26", 390, 528, 86, 22);

    Button20 = makeText<QPushButton>(f, "Button20", "エンドレス", 8, 554, 70, 22);
    Edit6 = makeText<QLineEdit>(f, "Edit6", "", 80, 554, 34, 22);
    Button21 = makeText<QPushButton>(f, "Button21", "100hz", 118, 554, 50, 22);
    Edit7 = makeText<QLineEdit>(f, "Edit7", "", 170, 554, 34, 22);
    Button24 = makeText<QPushButton>(f, "Button24", "DF", 208, 554, 30, 22);
    Edit11 = makeText<QLineEdit>(f, "Edit11", "", 240, 554, 34, 22);
    Button48 = makeText<QPushButton>(f, "Button48", "L", 278, 554, 24, 22);
    Edit14 = makeText<QLineEdit>(f, "Edit14", "", 304, 554, 34, 22);
    Button50 = makeText<QPushButton>(f, "Button50", "Rec", 342, 554, 36, 22);
    Edit15 = makeText<QLineEdit>(f, "Edit15", "", 380, 554, 50, 22);
    Button49 = makeText<QPushButton>(f, "Button49", "W", 434, 554, 40, 22);

    Label36 = makeText<ClickLabel>(f, "Label36", "調整用->", 8, 582, 56, 18);
    Button25 = makeText<QPushButton>(f, "Button25", "LCD1", 66, 580, 44, 22);
    Button33 = makeText<QPushButton>(f, "Button33", "DR50", 112, 580, 44, 22);
    Button34 = makeText<QPushButton>(f, "Button34", "DR10", 158, 580, 44, 22);
    Button35 = makeText<QPushButton>(f, "Button35", "N", 206, 580, 26, 22);
    Button36 = makeText<QPushButton>(f, "Button36", "L", 234, 580, 26, 22);
    Button43 = makeText<QPushButton>(f, "Button43", "320", 262, 580, 36, 22);
    Button31 = makeText<QPushButton>(f, "Button31", "SETBLE", 302, 580, 56, 22, false);
    Button32 = makeText<QPushButton>(f, "Button32", "RSTBLE", 360, 580, 56, 22, false);

    makeText<QLabel>(f, "label377Adj", "377ADJ->", 8, 608, 56, 18);
    Button53 = makeText<QPushButton>(f, "Button53", "X2", 66, 606, 30, 22);
    Edit20 = makeText<QLineEdit>(f, "Edit20", "", 98, 606, 40, 22);
    Button51 = makeText<QPushButton>(f, "Button51", "Y2", 142, 606, 30, 22);
    Edit16 = makeText<QLineEdit>(f, "Edit16", "", 174, 606, 40, 22);
    Button52 = makeText<QPushButton>(f, "Button52", "Z2", 218, 606, 30, 22);
    Edit17 = makeText<QLineEdit>(f, "Edit17", "", 250, 606, 40, 22);
    Button54 = makeText<QPushButton>(f, "Button54", "id", 296, 606, 26, 22);
    Button55 = makeText<QPushButton>(f, "Button55", "Wid", 324, 606, 36, 22);
    Edit21 = makeText<QLineEdit>(f, "Edit21", "", 362, 606, 114, 22);

    // ---- right of the compact view (seen when the window is widened):
    // the port search's working fields, option values, firmware image
    frame(f, "ポート検索", 490, 4, 300, 196);
    ListBox1 = make<QListWidget>(f, "ListBox1", 498, 24, 140, 80);
    makeText<QLabel>(f, "labelVcpList", "VCP LIST", 646, 22, 90, 16);
    ListBox2 = make<QListWidget>(f, "ListBox2", 646, 40, 100, 64);
    UpDown1 = make<QSpinBox>(f, "UpDown1", 750, 40, 36, 22);
    Edit4 = makeText<QLineEdit>(f, "Edit4", "COMn", 498, 110, 70, 22);
    Edit5 = makeText<QLineEdit>(f, "Edit5", "", 572, 110, 70, 22);
    Edit19 = makeText<QLineEdit>(f, "Edit19", "", 646, 110, 70, 22);
    Edit9 = makeText<QLineEdit>(f, "Edit9", "", 720, 110, 62, 22);
    CheckBox1 = makeText<QCheckBox>(f, "CheckBox1", "FTDI", 498, 138, 76, 22);
    Button38 = makeText<QPushButton>(f, "Button38", "Hello", 580, 138, 60, 22);
    Button42 = makeText<QPushButton>(f, "Button42", "close", 644, 138, 60, 22);
    Button13 = makeText<QPushButton>(f, "Button13", "DeviceManager", 498, 166, 120, 22);
    Label15 = makeText<QLabel>(f, "Label15", kYearNotReported, 630, 170, 50, 18, false);

    frame(f, "オプション", 490, 206, 300, 110);
    makeText<QLabel>(f, "labelHazard", "ハザード", 498, 228, 70, 18);
    Button18 = makeText<QPushButton>(f, "Button18", "ハザード", 498, 226, 70, 22, false);
    Edit1 = makeText<QLineEdit>(f, "Edit1", "", 570, 226, 40, 22);
    makeText<QLabel>(f, "labelGravity", "Gravity", 498, 254, 70, 18);
    Button19 = makeText<QPushButton>(f, "Button19", "Gravity", 498, 252, 70, 22, false);
    Edit2 = makeText<QLineEdit>(f, "Edit2", "", 570, 252, 40, 22);
    makeText<QLabel>(f, "labelDisplay", "表示", 498, 280, 70, 18);
    Button23 = makeText<QPushButton>(f, "Button23", "表示", 498, 278, 70, 22, false);
    Edit8 = makeText<QLineEdit>(f, "Edit8", "", 570, 278, 40, 22);
    makeText<QLabel>(f, "labelWait", "Wait", 620, 228, 40, 18);
    Label31 = makeText<QLabel>(f, "Label31", "", 662, 228, 60, 18);
    Label30 = makeText<ClickLabel>(f, "Label30", "開始設定", 620, 254, 70, 18, false);
    Button5 = makeText<QPushButton>(f, "Button5", "T", 620, 278, 30, 22, false);
    // How long a silent logger is waited for before an exchange is given up.
    auto* silenceLabel = makeText<QLabel>(f, "labelSilenceLimit", "無応答待ち", 620, 280, 84, 18);
    SilenceLimitBox = make<QSpinBox>(f, "SilenceLimitBox", 706, 278, 76, 22);
    SilenceLimitBox->setRange(1, 3600);
    SilenceLimitBox->setSuffix(QStringLiteral(" s"));
    SilenceLimitBox->setValue(kDefaultSilenceLimitS);
    SilenceLimitBox->setKeyboardTracking(false);  // takes the number once it is typed whole
    SilenceLimitBox->setToolTip(QStringLiteral("ロガーが無応答のまま待つ秒数 / Seconds a silent logger is waited for"));
    silenceLabel->setBuddy(SilenceLimitBox);

    frame(f, "ファームウェア", 490, 322, 300, 150);
    Edit22 = makeText<QLineEdit>(f, "Edit22", ":020000040002F8", 498, 342, 150, 22);
    Memo2 = make<LogMemo>(f, "Memo2", 498, 368, 284, 96);
}

void TForm1::FormCreate()
{
    // 1. Place the window by the screen's size.
    const QSize screen = platform.screenSize ? platform.screenSize() : QSize(1024, 768);
    const int left = screen.width() >= 1024 ? screen.width() / 8 : screen.width() / 16;
    const int top = screen.height() >= 800 ? screen.height() / 8 : 10;
    move(left, top);

    // 2. The compact size: down to just below the FILE button, as wide as the memo and its margins.
    resize(2 * Memo1->x() + Memo1->width(), Button11->y() + 67);

    // 3. Empty queues and memo.
    queuedCommand1.clear();
    queuedCommand2.clear();
    queuedCommand3.clear();
    monitorQueuedCommand.clear();
    Memo1->clear();
    tickSendPos = -1;

    // 4.
    UpDown1->setRange(0, 100);
    UpDown1->setValue(0);
    Edit3->setText(QStringLiteral("1"));

    // 5. The first tick.
    guard([this] { Timer1Timer(); });

    // 6.
    intervalCodes = kIntervalCodes;
    intervalIndex = 0;

    // 7.
    Button22->hide();
    wakeArmed = 0;

    // 8. Threshold list "00" .. "98".
    QStringList thresholds;
    for (int i = 0; i < 99; ++i)
        thresholds << QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
    ComboBox1->addItems(thresholds);
    ComboBox1->showText(QStringLiteral("10"));

    // 9. Start modes.
    ComboBox4->addItems({QStringLiteral("今すぐ開始"), QStringLiteral("Sleep"), QStringLiteral("予約開始")});
    ComboBox4->showText(QStringLiteral("記録開始"));

    // 10. Recording intervals.
    ComboBox2->addItems({QStringLiteral("1sec"), QStringLiteral("5sec"), QStringLiteral("10sec"),
                         QStringLiteral("15sec"), QStringLiteral("20sec"), QStringLiteral("30sec"),
                         QStringLiteral("1min"), QStringLiteral("2min"), QStringLiteral("3min"),
                         QStringLiteral("4min"), QStringLiteral("5min"), QStringLiteral("10min"),
                         QStringLiteral("15min"), QStringLiteral("20min"), QStringLiteral("30min")});
    ComboBox2->showText(QStringLiteral("10min"));

    // 11. Sampling periods.
    ComboBox3->addItems({QStringLiteral("1mTRC"), QStringLiteral("2mTRC"), QStringLiteral("5mTRC"),
                         QStringLiteral("10mTRC"), QStringLiteral("20mTRC"), QStringLiteral("1msec"),
                         QStringLiteral("2msec"), QStringLiteral("5msec"), QStringLiteral("10msec"),
                         QStringLiteral("20msec")});
    ComboBox3->showText(QStringLiteral("R"));

    // 12.
    ProgressBar1->hide();
    compactWidth = width();
    compactHeight = height();
    Button45->hide();
    firmwareSending = 0;
}

}  // namespace zelt
