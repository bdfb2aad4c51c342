// The ID and wait dialogs: shown from the main window's labels, their value
// formats and guards, the ID field's key filter, and the ID they start with.
#include "SettingsTool.h"

#include "platform/Widgets.h"
#include "settings/TForm3.h"

#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace zelt;
using namespace zelt::test;

namespace {

struct DialogTool : SettingsTool {
    TForm3& form3() { return app->form3(); }
    TForm6& form6() { return app->form6(); }
};

TEST(IdDialog, OpensFromTheMyIdLabelWithTheFocusInItsField)
{
    DialogTool t;
    ASSERT_FALSE(t.form3().isVisible());
    QTest::mouseClick(t.f->Label17, Qt::LeftButton);  // a single click does not open it
    EXPECT_FALSE(t.form3().isVisible());
    emit t.f->Label17->doubleClicked();
    EXPECT_TRUE(t.form3().isVisible());
    EXPECT_EQ(t.form3().focusWidget(), t.form3().Edit1);
    EXPECT_EQ(t.form3().windowTitle(), QStringLiteral("Set_My_ID"));
    EXPECT_EQ(t.written(), QByteArray());
}

TEST(IdDialog, SendsThreeDigitsShowsThemAndHides)
{
    const struct {
        const char* typed;
        const char* bytes;
        const char* shown;
    } cases[] = {
        {"", "Y000", "000"}, {"300", "Y000", "000"}, {"42", "Y042", "042"},
        {"7", "Y007", "007"}, {"255", "Y255", "255"}, {"256", "Y000", "000"},
    };
    for (const auto& c : cases) {
        DialogTool t;
        t.form3().show();
        t.form3().Edit1->setText(QString::fromLatin1(c.typed));
        t.form3().Button1->click();
        EXPECT_EQ(t.written(), QByteArray(c.bytes)) << c.typed;
        EXPECT_EQ(t.form3().Edit1->text(), QString::fromLatin1(c.shown)) << c.typed;
        EXPECT_TRUE(t.refreshRequested()) << c.typed;
        EXPECT_FALSE(t.form3().isVisible()) << c.typed;
        EXPECT_TRUE(t.dialogs.messages.isEmpty()) << c.typed;
    }
}

TEST(IdDialog, RefusedWithoutAReadyLoggerOrDuringAnExchange)
{
    for (const bool ready : {false, true}) {
        DialogTool t;
        t.f->loggerReady = ready ? 1 : 0;
        if (ready)
            t.exchangeRunning();
        t.form3().show();
        t.form3().Edit1->setText(QStringLiteral("42"));
        t.form3().Button1->click();
        EXPECT_EQ(t.written(), QByteArray()) << ready;
        EXPECT_TRUE(t.form3().isVisible()) << ready;
        EXPECT_EQ(t.form3().Edit1->text(), QStringLiteral("42"));
        EXPECT_TRUE(t.f->queuedCommand1.empty());
        EXPECT_EQ(t.tick(), SettingsTool::kParkedTick);
    }
}

TEST(IdDialog, PastedTextThatIsNotAnIntegerIsReported)
{
    DialogTool t;
    t.form3().show();
    t.form3().Edit1->setText(QStringLiteral("4a"));  // as pasted; typing cannot give it
    t.form3().Button1->click();
    EXPECT_EQ(t.written(), QByteArray());
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_EQ(t.dialogs.messages[0], QStringLiteral("'4a' is not a valid integer value"));
    EXPECT_TRUE(t.form3().isVisible());
    EXPECT_FALSE(t.port.Open());
    EXPECT_TRUE(t.f->queuedCommand1.empty());
}

TEST(IdDialog, FieldTakesOnlyDigitsAndBackspace)
{
    DialogTool t;
    t.form3().show();
    QLineEdit* edit = t.form3().Edit1;
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("1a2-b 3.+x"));
    EXPECT_EQ(edit->text(), QStringLiteral("123"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(edit->text(), QStringLiteral("2"));
    typeText(edit, QStringLiteral("９"));  // a full-width digit is not one of the keys
    EXPECT_EQ(edit->text(), QStringLiteral("2"));

    // Text composed with an input method is judged the same way.
    QTest::keyClick(edit, Qt::Key_End);
    const struct {
        QString commit;
        const char* after;
    } composed[] = {{QStringLiteral("45"), "245"}, {QStringLiteral("6ａ"), "245"}, {QStringLiteral("ID"), "245"}};
    for (const auto& c : composed) {
        QInputMethodEvent event;
        event.setCommitString(c.commit);
        QCoreApplication::sendEvent(edit, &event);
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.after)) << c.commit.toStdString();
    }

    const struct {
        int key;
        const char* text;
        bool passes;
    } keys[] = {
        {Qt::Key_0, "0", true},         {Qt::Key_9, "9", true},       {Qt::Key_Backspace, "\b", true},
        {Qt::Key_Backspace, "", true},  {Qt::Key_Left, "", true},     {Qt::Key_Tab, "\t", true},
        {Qt::Key_Delete, "\x7f", true}, {Qt::Key_A, "a", false},      {Qt::Key_Minus, "-", false},
        {Qt::Key_Space, " ", false},    {Qt::Key_Return, "\r", false}, {Qt::Key_Escape, "\x1b", false},
        {Qt::Key_V, "\x16", false},     {Qt::Key_1, "12", false},
    };
    for (const auto& k : keys)
        EXPECT_EQ(idFieldAcceptsKey(k.key, QString::fromLatin1(k.text)), k.passes) << k.text;
}

TEST(IdDialog, KeepsTheIdOfItsCreationUntilEdited)
{
    DialogTool t;
    EXPECT_EQ(t.form3().Edit1->text(), QStringLiteral("00"));
    t.send("@M= 0042\n");
    ASSERT_EQ(t.f->Label18->text(), QStringLiteral("042"));
    emit t.f->Label17->doubleClicked();
    EXPECT_EQ(t.form3().Edit1->text(), QStringLiteral("00"));
}

TEST(WaitDialog, OpensFromItsLabelAndSendsTwoDigits)
{
    const struct {
        const char* typed;
        const char* bytes;
        const char* shown;
    } cases[] = {
        {nullptr, "w05", "05"},  // the starting text "5"
        {"100", "w00", "00"}, {"9", "w09", "09"}, {"", "w00", "00"}, {"99", "w99", "99"}, {"-1", "w00", "00"},
    };
    for (const auto& c : cases) {
        DialogTool t;
        QTest::mouseClick(t.f->Label30, Qt::LeftButton);
        emit t.f->Label30->clicked();
        ASSERT_TRUE(t.form6().isVisible());
        EXPECT_EQ(t.form6().windowTitle(), QStringLiteral("WaitOption"));
        if (c.typed)
            t.form6().Edit1->setText(QString::fromLatin1(c.typed));
        t.form6().Button1->click();
        EXPECT_EQ(t.written(), QByteArray(c.bytes));
        EXPECT_EQ(t.form6().Edit1->text(), QString::fromLatin1(c.shown));
        EXPECT_TRUE(t.refreshRequested());
        EXPECT_FALSE(t.form6().isVisible());
    }
}

TEST(WaitDialog, GuardsAndTypedTextThatIsNotAnInteger)
{
    DialogTool t;
    t.form6().show();
    t.form6().Edit1->clear();
    QTest::keyClicks(t.form6().Edit1, QStringLiteral("abc"));  // typing is not filtered here
    t.form6().Button1->click();
    EXPECT_EQ(t.written(), QByteArray());
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    EXPECT_EQ(t.dialogs.messages[0], QStringLiteral("'abc' is not a valid integer value"));
    EXPECT_TRUE(t.form6().isVisible());

    t.form6().Edit1->setText(QStringLiteral("3"));
    t.exchangeRunning();
    t.form6().Button1->click();
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_TRUE(t.form6().isVisible());
    t.port.setOpen(false);
    t.f->loggerReady = 0;
    t.form6().Button1->click();
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_EQ(t.form6().Edit1->text(), QStringLiteral("3"));
    t.f->loggerReady = 1;
    t.form6().Button1->click();
    EXPECT_EQ(t.written(), QByteArray("w03"));
    EXPECT_FALSE(t.form6().isVisible());
}

}  // namespace
