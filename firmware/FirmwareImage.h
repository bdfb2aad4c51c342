#pragma once
// The firmware image the tool carries for the logger's PIC24FJ128GA310:
// Intel HEX text, one entry per line, the last line empty. It is built into
// the tool (firmware/FirmwareImageData.cpp, written by
// firmware/tools/make_firmware_image.cpp) and never read from a file.
#include "platform/ByteLines.h"

namespace zelt {

// The image's lines (7525, the last one empty), built on first use.
const ByteLines& firmwareImageLines();

namespace firmware_data {
extern const char* const kImageParts[];
extern const int kImagePartCount;
}  // namespace firmware_data

}  // namespace zelt
