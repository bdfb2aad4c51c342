#pragma once
// Small widget variants the forms need beyond the toolkit's own.
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace zelt {

// A label that reports clicks and double clicks (several labels of the main
// window act as buttons).
//
// A label that acts (setKeyAction) is reachable by keyboard as a button is:
// Tab stops at it, it shows the focus, and Space or Return does what a click
// (or the double click it answers) does.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    enum class KeyAction { None, Click, DoubleClick };
    void setKeyAction(KeyAction action)
    {
        keyAction_ = action;
        setFocusPolicy(action == KeyAction::None ? Qt::NoFocus : Qt::StrongFocus);
    }
    KeyAction keyAction() const { return keyAction_; }

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
    void keyPressEvent(QKeyEvent* e) override
    {
        const int key = e->key();
        const bool activates = e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier;
        if (keyAction_ != KeyAction::None && activates &&
            (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) && !e->isAutoRepeat()) {
            if (keyAction_ == KeyAction::Click)
                emit clicked();
            else
                emit doubleClicked();
            e->accept();
            return;
        }
        QLabel::keyPressEvent(e);
    }
    void paintEvent(QPaintEvent* e) override
    {
        QLabel::paintEvent(e);
        if (!hasFocus())
            return;
        QPainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(backgroundRole());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }

private:
    KeyAction keyAction_ = KeyAction::None;
};

}  // namespace zelt
