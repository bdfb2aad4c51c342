#pragma once
// Shift-JIS (code page 932) conversion for the texts the tool writes to files
// and keeps in its log memo. The log memo keeps bytes; text is decoded only to
// be shown, so a byte that is not valid CP932 never alters the stored data.
#include <QByteArray>
#include <QString>

namespace zelt {

// Encodes text as CP932; characters CP932 cannot represent become '?'.
QByteArray toCp932(const QString& text);

// Decodes CP932 bytes for display; an invalid byte becomes U+FFFD and the
// decoding goes on with the next byte.
QString fromCp932(const QByteArray& bytes);

}  // namespace zelt
