#pragma once
// The bytes of the settings commands that take a value, and what the end
// marks after them send: one rule for each, used by the main window's
// controls and by the command-line tool alike. No widget.
#include <QByteArray>
#include <QString>
#include <optional>

namespace zelt {

struct LinkState;

// "d" and the threshold text, as the box shows it ("15").
QByteArray thresholdCommand(const QString& text);
// "j" and the code letter of a recording-interval index: the logger's own
// code table where it has given one, else the tool's.
QByteArray intervalCommand(const LinkState& state, int index);
// "i" and the sampling code of a sampling text ('0' for a text not in the table).
QByteArray samplingCommand(const QString& text);
// The range text itself ("10", "20", "50", "00", "01", "02").
QByteArray rangeCommand(const QString& text);
// "Y" and the ID as three digits; "w" and the wait as two (formatIdValue,
// formatWaitValue).
QByteArray idCommand(const QString& idText);
QByteArray waitCommand(const QString& waitText);
// "s" and the computer's date and time ("yyyy/mm/dd hh:mm:ss"): the
// logger's clock.
QByteArray clockCommand(const QString& nowText);

// A start-mode choice: the command sent at once and the end-mark queue
// after it.
struct StartModeChange {
    QByteArray command;
    QByteArray queued1, queued2, queued3;
};
// For "今すぐ開始", "Sleep", "開始" and, with a reservation time, "予約開始"
// (or "予約開始*"); nullopt for any other text.
std::optional<StartModeChange> startModeChange(const QString& text, const QString& nowText,
                                               const QString& reservationText);

// The texts of the start-mode choices.
extern const QString kStartNow;       // "今すぐ開始"
extern const QString kStartSleep;     // "Sleep"
extern const QString kStartRunning;   // "開始"
extern const QString kStartReserved;  // "予約開始"
extern const QString kStartReservedMarked;  // "予約開始*"

}  // namespace zelt
