#include "data/TForm4.h"

#include "platform/PeriodicTimer.h"

#include <QLabel>

namespace zelt {

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("計算結果"));
    resize(263, 161);
    int y = 4;
    const auto label = [this, &y](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(4, y, 255, 22);
        y += 25;
        return l;
    };
    Label1 = label("Label1");
    Label2 = label("Label2");
    Label7 = label("Label7");
    Label3 = label("Label3");
    Label4 = label("Label4");
    Label5 = label("Label5");
    Timer1 = new PeriodicTimer(500, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
}

}  // namespace zelt
