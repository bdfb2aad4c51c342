#include "data/DownloadExchange.h"

#include "data/RecordDecoder.h"
#include "link/ComPort.h"
#include "link/LoggerLink.h"
#include "platform/Clock.h"
#include "platform/Cp932.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace zelt {

namespace {
const char kColumnHeader[] = "date time,x(G),y(G),z(G),temperature(C)";
const char kStarColumnHeader[] = "Date,Xaxis,Yaxis,Zaxis,Temp";
}  // namespace

std::vector<QByteArray> DownloadExchange::headLines(Transfer kind, const QString& yearText, int countsPerG)
{
    QString head = QStringLiteral("Start Year=") + yearText;
    if (kind == Transfer::Get || kind == Transfer::Enquire)
        head += QStringLiteral(" @1G=") + QString::number(countsPerG);
    return {toCp932(head), QByteArray(kind == Transfer::Star ? kStarColumnHeader : kColumnHeader)};
}

QByteArray DownloadExchange::command(Transfer kind)
{
    return kind == Transfer::Get ? "D" : kind == Transfer::Enquire ? "C" : "G";
}

void DownloadExchange::begin(Transfer kind)
{
    LinkState& s = link_.state();
    // Every variant records its start, so the elapsed time is always its own.
    s.transferStartTime = toDayValue(localNow());
    s.clearLine();
    link_.port().FlushInBuffer();
    link_.port().PutString(command(kind));
    s.downloadActive = 1;
    s.recordCount = 0;
    s.recordLines.clear();
}

DownloadExchange::Result DownloadExchange::finish(const QByteArray& yearText, const LineSink& add,
                                                  const Progress& progress, const QString& cutShortBy)
{
    LinkState& s = link_.state();
    s.downloadActive = 0;
    Result result;
    // Only stored records are read: a count left by a line that merely looked
    // like the logger's count report must not take the pass past the table.
    const int count = std::clamp(s.recordCount, 0, s.recordLines.size());
    // The last line made, kept in a buffer that is reused, not allocated per line.
    std::string last;
    const records::PassResult pass = records::decodePassInto(
        count,
        [&s](int i) {
            const QByteArrayView raw = s.recordLines.view(i);
            return std::string_view(raw.data(), static_cast<size_t>(raw.size()));
        },
        std::string_view(yearText.constData(), static_cast<size_t>(yearText.size())), s.fastSampling != 0,
        [&](std::string_view line) {
            const QByteArrayView view(line.data(), static_cast<qsizetype>(line.size()));
            add(view);
            last.assign(line.data(), line.size());
        },
        [&progress](int remaining) {
            if (progress)
                progress(remaining);
        });

    // The last decoded line stays in the line buffer, where the end mark shows it.
    if (count > 0) {
        const int n = std::min<int>(static_cast<int>(last.size()), kLineBufferSize - 1);
        std::memcpy(s.lineBuffer, last.data(), static_cast<size_t>(n));
        s.lineBuffer[n] = '\0';
    }
    s.decodedCount = count;
    result.records = count;
    result.irregular = pass.irregular;
    result.badRecords = pass.badRecords;

    // What arrived is compared with what was announced, and a download that
    // fell short says so: in the data set (a saved file says it too) and in
    // a message. More records than announced are no fault (the logger goes
    // on recording after its report).
    const int announced = s.reportedRecordCount;
    result.announced = announced;
    const bool short_ = announced >= 0 && count < announced;
    if (!cutShortBy.isEmpty() || short_) {
        result.incomplete = true;
        result.why = cutShortBy.isEmpty() ? QStringLiteral("the end mark came early") : cutShortBy;
        const QString of = announced >= 0 ? QStringLiteral(" of %1").arg(announced) : QString();
        result.note = toCp932(
            QStringLiteral("// Download incomplete (%1): %2%3 records arrived //").arg(result.why).arg(count).arg(of));
        add(result.note);
        result.message = announced >= 0 ? QStringLiteral("ダウンロードが完了していません (%1)。%2 件中 %3 件を受信しました。")
                                              .arg(result.why)
                                              .arg(announced)
                                              .arg(count)
                                        : QStringLiteral("ダウンロードが完了していません (%1)。%2 件を受信しました。")
                                              .arg(result.why)
                                              .arg(count);
    }
    return result;
}

}  // namespace zelt
