#pragma once
// The live monitor: the logger's present X, Y and Z readings and temperature,
// shown in three labels, three track bars and a text box while the tick asks
// the logger for a reading about three times a second. Also the "Z" button,
// whose answer is listed in the log memo like any other.
#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace zelt {

class TForm1;

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

class MonitorFeature : public QObject {
public:
    // Joins the monitor, "やりなおし" and "Z" buttons of the main window, the
    // reply scan to the dispatcher's monitor lines and the switch-off to the
    // tick's loss of the port.
    explicit MonitorFeature(TForm1& form);

    void Button10Click();  // モニタ / もどる
    void Button22Click();  // やりなおし: the tick sends "hAAA" instead of the next request
    void Button41Click();  // Z

    // Scans lineBuffer at a line feed of a monitor reply.
    void replyLine();
    // Leaves the monitor as the button does.
    void switchOff();
    // A reading did not come in time: the values show "---".
    void showStale();

private:
    void switchOn();
    std::vector<QWidget*> normalControls() const;
    std::vector<QWidget*> monitorControls() const;

    TForm1& f_;
    bool readingInReply_ = false;  // the reply under way has carried a reading
};

}  // namespace zelt
