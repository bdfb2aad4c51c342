#include "platform/win/WindowsRegistry.h"

#include "platform/win/WideText.h"

#include <algorithm>
#include <windows.h>

namespace zelt::win {

namespace {

// Closes the key however the reading ends.
struct OpenKey {
    HKEY key = nullptr;
    ~OpenKey()
    {
        if (key)
            RegCloseKey(key);
    }
};

std::u16string stringData(DWORD type, const std::vector<BYTE>& data, DWORD size)
{
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return {};
    // The stored text need not end with a NUL, and may hold several: the
    // text is what stands before the first one.
    std::u16string text(size / sizeof(char16_t), u'\0');
    if (!text.empty())
        CopyMemory(&text[0], data.data(), text.size() * sizeof(char16_t));
    return text.substr(0, text.find(u'\0'));
}

}  // namespace

std::optional<std::vector<RegistryEntry>> WindowsRegistry::readKey(const std::u16string& keyPath)
{
    OpenKey open;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide(keyPath), 0, KEY_READ, &open.key) != ERROR_SUCCESS)
        return std::nullopt;

    // Buffers as large as the key's longest name and data; a value that grows
    // between this question and its reading enlarges them (ERROR_MORE_DATA).
    DWORD longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(open.key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<wchar_t> name(longestName + 1);
    std::vector<BYTE> data(longestData + sizeof(wchar_t));

    std::vector<RegistryEntry> values;
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        const LONG r = RegEnumValueW(open.key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
        if (r == ERROR_MORE_DATA) {
            name.resize(name.size() * 2);
            data.resize(std::max<size_t>(data.size() * 2, dataSize + sizeof(wchar_t)));
            continue;  // the same value again
        }
        if (r != ERROR_SUCCESS)  // ERROR_NO_MORE_ITEMS, or the key went away
            break;
        values.push_back({fromWide(name.data(), nameLength), stringData(type, data, dataSize)});
        ++index;
    }
    return values;
}

}  // namespace zelt::win
