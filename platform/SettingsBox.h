#pragma once
// An editable list box whose changes by the user are reported once per
// change of its text.
//
// The toolkit reports a user's change through two roads: every keystroke
// that edits the text, and every "activation" of an item (a pick from the
// list, arrow keys or the wheel on the closed box, and also Return or
// leaving the box after typing an item's text). Taken together they would
// report a typed item twice, the second time in the middle of the exchange
// the first one started. This box reports an activation only when it really
// changes the text from what the box showed before.
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

    // Shows text as the program's value (a report from the logger).
    void showText(const QString& text);

signals:
    // The user changed the text to text.
    void userChanged(const QString& text);

protected:
    // Each of these may lead to an activation: the text shown before it is
    // the one an activation is compared with.
    void showPopup() override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void edited(const QString& text);
    void activatedItem(int index);

    QString shownBefore_;
};

}  // namespace zelt
