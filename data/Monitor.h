#pragma once
// The live monitor: the logger's present X, Y and Z readings and temperature,
// shown in three labels, three track bars and a text box while the tick asks
// the logger for a reading about three times a second. Also the "Z" button,
// whose answer is listed in the log memo like any other.
#include "data/MonitorReading.h"

#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace zelt {

class TForm1;

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
