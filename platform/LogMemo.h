#pragma once
// The log memo: a list of byte lines shown through a model/view list.
//
// The lines are the data set of the tool (a recording is its lines), so they
// are kept as the exact bytes received or read (CP932 text, and the lone 0x81
// byte that marks an irregular record); text is decoded only for display.
// Appends are collected and announced to the view once per event-loop turn,
// so 72,000 lines appear at once instead of one repaint per line.
#include <QAbstractListModel>
#include <QByteArray>
#include <QListView>
#include <QString>
#include <stdexcept>
#include <vector>

namespace zelt {

// A file that cannot be written or read; the text names the file and reason.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ByteLineModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ByteLineModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const std::vector<QByteArray>& lines() const { return lines_; }
    void append(const QByteArray& line);
    void append(std::vector<QByteArray>&& more);
    void clear();
    void setLines(std::vector<QByteArray> lines);

    // Announces lines appended since the last announcement to the views.
    void flush();

private:
    void scheduleFlush();

    std::vector<QByteArray> lines_;
    int reported_ = 0;
    bool flushQueued_ = false;
};

class LogMemo : public QListView {
    Q_OBJECT
public:
    explicit LogMemo(QWidget* parent = nullptr);

    void addLine(const QByteArray& bytes);
    void addLine(const QString& text);  // encoded as CP932
    void addLine(const char* text) { addLine(QString::fromUtf8(text)); }
    void clear();
    int count() const { return static_cast<int>(model_->lines().size()); }
    const QByteArray& line(int i) const { return model_->lines().at(static_cast<size_t>(i)); }
    const std::vector<QByteArray>& lines() const { return model_->lines(); }
    void setLines(std::vector<QByteArray> lines);
    QString lineText(int i) const;  // decoded for display and comparisons

    // Writes every line followed by CR LF, as they stand, replacing the file.
    // Throws FileError when the file cannot be written; the old file is then
    // left as it was.
    void saveToFile(const QString& path) const;
    // Replaces the lines with the file's lines (a line ends at CR, LF or
    // CR LF). Throws FileError and keeps the present lines when the file
    // cannot be read.
    void loadFromFile(const QString& path);

    ByteLineModel* byteModel() const { return model_; }

private:
    ByteLineModel* model_;
};

// Splits file content into lines ending at CR, LF or CR LF; the text after the
// last line end, if any, is a last line.
std::vector<QByteArray> splitLines(const QByteArray& content);
// Joins lines, each followed by CR LF.
QByteArray joinLinesCrLf(const std::vector<QByteArray>& lines);

}  // namespace zelt
