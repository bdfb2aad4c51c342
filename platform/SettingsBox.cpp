#include "platform/SettingsBox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace zelt {

SettingsBox::SettingsBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    // The lists are fixed tables: a typed text confirmed with Return is not
    // added to them.
    setInsertPolicy(QComboBox::NoInsert);
    connect(lineEdit(), &QLineEdit::textEdited, this, &SettingsBox::edited);
    connect(this, &QComboBox::activated, this, &SettingsBox::activatedItem);
}

void SettingsBox::showText(const QString& text)
{
    reported_ = text;
    if (typing_)
        return;  // the user's unfinished text stays in the box
    setEditText(text);
}

void SettingsBox::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (typing_ && key == Qt::Key_Escape) {
        // The typed text is given up: the box shows the last value again
        // and nothing is sent.
        typing_ = false;
        setEditText(reported_);
        event->accept();
        return;
    }
    if (typing_ && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        // The typed text is finished. The box's own handling of Return (an
        // activation when the text names an item) then finds it reported.
        finishTyping();
    }
    QComboBox::keyPressEvent(event);
}

void SettingsBox::focusOutEvent(QFocusEvent* event)
{
    // Leaving the box finishes the typed text. A list the box opens itself
    // takes the focus for a moment, and another window may be brought up
    // while the user types: neither finishes anything.
    const Qt::FocusReason reason = event->reason();
    if (typing_ && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
        finishTyping();
    QComboBox::focusOutEvent(event);
}

void SettingsBox::edited()
{
    typing_ = true;
}

void SettingsBox::activatedItem(int index)
{
    typing_ = false;
    report(itemText(index));
}

void SettingsBox::finishTyping()
{
    typing_ = false;
    report(currentText());
}

void SettingsBox::report(const QString& text)
{
    if (text == reported_)
        return;  // already reported, or the same item picked again
    reported_ = text;
    emit userChanged(text);
}

}  // namespace zelt
