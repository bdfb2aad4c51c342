#include "settings/TForm3.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zelt {

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
    Button1 = new QPushButton(QStringLiteral("Set My_ID"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(110, 40, 100, 26);
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
}

}  // namespace zelt
