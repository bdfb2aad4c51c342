#include "link/SystemComPort.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "link/WinComPort.h"
#else
#include "link/QtComPort.h"
#endif

namespace zelt {

std::unique_ptr<ComPort> makeSystemComPort(PortChooser choosePort)
{
#ifdef Q_OS_WIN
    return std::make_unique<WinComPort>(std::move(choosePort));
#else
    return std::make_unique<QtComPort>(std::move(choosePort));
#endif
}

quint16 chosenComNumber(const PortChooser& choosePort)
{
    const std::vector<SerialDeviceInfo> ports = listSerialDevices();
    const std::optional<int> chosen = choosePort ? choosePort(ports) : std::nullopt;
    if (!chosen || *chosen <= 0 || *chosen > 65535)
        throw PortError("No serial port was selected");
    return static_cast<quint16>(*chosen);
}

}  // namespace zelt
