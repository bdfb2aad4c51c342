// The record decoder on arbitrary records.
//
// Input: one option byte (bit 0: fast sampling), the start-year text up to
// the first LF, then one raw record per LF-terminated piece.
//
// Properties:
//  - a record is bad exactly when it is shorter than 16 characters or one of
//    its first 16 is no upper-case hex digit; a bad record leaves the
//    decoder's state as it was and gives the bad-record line, printable and
//    bounded;
//  - a pass yields exactly one line per record plus one marker per decoded
//    record from the first irregular one on: never more lines than records
//    plus markers, a marker always directly before a decoded record;
//  - the pass that hands lines on and the pass that collects them agree;
//  - the progress count goes down in steps of whole hundreds;
//  - decoded lines hold no line break, so a saved recording reads back as
//    the same lines.
#include "fuzz/FuzzSupport.h"

#include "data/RecordDecoder.h"

#include <QList>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace zelt;
using namespace zelt::fuzz;

namespace {

// The fixed part of a record is upper-case hex, as the logger sends it.
bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool decodable(std::string_view raw)
{
    if (raw.size() < 16)
        return false;
    for (std::size_t i = 0; i < 16; ++i)
        if (!isHex(raw[i]))
            return false;
    return true;
}

bool sameState(const records::DecoderState& a, const records::DecoderState& b)
{
    return a.year == b.year && a.month == b.month && a.prevMonth == b.prevMonth && a.cycle == b.cycle &&
           a.cycleWrap == b.cycleWrap && a.dateKey == b.dateKey && a.prevDateKey == b.prevDateKey &&
           a.timeKey == b.timeKey && a.prevTimeKey == b.prevTimeKey && a.irregular == b.irregular;
}

void checkBadLine(std::string_view raw, const std::string& line)
{
    static const std::string_view kHead = "//Bad Record: ";
    static const std::string_view kTail = " //";
    FUZZ_CHECK(line == records::badRecordLine(raw));
    FUZZ_CHECK(line.size() >= kHead.size() + kTail.size());
    FUZZ_CHECK(std::string_view(line).substr(0, kHead.size()) == kHead);
    FUZZ_CHECK(std::string_view(line).substr(line.size() - kTail.size()) == kTail);
    FUZZ_CHECK(line.size() <= kHead.size() + records::kBadRecordShown + 3 + kTail.size());
    for (const char c : line)
        FUZZ_CHECK(c >= 0x20 && c < 0x7F);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    const bool fast = in.byte() & 1;
    const QByteArray rest = in.rest();
    const qsizetype yearEnd = rest.indexOf('\n');
    const QByteArray yearText = yearEnd < 0 ? rest : rest.left(yearEnd);
    std::vector<std::string> raw;
    if (yearEnd >= 0) {
        const QByteArray body = rest.mid(yearEnd + 1);
        for (const QByteArray& piece : body.split('\n'))
            raw.emplace_back(piece.constData(), static_cast<std::size_t>(piece.size()));
        if (!raw.empty() && raw.back().empty())
            raw.pop_back();  // the LF that ends the last record
    }
    const int count = static_cast<int>(raw.size());
    FUZZ_CHECK(records::leadingYear(view(yearText)) >= 0);

    // Record by record, with the state of the pass.
    records::DecoderState st;
    st.reset(records::leadingYear(view(yearText)));
    std::vector<records::RecordStatus> statuses;
    std::string line;
    for (const std::string& r : raw) {
        const records::DecoderState before = st;
        const records::RecordStatus status = records::decodeRecord(r, fast, st, line);
        statuses.push_back(status);
        FUZZ_CHECK((status == records::RecordStatus::Bad) == !decodable(r));
        if (status == records::RecordStatus::Bad) {
            FUZZ_CHECK(sameState(before, st));
            checkBadLine(r, line);
        } else {
            FUZZ_CHECK(!line.empty());
            FUZZ_CHECK(line.find_first_of("\r\n", 0) == std::string::npos);
            FUZZ_CHECK(std::strlen(line.c_str()) == line.size());
            // date time, X, Y, Z, temperature and perhaps the humidity
            const auto commas = std::count(line.begin(), line.end(), ',');
            FUZZ_CHECK(commas == 4 || commas == 5);
            // Once irregular, the pass stays so.
            FUZZ_CHECK(!before.irregular || status == records::RecordStatus::Irregular);
        }
    }

    // The whole pass.
    std::vector<int> progress;
    const records::PassResult pass =
        records::decodePass(raw, view(yearText), fast, [&progress](int n) { progress.push_back(n); });
    FUZZ_CHECK(pass.records + pass.badRecords == count);
    int markers = 0;
    int expectedMarkers = 0;
    for (const records::RecordStatus s : statuses)
        if (s == records::RecordStatus::Irregular)
            ++expectedMarkers;
    for (std::size_t i = 0; i < pass.lines.size(); ++i) {
        if (pass.lines[i] != records::kIrregularMarker)
            continue;
        ++markers;
        FUZZ_CHECK(i + 1 < pass.lines.size());
        FUZZ_CHECK(pass.lines[i + 1] != records::kIrregularMarker);
        FUZZ_CHECK(pass.lines[i + 1].rfind("//Bad Record: ", 0) != 0);
    }
    FUZZ_CHECK(markers == expectedMarkers);
    FUZZ_CHECK(markers <= pass.records);
    FUZZ_CHECK(static_cast<int>(pass.lines.size()) == count + markers);
    FUZZ_CHECK(pass.irregular == (markers > 0));
    for (std::size_t i = 0; i < progress.size(); ++i) {
        FUZZ_CHECK(progress[i] % 100 == 0 && progress[i] > 0);
        FUZZ_CHECK(i == 0 || progress[i] < progress[i - 1]);
    }

    // Handing the lines on gives the same lines.
    std::vector<std::string> taken;
    const records::PassResult streamed = records::decodePassInto(
        count, [&raw](int i) { return std::string_view(raw[static_cast<std::size_t>(i)]); }, view(yearText), fast,
        [&taken](std::string_view l) { taken.emplace_back(l); });
    FUZZ_CHECK(streamed.lines.empty());
    FUZZ_CHECK(taken == pass.lines);
    FUZZ_CHECK(streamed.records == pass.records && streamed.badRecords == pass.badRecords &&
               streamed.irregular == pass.irregular);
    return 0;
}
