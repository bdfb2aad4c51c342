#pragma once
// Opens the system's device manager, where the user finds which COM number
// the adapter was given. Plain C++ and Win32.

namespace zelt::win {

// Asks the shell to "open" devmgmt.msc (the default verb, no parameters, the
// current directory), shown normally and owned by ownerWindow (an HWND, or
// null). True when the shell accepted the request; the tool does nothing
// more either way.
bool openDeviceManager(void* ownerWindow);

}  // namespace zelt::win
