#pragma once
// The registry questions of the port search answered by Windows itself:
// keys under HKEY_LOCAL_MACHINE, opened read-only, their values enumerated in
// the order the system gives them. Plain C++ and Win32, no toolkit.
#include "platform/RegistryKeys.h"

namespace zelt::win {

class WindowsRegistry : public RegistryKeys {
public:
    // keyPath: relative to HKEY_LOCAL_MACHINE, with backslashes
    // ("HARDWARE\\DEVICEMAP\\SERIALCOMM"). A key that does not exist, or that
    // cannot be opened for reading, gives nullopt. Values of the types REG_SZ
    // and REG_EXPAND_SZ (unexpanded) carry their text up to the first NUL;
    // values of other types are listed by name with empty data.
    std::optional<std::vector<RegistryEntry>> readKey(const std::u16string& keyPath) override;
};

}  // namespace zelt::win
