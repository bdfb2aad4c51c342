#pragma once
// Stored measurement records of the simulated logger and the canned
// recordings it can hold.
//
// A record is one line of upper-case hex digits as the logger sends it on a
// download:
//
//   chars  byte  contents
//   0-1    B0    bits 7-4 month (1-12), bits 3-2 day cycle counter (goes up by
//                one, modulo 4, at every new day), bits 1-0 day bits 4-3
//   2-3    B1    bits 7-5 day bits 2-0, bits 4-0 hour
//   4-5    B2    bits 7-2 minute, bits 1-0 second bits 5-4
//   6-7    B3    bits 7-4 second bits 3-0, bits 3-0 tenths digit of the
//                temperature
//   8-13   B4-6  X, Y, Z acceleration counts, signed 8-bit two's complement
//   14-15  B7    whole degrees Celsius, signed 8-bit, one's complement for
//                negative values (-0.x is FF, -1.x is FE, -2.x is FD ...)
//   16-17        hundredths of the second, 0..99         (optional)
//   18-19        relative humidity in %, 00 = no sensor  (optional)
//   20           thousandths digit of the second         (optional, fast
//                                                         sampling only)
//
// Everything here is pure: the same inputs give the same text, so the tests
// call it directly.
#include <cstdint>
#include <string>
#include <vector>

namespace zelt::sim {

// Proleptic Gregorian calendar helpers (no time zones involved).
long long daysFromCivil(int year, int month, int day);
void civilFromDays(long long days, int* year, int* month, int* day);

// A calendar time with milliseconds.
struct DateTime {
    int year = 2024, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    int millis = 0;
};
long long toMillis(const DateTime& t);        // milliseconds since 1970-01-01
DateTime fromMillis(long long millis);

// The fields of one record. Negative optional fields are left out of the line.
struct RecordFields {
    int month = 1;      // 1..12
    int cycle = 0;      // 0..3
    int day = 1;        // 1..31
    int hour = 0, minute = 0, second = 0;
    int tempTenths = 0; // temperature in tenths of a degree, signed
    int x = 0, y = 0, z = 0;  // -128..127
    int hundredths = -1;      // 0..99, or -1: not sent
    int humidity = -1;        // 0..255 (0 = no sensor), or -1: not sent
    int thousandths = -1;     // 0..9, or -1: not sent
};

// Splits a temperature in tenths into the whole-degree byte (one's
// complement for negative values) and the tenths digit.
void encodeTemperature(int tempTenths, int* wholeByte, int* tenthsDigit);

// The record line for the fields: 16 characters, 18 with hundredths, 20 with
// humidity, 21 with thousandths. A later optional field implies the earlier
// ones (sent as 0).
std::string encodeRecord(const RecordFields& f);

// The canned recordings the logger can hold.
enum class RecordingKind {
    Default,    // ~1 h at 1 s, a shock event, temperature falling through 0 C
    Humidity,   // 5 s steps with a humidity sensor (20-character records)
    Fast,       // 5 ms steps with thousandths (21-character records)
    YearEnd,    // 10 s steps from Dec 31 into Jan 1
    Full,       // exactly the memory size: 72,020 records at 1 min
    Bad,        // damaged records: too short, non-hex, more than memory holds
    Irregular,  // time stamps that repeat and step back
};
constexpr int kMemoryRecords = 72020;

const char* recordingName(RecordingKind kind);
bool recordingFromName(const std::string& name, RecordingKind* kind);
std::vector<RecordingKind> allRecordingKinds();

struct Recording {
    RecordingKind kind = RecordingKind::Default;
    std::vector<std::string> records;  // one download line each, no CR LF
    int startYear = 2024;              // reported as the start year
    char intervalCode = 'a';           // recording interval the logger used
    char samplingCode = '0';           // sampling code the logger used
    std::string intervalText = "1sec"; // free text after the record count
};

// Builds a recording deterministically from the seed.
Recording makeRecording(RecordingKind kind, std::uint32_t seed = 1);

}  // namespace zelt::sim
