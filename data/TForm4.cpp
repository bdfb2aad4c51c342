#include "data/TForm4.h"

#include "platform/PeriodicTimer.h"
#include "platform/Readable.h"

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
        // Seven lines of 22 pixels fill the window: the six values and a
        // note on the mean override.
        l->setGeometry(4, y, 255, 20);
        y += 22;
        return l;
    };
    Label1 = label("Label1");
    Label2 = label("Label2");
    Label7 = label("Label7");
    Label3 = label("Label3");
    Label4 = label("Label4");
    Label5 = label("Label5");
    Label8 = label("Label8");
    keepTextReadable(Label8, QColor(0xC0, 0x00, 0x00));
    Timer1 = new PeriodicTimer(500, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
}

}  // namespace zelt
