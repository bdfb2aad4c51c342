// The Select Port dialog: its content, and askForPort driven like a user.
#include "platform/SelectPortDialog.h"

#include "PtyHelper.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace zelt {
namespace {

std::vector<SerialDeviceInfo> threePorts()
{
    std::vector<SerialDeviceInfo> ports(3);
    const int numbers[] = {1, 77, 103};
    for (int i = 0; i < 3; ++i) {
        ports[i].comNumber = numbers[i];
        ports[i].comName = comName(numbers[i]);
        ports[i].devicePath = QStringLiteral("/dev/x%1").arg(i);
    }
    return ports;
}

TEST(SelectPortDialog, ShowsCaptionTextsPortsAndButtons)
{
    SelectPortDialog dialog(threePorts());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Port"));

    QStringList texts;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("The configured serial port is not valid."))) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("Please choose another port."))) << texts.join('|').toStdString();

    QStringList items;
    for (int i = 0; i < dialog.portList()->count(); ++i)
        items << dialog.portList()->item(i)->text();
    EXPECT_EQ(items, (QStringList{QStringLiteral("COM1"), QStringLiteral("COM77"), QStringLiteral("COM103")}));

    EXPECT_EQ(dialog.okButton()->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("Cancel"));

    // The first port is preselected; another selection is what OK returns.
    EXPECT_EQ(dialog.selectedComNumber(), std::optional<int>(1));
    dialog.portList()->setCurrentRow(2);
    EXPECT_EQ(dialog.selectedComNumber(), std::optional<int>(103));
    EXPECT_TRUE(dialog.okButton()->isEnabled());
}

TEST(SelectPortDialog, WithoutPortsOkIsDisabled)
{
    SelectPortDialog dialog({});
    EXPECT_EQ(dialog.portList()->count(), 0);
    EXPECT_EQ(dialog.selectedComNumber(), std::nullopt);
    EXPECT_FALSE(dialog.okButton()->isEnabled());
}

// Acts on the modal dialog once it is up (from inside its event loop).
void whenDialogShown(std::function<void(SelectPortDialog*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, act, started] {
        if (auto* dialog = qobject_cast<SelectPortDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        } else if (started->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

TEST(AskForPort, ReturnsTheChosenNumberOrNothingOnCancel)
{
    const struct {
        const char* action;
        int row;
        std::optional<int> result;
    } rows[] = {
        {"ok", 1, 77},
        {"ok", 0, 1},
        {"double-click", 2, 103},
        {"cancel", 1, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.action);
        bool shown = false;
        whenDialogShown([&](SelectPortDialog* dialog) {
            shown = true;
            EXPECT_TRUE(dialog->isModal());
            dialog->portList()->setCurrentRow(row.row);
            const QString action = QString::fromLatin1(row.action);
            if (action == QLatin1String("ok"))
                dialog->okButton()->click();
            else if (action == QLatin1String("cancel"))
                dialog->cancelButton()->click();
            else
                emit dialog->portList()->itemDoubleClicked(dialog->portList()->item(row.row));
        });
        EXPECT_EQ(askForPort(nullptr, threePorts()), row.result);
        EXPECT_TRUE(shown);
    }
}

}  // namespace
}  // namespace zelt
