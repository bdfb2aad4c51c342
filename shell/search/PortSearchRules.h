#pragma once
// The port search of the periodic tick in plain C++: which serial ports the
// registry lists, which of them are virtual COM ports, and whether the
// logger's own adapter (or, when asked for, a generic adapter) is one of
// them. No toolkit and no operating system here: the same code runs in the
// tool on every platform and in the Windows layer's tests, on top of the
// real Windows registry reader.
#include "platform/RegistryKeys.h"

#include <optional>
#include <string>
#include <vector>

namespace zelt {

// The keys read, under HKEY_LOCAL_MACHINE.
extern const char kSerialCommKey[];     // all serial ports
extern const char kLoggerAdapterKey[];  // the logger's own adapter, 0FE3:6002
extern const char kGenericAdapterKey[]; // a generic adapter, 0403:6001

// What one search saw and what it concluded.
struct PortSearchFacts {
    std::vector<std::u16string> valueNames;  // value names of the serial-port key, in order
    bool anyVcp = false;                     // some name contains "VCP"
    std::vector<std::u16string> vcpPorts;    // the port names of the "VCP" names, in order

    bool loggerAdapterKey = false;   // the logger adapter's key exists
    std::u16string loggerPortName;   // its port name, empty when unreadable
    bool genericAdapterKey = false;  // the generic key exists (read only when asked for)
    std::u16string genericPortName;

    enum FoundBy { NotFound, LoggerAdapter, GenericAdapter };
    FoundBy foundBy = NotFound;
    std::u16string portName;  // the port found, "COMn"
};

// Reads the registry as one tick does. The generic adapter's key is read
// only when includeGeneric is set and the logger's own adapter was not found;
// the adapter keys are not read at all when there is no virtual COM port.
PortSearchFacts searchPortKeys(RegistryKeys& registry, bool includeGeneric);

// The port name between the first '(' and the next ')' of a FriendlyName;
// nullopt when there is no such part or it is longer than six characters
// (port names run up to COM999).
std::optional<std::u16string> portNameInFriendlyName(const std::u16string& friendlyName);

}  // namespace zelt
