#pragma once
// Shift-JIS (code page 932) by the system's own converter: the texts the tool
// sends to the logger, keeps in its log memo and writes to files. The
// contract is the one of platform/Cp932.h, which calls these on Windows.
// Plain C++ and Win32.
#include <string>

namespace zelt::win {

// Encodes UTF-16 text as CP932; every character CP932 cannot represent (a
// character outside the basic plane or an unpaired surrogate included)
// becomes one '?'. No "best fit" stands in for a missing character.
std::string toCodePage932(const std::u16string& text);

// Decodes CP932 bytes; a byte that does not begin a valid character becomes
// U+FFFD and the decoding goes on with the next byte.
std::u16string fromCodePage932(const std::string& bytes);

}  // namespace zelt::win
