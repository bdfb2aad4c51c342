#pragma once
// An editable list box whose changes by the user are reported once per
// change, with the whole text.
//
// A pick (from the open list, with the arrow keys or the wheel on the closed
// box) is a change at once. Typing is not: the user may be half-way through
// "20" when the "2" is in the box, and a command sent for the "2" would set
// the logger to the wrong value (and the logger's report that answers it
// would then overwrite what the user goes on typing). A typed text is
// reported when the user has finished it: Return, or leaving the box; Escape
// gives it up and shows the last value again.
//
// A change is reported only when the text differs from the one last
// reported or shown by the program: a typed item confirmed with Return, or
// the item already shown picked again, sends nothing more.
//
// Texts set by the program (showText, or the toolkit's own setters) are no
// change by the user and are not reported.
#include <QComboBox>
#include <QString>

namespace zelt {

class SettingsBox : public QComboBox {
    Q_OBJECT
public:
    explicit SettingsBox(QWidget* parent = nullptr);

    // Shows text as the program's value (a report from the logger). A text
    // the user is typing stays: the report does not overwrite it.
    void showText(const QString& text);

    // The user has typed into the box and not yet confirmed the text.
    bool typing() const { return typing_; }

signals:
    // The user changed the text to text.
    void userChanged(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void edited();
    void activatedItem(int index);
    void finishTyping();
    void report(const QString& text);

    QString reported_;     // the text last reported, or shown by the program
    bool typing_ = false;  // typed since then, not yet confirmed
};

}  // namespace zelt
