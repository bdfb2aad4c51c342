#include "platform/LogMemo.h"

#include "platform/Cp932.h"

#include "platform/Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QLocale>
#include <QProgressDialog>
#include <QScrollBar>
#include <limits>

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

bool LogMemo::loadFromFile(const QString& path)
{
    // The dialog comes at once for a file that takes a while to read, else
    // only when the reading turns out slow (a network folder).
    constexpr qint64 kShowAtOnceBytes = 4 * 1024 * 1024;
    constexpr int kShowAfterMs = 300;
    QProgressDialog dialog(window());
    dialog.setObjectName(QStringLiteral("fileProgress"));
    dialog.setWindowTitle(QStringLiteral("FILE"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setLabelText(translated(QStringLiteral("ファイルを読み込んでいます")) + QLatin1Char('\n') +
                        QDir::toNativeSeparators(path));
    dialog.setCancelButtonText(translated(QStringLiteral("キャンセル")));
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(std::numeric_limits<int>::max());  // shown here, not by its own guess
    dialog.setRange(0, 1000);
    QElapsedTimer since;
    since.start();
    const auto progress = [&](qint64 done, qint64 total) {
        if (total > 0)
            dialog.setValue(static_cast<int>(done * 1000 / total));
        if (!dialog.isVisible() && (total / 2 >= kShowAtOnceBytes || since.elapsed() >= kShowAfterMs))
            dialog.show();
        if (dialog.isVisible())
            QCoreApplication::processEvents();  // paints, and a click on the cancel button
        return !dialog.wasCanceled();
    };
    std::optional<ByteLines> lines = readLinesFile(path, progress);
    if (!lines)
        return false;
    setLines(std::move(*lines));
    return true;
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
