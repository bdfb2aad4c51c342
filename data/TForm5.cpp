#include "data/TForm5.h"

#include "platform/PeriodicTimer.h"
#include "platform/Readable.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace zelt {

namespace {
QStringList twoDigits(int from, int to)
{
    QStringList items;
    for (int i = from; i <= to; ++i)
        items << QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
    return items;
}
}  // namespace

TForm5::TForm5(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("予約時間"));
    resize(262, 110);
    const auto box = [this](const char* name, const char* caption, int x, const QStringList& items) {
        auto* l = new QLabel(QString::fromUtf8(caption), this);
        l->setGeometry(x + 14, 8, 20, 16);
        auto* c = new SettingsBox(this);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(x, 26, 52, 24);
        c->addItems(items);
        return c;
    };
    ComboBox1 = box("ComboBox1", "月", 8, twoDigits(1, 12));
    ComboBox2 = box("ComboBox2", "日", 68, twoDigits(1, 31));
    ComboBox3 = box("ComboBox3", "時", 136, twoDigits(0, 23) << QStringLiteral("00"));
    ComboBox4 = box("ComboBox4", "分", 202, twoDigits(0, 59) << QStringLiteral("00"));
    auto* colon = new QLabel(QStringLiteral("："), this);
    QFont bold = colon->font();
    bold.setBold(true);
    colon->setFont(bold);
    colon->setGeometry(190, 28, 12, 20);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(96, 70, 70, 26);
    Timer1 = new PeriodicTimer(1000, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    fitLabelsToText(this);  // a larger desktop font cuts no caption
}

}  // namespace zelt
