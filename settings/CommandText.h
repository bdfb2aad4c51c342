#pragma once
// Building the parameters of the settings commands: plain text rules with no
// widget, so that every form can be checked on its own.
//
// A text that must be an integer and is not one raises std::runtime_error
// with the text "'<text>' is not a valid integer value"; the handler's error
// boundary shows it and the command is not sent.
#include <QString>

namespace zelt {

// The text without its trailing blanks and control characters (every
// character up to U+0020); leading blanks stay.
QString trimRightText(const QString& text);

// A decimal integer: optional leading blanks, an optional sign, one or more
// digits and nothing after them; it must fit in 32 bits. Anything else
// raises the invalid-integer error.
int parseInteger(const QString& text);

// Parameter forms of the command buttons; each takes an edit box's text.
// Signed two digits: "-" for a negative value, then n/10 and n mod 10
// (5 -> "05", -7 -> "-07", 0 -> "00", 123 -> "123").
QString formatSignedTwoDigits(const QString& editText);
// "00" (switch off) when the box shows "ON", else "01" (switch on).
QString toggleParameter(const QString& editText);
// The text itself, trailing blanks removed.
QString rawParameter(const QString& editText);
// Record digits: v/1000 followed by (v/100) mod 10 (1500 -> "15",
// 900 -> "09", 12345 -> "123"). A negative value has no such digits and is
// refused with an error, like a text that is not an integer.
QString formatRecordDigits(const QString& editText);

// The sampling code sent with "i" for a sampling text: one of the fourteen
// rows from "8Hz" ('2') to "1mTRC" ('F'), '0' for any other text.
char samplingCodeFor(const QString& text);

// Index of the recording-interval row whose text is exactly text
// (case-sensitive), -1 when none is.
int intervalIndexForText(const QString& text);
// The index the "10min" button moves to: the next one, where 9 (past the
// minute intervals), 15 (past the seconds) and anything outside the table
// become 0.
int nextIntervalIndex(int index);

// The ID of the "Set_My_ID" dialog as three digits: empty text is 0, a value
// outside 0..255 becomes 0 (7 -> "007").
QString formatIdValue(const QString& editText);
// The wait value of the "WaitOption" dialog as two digits: empty text is 0,
// a value outside 0..99 becomes 0 (5 -> "05").
QString formatWaitValue(const QString& editText);

// Counts per G for a range text while no logger is ready: 0 -> 1, 1 -> 100,
// 2 -> 50, 10 -> 10, 20 -> 5, 50 -> 2, any other integer -> 10.
int countsPerGForRange(const QString& text);

// The name proposed for the configuration file of the logger with this ID.
QString configFileName(const QString& loggerId);

}  // namespace zelt
