#pragma once
// Extra serial devices registered under a COM number.
//
// The tool names ports COMn everywhere. Real USB serial adapters get their
// number from a fixed rule (see ComPortNames.h); a device that has no such
// rule (the simulated logger's pseudo-terminal) is registered here instead:
// a symbolic link named "COM<n>" in the port directory pointing to the device.
// Plain C++ so that the simulator can register itself without Qt. On Windows
// nothing is ever registered: its ports all carry their COM names.
#include <map>
#include <string>

namespace zelt {

// The directory holding the registrations: $ZELT_PORT_DIR when set (tests use
// it to keep their devices private), else $XDG_RUNTIME_DIR/zelt-view-ports,
// else /tmp/zelt-view-ports-<uid>.
std::string portDirectory();

// Registers devicePath as COM<comNumber>, replacing an older registration of
// that number. Returns false and fills *error when the link cannot be made.
bool registerPort(int comNumber, const std::string& devicePath, std::string* error = nullptr);
void unregisterPort(int comNumber);

// COM number -> device path of every registration whose device still exists
// and whose registering process still runs.
std::map<int, std::string> registeredPorts();

}  // namespace zelt
