#include "settings/TForm3.h"

#include "platform/Readable.h"

#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace zelt {

namespace {

void placeInScreenCentre(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

bool digitsOnly(const QString& text)
{
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

}  // namespace

bool idFieldAcceptsKey(int key, const QString& text)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Delete || key == Qt::Key_Backspace)
        return true;
    if (text.isEmpty())
        return true;
    if (text.size() != 1)
        return false;
    const QChar c = text.at(0);
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QChar(8);
}

TForm3::TForm3(const QString& initialId, QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Set_My_ID"));
    resize(280, 110);
    Label1 = new QLabel(QStringLiteral("このZELTのID番号をセットします。"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(12, 10, 260, 20);
    Edit1 = new QLineEdit(initialId, this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(12, 40, 80, 24);
    Edit1->installEventFilter(this);
    Button1 = new QPushButton(QStringLiteral("Set My_ID"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(110, 40, 100, 26);
    fitLabelsToText(this);  // a larger desktop font cuts no caption
    placeInScreenCentre(this);
}

void TForm3::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Edit1->setFocus();
}

bool TForm3::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!idFieldAcceptsKey(key->key(), key->text()))
                return true;  // discarded
        } else if (event->type() == QEvent::InputMethod) {
            // Text composed with an input method is judged like typed keys.
            const auto* input = static_cast<QInputMethodEvent*>(event);
            if (!digitsOnly(input->commitString()))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

TForm6::TForm6(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("WaitOption"));
    resize(220, 80);
    Button1 = new QPushButton(QStringLiteral("Set_Wait"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    QFont bold = Button1->font();
    bold.setBold(true);
    Button1->setFont(bold);
    Button1->setGeometry(100, 24, 100, 28);
    Edit1 = new QLineEdit(QStringLiteral("5"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(12, 26, 70, 24);
    fitLabelsToText(this);
    placeInScreenCentre(this);
}

}  // namespace zelt
