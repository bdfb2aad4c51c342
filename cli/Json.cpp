#include "cli/Json.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <cstring>

#if defined(Q_OS_WIN)
#include <fcntl.h>
#include <io.h>
#endif

namespace zelt::cli {

QByteArray jsonBytes(const QJsonObject& object)
{
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    // QJsonDocument escapes the characters below U+0020; DEL and the C1
    // controls pass as they are. They can only stand inside strings.
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0x7F) {
            out += "\\u007f";
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            out += QByteArray("\\u00") + QByteArray::number(static_cast<unsigned char>(text[i + 1]), 16);
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    if (!out.endsWith('\n'))
        out += '\n';
    return out;
}

bool settingIsNumeric(const char* name)
{
    static const char* const numeric[] = {"myId",   "recordCount",  "year",         "threshold",    "thresholdDetect",
                                          "wait",   "calibrationX", "calibrationY", "calibrationZ", "hazard",
                                          "display", "df"};
    for (const char* n : numeric)
        if (std::strcmp(n, name) == 0)
            return true;
    return false;
}

QJsonValue settingJsonValue(const char* name, const QString& text)
{
    const QString value = text.trimmed();
    if (settingIsNumeric(name)) {
        static const QRegularExpression whole(QStringLiteral("^-?[0-9]{1,15}$"));
        if (whole.match(value).hasMatch())
            return QJsonValue(static_cast<double>(value.toLongLong()));
    }
    return QJsonValue(value);
}

void writeBytes(std::FILE* f, const QByteArray& bytes)
{
    std::fflush(f);
#if defined(Q_OS_WIN)
    _setmode(_fileno(f), _O_BINARY);
#endif
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f);
    std::fflush(f);
}

}  // namespace zelt::cli
