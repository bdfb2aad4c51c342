// The main window by keyboard and for a screen reader: the labels that act
// as buttons are reached with Tab and act on Space or Return; every button
// and acting label says what it does (tooltip) and carries its caption and
// what it sends as its accessible name, in Japanese and in English.
#include "platform/Language.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "platform/Widgets.h"
#include "settings/TForm3.h"
#include "tests/AppFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <set>

using namespace zelt;
using namespace zelt::test;

namespace {

struct ShownWindow : LinkedTool {
    ShownWindow()
    {
        f->Timer1->setInterval(3600000);  // no tick during a test
        f->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(f));
        QApplication::setActiveWindow(f);
        EXPECT_TRUE(QTest::qWaitForWindowActive(f));
    }
    ~ShownWindow()
    {
        f->hide();
        useLanguage(Language::Japanese);
    }

    // Presses Tab from the focus until w has it; false when a whole round
    // through the window never reaches it.
    bool tabTo(QWidget* w)
    {
        std::set<QWidget*> seen;
        for (int i = 0; i < 400; ++i) {
            QWidget* focus = QApplication::focusWidget();
            if (focus == w)
                return true;
            if (focus && !seen.insert(focus).second && seen.size() > 3 && focus == *seen.begin())
                break;
            QTest::keyClick(focus ? focus : static_cast<QWidget*>(f), Qt::Key_Tab);
        }
        return QApplication::focusWidget() == w;
    }
};

bool hasJapanese(const QString& t)
{
    return std::any_of(t.begin(), t.end(), [](QChar c) { return c.unicode() >= 0x3000; });
}

TEST(KeyboardReach, ActingLabelsAreReachedWithTabAndActOnSpaceOrReturn)
{
    ShownWindow t;
    // "↓" enlarges the window with Space, and brings it back with Return.
    const int compact = t.f->height();
    ASSERT_TRUE(t.tabTo(t.f->Label20)) << "Tab never reaches ↓";
    QTest::keyClick(t.f->Label20, Qt::Key_Space);
    EXPECT_EQ(t.f->height(), compact + 160);
    QTest::keyClick(t.f->Label20, Qt::Key_Return);
    EXPECT_EQ(t.f->height(), compact);
    QTest::keyClick(t.f->Label20, Qt::Key_Space);

    // 予約日時 asks the logger for its reservation.
    ASSERT_TRUE(t.tabTo(t.f->Label26)) << "Tab never reaches 予約日時";
    QTest::keyClick(t.f->Label26, Qt::Key_Return);
    EXPECT_EQ(t.port.takeWritten(), QByteArray("t"));
    t.send("#");

    // BZ switches the buzzer ("BZ-OFF" shown: "z0").
    t.send("@B=0001\n#");
    t.port.takeWritten();
    t.port.setOpen(false);
    ASSERT_TRUE(t.f->Label19->isVisible());
    ASSERT_TRUE(t.tabTo(t.f->Label19)) << "Tab never reaches BZ";
    QTest::keyClick(t.f->Label19, Qt::Key_Space);
    EXPECT_EQ(t.port.takeWritten(), QByteArray("z0"));

    // My ID opens the ID dialog.
    ASSERT_TRUE(t.tabTo(t.f->Label17)) << "Tab never reaches My ID";
    QTest::keyClick(t.f->Label17, Qt::Key_Space);
    EXPECT_TRUE(t.app->form3().isVisible());
    t.app->form3().hide();
}

TEST(ControlHelp, EveryButtonSaysWhatItDoesAndSendsInBothLanguages)
{
    ShownWindow t;
    struct Sample {
        QWidget* control;
        const char* nameJa;
        const char* nameEn;
        const char* tipEn;
    };
    const Sample samples[] = {
        {t.f->Button15, "情報（送信: m）", "Info (sends m)", "Shows the logger's information (sends m)"},
        {t.f->Button30, "取得（送信: D）", "Get (sends D)", "Downloads the recorded data (sends D)"},
        {t.f->Label26, "予約日時（送信: t）", nullptr, "Asks the logger for its reserved start (sends t)"},
    };
    for (const Sample& s : samples)
        EXPECT_EQ(s.control->accessibleName(), QString::fromUtf8(s.nameJa)) << s.nameJa;

    const auto everyControl = [&] {
        QList<QWidget*> controls;
        for (QAbstractButton* b : t.f->findChildren<QAbstractButton*>())
            if (qobject_cast<QPushButton*>(b) && b->window() == t.f)  // not the dialogs'
                controls.append(b);
        for (ClickLabel* l : t.f->findChildren<ClickLabel*>())
            if (l->keyAction() != ClickLabel::KeyAction::None)
                controls.append(l);
        return controls;
    };
    ASSERT_GE(everyControl().size(), 50);
    for (QWidget* w : everyControl()) {
        EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }

    // English, picked in the box as a user does.
    auto* box = t.f->findChild<QComboBox*>(QStringLiteral("LanguageBox"));
    ASSERT_NE(box, nullptr);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    ASSERT_TRUE(waitFor([&] { return t.f->Button15->toolTip().startsWith(QStringLiteral("Shows")); }));
    for (const Sample& s : samples) {
        if (s.nameEn) {
            EXPECT_EQ(s.control->accessibleName(), QString::fromUtf8(s.nameEn)) << s.nameEn;
        }
        EXPECT_EQ(s.control->toolTip(), QString::fromUtf8(s.tipEn));
    }
    for (QWidget* w : everyControl()) {
        EXPECT_FALSE(hasJapanese(w->toolTip())) << w->objectName().toStdString() << ": " << w->toolTip().toStdString();
        EXPECT_FALSE(hasJapanese(w->accessibleName()))
            << w->objectName().toStdString() << ": " << w->accessibleName().toStdString();
    }
    // The captions themselves stay as they are.
    EXPECT_EQ(t.f->Button15->text(), QStringLiteral("Info"));

    // And back.
    QTest::keyClick(box, Qt::Key_Up);
    ASSERT_TRUE(waitFor([&] { return t.f->Button15->toolTip() == QStringLiteral("ロガーの情報を表示します（送信: m）"); }));
}

}  // namespace
