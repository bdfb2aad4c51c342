// Start-up of the tool: window placement, the compact view, the initial
// shared state, the controls of all six windows, the error boundary.
#include "tests/AppFixture.h"

#include "data/TForm4.h"
#include "data/TForm5.h"
#include "graph/TForm2.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "settings/TForm3.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QScrollBar>
#include <QSpinBox>
#include <QListWidget>
#include <QSlider>
#include "platform/Widgets.h"
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zelt;
using namespace zelt::test;

namespace {

struct Placement {
    QSize screen;
    QPoint topLeft;
};

class PlacementTest : public ::testing::TestWithParam<Placement> {};

TEST_P(PlacementTest, WindowIsPlacedByScreenSize)
{
    AppFixture fx;
    TForm1& f = fx.start(GetParam().screen);
    EXPECT_EQ(f.pos(), GetParam().topLeft);
}

INSTANTIATE_TEST_SUITE_P(Screens, PlacementTest,
                         ::testing::Values(Placement{{1023, 768}, {63, 10}},     // narrow: 1/16, low: 10
                                           Placement{{1024, 800}, {128, 100}},   // 1/8 and 1/8
                                           Placement{{1280, 799}, {160, 10}},    // one pixel short of 800
                                           Placement{{1920, 1080}, {240, 135}}));

TEST(Startup, CompactViewAndInitialState)
{
    AppFixture fx;
    TForm1& f = fx.start();

    // The compact view: down to 67 pixels below FILE's top, the memo's width and margins.
    EXPECT_EQ(f.height(), f.Button11->y() + 67);
    EXPECT_EQ(f.width(), 2 * f.Memo1->x() + f.Memo1->width());
    EXPECT_EQ(f.compactWidth, f.width());
    EXPECT_EQ(f.compactHeight, f.height());

    EXPECT_EQ(f.tickSendPos, -1);
    EXPECT_TRUE(f.queuedCommand1.empty());
    EXPECT_TRUE(f.queuedCommand2.empty());
    EXPECT_TRUE(f.queuedCommand3.empty());
    EXPECT_TRUE(f.monitorQueuedCommand.empty());
    EXPECT_EQ(f.countsPerG, 10);
    EXPECT_EQ(f.linkUp, 0);
    EXPECT_EQ(f.loggerReady, 0);
    EXPECT_EQ(f.firmwareSending, 0);
    EXPECT_EQ(f.wakeArmed, 0);
    EXPECT_STREQ(f.intervalCodes.c_str(), "ABCDEJOT^abcdef");
    EXPECT_EQ(f.intervalIndex, 0);
    EXPECT_EQ(f.versionCaption, QStringLiteral("UPdater203.0Jun7th"));
    EXPECT_EQ(f.recordLines.size(), 0);
    EXPECT_EQ(f.recordCount, 0);

    // Threshold list: exactly 99 items, "00" .. "98".
    ASSERT_EQ(f.ComboBox1->count(), 99);
    EXPECT_EQ(f.ComboBox1->itemText(0), QStringLiteral("00"));
    EXPECT_EQ(f.ComboBox1->itemText(9), QStringLiteral("09"));
    EXPECT_EQ(f.ComboBox1->itemText(98), QStringLiteral("98"));
    EXPECT_EQ(f.ComboBox1->currentText(), QStringLiteral("10"));
    EXPECT_EQ(f.ComboBox2->count(), 15);
    EXPECT_EQ(f.ComboBox2->currentText(), QStringLiteral("10min"));
    EXPECT_EQ(f.ComboBox3->count(), 10);
    EXPECT_EQ(f.ComboBox3->currentText(), QStringLiteral("R"));
    EXPECT_EQ(f.ComboBox4->count(), 3);
    EXPECT_EQ(f.ComboBox4->itemText(0), QStringLiteral("今すぐ開始"));
    EXPECT_EQ(f.ComboBox4->itemText(2), QStringLiteral("予約開始"));
    EXPECT_EQ(f.UpDown1->maximum(), 100);

    // The first tick ran during creation: no port in an empty registry.
    EXPECT_EQ(f.caption(), QStringLiteral("Can't find a ZELTUPdater203.0Jun7th"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("No Port"));
    EXPECT_EQ(f.Edit9->text(), QStringLiteral("2000"));
    EXPECT_EQ(f.Timer1->interval(), 2000);
    EXPECT_FALSE(f.nowText.isEmpty());
    EXPECT_TRUE(fx.dialogs.messages.isEmpty());
}

TEST(Startup, SixWindowsOnlyTheMainOneShown)
{
    AppFixture fx;
    fx.start();
    fx.f().show();
    EXPECT_TRUE(fx.app->form1().isVisible());
    EXPECT_EQ(fx.app->form2().windowTitle(), QStringLiteral("ZELT GRAPH"));
    EXPECT_EQ(fx.app->form3().windowTitle(), QStringLiteral("Set_My_ID"));
    EXPECT_EQ(fx.app->form4().windowTitle(), QStringLiteral("計算結果"));
    EXPECT_EQ(fx.app->form5().windowTitle(), QStringLiteral("予約時間"));
    EXPECT_EQ(fx.app->form6().windowTitle(), QStringLiteral("WaitOption"));
    for (QWidget* w : std::initializer_list<QWidget*>{&fx.app->form2(), &fx.app->form3(), &fx.app->form4(),
                                                      &fx.app->form5(), &fx.app->form6()})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_EQ(fx.app->form3().Edit1->text(), QStringLiteral("00"));  // the ID label at creation
    EXPECT_EQ(fx.app->form2().size(), QSize(1054, 780));
    EXPECT_EQ(fx.app->form4().size(), QSize(263, 161));
}

// Every control of the main window with its caption and whether it is shown at start.
struct ControlSpec {
    const char* name;
    const char* text;  // nullptr: not checked
    bool visible;
};

const ControlSpec kMainControls[] = {
    {"Button4", "接<->続", true},    {"Button38", "Hello", true},      {"Button42", "close", true},
    {"Button13", "DeviceManager", true}, {"Button45", "S", false},     {"Button46", "m", true},
    {"Button31", "SETBLE", false},   {"Button32", "RSTBLE", false},    {"Button37", "Start", false},
    {"Button39", "Update", false},   {"Button8", "VER", true},         {"Button11", "FILE", true},
    {"Button6", "保存", true},       {"Button12", "グラフ", true},     {"Button30", "取得", true},
    {"Button47", "ENQ", true},       {"Button3", "V3", true},          {"Button28", "*", true},
    {"Button10", "モニタ", true},    {"Button40", "5ms", true},        {"Button41", "Z", true},
    {"Button27", "SAV", true},       {"Button22", "やりなおし", false}, {"Button17", "10min", true},
    {"Button9", "検出値", true},     {"Button15", "情報", true},       {"Button5", "T", false},
    {"Button44", "OLD", true},       {"Button56", "GPS", true},        {"Button29", "GET", true},
    {"Button16", "時間表示", true},  {"Button1", "e", true},           {"Button2", "新規開始", true},
    {"Button26", "Button26", true},  {"Button7", "ON", true},          {"Button14", "StandBy", true},
    {"Button18", "ハザード", false}, {"Button19", "Gravity", false},   {"Button20", "エンドレス", true},
    {"Button21", "100hz", true},     {"Button23", "表示", false},      {"Button24", "DF", true},
    {"Button25", "LCD1", true},      {"Button33", "DR50", true},       {"Button34", "DR10", true},
    {"Button35", "N", true},         {"Button36", "L", true},          {"Button43", "320", true},
    {"Button48", "L", true},         {"Button49", "W", true},          {"Button50", "Rec", true},
    {"Button53", "X2", true},        {"Button51", "Y2", true},         {"Button52", "Z2", true},
    {"Button54", "id", true},        {"Button55", "Wid", true},        {"CheckBox1", nullptr, true},
    {"CheckBox2", "CheckBox2", true}, {"Label1", "Xaxis", false},      {"Label2", "Yaxis", false},
    {"Label3", "Zaxis", false},      {"Label11", "000", false},        {"Label27", "000", false},
    {"Label32", "000", false},       {"Label15", "20XX", false},       {"Label17", "My ID", true},
    {"Label18", "00", true},         {"Label20", "↓", true},           {"Label22", "  RUN", true},
    {"Label25", "00/00 00:00", true}, {"Label26", "予約日時", true},   {"Label30", "開始設定", false},
    {"Label36", "調整用->", true},   {"Edit4", "COMn", true},          {"Edit22", ":020000040002F8", true},
    {"ComboBox1", nullptr, false},   {"ComboBox2", nullptr, false},    {"ComboBox3", nullptr, false},
    {"ComboBox4", nullptr, false},   {"ComboBox5", nullptr, true},     {"ProgressBar1", nullptr, false},
    {"Memo1", nullptr, true},        {"Memo2", nullptr, true},         {"Image4", nullptr, true},
    {"Image5", nullptr, false},      {"TrackBar1", nullptr, false},    {"TrackBar2", nullptr, false},
    {"TrackBar3", nullptr, false},   {"Edit10", nullptr, false},       {"ListBox1", nullptr, true},
    {"ListBox2", nullptr, true},     {"UpDown1", nullptr, true},       {"Edit1", nullptr, true},
    {"Edit2", nullptr, true},        {"Edit3", nullptr, true},         {"Edit5", nullptr, true},
    {"Edit6", nullptr, true},        {"Edit7", nullptr, true},         {"Edit8", nullptr, true},
    {"Edit9", nullptr, true},        {"Edit11", nullptr, true},        {"Edit12", nullptr, true},
    {"Edit14", nullptr, true},       {"Edit15", nullptr, true},        {"Edit16", nullptr, true},
    {"Edit17", nullptr, true},       {"Edit19", nullptr, true},        {"Edit20", nullptr, true},
    {"Edit21", nullptr, true},       {"Label6", nullptr, true},        {"Label13", nullptr, true},
    {"Label19", nullptr, true},      {"Label23", nullptr, true},       {"Label24", nullptr, true},
    {"Label31", nullptr, true},      {"Label33", nullptr, true},       {"Label39", nullptr, true},
    {"Label41", nullptr, true},
};

QString textOf(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    return {};
}

TEST(Startup, MainWindowControlsExistWithCaptions)
{
    AppFixture fx;
    TForm1& f = fx.start();
    f.show();
    for (const ControlSpec& c : kMainControls) {
        auto* w = f.findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        if (c.text) {
            EXPECT_EQ(textOf(w), QString::fromUtf8(c.text)) << c.name;
        }
        EXPECT_EQ(w->isVisible(), c.visible) << c.name;
    }
    // The compact view shows the status picture, identity, memo and the three buttons.
    const QRect compact(0, 0, f.compactWidth, f.compactHeight);
    for (QWidget* w : std::initializer_list<QWidget*>{f.Image4, f.Label41, f.Label18, f.Memo1, f.Button8,
                                                      f.Button37, f.Button39, f.ProgressBar1, f.Label20})
        EXPECT_TRUE(compact.contains(w->geometry())) << w->objectName().toStdString();
    // Widening by the "↓" label's 160 pixels uncovers the settings and command rows.
    const QRect enlarged(0, 0, f.compactWidth, f.compactHeight + 160);
    for (QWidget* w : std::initializer_list<QWidget*>{f.ComboBox1, f.Button17, f.CheckBox2, f.Button7, f.Button20,
                                                      f.Button25, f.Button53, f.Button55})
        EXPECT_TRUE(enlarged.contains(w->geometry())) << w->objectName().toStdString();
}

TEST(Startup, ArrowLabelEnlargesAndRestoresTheWindow)
{
    AppFixture fx;
    TForm1& f = fx.start();
    const int compact = f.height();
    QTest::mouseClick(f.Label20, Qt::LeftButton);
    EXPECT_EQ(f.height(), compact + 160);
    EXPECT_EQ(f.Label20->text(), QStringLiteral("↑"));
    QTest::mouseClick(f.Label20, Qt::LeftButton);
    EXPECT_EQ(f.height(), compact);
    EXPECT_EQ(f.Label20->text(), QStringLiteral("↓"));
}

TEST(Startup, OtherWindowsCarryTheirControls)
{
    AppFixture fx;
    fx.start();
    TForm2& g = fx.app->form2();
    EXPECT_EQ(g.Label5->text(), QStringLiteral("FILE"));
    EXPECT_EQ(g.Label4->text(), QStringLiteral("p"));
    EXPECT_EQ(g.Label1->text(), QStringLiteral("count"));
    EXPECT_EQ(g.ComboBox1->currentText(), QStringLiteral("分"));
    EXPECT_EQ(g.ComboBox1->count(), 17);
    EXPECT_EQ(g.ComboBox2->currentText(), QStringLiteral("X"));
    EXPECT_EQ(g.Edit8->text(), QStringLiteral("Edit8"));
    EXPECT_EQ(g.Edit1->text(), QStringLiteral("VOID"));
    EXPECT_EQ(g.Button2->text(), QStringLiteral("印刷"));
    EXPECT_EQ(g.ScrollBar1->minimum(), 3);
    EXPECT_EQ(g.ScrollBar1->value(), 3);
    EXPECT_TRUE(g.CheckBox1->isChecked() && g.CheckBox2->isChecked() && g.CheckBox3->isChecked());
    EXPECT_EQ(g.CheckBox1->pos(), QPoint(68, 38));

    TForm5& r = fx.app->form5();
    EXPECT_EQ(r.ComboBox1->count(), 12);
    EXPECT_EQ(r.ComboBox2->count(), 31);
    EXPECT_EQ(r.ComboBox3->count(), 25);
    EXPECT_EQ(r.ComboBox3->itemText(24), QStringLiteral("00"));
    EXPECT_EQ(r.ComboBox4->count(), 61);
    EXPECT_EQ(r.Timer1->interval(), 1000);
    EXPECT_EQ(fx.app->form4().Timer1->interval(), 500);
    EXPECT_EQ(fx.app->form3().Label1->text(), QStringLiteral("このZELTのID番号をセットします。"));
    EXPECT_EQ(fx.app->form3().Button1->text(), QStringLiteral("Set My_ID"));
    EXPECT_EQ(fx.app->form6().Button1->text(), QStringLiteral("Set_Wait"));
    EXPECT_TRUE(fx.app->form6().Button1->font().bold());
    EXPECT_EQ(fx.app->form6().Edit1->text(), QStringLiteral("5"));
}

TEST(ErrorBoundary, PortThatCannotOpenShowsTheErrorAndTheToolGoesOn)
{
    AppFixture fx;
    TForm1& f = fx.start();
    f.Edit3->setText(QStringLiteral("COM7"));
    fx.port.failNextOpen(QStringLiteral("Cannot open COM7 (/dev/ttyUSB6): Device or resource busy"));
    f.Button4->click();
    ASSERT_EQ(fx.dialogs.messages.size(), 1);
    EXPECT_EQ(fx.dialogs.messages[0], QStringLiteral("Cannot open COM7 (/dev/ttyUSB6): Device or resource busy"));
    // The rest of the handler was skipped: nothing was sent.
    EXPECT_TRUE(fx.port.written().isEmpty());
    EXPECT_EQ(f.connectReportPending, 0);

    // The next press works.
    f.Button4->click();
    EXPECT_EQ(fx.dialogs.messages.size(), 1);
    EXPECT_EQ(fx.port.written(), QByteArray("m"));
    EXPECT_EQ(fx.port.ComNumber(), 7);
    EXPECT_EQ(f.Button4->text(), QStringLiteral("|=|"));
    EXPECT_EQ(f.connectReportPending, 1);
}

}  // namespace

namespace {

// Closing the main window ends the tool while other windows are open: the
// message loop returns 0, every window is closed, the tick has stopped and
// the port is closed.
TEST(Shutdown, ClosingTheMainWindowEndsTheToolWithItsOtherWindowsOpen)
{
    AppFixture t;
    t.withLoggerOn(QStringLiteral("COM3"));
    TForm1& f = t.start();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    // The ID dialog (double click on "My ID") and the reservation dialog
    // (double click on the reservation time) as the user opens them.
    QTest::mouseDClick(f.Label17, Qt::LeftButton, Qt::NoModifier, f.Label17->rect().center());
    QTest::mouseDClick(f.Label25, Qt::LeftButton, Qt::NoModifier, f.Label25->rect().center());
    ASSERT_TRUE(t.app->form3().isVisible());
    ASSERT_TRUE(t.app->form5().isVisible());
    t.port.setOpen(true);
    f.Timer1->setInterval(1000);
    t.port.takeWritten();  // the connect of the first tick

    QTimer::singleShot(0, &f, [&f] { f.close(); });
    // Should the loop not end, this ends it with a code the test reports.
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); });
    const int code = QApplication::exec();

    EXPECT_EQ(code, 0) << "the tool did not end when its main window closed";
    EXPECT_FALSE(f.isVisible());
    for (QWidget* w : std::initializer_list<QWidget*>{&t.app->form2(), &t.app->form3(), &t.app->form4(),
                                                      &t.app->form5(), &t.app->form6()})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_FALSE(t.port.Open());
    EXPECT_EQ(f.Timer1->interval(), 0);
    EXPECT_TRUE(t.port.takeWritten().isEmpty()) << "nothing is sent to the logger on the way out";
}

}  // namespace
