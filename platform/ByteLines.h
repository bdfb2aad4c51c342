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
    // Replaces line i, or appends when i is the size; a larger i first adds
    // empty lines up to it.
    void set(int i, QByteArrayView line);
    // Keeps the first n lines. A copy of a list shares its bytes until one
    // of them changes, so a shortened copy costs only its index.
    void truncate(int n);
    // Forgets every line and gives the memory back.
    void clear();

    std::vector<QByteArray> toVector() const;
    static ByteLines fromVector(const std::vector<QByteArray>& lines);

    friend bool operator==(const ByteLines& a, const ByteLines& b);
    friend bool operator!=(const ByteLines& a, const ByteLines& b) { return !(a == b); }

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
};

// Cuts text into lines that end at CR, LF or CR LF, chunk by chunk, so a file
// is split while it is read. The text after the last line end is a last line.
class LineSplitter {
public:
    explicit LineSplitter(ByteLines& out) : out_(out) {}
    void feed(QByteArrayView chunk);
    void finish();

private:
    ByteLines& out_;
    QByteArray partial_;
    bool afterCr_ = false;  // the previous chunk ended with CR: a leading LF belongs to it
};

}  // namespace zelt
