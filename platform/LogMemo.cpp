#include "platform/LogMemo.h"

#include "platform/Cp932.h"

#include <QFile>
#include <QFontDatabase>
#include <QSaveFile>
#include <QScrollBar>

namespace zelt {

ByteLineModel::ByteLineModel(QObject* parent) : QAbstractListModel(parent) {}

int ByteLineModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : reported_;
}

QVariant ByteLineModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= static_cast<int>(lines_.size()))
        return {};
    return fromCp932(lines_[static_cast<size_t>(index.row())]);
}

void ByteLineModel::append(const QByteArray& line)
{
    lines_.push_back(line);
    scheduleFlush();
}

void ByteLineModel::append(std::vector<QByteArray>&& more)
{
    lines_.insert(lines_.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    scheduleFlush();
}

void ByteLineModel::clear()
{
    beginResetModel();
    lines_.clear();
    reported_ = 0;
    endResetModel();
}

void ByteLineModel::setLines(std::vector<QByteArray> lines)
{
    beginResetModel();
    lines_ = std::move(lines);
    reported_ = static_cast<int>(lines_.size());
    endResetModel();
}

void ByteLineModel::scheduleFlush()
{
    if (flushQueued_)
        return;
    flushQueued_ = true;
    QMetaObject::invokeMethod(this, &ByteLineModel::flush, Qt::QueuedConnection);
}

void ByteLineModel::flush()
{
    flushQueued_ = false;
    const int total = static_cast<int>(lines_.size());
    if (total <= reported_)
        return;
    beginInsertRows(QModelIndex(), reported_, total - 1);
    reported_ = total;
    endInsertRows();
}

LogMemo::LogMemo(QWidget* parent) : QListView(parent), model_(new ByteLineModel(this))
{
    setModel(model_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(9);
    setFont(mono);
    // Follow the newest line, as a log does, unless the user scrolled away.
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
        QScrollBar* bar = verticalScrollBar();
        if (bar->value() >= bar->maximum() - 2)
            scrollToBottom();
    });
}

void LogMemo::addLine(const QByteArray& bytes) { model_->append(bytes); }
void LogMemo::addLine(const QString& text) { model_->append(toCp932(text)); }
void LogMemo::clear() { model_->clear(); }
void LogMemo::setLines(std::vector<QByteArray> lines) { model_->setLines(std::move(lines)); }
QString LogMemo::lineText(int i) const { return fromCp932(line(i)); }

void LogMemo::saveToFile(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()).toStdString());
    const QByteArray content = joinLinesCrLf(lines());
    if (file.write(content) != content.size() || !file.commit())
        throw FileError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()).toStdString());
}

void LogMemo::loadFromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()).toStdString());
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()).toStdString());
    setLines(splitLines(content));
}

std::vector<QByteArray> splitLines(const QByteArray& content)
{
    std::vector<QByteArray> lines;
    const char* p = content.constData();
    const int n = content.size();
    int start = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] != '\r' && p[i] != '\n')
            continue;
        lines.emplace_back(p + start, i - start);
        if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.emplace_back(p + start, n - start);
    return lines;
}

QByteArray joinLinesCrLf(const std::vector<QByteArray>& lines)
{
    qsizetype total = 0;
    for (const QByteArray& l : lines)
        total += l.size() + 2;
    QByteArray out;
    out.reserve(total);
    for (const QByteArray& l : lines) {
        out.append(l);
        out.append("\r\n", 2);
    }
    return out;
}

}  // namespace zelt
