#pragma once
// A reading of the live monitor: the logger's present X, Y and Z and its
// temperature, scanned from the text of its reply to "n".
#include <optional>
#include <string>
#include <string_view>

namespace zelt {

// What one scan of a reading reply found. A field that the text does not
// carry stays absent, so the control showing it keeps its last content.
struct MonitorReading {
    struct Axis {
        bool present = false;      // the letter occurs in the text
        std::string text;          // up to 5 characters after letter and separator
        std::optional<int> value;  // the number in them, when they hold one
    };
    Axis x, y, z;
    std::optional<std::string> temperature;  // the temperature text without its unit; empty: none readable
};

// Scans the accumulated text of one reading reply. Every occurrence of the
// letters X, Y, Z and p counts, the last one of a letter winning:
// - X, Y, Z: after the letter and one separator character, `text` is the
//   next 5 characters (fewer where the text ends), and `value` a decimal
//   integer read there: blanks skipped, then at most 5 characters of an
//   optional sign and digits, at least one digit.
// - p: after the letter and one separator, the temperature is the run of
//   blanks, signs, digits and points that follows. Its unit letter and any
//   text of later lines (the reply's lines accumulate without separators)
//   are not part of it. A "p" that ends a word ("temp") is no field. A field
//   whose run holds no digit gives an empty temperature: the value shown
//   is cleared rather than left at an earlier reading.
MonitorReading scanMonitorText(std::string_view text);

// Track bar position for a reading: 20 is the zero point; readings beyond
// +-20 sit at the ends of the bar (0 and 40).
int trackBarPosition(int value);

}  // namespace zelt
