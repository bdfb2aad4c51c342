#pragma once
// Firmware images as Intel HEX text, checked against the layout the logger's
// loader takes before anything of them is sent.
//
// The transfer sends each line as text, unchanged, and leaves out the line
// equal to the skip key (the extended address record of the configuration
// words) together with the line after it. So a file is only accepted when
// sending it that way writes what it says:
//   - records: ':' and upper-case hexadecimal pairs, the byte count matching
//     the length, a zero two's-complement sum; types 00 (data), 01 (end of
//     file) and 04 (extended linear address) only. Lower-case digits are
//     refused: the loader's layout is upper case, and the skip key is
//     recognised by its exact text;
//   - program data at byte addresses 0x00000 .. 0x1FFFF (upper addresses
//     0x0000 and 0x0001), no record crossing a 64 KB boundary;
//   - exactly one ":020000040002F8", directly followed by the one record of
//     the configuration words within 0x2AFF0 .. 0x2AFFF; no other data under
//     upper address 0x0002 (the transfer leaves that address record out, so
//     such data would land under the previous upper address);
//   - exactly one end-of-file record; after it only comment lines (';',
//     printable, without ':' that the loader could take for a record start);
//     no comment before it;
//   - no empty line but the last one (an empty line sends nothing, and the
//     transfer would wait for an answer that never comes);
//   - program data: an image of the configuration words alone would leave
//     the logger, its program erased, with nothing to run;
//   - no byte address written twice (by overlapping records): the loader
//     would keep one of the two, and the image would not be the file;
//   - no line longer than a record can be (kMaxHexLineLength characters,
//     comments included).
// Line ends may be LF or CR LF; the lines kept are without them.
//
// A file is read in pieces, a line at a time: a file with a line of
// megabytes is refused at that line, without holding it.
#include "platform/ByteLines.h"

#include <QString>
#include <optional>

namespace zelt {

// The extended linear address record in front of the configuration words:
// the transfer's skip key as the window starts.
inline constexpr char kConfigAddressRecord[] = ":020000040002F8";

struct HexProblem {
    int line = 0;  // 1-based, as an editor counts
    QString what;
    QString describe() const { return QStringLiteral("Line %1: %2").arg(line).arg(what); }
};

// Splits HEX text into the lines the transfer sends: at LF, one CR before it
// dropped. The result always ends with an empty line (the transfer never
// sends the last line), added when the text does not end with a line break.
ByteLines splitHexText(QByteArrayView text);

// The first line that breaks the loader's layout, or nothing when the image
// may be sent. `lines` as splitHexText gives them.
std::optional<HexProblem> checkLoaderImage(const ByteLines& lines);

// The longest record: ':', byte count, address, type, 255 data bytes and
// the checksum, in hexadecimal pairs.
inline constexpr int kMaxHexLineLength = 1 + 2 * (1 + 2 + 1 + 255 + 1);

// Larger files are not firmware for the logger (its program memory holds
// 0x2B000 bytes of HEX addresses, about 0.5 MB of text).
inline constexpr qint64 kMaxHexFileBytes = 4 * 1024 * 1024;

struct HexFileResult {
    ByteLines lines;    // the image, when no error
    QString error;      // empty when the file may be sent
};

// Reads and checks a HEX file.
HexFileResult loadHexFile(const QString& path);

}  // namespace zelt
