#pragma once
// The log memo: a list of byte lines shown through a model/view list.
//
// The lines are the data set of the tool (a recording is its lines), so they
// are kept as the exact bytes received or read (CP932 text, and the lone 0x81
// byte that marks an irregular record); text is decoded only for display.
// Appends are collected and announced to the view once per event-loop turn,
// so 72,000 lines appear at once instead of one repaint per line.
#include "platform/ByteLines.h"
#include "platform/FileErrors.h"
#include "platform/LineFiles.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QListView>
#include <QString>
#include <vector>

namespace zelt {

// The most bytes of one line that the memo decodes and shows. A longer line
// (a file that is no recording can hold megabytes without a line end) is
// shown cut, with a mark that gives its full length; its bytes stay whole in
// the data set and in a saved file.
constexpr int kShownLineBytes = 4096;

// The text the memo shows for a line: the line decoded, or for a line longer
// than kShownLineBytes its first bytes (never half a character) decoded, then
// "…" and the full length in bytes.
QString shownLineText(QByteArrayView line);

class ByteLineModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ByteLineModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const ByteLines& lines() const { return lines_; }
    void append(QByteArrayView line);
    void clear();
    void setLines(ByteLines lines);

    // Announces lines appended since the last announcement to the views.
    void flush();

private:
    void scheduleFlush();

    ByteLines lines_;
    int reported_ = 0;
    bool flushQueued_ = false;
};

class LogMemo : public QListView {
    Q_OBJECT
public:
    explicit LogMemo(QWidget* parent = nullptr);

    void addLine(QByteArrayView bytes);
    void addLine(const QByteArray& bytes) { addLine(QByteArrayView(bytes)); }
    void addLine(const QString& text);  // encoded as CP932
    void addLine(const char* text) { addLine(QString::fromUtf8(text)); }
    void clear();
    int count() const { return model_->lines().size(); }
    QByteArray line(int i) const { return model_->lines().at(i); }
    // The lines themselves, without copying.
    const ByteLines& store() const { return model_->lines(); }
    // A copy of the lines, for the few places that want a list of arrays.
    std::vector<QByteArray> lines() const { return model_->lines().toVector(); }
    void setLines(const std::vector<QByteArray>& lines) { model_->setLines(ByteLines::fromVector(lines)); }
    void setLines(ByteLines lines) { model_->setLines(std::move(lines)); }
    QString lineText(int i) const;  // the whole line decoded, for comparisons

    // Writes every line followed by CR LF, as they stand, replacing the file.
    // Throws FileError (worded for the user) when the file cannot be written;
    // the old file is then left as it was.
    void saveToFile(const QString& path) const;
    // Replaces the lines with the file's lines (a line ends at CR, LF or
    // CR LF), as readLinesFile reads them: a file whose lines would take
    // more than twice its size in memory is refused. A large file shows its
    // progress in a dialog with a cancel button; false when the user
    // cancelled. The present lines stay until the whole file is read, so a
    // cancel, or a file that cannot be opened or read (FileError), changes
    // nothing.
    bool loadFromFile(const QString& path);

    ByteLineModel* byteModel() const { return model_; }

private:
    ByteLineModel* model_;
};

// Splits file content into lines ending at CR, LF or CR LF; the text after the
// last line end, if any, is a last line.
std::vector<QByteArray> splitLines(const QByteArray& content);

}  // namespace zelt
