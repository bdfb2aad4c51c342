#pragma once
// UTF-16 texts handed to the wide Win32 functions and back. wchar_t is two
// bytes on Windows, so the conversion is a reinterpretation, not a copy.
#include <string>

namespace zelt::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t holds UTF-16");

inline const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string fromWide(const wchar_t* text, size_t length)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

}  // namespace zelt::win
