#include "settings/SendCommand.h"

#include "link/ComPort.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "shell/TForm1.h"

namespace zelt {

bool lineBusy(const TForm1& f)
{
    return f.onlineRow != 0 || f.firmwareSending;
}

bool guardAllows(const TForm1& f, Guard guard)
{
    // While a capture stream or a firmware transfer has the line, a command
    // would land in the samples or in the loader: every control waits.
    if (lineBusy(f))
        return false;
    switch (guard) {
    case Guard::None: return true;
    case Guard::Identified: return f.loggerReady != 0;
    case Guard::IdentifiedIdle: return f.loggerReady != 0 && !f.ApdComPort1->Open();
    }
    return false;
}

void requestRefresh(TForm1& f)
{
    f.queuedCommand1 = "p";
    f.Timer1->setInterval(0);
}

bool sendCommand(TForm1& f, const CommandRule& rule, const std::function<QByteArray()>& build)
{
    if (!guardAllows(f, rule.guard))
        return false;
    if (rule.clearLog)
        f.Memo1->clear();
    ComPort& port = *f.ApdComPort1;
    if (!port.Open())
        port.setOpen(true);
    const QByteArray command = build();
    if (rule.singleCharacters) {
        for (const char c : command)
            port.PutChar(c);
    } else {
        port.PutString(command);
    }
    switch (rule.after) {
    case AfterSend::None: break;
    case AfterSend::Refresh: requestRefresh(f); break;
    case AfterSend::StopTimer: f.Timer1->setInterval(0); break;
    case AfterSend::Timer: f.Timer1->setInterval(rule.timerMs); break;
    }
    return true;
}

}  // namespace zelt
