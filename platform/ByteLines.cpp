#include "platform/ByteLines.h"

#include <algorithm>
#include <cstring>

namespace zelt {

namespace {
constexpr qsizetype kBlockSize = 64 * 1024;
}

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
    if (n > kBlockSize / 4) {
        // A long line gets a block of its own; the next short line starts a
        // new block, since this one is full.
        blocks_.push_back(line.toByteArray());
        return Ref{static_cast<std::uint32_t>(blocks_.size() - 1), 0, kOwnBlock};
    }
    // A block filled up to 64 KiB, or one that holds a long line, takes no more.
    if (blocks_.empty() || blocks_.back().size() + n > kBlockSize || blocks_.back().capacity() < kBlockSize) {
        blocks_.emplace_back();
        blocks_.back().reserve(kBlockSize);
    }
    QByteArray& block = blocks_.back();
    const auto offset = static_cast<std::uint16_t>(block.size());
    block.append(line);
    return Ref{static_cast<std::uint32_t>(blocks_.size() - 1), offset, static_cast<std::uint16_t>(n)};
}

void ByteLines::append(QByteArrayView line)
{
    const Ref r = store(line);
    refs_.push_back(r);
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

void LineSplitter::feed(QByteArrayView chunk)
{
    const char* p = chunk.data();
    const qsizetype n = chunk.size();
    qsizetype start = 0;
    qsizetype i = 0;
    if (afterCr_ && n > 0 && p[0] == '\n') {
        start = i = 1;
    }
    afterCr_ = false;
    for (; i < n; ++i) {
        if (p[i] != '\r' && p[i] != '\n')
            continue;
        if (partial_.isEmpty()) {
            out_.append(QByteArrayView(p + start, i - start));
        } else {
            partial_.append(p + start, i - start);
            out_.append(partial_);
            partial_.clear();
        }
        if (p[i] == '\r') {
            if (i + 1 < n) {
                if (p[i + 1] == '\n')
                    ++i;
            } else {
                afterCr_ = true;
            }
        }
        start = i + 1;
    }
    if (start < n)
        partial_.append(p + start, n - start);
}

void LineSplitter::finish()
{
    if (!partial_.isEmpty())
        out_.append(partial_);
    partial_.clear();
    afterCr_ = false;
}

}  // namespace zelt
