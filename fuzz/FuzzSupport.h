#pragma once
// Shared pieces of the fuzz harnesses: the property check, the toolkit for
// the harnesses that need windows, and the whole tool on the in-memory port.
//
// Every harness exposes LLVMFuzzerTestOneInput (and LLVMFuzzerInitialize
// where it needs the toolkit). Built with clang's fuzzer they are the
// fuzzers; built with replay_main.cpp they replay their corpus as a test.
#include <QByteArray>
#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace zelt::fuzz {

// A broken property is a crash the fuzzer keeps and a replay reports.
[[noreturn]] inline void fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "property violated at %s:%d: %s\n", file, line, what);
    std::fflush(stderr);
    __builtin_trap();
}

// The toolkit on the offscreen platform, once per process; its messages are
// silenced (they would only slow the fuzzer down), fatal ones excepted.
void startToolkit(int* argc, char*** argv);

inline QByteArray bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

inline std::string_view view(const QByteArray& b)
{
    return std::string_view(b.constData(), static_cast<std::size_t>(b.size()));
}

inline std::string_view view(QByteArrayView b)
{
    return std::string_view(b.data(), static_cast<std::size_t>(b.size()));
}

// Takes the input from the front: one byte of options, or 0 when used up.
struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::uint8_t byte()
    {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }
    QByteArray rest() { return bytes(data, size); }
};

}  // namespace zelt::fuzz

#define FUZZ_CHECK(cond) \
    ((cond) ? static_cast<void>(0) : ::zelt::fuzz::fail(#cond, __FILE__, __LINE__))
