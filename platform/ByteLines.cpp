#include "platform/ByteLines.h"

#include <algorithm>
#include <cstring>

namespace zelt {

namespace {
constexpr qsizetype kBlockSize = 64 * 1024;

// Cuts a chunk at its line ends (CR LF, CR or LF; a CR that ends the chunk
// takes the LF that may begin the next one, afterCr carries it over):
// line(start, end) for each line the chunk ends. Returns where the chunk's
// unended tail starts (n when there is none). The splitter and the counter
// both cut here, so they always agree on the lines.
template <class Line>
qsizetype cutLines(const char* p, qsizetype n, bool& afterCr, Line line)
{
    qsizetype i = 0;
    if (afterCr && n > 0 && p[0] == '\n')
        i = 1;
    afterCr = false;
    qsizetype start = i;
    for (; i < n; ++i) {
        if (p[i] != '\r' && p[i] != '\n')
            continue;
        line(start, i);
        if (p[i] == '\r') {
            if (i + 1 < n) {
                if (p[i + 1] == '\n')
                    ++i;
            } else {
                afterCr = true;
            }
        }
        start = i + 1;
    }
    return start;
}
}  // namespace

QByteArrayView ByteLines::view(int i) const
{
    if (i < 0 || i >= size())
        return {};
    const Ref& r = refs_[static_cast<size_t>(i)];
    const QByteArray& block = blocks_[r.block];
    if (r.length == kOwnBlock)
        return QByteArrayView(block);
    return QByteArrayView(block.constData() + r.offset, r.length);
}

ByteLines::Ref ByteLines::store(QByteArrayView line)
{
    const qsizetype n = line.size();
    if (n > kLongLine) {
        // A long line gets a block of its own; short lines go on filling
        // the shared block they were filling.
        blocks_.push_back(line.toByteArray());
        return Ref{static_cast<std::uint32_t>(blocks_.size() - 1), 0, kOwnBlock};
    }
    // A shared block filled up to 64 KiB takes no more.
    if (sharedBlock_ < 0 || blocks_[static_cast<size_t>(sharedBlock_)].size() + n > kBlockSize) {
        blocks_.emplace_back();
        blocks_.back().reserve(kBlockSize);
        sharedBlock_ = static_cast<qsizetype>(blocks_.size() - 1);
    }
    QByteArray& block = blocks_[static_cast<size_t>(sharedBlock_)];
    const auto offset = static_cast<std::uint16_t>(block.size());
    block.append(line);
    return Ref{static_cast<std::uint32_t>(sharedBlock_), offset, static_cast<std::uint16_t>(n)};
}

void ByteLines::append(QByteArrayView line)
{
    const Ref r = store(line);
    refs_.push_back(r);
}

void ByteLines::appendOwned(QByteArray&& line)
{
    if (line.size() <= kLongLine) {
        append(QByteArrayView(line));
        return;
    }
    blocks_.push_back(std::move(line));
    refs_.push_back(Ref{static_cast<std::uint32_t>(blocks_.size() - 1), 0, kOwnBlock});
}

void ByteLines::reserve(qint64 lines)
{
    if (lines > static_cast<qint64>(refs_.size()))
        refs_.reserve(static_cast<std::size_t>(lines));
}

qint64 ByteLines::allocatedBytes() const
{
    qint64 bytes = static_cast<qint64>(refs_.capacity() * sizeof(Ref) + blocks_.capacity() * sizeof(QByteArray));
    for (const QByteArray& b : blocks_)
        bytes += b.capacity();
    return bytes;
}

void ByteLines::Footprint::add(qsizetype length)
{
    // As store() places a line.
    ++lines_;
    if (length > kLongLine) {
        ++blocks_;
        blockBytes_ += length;
        return;
    }
    if (used_ < 0 || used_ + length > kBlockSize) {
        ++blocks_;
        blockBytes_ += kBlockSize;
        used_ = 0;
    }
    used_ += length;
}

qint64 ByteLines::Footprint::bytes() const
{
    return blockBytes_ + lines_ * static_cast<qint64>(sizeof(Ref)) + blocks_ * static_cast<qint64>(sizeof(QByteArray));
}

void ByteLines::set(int i, QByteArrayView line)
{
    if (i < 0)
        return;
    while (size() < i)
        append(QByteArrayView());
    if (i == size()) {
        append(line);
        return;
    }
    refs_[static_cast<size_t>(i)] = store(line);  // the old bytes stay unused in their block
}

void ByteLines::truncate(int n)
{
    if (n >= 0 && n < size())
        refs_.resize(static_cast<size_t>(n));
}

void ByteLines::clear()
{
    std::vector<QByteArray>().swap(blocks_);
    std::vector<Ref>().swap(refs_);
    sharedBlock_ = -1;
}

std::vector<QByteArray> ByteLines::toVector() const
{
    std::vector<QByteArray> lines;
    lines.reserve(refs_.size());
    for (int i = 0; i < size(); ++i)
        lines.push_back(at(i));
    return lines;
}

ByteLines ByteLines::fromVector(const std::vector<QByteArray>& lines)
{
    ByteLines out;
    out.refs_.reserve(lines.size());
    for (const QByteArray& l : lines)
        out.append(l);
    return out;
}

bool operator==(const ByteLines& a, const ByteLines& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a.view(i) != b.view(i))
            return false;
    return true;
}

void LineSplitter::expectLongLines(std::vector<std::pair<qint64, qint64>> longLines)
{
    longLines_ = std::move(longLines);
    nextLong_ = 0;
}

void LineSplitter::endPartial()
{
    out_.appendOwned(std::move(partial_));
    partial_ = QByteArray();
}

void LineSplitter::feed(QByteArrayView chunk)
{
    const char* p = chunk.data();
    const qsizetype n = chunk.size();
    const qsizetype start = cutLines(p, n, afterCr_, [&](qsizetype from, qsizetype end) {
        if (partial_.isEmpty()) {
            out_.append(QByteArrayView(p + from, end - from));
        } else {
            partial_.append(p + from, end - from);
            endPartial();
        }
    });
    if (start < n) {
        if (partial_.isEmpty()) {
            // A line that goes on in the next chunk: a long one is gathered
            // in a buffer of its final size.
            while (nextLong_ < longLines_.size() && longLines_[nextLong_].first < out_.size())
                ++nextLong_;
            if (nextLong_ < longLines_.size() && longLines_[nextLong_].first == out_.size())
                partial_.reserve(static_cast<qsizetype>(longLines_[nextLong_].second));
        }
        partial_.append(p + start, n - start);
    }
}

void LineSplitter::finish()
{
    if (!partial_.isEmpty())
        endPartial();
    partial_ = QByteArray();
    afterCr_ = false;
}

void LineCounter::endLine()
{
    if (length_ > ByteLines::kLongLine)
        longLines_.emplace_back(footprint_.lines(), length_);
    footprint_.add(static_cast<qsizetype>(length_));
    length_ = 0;
}

void LineCounter::feed(QByteArrayView chunk)
{
    const qsizetype n = chunk.size();
    const qsizetype start = cutLines(chunk.data(), n, afterCr_, [this](qsizetype from, qsizetype end) {
        length_ += end - from;
        endLine();
    });
    if (start < n)
        length_ += n - start;
}

void LineCounter::finish()
{
    if (length_ > 0)
        endLine();
    afterCr_ = false;
}

}  // namespace zelt
