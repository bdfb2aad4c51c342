#include "platform/LogMemo.h"

#include "platform/Cp932.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLocale>
#include <QSaveFile>
#include <QScrollBar>

namespace zelt {

QString shownLineText(QByteArrayView line)
{
    if (line.size() <= kShownLineBytes)
        return fromCp932(line.toByteArray());
    // Cut before a lead byte whose trail byte would fall beyond the limit, so
    // the shown text never ends in half a character.
    qsizetype cut = 0;
    while (cut < kShownLineBytes) {
        const auto c = static_cast<unsigned char>(line[cut]);
        const qsizetype step = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
        if (cut + step > kShownLineBytes)
            break;
        cut += step;
    }
    return fromCp932(line.first(cut).toByteArray()) +
           QStringLiteral("…（全%1バイト）").arg(QLocale(QLocale::Japanese, QLocale::Japan).toString(line.size()));
}

ByteLineModel::ByteLineModel(QObject* parent) : QAbstractListModel(parent) {}

int ByteLineModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : reported_;
}

QVariant ByteLineModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= lines_.size())
        return {};
    // Only the head of a long line is decoded: a line of megabytes would
    // otherwise be decoded, measured and drawn whole at every repaint.
    return shownLineText(lines_.view(index.row()));
}

void ByteLineModel::append(QByteArrayView line)
{
    lines_.append(line);
    scheduleFlush();
}

void ByteLineModel::clear()
{
    beginResetModel();
    lines_.clear();
    reported_ = 0;
    endResetModel();
}

void ByteLineModel::setLines(ByteLines lines)
{
    beginResetModel();
    lines_ = std::move(lines);
    reported_ = lines_.size();
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
    const int total = lines_.size();
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

void LogMemo::addLine(QByteArrayView bytes) { model_->append(bytes); }
void LogMemo::addLine(const QString& text) { model_->append(toCp932(text)); }
void LogMemo::clear() { model_->clear(); }
QString LogMemo::lineText(int i) const { return fromCp932(line(i)); }

void LogMemo::saveToFile(const QString& path) const
{
    writeLinesFile(store(), path);
}

void LogMemo::loadFromFile(const QString& path)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        throw fileError(FileAction::Open, path, file.error());
    const auto fail = [&] { return fileError(FileAction::Read, path, file.error()); };
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    qint64 n = file.read(chunk.data(), chunk.size());
    if (n < 0)
        throw fail();
    // The file opens and reads: the present lines make room for its lines
    // before the rest is read, so a large data set is never held twice.
    // The file is split while it is read, so its text is not held twice either.
    model_->clear();
    ByteLines lines;
    LineSplitter splitter(lines);
    while (n > 0) {
        splitter.feed(QByteArrayView(chunk.constData(), n));
        n = file.read(chunk.data(), chunk.size());
    }
    splitter.finish();
    setLines(std::move(lines));
    if (n < 0)  // a device error in mid-file: what was read is shown, and the error
        throw fail();
}

std::vector<QByteArray> splitLines(const QByteArray& content)
{
    ByteLines lines;
    LineSplitter splitter(lines);
    splitter.feed(content);
    splitter.finish();
    return lines.toVector();
}

}  // namespace zelt
