#include "data/MonitorReading.h"

#include <algorithm>
#include <cctype>

namespace zelt {

namespace {

constexpr int kZeroPoint = 20;
constexpr int kBarMax = 40;
constexpr size_t kFieldWidth = 5;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The field after a letter and its separator character.
std::string_view afterSeparator(std::string_view text, size_t letterPos)
{
    return letterPos + 2 <= text.size() ? text.substr(letterPos + 2) : std::string_view();
}

std::optional<int> readField(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    const std::string_view field = s.substr(i, kFieldWidth);
    size_t j = 0;
    bool negative = false;
    if (j < field.size() && (field[j] == '-' || field[j] == '+')) {
        negative = field[j] == '-';
        ++j;
    }
    const size_t firstDigit = j;
    int value = 0;
    while (j < field.size() && isDigit(field[j]))
        value = value * 10 + (field[j++] - '0');
    if (j == firstDigit)
        return std::nullopt;
    return negative ? -value : value;
}

std::string temperatureText(std::string_view s)
{
    size_t n = 0;
    while (n < s.size() && (isBlank(s[n]) || isDigit(s[n]) || s[n] == '.' || s[n] == '-' || s[n] == '+'))
        ++n;
    return std::string(s.substr(0, n));
}

}  // namespace

MonitorReading scanMonitorText(std::string_view text)
{
    MonitorReading r;
    for (size_t i = 0; i < text.size(); ++i) {
        MonitorReading::Axis* axis = nullptr;
        switch (text[i]) {
        case 'X': axis = &r.x; break;
        case 'Y': axis = &r.y; break;
        case 'Z': axis = &r.z; break;
        case 'p': {
            // A "p" inside some other word, or with no separator after it,
            // is no temperature field.
            const bool wordStart = i == 0 || !std::isalpha(static_cast<unsigned char>(text[i - 1]));
            if (!wordStart || i + 1 >= text.size())
                continue;
            std::string t = temperatureText(afterSeparator(text, i));
            // A field without a number clears the temperature: the last
            // reading must not be shown as if it were the present one.
            if (!std::any_of(t.begin(), t.end(), isDigit))
                t.clear();
            r.temperature = std::move(t);
            continue;
        }
        default: continue;
        }
        const std::string_view field = afterSeparator(text, i);
        axis->present = true;
        axis->text = std::string(field.substr(0, kFieldWidth));
        axis->value = readField(field);
    }
    return r;
}

int trackBarPosition(int value)
{
    // Compared before adding, so that no reading can overflow.
    if (value <= -kZeroPoint)
        return 0;
    if (value >= kBarMax - kZeroPoint)
        return kBarMax;
    return value + kZeroPoint;
}

}  // namespace zelt
