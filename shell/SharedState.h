#pragma once
// The state that the main window's features share: the line's state (see
// link/LinkState.h) and what only the windows need besides it: the tick's
// clock and its sends, the wake-up, the reservation, the sizes to restore.
// Declared once, here; the main window owns it and every feature reads and
// writes it directly.
#include "link/FixedText.h"
#include "link/LinkState.h"

#include <QString>
#include <cstdint>

namespace zelt {

class RegistryReader;

struct SharedState : LinkState {
    Flag autoConnectDone = 0;
    Flag refreshPending = 0;
    Flag wakeArmed = 0;
    double wakeTime = 0;

    // Clock of the last tick
    QString nowText;
    double nowValue = 0;

    // Characters the tick sends one per tick; tickSendPos -1 = nothing to send
    FixedText<16> tickSendQueue;
    std::int32_t tickSendPos = -1;
    // Command the tick sends once while the monitor runs
    FixedText<12> monitorQueuedCommand;

    // Sizes and the tick's pace to restore after a transfer or a capture
    std::int32_t savedWindowHeight = 0;
    std::int32_t savedTimerInterval = 0;

    // Start mode and reservation
    std::int32_t reservationState = 0;
    QString reservationText;

    // Data set name (graph title)
    QString currentFileName;

    // Scratch text of the command being built
    QString parameterText;

    // Caption while a port is found; suffix of the search captions
    QString versionCaption = QStringLiteral("UPdater203.0Jun7th");

    // Read-only registry reader of the port search
    RegistryReader* portRegistry = nullptr;

    // Window size chosen at start
    std::int32_t compactWidth = 0;
    std::int32_t compactHeight = 0;
};

}  // namespace zelt
