#include "platform/Cp932.h"

#ifdef _WIN32

#include "platform/win/CodePage932.h"

namespace zelt {

// Windows converts with its own code page 932 (platform/win/CodePage932.h).
// Where glibc maps a character one way onto a CP932 neighbour (WAVE DASH to
// FULLWIDTH TILDE, YEN SIGN to the backslash, ...), Windows has no such
// character and writes '?'.

QByteArray toCp932(const QString& text)
{
    const std::string bytes = win::toCodePage932(text.toStdU16String());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString fromCp932(const QByteArray& bytes)
{
    return QString::fromStdU16String(win::fromCodePage932(bytes.toStdString()));
}

}  // namespace zelt

#else

#include <cerrno>
#include <iconv.h>
#include <mutex>

namespace zelt {
namespace {

// One converter per direction, created on first use; glibc's iconv carries
// the CP932 table, so no extra library is needed.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; on an invalid sequence calls onBad with
    // the offending input position and skips `skip` bytes there.
    template <class OnBad>
    QByteArray run(const QByteArray& in, OnBad onBad)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        QByteArray out;
        if (!ok() || in.isEmpty())
            return out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.constData());
        size_t srcLeft = static_cast<size_t>(in.size());
        char buf[4096];
        while (srcLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            const size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, static_cast<int>(dst - buf));
            if (r != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (truncated sequence at the end): replace and skip.
            const size_t skip = onBad(src, srcLeft, out);
            src += skip;
            srcLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
    std::mutex mutex_;
};

Converter& encoder()
{
    static Converter c("CP932", "UTF-8");
    return c;
}

Converter& decoder()
{
    static Converter c("UTF-8", "CP932");
    return c;
}

size_t utf8Length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

}  // namespace

QByteArray toCp932(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return encoder().run(utf8, [](const char* src, size_t left, QByteArray& out) {
        out.append('?');
        const size_t n = utf8Length(static_cast<unsigned char>(*src));
        return n <= left ? n : left;
    });
}

QString fromCp932(const QByteArray& bytes)
{
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return QString::fromLatin1(bytes);
    const QByteArray utf8 = decoder().run(bytes, [](const char*, size_t, QByteArray& out) {
        out.append("\xEF\xBF\xBD");
        return size_t{1};
    });
    return QString::fromUtf8(utf8);
}

}  // namespace zelt

#endif
