#include "platform/win/DeviceManager.h"

#include <windows.h>
#include <shellapi.h>

namespace zelt::win {

bool openDeviceManager(void* ownerWindow)
{
    const HINSTANCE result =
        ShellExecuteW(static_cast<HWND>(ownerWindow), L"", L"devmgmt.msc", L"", L"", SW_SHOWNORMAL);
    // Values above 32 mean success; smaller ones are error codes.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace zelt::win
