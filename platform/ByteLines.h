#pragma once
// A compact list of byte lines.
//
// A recording of 72,000 lines kept as one byte array per line costs about
// three times its text in headers and allocator overhead. Here the bytes of
// all lines sit in 64 KiB blocks and each line costs eight bytes of index,
// so the list takes little more than its text.
#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <utility>
#include <vector>

namespace zelt {

class ByteLines {
public:
    int size() const { return static_cast<int>(refs_.size()); }
    bool empty() const { return refs_.empty(); }

    // The bytes of line i, valid until the list changes; empty outside the list.
    QByteArrayView view(int i) const;
    // A copy of line i; empty outside the list.
    QByteArray at(int i) const { return view(i).toByteArray(); }
    QByteArray operator[](std::size_t i) const { return at(static_cast<int>(i)); }
    QByteArray back() const { return at(size() - 1); }

    void append(QByteArrayView line);
    // Takes a line that is already a byte array of its own: a long line
    // becomes its block as it is, without a copy.
    void appendOwned(QByteArray&& line);
    // Replaces line i, or appends when i is the size; a larger i first adds
    // empty lines up to it.
    void set(int i, QByteArrayView line);
    // Keeps the first n lines. A copy of a list shares its bytes until one
    // of them changes, so a shortened copy costs only its index.
    void truncate(int n);
    // Forgets every line and gives the memory back.
    void clear();
    // Room for so many lines in the index, so that it does not grow (and
    // for a moment exist twice) while they are appended.
    void reserve(qint64 lines);
    // The memory the list holds: its blocks, its index and their headers.
    qint64 allocatedBytes() const;

    std::vector<QByteArray> toVector() const;
    static ByteLines fromVector(const std::vector<QByteArray>& lines);

    friend bool operator==(const ByteLines& a, const ByteLines& b);
    friend bool operator!=(const ByteLines& a, const ByteLines& b) { return !(a == b); }

    // Lines longer than this get a block of their own.
    static constexpr qsizetype kLongLine = 16 * 1024;

    // What a list takes in memory, found line by line from the lengths alone
    // as append() would store them, before a byte of them is held.
    class Footprint {
    public:
        void add(qsizetype length);
        qint64 lines() const { return lines_; }
        qint64 bytes() const;

    private:
        qint64 lines_ = 0;
        qint64 blocks_ = 0;
        qint64 blockBytes_ = 0;
        qsizetype used_ = -1;  // bytes in the last shared block; -1: none open
    };

private:
    // Short lines share blocks (offset and length fit 16 bits); a long line
    // has a block of its own and the length kOwnBlock, its block's size.
    struct Ref {
        std::uint32_t block;
        std::uint16_t offset;
        std::uint16_t length;
    };
    static constexpr std::uint16_t kOwnBlock = 0xFFFF;
    Ref store(QByteArrayView line);

    std::vector<QByteArray> blocks_;
    std::vector<Ref> refs_;
    qsizetype sharedBlock_ = -1;  // the block short lines are filling; -1: none
};

// Cuts text into lines that end at CR, LF or CR LF, chunk by chunk, so a file
// is split while it is read. The text after the last line end is a last line.
class LineSplitter {
public:
    explicit LineSplitter(ByteLines& out) : out_(out) {}
    // The lengths of the long lines to come (line index, length), in order:
    // a long line that spans chunks is then gathered in a buffer of its
    // exact size, which becomes its block.
    void expectLongLines(std::vector<std::pair<qint64, qint64>> longLines);
    void feed(QByteArrayView chunk);
    void finish();

private:
    void endPartial();

    ByteLines& out_;
    QByteArray partial_;
    bool afterCr_ = false;  // the previous chunk ended with CR: a leading LF belongs to it
    std::vector<std::pair<qint64, qint64>> longLines_;
    std::size_t nextLong_ = 0;
};

// Measures text as LineSplitter would cut it, without keeping it: the
// number of lines, what they would take in memory, and the long lines.
class LineCounter {
public:
    void feed(QByteArrayView chunk);
    void finish();
    const ByteLines::Footprint& footprint() const { return footprint_; }
    // (line index, length) of every line longer than ByteLines::kLongLine.
    const std::vector<std::pair<qint64, qint64>>& longLines() const { return longLines_; }

private:
    void endLine();

    ByteLines::Footprint footprint_;
    std::vector<std::pair<qint64, qint64>> longLines_;
    qint64 length_ = 0;  // of the line being measured
    bool afterCr_ = false;
};

}  // namespace zelt
