#include "firmware/FirmwareImage.h"

#include <cstring>

namespace zelt {

const ByteLines& firmwareImageLines()
{
    static const ByteLines lines = [] {
        ByteLines out;
        for (int p = 0; p < firmware_data::kImagePartCount; ++p) {
            const char* text = firmware_data::kImageParts[p];
            const char* end = text + std::strlen(text);
            while (text < end) {
                const char* lf = static_cast<const char*>(std::memchr(text, '\n', static_cast<size_t>(end - text)));
                if (!lf)
                    lf = end;  // every part ends with LF; a missing one still ends its line
                out.append(QByteArrayView(text, lf - text));
                text = lf + 1;
            }
        }
        out.append(QByteArrayView());  // the text after the last LF: the empty last line
        return out;
    }();
    return lines;
}

}  // namespace zelt
