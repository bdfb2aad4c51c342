#pragma once
// Files the tool writes: a list of lines each ended by CR LF (a recording as
// 保存 writes it), or bytes as they are. The file is replaced only once all
// of it is written; a failure throws FileError and leaves the old file.
#include "platform/ByteLines.h"

#include <QByteArrayView>
#include <QString>

namespace zelt {

void writeLinesFile(const ByteLines& lines, const QString& path);
void writeBytesFile(QByteArrayView bytes, const QString& path);

}  // namespace zelt
