#pragma once
// The registry questions of the port search answered by this system.
//
// On Windows the keys are read from HKEY_LOCAL_MACHINE as they stand, by
// the Windows layer's reader (platform/win/WindowsRegistry.h).
// On Linux the answers come from the kernel's view of the devices (sysfs):
//  - the serial-port key lists every USB serial device; those driven by the
//    FTDI driver (and devices registered under a COM number, such as the
//    simulated logger) are named "\Device\VCP<k>", others "\Device\Serial<k>";
//    the data of each name is its COM name;
//  - the logger's own adapter (USB 0FE3:6002, or a registered device) answers
//    with FriendlyName "USB Serial Port (COMn)";
//  - the generic adapter (USB 0403:6001) answers with PortName "COMn".
#include "platform/ComPortNames.h"
#include "platform/PortRegistry.h"

#include <functional>

namespace zelt {

class SystemRegistry : public RegistryReader {
public:
    // devices: where the serial devices come from (tests pass their own list).
    explicit SystemRegistry(std::function<std::vector<SerialDeviceInfo>()> devices = nullptr);
    std::optional<std::vector<RegistryValue>> readKey(const QString& keyPath) override;

private:
    std::function<std::vector<SerialDeviceInfo>()> devices_;
};

}  // namespace zelt
