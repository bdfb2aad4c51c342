// A process that does what the tool does first: take the instance guard, and
// end at once with exit code 1 when another process holds it. Holding it, the
// process signals the named event given to it and waits until it is killed.
//   instance_holder.exe <mutex name> <ready event name>
#include "platform/win/NamedMutexGuard.h"

#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    zelt::win::NamedMutexGuard guard(reinterpret_cast<const char16_t*>(argv[1]));
    if (!guard.acquired())
        return 1;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!ready)
        return 3;
    SetEvent(ready);
    CloseHandle(ready);
    Sleep(INFINITE);
    return 0;
}
