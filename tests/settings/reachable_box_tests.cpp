// The settings boxes as a user reaches them: the window shown at the size it
// opens at, enlarged with "↓", the monitor switched on and off with its
// button; then picks with the mouse and typing with the keyboard into the
// focused box. Each change the user makes sends one command.
#include "SettingsTool.h"

#include "platform/LogMemo.h"
#include "platform/SettingsBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>

using namespace zelt;
using namespace zelt::test;

namespace {

struct ShownTool : SettingsTool {
    ShownTool()
    {
        f->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(f));
        QApplication::setActiveWindow(f);
        EXPECT_TRUE(QTest::qWaitForWindowActive(f));
    }
    ~ShownTool() { f->hide(); }

    void click(QWidget* w)
    {
        ASSERT_TRUE(reachable(w)) << w->objectName().toStdString();
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
    }

    // Visible, enabled and wholly inside the window as it stands.
    bool reachable(QWidget* w) const
    {
        const QRect inWindow(w->mapTo(f, QPoint(0, 0)), w->size());
        return w->isVisible() && w->isEnabled() && f->rect().contains(inWindow);
    }

    // The enlarged window after one round of the monitor.
    void enlargeAndLeaveTheMonitor()
    {
        click(f->Label20);
        ASSERT_EQ(f->height(), f->compactHeight + 160);
        click(f->Button10);
        ASSERT_EQ(f->monitorMode, 1);
        click(f->Button10);
        ASSERT_EQ(f->monitorMode, 0);
        f->Timer1->setInterval(kParkedTick);
        written();
        if (port.Open())
            port.setOpen(false);
    }

    void openList(QComboBox* box)
    {
        ASSERT_TRUE(reachable(box)) << box->objectName().toStdString();
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.editable = true;
        const QRect arrow = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, box);
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, arrow.center());
    }

    // Opens the box's list with a click on its arrow and clicks the item.
    void pick(QComboBox* box, const QString& item)
    {
        openList(box);
        QAbstractItemView* view = box->view();
        ASSERT_TRUE(waitFor([view] { return view->isVisible(); })) << "the list did not open";
        const int row = box->findText(item, Qt::MatchExactly);
        ASSERT_GE(row, 0) << item.toStdString();
        const QModelIndex index = box->model()->index(row, 0);
        view->scrollTo(index);
        const QPoint at = view->visualRect(index).center();
        QTest::mouseMove(view->viewport(), at);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        ASSERT_TRUE(waitFor([view] { return !view->isVisible(); })) << "the list stayed open";
    }

    // Opens the box's list with a click on its arrow, moves to the item with
    // the arrow keys and confirms it with Return.
    void pickByKeyboard(QComboBox* box, const QString& item)
    {
        openList(box);
        QAbstractItemView* view = box->view();
        ASSERT_TRUE(waitFor([view] { return view->isVisible(); })) << "the list did not open";
        const int target = box->findText(item, Qt::MatchExactly);
        ASSERT_GE(target, 0) << item.toStdString();
        for (int guard = 0; guard < 200 && view->currentIndex().row() != target; ++guard)
            QTest::keyClick(view, view->currentIndex().row() < target ? Qt::Key_Down : Qt::Key_Up);
        ASSERT_EQ(view->currentIndex().data().toString(), item);
        QTest::keyClick(view, Qt::Key_Return);
        ASSERT_TRUE(waitFor([view] { return !view->isVisible(); })) << "the list stayed open";
    }

    // Clicks into the box's text and types keys where the focus is.
    void typeInto(QComboBox* box, const QString& keys)
    {
        click(box->lineEdit());
        box->lineEdit()->selectAll();
        for (const QChar c : keys)
            QTest::keyClicks(QApplication::focusWidget(), QString(c));
    }
    void key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); }
};

TEST(ReachableSettingsBoxes, HiddenAtStartShownInsideTheEnlargedWindowAfterTheMonitor)
{
    ShownTool t;
    for (QComboBox* box : {t.f->ComboBox1, t.f->ComboBox2, t.f->ComboBox3, t.f->ComboBox4})
        EXPECT_FALSE(box->isVisible()) << box->objectName().toStdString();
    // The report fills them while hidden.
    t.send("@d=07\n@R=d 15sec\n@I=4\n@s=abcd0\n#");
    t.enlargeAndLeaveTheMonitor();
    for (QComboBox* box : {t.f->ComboBox1, t.f->ComboBox2, t.f->ComboBox3, t.f->ComboBox4})
        EXPECT_TRUE(t.reachable(box)) << box->objectName().toStdString();
    // The range box only shows the logger's range: visible, never enabled.
    EXPECT_TRUE(t.f->ComboBox5->isVisible());
    EXPECT_FALSE(t.f->ComboBox5->isEnabled());
    EXPECT_EQ(t.f->ComboBox1->currentText(), QStringLiteral("07"));
    EXPECT_EQ(t.f->ComboBox2->currentText(), QStringLiteral("15sec"));
    EXPECT_EQ(t.f->ComboBox3->currentText(), QStringLiteral("Trace(32Hz)"));
    EXPECT_EQ(t.f->ComboBox4->currentText(), QStringLiteral("Sleep"));
    EXPECT_EQ(t.written(), QByteArray());

    // Back to the compact view: the boxes are out of the window, as are the
    // command rows; enlarged again they are there.
    t.click(t.f->Label20);
    EXPECT_EQ(t.f->height(), t.f->compactHeight);
    t.click(t.f->Label20);
    EXPECT_TRUE(t.reachable(t.f->ComboBox2));
}

TEST(ReachableSettingsBoxes, PickingAnIntervalSendsItsCommandOnce)
{
    ShownTool t;
    t.enlargeAndLeaveTheMonitor();
    t.pick(t.f->ComboBox2, QStringLiteral("1min"));
    EXPECT_EQ(t.written(), QByteArray("jA"));
    EXPECT_TRUE(t.refreshRequested());
    EXPECT_EQ(t.f->ComboBox2->currentText(), QStringLiteral("1min"));
}

TEST(ReachableSettingsBoxes, PickingAStartModeSendsIt)
{
    ShownTool t;
    t.enlargeAndLeaveTheMonitor();
    t.pick(t.f->ComboBox4, QStringLiteral("Sleep"));
    EXPECT_EQ(t.written(), QByteArray("f"));
    EXPECT_EQ(t.f->queuedCommand1.view(), "p");
}

// Typing a text and confirming it with Return or leaving the box with Tab
// is one change: the command goes out once, when the text is finished.
TEST(ReachableSettingsBoxes, TypedTextIsSentOnceWhenConfirmedWithReturnOrTab)
{
    for (const Qt::Key confirm : {Qt::Key_Return, Qt::Key_Tab}) {
        ShownTool t;
        t.enlargeAndLeaveTheMonitor();
        t.typeInto(t.f->ComboBox1, QStringLiteral("07"));
        EXPECT_EQ(t.written(), QByteArray()) << "sent before the text was finished";
        t.key(confirm);
        EXPECT_EQ(t.written(), QByteArray("d07")) << confirm;
        t.port.setOpen(false);

        t.typeInto(t.f->ComboBox3, QStringLiteral("2msec"));
        EXPECT_EQ(t.written(), QByteArray()) << confirm;
        t.key(confirm);
        EXPECT_EQ(t.written(), QByteArray("iB")) << confirm;
        t.key(confirm);
        EXPECT_EQ(t.written(), QByteArray()) << "sent again on key " << confirm;
    }
}

// "20" typed into the threshold box and confirmed: one "d20". The report
// that answers it (with its detection line) leaves the focus in the box, so
// the user's next key is no command either.
TEST(ReachableSettingsBoxes, ThresholdTypedWhileTheLoggerAnswersIsOneCommand)
{
    ShownTool t;
    t.enlargeAndLeaveTheMonitor();
    // Detection on, as the logger reports it; the exchanges that report
    // starts are answered to their end.
    t.send("@W=abcd1\n#");
    for (int mark = 0; mark < 5 && !t.written().isEmpty(); ++mark)
        t.send("#");
    ASSERT_FALSE(t.port.Open());
    ASSERT_EQ(t.f->thresholdDetect, 1);
    t.typeInto(t.f->ComboBox1, QStringLiteral("2"));
    EXPECT_EQ(t.written(), QByteArray());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("0"));
    t.key(Qt::Key_Return);
    EXPECT_EQ(t.written(), QByteArray("d20"));
    // The logger answers: end mark, the refresh "p", then its report.
    t.send("#");
    EXPECT_EQ(t.written(), QByteArray("p"));
    t.send("@d=20\n@W=abcd1\n#");
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_EQ(QApplication::focusWidget(), t.f->ComboBox1);
    EXPECT_EQ(t.f->ComboBox1->currentText(), QStringLiteral("20"));
    t.key(Qt::Key_Space);
    EXPECT_EQ(t.written(), QByteArray());
    EXPECT_TRUE(t.f->CheckBox2->isChecked());
    EXPECT_EQ(t.f->thresholdDetect, 1);
}

// Choosing a reserved start before a time was confirmed opens the dialog
// and sends nothing; closing it leaves nothing queued for the next
// command's end mark.
TEST(ReachableSettingsBoxes, ReservedStartLeftUnconfirmedLeavesNothingQueued)
{
    ShownTool t;
    t.enlargeAndLeaveTheMonitor();
    t.f->reservationState = 0;
    t.pick(t.f->ComboBox4, QStringLiteral("予約開始"));
    EXPECT_EQ(t.written(), QByteArray());
    QWidget* dialog = QApplication::activeWindow();
    ASSERT_TRUE(waitFor([&] {
        dialog = QApplication::activeWindow();
        return dialog && dialog != t.f;
    }));
    dialog->close();
    QApplication::setActiveWindow(t.f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(t.f));
    t.click(t.f->Button15);  // 情報
    EXPECT_EQ(t.written(), QByteArray("m"));
    t.send("#");
    EXPECT_EQ(t.written(), QByteArray()) << "a command went out unasked at the end mark";
}

TEST(ReachableSettingsBoxes, PickingTheItemAlreadyShownIsNoChange)
{
    ShownTool t;
    t.enlargeAndLeaveTheMonitor();
    t.pick(t.f->ComboBox1, QStringLiteral("12"));
    EXPECT_EQ(t.written(), QByteArray("d12"));
    t.port.setOpen(false);
    t.pickByKeyboard(t.f->ComboBox1, QStringLiteral("12"));
    EXPECT_EQ(t.written(), QByteArray());
    // A text the report set is no change either when picked.
    t.send("@d=33\n#");
    t.written();
    t.pickByKeyboard(t.f->ComboBox1, QStringLiteral("33"));
    EXPECT_EQ(t.written(), QByteArray());
    t.pickByKeyboard(t.f->ComboBox1, QStringLiteral("34"));
    EXPECT_EQ(t.written(), QByteArray("d34"));
}

}  // namespace

namespace {

// The logger's answers to the buttons that only ask (時間表示, GET, id)
// while the memo holds a data set: the data set stays as it is, and the
// answers are shown in the answer line above it, the latest exchange's
// lines in the line and the ones before in its tooltip.
TEST(AnswersBesideADataSet, AreShownInTheAnswerLineAndNeverInTheDataSet)
{
    ShownTool t;
    t.enlargeAndLeaveTheMonitor();
    const std::vector<QByteArray> dataSet = {"Start Year=2024 @1G=10", "date time,x(G),y(G),z(G),temperature(C)",
                                             "2024/06/24 09:00:05.000,  0,  0,  3, -1.2"};
    t.f->Memo1->clear();
    for (const QByteArray& line : dataSet)
        t.f->Memo1->addLine(line);
    EXPECT_FALSE(t.f->answerLine->isVisible());

    t.click(t.f->Button16);  // 時間表示
    EXPECT_EQ(t.written(), QByteArray("t"));
    t.send("Now 2024/06/24 10:00:00\nRes 06/25 08:30\n#");
    EXPECT_EQ(t.memo(), dataSet);
    ASSERT_TRUE(t.f->answerLine->isVisible());
    EXPECT_TRUE(t.reachable(t.f->answerLine));
    EXPECT_EQ(t.f->answerLine->text(), QStringLiteral("Now 2024/06/24 10:00:00  Res 06/25 08:30"));

    t.click(t.f->Button54);  // id
    EXPECT_EQ(t.written(), QByteArray("Kr"));
    t.send("K= LOGGER 01\n#");
    EXPECT_EQ(t.memo(), dataSet);
    EXPECT_EQ(t.f->answerLine->text(), QStringLiteral("K= LOGGER 01"));
    EXPECT_EQ(t.f->answerLine->toolTip(),
              QStringLiteral("Now 2024/06/24 10:00:00\nRes 06/25 08:30\nK= LOGGER 01"));

    // Only the last answers are kept.
    t.click(t.f->Button54);
    t.written();
    QByteArray many;
    for (int i = 0; i < TForm1::kKeptAnswers + 5; ++i)
        many += QStringLiteral("line %1\n").arg(i).toLatin1();
    t.send(many + "#");
    EXPECT_EQ(t.f->answerLine->toolTip().split(QLatin1Char('\n')).size(), TForm1::kKeptAnswers);

    // A memo that is the log again takes the answers, and the line goes.
    t.f->Memo1->clear();
    ASSERT_FALSE(t.port.Open());
    t.click(t.f->Button16);
    t.send("Now 2024/06/24 10:00:01\n#");
    EXPECT_EQ(t.memo(), std::vector<QByteArray>{"Now 2024/06/24 10:00:01"});
    EXPECT_FALSE(t.f->answerLine->isVisible());
}

}  // namespace
