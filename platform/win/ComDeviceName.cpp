#include "platform/win/ComDeviceName.h"

namespace zelt::win {

std::u16string comDeviceName(int comNumber)
{
    if (comNumber < 1 || comNumber > kMaxComNumber)
        return {};
    std::u16string name = u"\\\\.\\COM";
    for (char c : std::to_string(comNumber))
        name += static_cast<char16_t>(c);
    return name;
}

}  // namespace zelt::win
