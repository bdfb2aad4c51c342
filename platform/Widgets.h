#pragma once
// Small widget variants the forms need beyond the toolkit's own.
#include <QLabel>
#include <QMouseEvent>

namespace zelt {

// A label that reports clicks and double clicks (several labels of the main
// window act as buttons).
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            emit clicked();
        QLabel::mousePressEvent(e);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            emit doubleClicked();
        QLabel::mouseDoubleClickEvent(e);
    }
};

}  // namespace zelt
