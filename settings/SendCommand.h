#pragma once
// The one procedure every settings control follows: guard, clear the log
// memo, open the port, write the command, then the after-send action.
#include <QByteArray>
#include <functional>

namespace zelt {

class TForm1;

enum class Guard {
    None,
    Identified,      // only while loggerReady is set
    IdentifiedIdle,  // only while loggerReady is set and no exchange runs (port closed)
};

enum class AfterSend {
    None,
    Refresh,    // "p" into queuedCommand1 and the tick stopped
    StopTimer,  // the tick stopped; the logger's end mark restarts it
    Timer,      // the tick set to the given interval
};

struct CommandRule {
    Guard guard = Guard::None;
    bool clearLog = false;
    bool singleCharacters = false;  // written one character at a time
    AfterSend after = AfterSend::None;
    int timerMs = 0;                // for AfterSend::Timer
};

// A capture stream or a firmware transfer has the line: no command may go out.
bool lineBusy(const TForm1& f);
// Whether the guard lets a control act now (never while the line is busy).
bool guardAllows(const TForm1& f, Guard guard);

// Asks for the settings report at the next end mark and stops the tick.
void requestRefresh(TForm1& f);

// Runs the procedure; build makes the command bytes once the log is cleared
// and the port open (an error it raises leaves those steps done and sends
// nothing). Returns false when the guard refused, true when sent.
bool sendCommand(TForm1& f, const CommandRule& rule, const std::function<QByteArray()>& build);

}  // namespace zelt
