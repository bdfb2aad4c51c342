#pragma once
// The recording start mode: the start-mode box of the main window, the
// reservation label and query, and the reservation dialog "予約時間" with its
// month, day, hour and minute boxes.
//
// The start-mode box acts on changes made by the user (typing, choosing an
// item); the texts the settings report puts there send nothing.
#include <QObject>
#include <QString>

class QComboBox;
class QLineEdit;

namespace zelt {

class TForm1;
class TForm5;

// month x 1000000 + day x 10000 + hour x 100 + minute.
int reservationKey(int month, int day, int hour, int minute);

// What a reservation box holds before a typed digit goes in: its text
// trimmed, "00" for an empty text, at most its first two characters.
QString reservationBoxBeforeDigit(const QString& text);

// A box's text once the digit is typed: the digit goes behind the prepared
// text and the box keeps its last two digits, so "00" then 0 and 8 gives
// "08", and a box never holds more than two digits.
QString reservationBoxWithDigit(const QString& text, QChar digit);

class StartModeFeature : public QObject {
public:
    StartModeFeature(TForm1& form, TForm5& dialog);

    // Start-mode box (ComboBox4 of the main window) with its present text.
    void ComboBox4Change(const QString& text);
    void Label25DblClick();  // shows the reservation dialog
    void Label26DblClick();  // reservation query "t"

    // The reservation dialog.
    void FormShow();        // boxes from the reservation text
    void Button1Click();    // OK
    void ComboBox2Change(); // day box, checked against the month
    void Timer1Timer();     // the corrected day into the day box

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool busy() const;
    void digitTyped(QComboBox* box, QChar digit);
    int boxKey() const;

    TForm1& f_;
    TForm5& d_;
};

}  // namespace zelt
