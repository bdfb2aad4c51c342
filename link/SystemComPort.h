#pragma once
// The serial port of the real device on this system: the one place that
// picks its class. Windows reads and writes its COM ports through the
// Windows layer's serial line (WinComPort); elsewhere the toolkit's serial
// port serves (QtComPort). Both keep the same contract (see QtComPort.h).
#include "link/ComPort.h"
#include "platform/ComPortNames.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zelt {

// Picks a port when the port number is 0; nullopt means none was chosen.
// An empty chooser selects none: a port without a number does not open.
using PortChooser = std::function<std::optional<int>(const std::vector<SerialDeviceInfo>& ports)>;

std::unique_ptr<ComPort> makeSystemComPort(PortChooser choosePort = {});

// The port number the chooser picks from the system's serial devices, for a
// port opened without a number; throws PortError when none was chosen.
quint16 chosenComNumber(const PortChooser& choosePort);

}  // namespace zelt
