#pragma once
// A download of the records stored in the logger, without a window: the
// data set's head lines, the command that asks for the records, and the
// decoding pass that turns the records into the data set's lines once the
// logger's end mark (or the end of the line) has come. The records
// themselves are kept by the logger link while the download is active. The
// main window and the command-line tool both run a download through this.
#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace zelt {

class LoggerLink;

enum class Transfer {
    Get,       // 取得, "D"
    Enquire,   // ENQ, "C"
    Version3,  // V3, "G"
    Star,      // *, "G"
};

class DownloadExchange {
public:
    explicit DownloadExchange(LoggerLink& link) : link_(link) {}

    // The data set's first two lines: "Start Year=..." (with the counts per G
    // for "D" and "C") and the column titles.
    static std::vector<QByteArray> headLines(Transfer kind, const QString& yearText, int countsPerG);
    // The command that asks the logger for its records.
    static QByteArray command(Transfer kind);

    // Starts the transfer on an open port: the line buffer and what waits
    // are dropped, the command goes out, and the link keeps every record
    // line from now on. The start time is noted for the elapsed time.
    void begin(Transfer kind);

    struct Result {
        int records = 0;        // records decoded
        bool irregular = false; // a time step out of line ("時間不整合")
        int badRecords = 0;     // records that are no record ("//Bad Record" lines)
        int announced = -1;     // the count the logger reported, -1 when none
        bool incomplete = false;
        QString why;            // why it is incomplete
        QByteArray note;        // the data set's line that says so
        QString message;        // the message that says so
    };
    using LineSink = std::function<void(QByteArrayView line)>;
    using Progress = std::function<void(int remaining)>;
    // The decoding pass: every stored record becomes a line given to add, in
    // order; the last one stays in the link's line buffer. cutShortBy says
    // why the records ended without the end mark (empty when it came). An
    // incomplete download's note line is given to add too.
    Result finish(const QByteArray& yearText, const LineSink& add, const Progress& progress,
                  const QString& cutShortBy);

private:
    LoggerLink& link_;
};

}  // namespace zelt
