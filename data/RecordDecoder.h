#pragma once
// Record decoder: turns the logger's stored records (one line of hexadecimal
// digits each) into the readable lines of a recording.
//
// Plain C++ with no toolkit types, so it runs the same inside the download
// window, a worker thread or a test. The caller keeps raw lines as byte
// arrays; a std::string_view over their bytes is all a record needs. Lines
// are passed without their line terminator.
//
// Decoded lines are bytes in the code page the recording files are written
// in (CP932): an irregular record carries the lead byte 0x81 in place of the
// first digit of its year, and the marker line uses the CP932 down arrow.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zelt::records {

// What the decoder carries from one record to the next within one pass.
struct DecoderState {
    int year = 0;        // grows by one each time the month goes back (Dec -> Jan)
    int month = 0;       // month of the last decoded record, 0 before the first
    int prevMonth = 0;   // month of the record before that
    int cycle = 0;       // cycle counter of the last record, wraps included
    int cycleWrap = 0;   // 4 for every time the counter has come round from 3 to 0
    long long dateKey = 0;  // cycle*10000 + month*100 + day
    long long prevDateKey = 0;
    long long timeKey = 0;  // hour*10^7 + minute*10^5 + second*1000 + hundredths*10 + thousandths
    long long prevTimeKey = 0;
    bool irregular = false;  // set by the first irregular record, kept for the pass

    // Starts a new pass in `startYear`.
    void reset(int startYear);
};

enum class RecordStatus {
    Ok,         // decoded; the pass has met no irregular record so far
    Irregular,  // decoded; the pass is irregular (this record or an earlier one)
    Bad         // not decodable; state untouched, `out` holds the bad-record line
};

// Decodes one raw record into `out` (cleared first).
//
// A record is decodable when it has at least 16 characters and positions
// 0-15 are digits 0-9/A-F; anything else gives RecordStatus::Bad and the
// line from badRecordLine(). The optional fields behind them (hundredths at
// 16-17, humidity at 18-19) are read as hex digits of either case from
// their first position up to the first other character, so a trailing blank
// or a damaged digit there reads as 0 (or as the digit before it) and the
// record is kept. With fast sampling the thousandths digit at position 20
// reads the same way (0 when it is no hex digit). Characters past those
// positions are never looked at.
RecordStatus decodeRecord(std::string_view raw, bool fastSampling, DecoderState& st,
                          std::string& out);

// The line written in place of a record that cannot be decoded:
// "//Bad Record: <raw> //". At most kBadRecordShown characters of the raw
// text are shown (then "..."), and bytes outside printable ASCII become '?'.
std::string badRecordLine(std::string_view raw);
inline constexpr std::size_t kBadRecordShown = 64;

// Leading decimal digits of the start-year text (at most 9), 0 if none.
int leadingYear(std::string_view yearText);

// The marker line written before each record once a pass is irregular.
extern const char kIrregularMarker[];

struct PassResult {
    std::vector<std::string> lines;  // decoded, marker and bad-record lines, in order
    int records = 0;                 // records decoded
    int badRecords = 0;              // records replaced by a bad-record line
    bool irregular = false;          // the pass met an irregular record
};

// Decodes a whole download. `progress`, when set, is called after record i
// with count + 2 - i (what the progress bar counts down) whenever that is a
// multiple of 100.
PassResult decodePass(int count, const std::function<std::string_view(int)>& rawAt, std::string_view yearText,
                      bool fastSampling, const std::function<void(int)>& progress = {});
PassResult decodePass(const std::vector<std::string>& raw, std::string_view yearText,
                      bool fastSampling, const std::function<void(int)>& progress = {});
// The same pass handing each line to `take` as soon as it is made (the view
// lasts until `take` returns), so that a caller keeping the lines in its own
// form never holds a second copy of the recording. `lines` of the result
// stays empty.
PassResult decodePassInto(int count, const std::function<std::string_view(int)>& rawAt,
                          std::string_view yearText, bool fastSampling,
                          const std::function<void(std::string_view line)>& take,
                          const std::function<void(int)>& progress = {});

}  // namespace zelt::records
