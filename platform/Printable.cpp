#include "platform/Printable.h"

namespace zelt {

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

QString printable(QStringView text, bool keepLineFeeds)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (isControl(c) && !(keepLineFeeds && c == u'\n')) {
            static const char kDigits[] = "0123456789ABCDEF";
            out += QLatin1String("\\x");
            out += QLatin1Char(kDigits[(c >> 4) & 0xF]);
            out += QLatin1Char(kDigits[c & 0xF]);
        } else {
            out += ch;
        }
    }
    return out;
}

QString printableBytes(QByteArrayView bytes)
{
    return printable(QString::fromLatin1(bytes.data(), bytes.size()));
}

}  // namespace zelt
