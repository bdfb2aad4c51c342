#pragma once
// A zero-terminated text in a fixed character array. Assignments that do not
// fit are cut at the capacity, so no write ever passes the end.
#include <QByteArray>
#include <cstring>
#include <string_view>

namespace zelt {

template <int N>
class FixedText {
    static_assert(N >= 2, "room for one character and the terminator");

public:
    static constexpr int capacity = N - 1;  // characters, without the terminator

    FixedText() { clear(); }
    FixedText(std::string_view s) { assign(s); }  // NOLINT: texts assign naturally

    FixedText& operator=(std::string_view s)
    {
        assign(s);
        return *this;
    }
    void assign(std::string_view s)
    {
        const size_t n = s.size() < static_cast<size_t>(capacity) ? s.size() : static_cast<size_t>(capacity);
        std::memcpy(data_, s.data(), n);
        std::memset(data_ + n, 0, static_cast<size_t>(N) - n);
    }
    void clear() { std::memset(data_, 0, N); }

    bool empty() const { return data_[0] == '\0'; }
    int size() const { return static_cast<int>(std::strlen(data_)); }
    const char* c_str() const { return data_; }
    std::string_view view() const { return {data_, static_cast<size_t>(size())}; }
    QByteArray bytes() const { return QByteArray(data_, size()); }
    // Character at index i, or '\0' outside the array.
    char at(int i) const { return i >= 0 && i < N ? data_[i] : '\0'; }

    bool operator==(std::string_view s) const { return view() == s; }

private:
    char data_[N];
};

}  // namespace zelt
