#pragma once
// How the project's simulated logger proves that it is the simulator, which a
// real logger never does. The tool asks a question made of characters that
// none of the logger's commands uses, carrying a number the tool picked; the
// simulator alone answers it, with a line that depends on the number, then
// the end mark. A logger that does not know the question (any real one)
// cannot give that line, and a device that only repeats what it heard before
// gives the line of another number.
//
// Plain C++ without Qt: the simulator and the tool both use it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace zelt::simproof {

// The sixteen characters the number is written in, four bits each: no letter,
// no digit, none of '#', '!', '?' and '@'.
inline constexpr char kDigits[] = "$%&()*+,-./:;<=>";
inline constexpr std::size_t kQuestionLength = 10;  // '?', eight characters, '?'

// The question carrying number.
inline std::string question(std::uint32_t number)
{
    std::string q(kQuestionLength, '?');
    for (int k = 0; k < 8; ++k)
        q[static_cast<std::size_t>(1 + k)] = kDigits[(number >> (28 - 4 * k)) & 0xF];
    return q;
}

// Reads a question at text[pos]: true with its number when one starts there.
inline bool readQuestion(const std::string& text, std::size_t pos, std::uint32_t* number)
{
    if (pos + kQuestionLength > text.size() || text[pos] != '?' || text[pos + kQuestionLength - 1] != '?')
        return false;
    std::uint32_t n = 0;
    for (std::size_t k = 1; k <= 8; ++k) {
        const std::string digits(kDigits);
        const std::size_t d = digits.find(text[pos + k]);
        if (d == std::string::npos)
            return false;
        n = (n << 4) | static_cast<std::uint32_t>(d);
    }
    if (number)
        *number = n;
    return true;
}

// The simulator's answer line to the question carrying number (without its
// line end): "ZELT-SIM " and eight hexadecimal digits of a mix of the number.
inline std::string answerLine(std::uint32_t number)
{
    std::uint32_t h = number ^ 0x5A17C0DEu;
    h *= 0x9E3779B1u;
    h ^= h >> 15;
    h *= 0x85EBCA77u;
    h ^= h >> 13;
    static const char kHex[] = "0123456789ABCDEF";
    std::string line = "ZELT-SIM ";
    for (int k = 7; k >= 0; --k)
        line += kHex[(h >> (4 * k)) & 0xF];
    return line;
}

}  // namespace zelt::simproof
