#include "platform/SettingsBox.h"

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
    setEditText(text);
    shownBefore_ = text;
}

void SettingsBox::showPopup()
{
    shownBefore_ = currentText();
    QComboBox::showPopup();
}

void SettingsBox::keyPressEvent(QKeyEvent* event)
{
    shownBefore_ = currentText();
    QComboBox::keyPressEvent(event);
}

void SettingsBox::wheelEvent(QWheelEvent* event)
{
    shownBefore_ = currentText();
    QComboBox::wheelEvent(event);
}

void SettingsBox::edited(const QString& text)
{
    // A keystroke that edits the text always changes it.
    shownBefore_ = text;
    emit userChanged(text);
}

void SettingsBox::activatedItem(int index)
{
    const QString text = itemText(index);
    if (text == shownBefore_)
        return;  // the text was already reported, or the same item picked again
    shownBefore_ = text;
    emit userChanged(text);
}

}  // namespace zelt
