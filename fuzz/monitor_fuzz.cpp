// The live monitor's scan of a reading reply.
//
// Input: the accumulated text of one reply.
//
// Properties, each against a plain reading of the text:
//  - an axis is present exactly when its letter occurs; its text is the (at
//    most 5) characters after the last occurrence and its separator, and its
//    value is the signed number read there (blanks skipped, at most 5
//    characters of sign and digits), absent when there is no digit;
//  - the temperature holds only blanks, signs, digits and points, and when
//    not empty at least one digit;
//  - a track bar position is always on the bar (0..40), 20 at a zero reading,
//    and never goes down as the reading goes up.
#include "fuzz/FuzzSupport.h"

#include "data/Monitor.h"

#include <cctype>
#include <climits>

using namespace zelt;
using namespace zelt::fuzz;

namespace {

void checkAxis(std::string_view text, char letter, const MonitorReading::Axis& axis)
{
    const std::size_t last = text.rfind(letter);
    FUZZ_CHECK(axis.present == (last != std::string_view::npos));
    if (!axis.present) {
        FUZZ_CHECK(axis.text.empty() && !axis.value);
        return;
    }
    const std::string_view field = last + 2 <= text.size() ? text.substr(last + 2) : std::string_view();
    FUZZ_CHECK(axis.text == field.substr(0, 5));
    // The number: blanks, then up to 5 characters of sign and digits.
    std::size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t'))
        ++i;
    const std::string_view number = field.substr(i, 5);
    std::size_t j = 0;
    const bool negative = j < number.size() && number[j] == '-';
    if (j < number.size() && (number[j] == '-' || number[j] == '+'))
        ++j;
    const std::size_t firstDigit = j;
    long long v = 0;
    while (j < number.size() && number[j] >= '0' && number[j] <= '9')
        v = v * 10 + (number[j++] - '0');
    if (j == firstDigit) {
        FUZZ_CHECK(!axis.value);
    } else {
        FUZZ_CHECK(axis.value && *axis.value == (negative ? -v : v));
        FUZZ_CHECK(*axis.value >= -99999 && *axis.value <= 99999);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const MonitorReading r = scanMonitorText(text);
    checkAxis(text, 'X', r.x);
    checkAxis(text, 'Y', r.y);
    checkAxis(text, 'Z', r.z);
    if (r.temperature) {
        FUZZ_CHECK(text.find('p') != std::string_view::npos);
        bool digit = false;
        for (const char c : *r.temperature) {
            FUZZ_CHECK(c == ' ' || c == '\t' || c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9'));
            digit = digit || (c >= '0' && c <= '9');
        }
        FUZZ_CHECK(r.temperature->empty() || digit);
        FUZZ_CHECK(text.find(*r.temperature) != std::string_view::npos);
    }

    FUZZ_CHECK(trackBarPosition(0) == 20);
    int previous = -1;
    for (const int v : {INT_MIN, -100000, -21, -20, -19, -1, 0, 1, 19, 20, 21, 99999, INT_MAX}) {
        const int p = trackBarPosition(v);
        FUZZ_CHECK(p >= 0 && p <= 40 && p >= previous);
        previous = p;
    }
    for (const auto* axis : {&r.x, &r.y, &r.z})
        if (axis->value) {
            const int p = trackBarPosition(*axis->value);
            FUZZ_CHECK(p >= 0 && p <= 40);
            FUZZ_CHECK(*axis->value <= -20 || *axis->value >= 20 || p == *axis->value + 20);
        }
    return 0;
}
