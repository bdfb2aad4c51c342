#include "firmware/FirmwareImage.h"

#include "firmware/HexFile.h"

#include <QFile>

namespace zelt {

const ByteLines& standInImageLines()
{
    static const ByteLines lines = [] {
        QFile file(QStringLiteral(":/firmware/standin_image.hex"));
        if (!file.open(QIODevice::ReadOnly))
            return ByteLines();  // not built in: no image to offer
        return splitHexText(file.readAll());
    }();
    return lines;
}

}  // namespace zelt
