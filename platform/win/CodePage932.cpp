#include "platform/win/CodePage932.h"

#include "platform/win/WideText.h"

#include <windows.h>

namespace zelt::win {

namespace {

constexpr UINT kCodePage = 932;

bool isSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

// A run of characters of the basic plane, none a surrogate: one call, with
// '?' for each character the code page lacks.
void encodeRun(const char16_t* run, int length, std::string& out)
{
    if (length == 0)
        return;
    const auto* text = reinterpret_cast<const wchar_t*>(run);
    const int size = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, "?", nullptr);
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(size));
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, length, &out[at], size, "?", nullptr);
}

// The lead bytes of the double-byte characters.
bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The character of bytes[0..length) if they are exactly one valid character.
bool decodeOne(const char* bytes, int length, char16_t& c)
{
    wchar_t w[2];
    if (MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, length, w, 2) != 1)
        return false;
    c = static_cast<char16_t>(w[0]);
    return true;
}

}  // namespace

std::string toCodePage932(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    size_t runStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!isSurrogate(text[i]))
            continue;
        encodeRun(text.data() + runStart, static_cast<int>(i - runStart), out);
        // A pair is one character, of a plane CP932 does not reach.
        const bool pair = text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair)
            ++i;
        out += '?';
        runStart = i + 1;
    }
    encodeRun(text.data() + runStart, static_cast<int>(text.size() - runStart), out);
    return out;
}

std::u16string fromCodePage932(const std::string& bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        // Of the other single bytes only the half-width katakana are text:
        // 0x80, 0xA0 and 0xFD..0xFF, which the system maps to control and
        // private-use characters, decode as invalid bytes, as on Linux.
        char16_t c = 0;
        if (isLeadByte(b) && i + 1 < bytes.size() && decodeOne(&bytes[i], 2, c)) {
            out += c;
            i += 2;
        } else if (b >= 0xA1 && b <= 0xDF && decodeOne(&bytes[i], 1, c)) {
            out += c;
            ++i;
        } else {
            out += u'\uFFFD';
            ++i;
        }
    }
    return out;
}

}  // namespace zelt::win
