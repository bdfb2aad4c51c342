#include "platform/win/NamedMutexGuard.h"

#include "platform/win/WideText.h"

#include <windows.h>

namespace zelt::win {

NamedMutexGuard::NamedMutexGuard(const std::u16string& name)
{
    // CreateMutexW tells an existing mutex from a new one only through the
    // last error, which it is not documented to clear for a new one: start
    // from a clean one.
    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexW(nullptr, TRUE, wide(name));
    const DWORD error = GetLastError();
    if (mutex && error == ERROR_SUCCESS) {
        handle_ = mutex;
        return;
    }
    // Someone else's mutex: our handle would only keep it alive.
    if (mutex)
        CloseHandle(mutex);
}

NamedMutexGuard::~NamedMutexGuard()
{
    if (handle_) {
        ReleaseMutex(static_cast<HANDLE>(handle_));
        CloseHandle(static_cast<HANDLE>(handle_));
    }
}

}  // namespace zelt::win
