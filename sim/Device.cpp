#include "sim/Device.h"

#include "link/SimulatorProof.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace zelt::sim {

const char kLoaderEntry[5] = {0x03, 0x06, 0x03, 0x06, 0x03};
const char kIntervalCodes[] = "ABCDEJOT^abcdef";

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpperHex(char c) { return isDigit(c) || (c >= 'A' && c <= 'F'); }

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::size_t digitsAt(const std::string& s, std::size_t pos, std::size_t max)
{
    std::size_t n = 0;
    while (pos + n < s.size() && n < max && isDigit(s[pos + n]))
        ++n;
    return n;
}

// True when s[pos..] follows the pattern, 'd' standing for a digit.
bool matchesPattern(const std::string& s, std::size_t pos, const char* pattern)
{
    const std::size_t len = std::strlen(pattern);
    if (pos + len > s.size())
        return false;
    for (std::size_t k = 0; k < len; ++k) {
        const char p = pattern[k];
        if (p == 'd' ? !isDigit(s[pos + k]) : s[pos + k] != p)
            return false;
    }
    return true;
}

bool isRangeCode(const std::string& s)
{
    static const char* kCodes[] = {"00", "01", "02", "10", "20", "50"};
    for (const char* c : kCodes)
        if (s == c)
            return true;
    return false;
}

// Signed option value: an optional '-' and one to four digits.
bool parseSigned(const std::string& s, int* value)
{
    std::size_t k = 0;
    bool negative = false;
    if (k < s.size() && s[k] == '-') {
        negative = true;
        ++k;
    }
    if (k == s.size() || s.size() - k > 4)
        return false;
    int v = 0;
    for (; k < s.size(); ++k) {
        if (!isDigit(s[k]))
            return false;
        v = v * 10 + (s[k] - '0');
    }
    *value = negative ? -v : v;
    return true;
}

bool allDigits(const std::string& s) { return !s.empty() && std::all_of(s.begin(), s.end(), isDigit); }

// Sign (blank or '-') and four digits, as the option and calibration lines
// carry their values.
std::string signedField(int v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%c%04d", v < 0 ? '-' : ' ', std::min(std::abs(v), 9999));
    return buf;
}

// Drops the characters the line protocol reserves ('#' ends an answer; the
// tool ignores '!' and '?') and control characters.
std::string cleanText(const std::string& s, std::size_t maxLen)
{
    std::string out;
    for (char c : s) {
        if (out.size() >= maxLen)
            break;
        if (c == '#' || c == '!' || c == '?' || static_cast<unsigned char>(c) < 0x20 ||
            static_cast<unsigned char>(c) > 0x7E)
            continue;
        out += c;
    }
    return out;
}

std::string twoDigits(int v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

}  // namespace

std::string intervalName(char code)
{
    switch (code) {
    case 'A': return "1min";
    case 'B': return "2min";
    case 'C': return "3min";
    case 'D': return "4min";
    case 'E': return "5min";
    case 'J': return "10min";
    case 'O': return "15min";
    case 'T': return "20min";
    case '^': return "30min";
    case 'a': return "1sec";
    case 'b': return "5sec";
    case 'c': return "10sec";
    case 'd': return "15sec";
    case 'e': return "20sec";
    case 'f': return "30sec";
    default: return "";
    }
}

std::string temperatureText(int tempTenths)
{
    tempTenths = std::clamp(tempTenths, -999, 999);
    const int magnitude = std::abs(tempTenths);
    char buf[16];
    if (tempTenths <= -100)  // "-12.5": no room left for the unit
        std::snprintf(buf, sizeof buf, "-%d.%d", magnitude / 10, magnitude % 10);
    else
        std::snprintf(buf, sizeof buf, "%4s",
                      ((tempTenths < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." +
                       std::to_string(magnitude % 10))
                          .c_str());
    std::string text = buf;
    if (tempTenths > -100)
        text += 'C';
    return text;
}

// Commands of the logger in normal mode. Single letters are whole commands;
// the others carry their argument right after the letter(s). The tool writes
// each command in one write with no terminator, so a burst can hold several
// commands back to back ("ep"): each is cut off by what its argument can be.
std::size_t commandLength(const std::string& s, std::size_t i)
{
    if (i >= s.size())
        return 0;
    const char c = s[i];
    const char next = i + 1 < s.size() ? s[i + 1] : '\0';
    switch (c) {
    case 0x03:
        return s.compare(i, 5, std::string(kLoaderEntry, 5)) == 0 ? 5 : 0;
    case kAck:
    case 'm': case 'p': case 'e': case 'E': case 'W': case 'Z': case '#':
    case 'D': case 'C': case 'G': case 'n': case 'x': case ' ': case 'f': case 'o':
        return 1;
    case 't':
        return next == 'e' ? 2 : 1;
    case 'v':
        return next == 'p' ? 2 : 0;
    case 'd': {  // "d15", also accepted as "d1.5"
        std::size_t n = 1 + digitsAt(s, i + 1, 1);
        if (n == 2 && i + n < s.size() && s[i + n] == '.' && digitsAt(s, i + n + 1, 1) == 1)
            n += 2;
        else if (n == 2)
            n += digitsAt(s, i + n, 1);
        return n;
    }
    case 'j': case 'i':
        return next ? 2 : 1;
    case 'O': case 'F': {
        if (!(next == 'x' || next == 'y' || next == 'z' || next == 'X' || next == 'Y' || next == 'Z'))
            return 1;
        std::size_t n = 2;
        if (i + n < s.size() && s[i + n] == '-')
            ++n;
        return n + digitsAt(s, i + n, 4);
    }
    case 'K': {
        if (next == 'r')
            return 2;
        if (next != 'w')
            return 0;
        const std::size_t cr = s.find('\r', i + 2);
        return cr == std::string::npos ? s.size() - i : cr + 1 - i;
    }
    case 'Y':
        return 1 + digitsAt(s, i + 1, 3);
    case 'w': case 'N':
        return 1 + digitsAt(s, i + 1, 2);
    case 'z': case 'k': case 'q': case 'b':
        return 1 + digitsAt(s, i + 1, 1);
    case 'r': case 'L':
        return 1 + digitsAt(s, i + 1, 10);
    case 'h': {
        std::size_t n = 1;
        while (n < 4 && i + n < s.size() && std::isalnum(static_cast<unsigned char>(s[i + n])))
            ++n;
        return n;
    }
    case 's':
        return matchesPattern(s, i + 1, "dddd/dd/dd dd:dd:dd") ? 20 : 1;
    case 'l':
        return matchesPattern(s, i + 1, "dd/dd dd:dd") ? 12 : 1;
    case '?':  // the question only the simulator answers
        return simproof::readQuestion(s, i, nullptr) ? simproof::kQuestionLength : 0;
    default:
        if (isDigit(c) && isRangeCode(s.substr(i, 2)))
            return 2;
        return 0;
    }
}

std::vector<std::string> splitCommands(const std::string& burst)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < burst.size()) {
        const std::size_t n = std::max<std::size_t>(1, commandLength(burst, i));
        out.push_back(burst.substr(i, n));
        i += n;
    }
    return out;
}

// In loader mode the logger takes firmware lines: ':' Intel HEX records
// (length from the record's own count byte: ':' LL AAAA TT data CC) and ';'
// lines, each written by the tool without a terminator.
static std::size_t loaderCommandLength(const std::string& s, std::size_t i)
{
    const char c = s[i];
    if (c == 0x03)
        return s.compare(i, 5, std::string(kLoaderEntry, 5)) == 0 ? 5 : 0;
    if (c == ':' || c == ';') {
        // A comment line may hold colons (a time of day); it ends at the next
        // comment or with the burst. A record ends where its length says.
        std::size_t end = c == ';' ? s.find(';', i + 1) : s.find_first_of(":;", i + 1);
        if (end == std::string::npos)
            end = s.size();
        if (c == ':' && i + 3 <= s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
            const std::size_t total = 11 + 2 * static_cast<std::size_t>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
            return std::min(total, s.size() - i);
        }
        return end - i;
    }
    if (c == 'q' && i + 1 < s.size() && s[i + 1] == 's')
        return 2;
    if (c == 'e' || c == 'm' || c == kAck)
        return 1;
    return 0;
}

bool Device::wholeRecordWaiting(const std::string& burst) const
{
    return loader_ && !burst.empty() && burst[0] == ':' && loaderCommandLength(burst, 0) == burst.size() &&
           burst.size() >= 11 && burst.size() == 11 + 2 * static_cast<std::size_t>(hexValue(burst[1]) * 16 + hexValue(burst[2]));
}

// Checks an Intel HEX record: all hex, the announced length, and a zero sum.
static bool validHexRecord(const std::string& line)
{
    if (line.size() < 11 || line[0] != ':' || (line.size() - 1) % 2 != 0)
        return false;
    int sum = 0;
    std::vector<int> bytes;
    for (std::size_t k = 1; k + 1 < line.size(); k += 2) {
        const int hi = hexValue(line[k]), lo = hexValue(line[k + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(hi * 16 + lo);
        sum += hi * 16 + lo;
    }
    return bytes.size() == static_cast<std::size_t>(bytes[0]) + 5 && (sum & 0xFF) == 0;
}

Device::Device(RecordingKind recording, std::uint32_t seed) : origin_(std::chrono::steady_clock::now())
{
    setRecording(recording, seed);
    // The clock starts at the host's local time.
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    setClock(DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0},
             origin_);
    rng_ ^= seed;
}

void Device::setRecording(RecordingKind kind, std::uint32_t seed)
{
    recording_ = makeRecording(kind, seed);
    settings_.intervalCode = recording_.intervalCode;
    settings_.samplingCode = recording_.samplingCode;
}

Reading Device::readingAt(SteadyTime now) const
{
    if (reading_)
        return *reading_;
    // A logger lying on a table: small slow swings, gravity on Z, room temperature.
    const double t = std::chrono::duration<double>(now - origin_).count();
    Reading r;
    r.x = static_cast<int>(std::lround(2.0 * std::sin(t * 0.7)));
    r.y = static_cast<int>(std::lround(-3.0 + 2.0 * std::sin(t * 0.5)));
    r.z = static_cast<int>(std::lround(10.0 + 2.0 * std::sin(t * 0.3)));
    r.tempTenths = 253 + static_cast<int>(std::lround(5.0 * std::sin(t * 0.05)));
    return r;
}

void Device::setClock(const DateTime& t, SteadyTime now)
{
    clockMillis_ = toMillis(t);
    clockSetAt_ = now;
}

DateTime Device::clockAt(SteadyTime now) const
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - clockSetAt_).count();
    return fromMillis(clockMillis_ + elapsed);
}

std::uint64_t Device::random()
{
    std::uint64_t z = (rng_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// ---------------------------------------------------------------------------
// Texts

// Identification, answer to "m":
//   0         1
//   0123456789012345678
//   JKTW128 SN=20240624
// 'J' first, the model "128" at 4..6, the logger number after the first '='.
// An unsupported model reports "064" instead.
std::string Device::identificationLine() const
{
    return std::string("JKTW") + (settings_.supportedModel ? "128" : "064") + " SN=" +
           cleanText(settings_.loggerNumber, 20);
}

// Settings report, answer to "p". Positions of each line (e = first '=',
// b = first blank after the '@'):
//
//             0         1         2
//             0123456789012345678901
//   hazard    @A h= 0005, 0001, 0000   b=2: kind 3; values sign 5/11/17,
//   options   @A x= 0000, 0001, 0000        last two digits 8-9/14-15/20-21
//   buzzer    @B= 0000                 e=2: 7 ('0' sounds)
//   count     @C= 3600 1sec            count word after '=', then free text
//   threshold @D=1.5G                  e=2: digits 3 and 5   (long form)
//             @d=15                    e=2: digits 3 and 4   (short form)
//   calib.    @F c= 0003,-0002, 0001   as the option lines
//   status    @G RECORDING             b=2: text from 3      (long form)
//             @g=5 RECORDING           e=2: range code 3, b=4: text from 5
//   sampling  @I=0                     e=2: code 3
//   identity  @K LOGGER 01             b=2: text from 3
//   L value   @L=   0                  e=2: text from 6
//   ID        @M= 0042                 e=2: digits from 4, shown from 5
//   interval  @R=a 1sec                e=2: code 3
//   range     @T= 0002                 e=2: code 6 and 7
//   detection @W= 0001                 e=2: 7 ('0' off)
//   year      @Y=2024                  e=2: text from 3
//   rec       @r= 0                    e=2: text from 4
//   start     @s= 0001                 e=2: 7 ('0' asleep)
//   wait      @w= 05                   e=2: text from 4
std::vector<std::string> Device::reportLines() const
{
    const Settings& s = settings_;
    const ErrorMode err = behaviour_.error;
    const bool shortForm = behaviour_.form == ReportForm::Short;
    const std::string status = s.started == '0' ? "SLEEP" : "RECORDING";
    // The range as one code character for the short status line; its low
    // three bits are 5 for range 50.
    static const char* kRanges[] = {"00", "01", "10", "20", "50", "02"};
    char rangeChar = '0';
    for (int k = 0; k < 6; ++k)
        if (s.range == kRanges[k])
            rangeChar = static_cast<char>('0' + k);

    std::vector<std::string> L;
    L.push_back("@A h=" + signedField(s.hazard) + "," + signedField(s.gravity) + "," + signedField(s.endless));
    L.push_back("@A x=" + signedField(s.hundredHz) + "," + signedField(s.display) + "," + signedField(s.df));
    L.push_back(std::string(err == ErrorMode::NoEquals ? "@B " : "@B= ") + "000" + s.buzzer);
    const long count = err == ErrorMode::NegativeCount ? -1 : static_cast<long>(recording_.records.size());
    L.push_back("@C= " + std::to_string(count) + " " + recording_.intervalText);
    if (shortForm)
        L.push_back("@d=" + s.threshold.substr(0, 2));
    else
        L.push_back(std::string("@D=") + s.threshold[0] + "." + s.threshold[1] + "G");
    L.push_back("@F c=" + signedField(s.calX) + "," + signedField(s.calY) + "," + signedField(s.calZ));
    if (shortForm)
        L.push_back(std::string("@g=") + rangeChar + " " + status);
    else
        L.push_back("@G " + status);
    L.push_back(std::string("@I=") + s.samplingCode);
    if (err == ErrorMode::NoBlank) {
        std::string ident = s.identity;
        ident.erase(std::remove(ident.begin(), ident.end(), ' '), ident.end());
        L.push_back("@K" + ident);
    } else {
        L.push_back("@K " + s.identity);
    }
    L.push_back("@L=   " + s.lValue);
    L.push_back("@M= 0" + std::string(s.id < 100 ? "0" : "") + std::string(s.id < 10 ? "0" : "") +
                std::to_string(s.id));
    L.push_back(std::string("@R=") + s.intervalCode + " " + intervalName(s.intervalCode));
    L.push_back(err == ErrorMode::ShortLine ? std::string("@T= 0") : "@T= 00" + s.range);
    L.push_back(std::string("@W= 000") + s.detection);
    L.push_back("@Y=" + std::to_string(recording_.startYear));
    L.push_back("@r= " + s.recValue);
    L.push_back(std::string("@s= 000") + s.started);
    L.push_back("@w= " + s.wait);
    return L;
}

// Live reading, answer to "n". One line:
//   0         1         2         3
//   0123456789012345678901234567890123456
//   X=    5 Y=  -12 Z=   20       p=25.3C
// Each of X, Y, Z, p is followed by one separator '=' and its value (five
// characters, blank-padded); the temperature also sits at 32..36. No other
// X, Y, Z or p appears in the answer.
std::vector<std::string> Device::readingLines(SteadyTime now) const
{
    const Reading r = readingAt(now);
    auto v = [](int n) { return std::clamp(n, -9999, 99999); };
    char buf[64];
    std::snprintf(buf, sizeof buf, "X=%5d Y=%5d Z=%5d       p=%s", v(r.x), v(r.y), v(r.z),
                  temperatureText(r.tempTenths).c_str());
    return {buf};
}

// Clock, answer to "t": date and time, then the reservation ("--/-- --:--"
// when none):
//   0         1         2         3
//   0123456789012345678901234567890
//   2024/06/24 12:34:56 06/25 08:00
std::string Device::clockLine(SteadyTime now) const
{
    const DateTime t = clockAt(now);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d %s", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, settings_.reservation.empty() ? "--/-- --:--" : settings_.reservation.c_str());
    return buf;
}

// ---------------------------------------------------------------------------
// Answers

std::string Device::garbageLine()
{
    std::string s;
    const int len = 8 + static_cast<int>(random() % 24);
    while (static_cast<int>(s.size()) < len) {
        const char c = static_cast<char>(0x20 + random() % 95);
        if (c != '#' && c != '!' && c != '?')
            s += c;
    }
    return s;
}

std::string Device::rawJunk()
{
    static const unsigned char kJunk[] = {0x00, 0x01, 0x02, 0x04, 0x07, 0x11, 0x13, 0x1B, 0x7F,
                                          0x80, 0x9F, 0xA5, 0xC3, 0xE9, 0xFE, 0xFF};
    std::string s;
    const int len = 3 + static_cast<int>(random() % 6);
    for (int k = 0; k < len; ++k)
        s += static_cast<char>(kJunk[random() % sizeof kJunk]);
    return s;
}

std::string Device::enquiry()
{
    ++obs_.enquiriesSent;
    return std::string(1, kEnq);
}

// Lines + CR LF + '#', bent by the misbehaviour switches.
std::string Device::render(const std::vector<std::string>& lines)
{
    if (behaviour_.silence == Silence::Nothing)
        return {};
    std::string out;
    if (behaviour_.enquiry == Enquiry::BetweenAnswers)
        out += enquiry();
    if (behaviour_.noise) {
        out += garbageLine() + "\r\n";
        out += rawJunk() + "\r\n";
    }
    bool enqDone = false;
    std::size_t total = out.size();
    for (const auto& l : lines)
        total += l.size() + 2;
    out.reserve(total + 2);
    for (const auto& line : lines) {
        if (behaviour_.enquiry == Enquiry::MidLine && !enqDone && line.size() >= 2) {
            out.append(line, 0, line.size() / 2);
            out += enquiry();
            out.append(line, line.size() / 2, std::string::npos);
            enqDone = true;
        } else {
            out += line;
        }
        out += "\r\n";
    }
    if (behaviour_.enquiry == Enquiry::MidLine && !enqDone)
        out += enquiry();
    if (behaviour_.silence == Silence::Off)
        out += '#';
    return out;
}

std::string Device::receive(const std::string& burst, SteadyTime now)
{
    startDelayMs_ = 0;
    std::string out;
    std::string unknown;
    auto flushUnknown = [&] {
        if (unknown.empty())
            return;
        obs_.unknownBytes += unknown;
        unknown.clear();
        out += render({});
    };
    std::size_t i = 0;
    while (i < burst.size()) {
        const char c = burst[i];
        if (streaming_) {
            // While streaming, the logger only listens for the blank that stops it.
            if (c == ' ') {
                flushUnknown();
                obs_.commands.push_back(" ");
                obs_.commandTimes.push_back(now);
                streaming_ = false;
                out += render({});
            } else if (c == kAck) {
                ++obs_.acks;
            }
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {  // stray line ends carry no command
            ++i;
            continue;
        }
        const std::size_t n = loader_ ? loaderCommandLength(burst, i) : commandLength(burst, i);
        if (n == 0) {
            unknown += c;
            ++i;
            continue;
        }
        flushUnknown();
        const std::string cmd = burst.substr(i, n);
        i += n;
        if (cmd[0] == kAck) {
            ++obs_.acks;
            continue;
        }
        obs_.commands.push_back(cmd);
        obs_.commandTimes.push_back(now);
        if (!loader_ && behaviour_.slowStartMs > 0 &&
            (behaviour_.slowStartCommands.empty() || behaviour_.slowStartCommands.find(cmd[0]) != std::string::npos))
            startDelayMs_ = std::max(startDelayMs_, behaviour_.slowStartMs);
        out += loader_ ? loaderAnswer(cmd, now) : answer(cmd, now);
    }
    flushUnknown();
    obs_.loaderMode = loader_;
    obs_.streaming = streaming_;
    return out;
}

std::string Device::answer(const std::string& cmd, SteadyTime now)
{
    if (cmd[0] == kLoaderEntry[0]) {  // the firmware loader takes over; it answers nothing yet
        loader_ = true;
        return {};
    }
    if (behaviour_.error == ErrorMode::ErrLine)
        return render({"ERR"});
    switch (cmd[0]) {
    case 'm': return render({identificationLine()});
    case 'p': return render(reportLines());
    case 'n': return render(readingLines(now));
    case 't':
        if (cmd == "t")
            return render({clockLine(now)});
        break;
    case 'x':
        streaming_ = true;
        streamStart_ = now;
        streamIndex_ = 0;
        return {};
    case 'D': case 'C': case 'G':
        if (behaviour_.partialRecall && cmd[0] != 'D') {
            const auto& r = recording_.records;
            return render(std::vector<std::string>(r.begin() + static_cast<std::ptrdiff_t>(r.size() / 2), r.end()));
        }
        return render(recording_.records);
    case 'K':
        if (cmd == "Kr")
            return render({settings_.identity});
        break;
    case ' ': case 'e': case '#': return render({});
    case '?': {
        std::uint32_t number = 0;
        simproof::readQuestion(cmd, 0, &number);
        return render({simproof::answerLine(number)});
    }
    default: break;
    }
    return render({!behaviour_.keepSettings && applySetting(cmd, now) ? "OK" : "NG"});
}

bool Device::applySetting(const std::string& cmd, SteadyTime now)
{
    Settings& s = settings_;
    const std::string arg = cmd.substr(1);
    switch (cmd[0]) {
    case 'd': {
        std::string digits;
        for (char c : arg)
            if (isDigit(c))
                digits += c;
        if (digits.size() != 2)
            return false;
        s.threshold = digits;
        return true;
    }
    case 'j':
        if (arg.size() != 1 || !std::strchr(kIntervalCodes, arg[0]) || arg[0] == '\0')
            return false;
        s.intervalCode = arg[0];
        return true;
    case 'i':
        if (arg.size() != 1 || !isUpperHex(arg[0]))
            return false;
        s.samplingCode = arg[0];
        return true;
    case 'O': case 'F': {
        int v = 0;
        if (arg.empty() || !parseSigned(arg.substr(1), &v))
            return false;
        int* target = nullptr;
        if (cmd[0] == 'O') {
            switch (arg[0]) {
            case 'x': target = &s.hazard; break;
            case 'y': target = &s.gravity; break;
            case 'z': target = &s.endless; break;
            case 'X': target = &s.hundredHz; break;
            case 'Y': target = &s.display; break;
            case 'Z': target = &s.df; break;
            default: break;
            }
        } else {
            switch (arg[0]) {
            case 'X': target = &s.calX; break;
            case 'Y': target = &s.calY; break;
            case 'Z': target = &s.calZ; break;
            default: break;
            }
        }
        if (!target)
            return false;
        *target = v;
        return true;
    }
    case 'K': {  // "Kw<text>\r"
        std::string text = arg.substr(1);
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        s.identity = cleanText(text, 40);
        return true;
    }
    case 'Y': {
        if (arg.size() != 3 || !allDigits(arg) || std::atoi(arg.c_str()) > 255)
            return false;
        s.id = std::atoi(arg.c_str());
        return true;
    }
    case 'w':
        if (arg.size() != 2 || !allDigits(arg))
            return false;
        s.wait = arg;
        return true;
    case 'z': case 'k':
        if (arg != "0" && arg != "1")
            return false;
        (cmd[0] == 'z' ? s.buzzer : s.detection) = arg[0];
        return true;
    case 'r': case 'L':
        if (!allDigits(arg))
            return false;
        (cmd[0] == 'r' ? s.recValue : s.lValue) = arg;
        return true;
    case 'q':
        return arg == "1" || arg == "5" || arg == "7" || arg == "8" || arg == "9";
    case 'b':
        return arg == "0" || arg == "1";
    case 's': {  // "syyyy/mm/dd hh:mm:ss": set the clock and start recording
        if (cmd.size() != 20)
            return false;
        DateTime t;
        t.year = std::atoi(cmd.substr(1, 4).c_str());
        t.month = std::atoi(cmd.substr(6, 2).c_str());
        t.day = std::atoi(cmd.substr(9, 2).c_str());
        t.hour = std::atoi(cmd.substr(12, 2).c_str());
        t.minute = std::atoi(cmd.substr(15, 2).c_str());
        t.second = std::atoi(cmd.substr(18, 2).c_str());
        if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
            t.second > 59)
            return false;
        setClock(t, now);
        s.started = '1';
        return true;
    }
    case 'l': {  // "lmm/dd hh:mm": reserved start
        if (cmd.size() != 12)
            return false;
        const int month = std::atoi(cmd.substr(1, 2).c_str()), day = std::atoi(cmd.substr(4, 2).c_str());
        const int hour = std::atoi(cmd.substr(7, 2).c_str()), minute = std::atoi(cmd.substr(10, 2).c_str());
        if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59)
            return false;
        s.reservation = twoDigits(month) + "/" + twoDigits(day) + " " + twoDigits(hour) + ":" + twoDigits(minute);
        return true;
    }
    case 'f': s.started = '0'; return true;
    case 'o': s.started = '1'; return true;
    case 'N': return arg.size() == 2;
    case 'h': return arg.size() == 3;
    case 'v': case 'E': case 'W': case 'Z': return true;
    case 't': return cmd == "te";
    default:
        if (isRangeCode(cmd)) {
            s.range = cmd;
            return true;
        }
        return false;
    }
}

std::string Device::loaderAnswer(const std::string& cmd, SteadyTime now)
{
    switch (cmd[0]) {
    case 0x03: return {};  // already in loader mode
    case 'e': return render({});
    case ':': case ';': {
        ++obs_.loaderLines;
        if (behaviour_.silence == Silence::Nothing)
            return {};
        const bool ok = !behaviour_.loaderError && (cmd[0] == ';' || validHexRecord(cmd));
        return ok ? std::string(1, kAck) : std::string("!");
    }
    case 'q':
        return behaviour_.silence == Silence::Nothing ? std::string() : std::string("VERIFY OK M");
    case 'm':
        loader_ = false;
        return answer(cmd, now);
    default: return render({});
    }
}

// ---------------------------------------------------------------------------
// Sample stream: every 5 ms of logger time one sample of 8 bytes,
//   LF, X Y Z as two upper-case hex digits each (signed 8-bit), CR.

std::string Device::sample(long long index, SteadyTime now) const
{
    const Reading r = readingAt(now);
    // A little vibration on top of the reading so consecutive samples differ.
    const int wobble[] = {0, 1, 1, 0, -1, -1};
    const int k = static_cast<int>(index % 6);
    const int x = std::clamp(r.x + wobble[k], -128, 127);
    const int y = std::clamp(r.y + wobble[(k + 2) % 6], -128, 127);
    const int z = std::clamp(r.z + wobble[(k + 4) % 6], -128, 127);
    char buf[16];
    std::snprintf(buf, sizeof buf, "\n%02X%02X%02X\r", x & 0xFF, y & 0xFF, z & 0xFF);
    return buf;
}

SteadyTime Device::nextSampleTime() const
{
    const double speed = behaviour_.streamSpeed > 0 ? behaviour_.streamSpeed : 1.0;
    const auto offset = std::chrono::duration<double>(streamIndex_ * 0.005 / speed);
    return streamStart_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(offset);
}

std::string Device::takeSamples(SteadyTime now, int maxSamples, bool deliver)
{
    std::string out;
    int taken = 0;
    while (streaming_ && nextSampleTime() <= now) {
        if (deliver && taken < maxSamples && behaviour_.silence != Silence::Nothing) {
            out += sample(streamIndex_, now);
            ++taken;
        }
        ++streamIndex_;
    }
    return out;
}

}  // namespace zelt::sim
