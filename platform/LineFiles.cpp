#include "platform/LineFiles.h"

#include "platform/FileErrors.h"

#include <QSaveFile>

namespace zelt {

void writeBytesFile(QByteArrayView bytes, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), bytes.size()) != bytes.size() || !file.commit())
        throw fileError(FileAction::Write, path, file.error());
}

void writeLinesFile(const ByteLines& lines, const QString& path)
{
    QSaveFile file(path);
    const auto fail = [&] { return fileError(FileAction::Write, path, file.error()); };
    if (!file.open(QIODevice::WriteOnly))
        throw fail();
    // Written in pieces of about 64 KiB: no second copy of the whole data set.
    QByteArray chunk;
    chunk.reserve(64 * 1024 + 256);
    for (int i = 0; i < lines.size(); ++i) {
        chunk.append(lines.view(i));
        chunk.append("\r\n", 2);
        if (chunk.size() >= 64 * 1024) {
            if (file.write(chunk) != chunk.size())
                throw fail();
            chunk.clear();
        }
    }
    if ((!chunk.isEmpty() && file.write(chunk) != chunk.size()) || !file.commit())
        throw fail();
}

}  // namespace zelt
