#pragma once
// The stand-in firmware image: generated filler in the layout the logger's
// loader takes (Intel HEX for the PIC24FJ128GA310, 7525 lines, the last one
// empty). It is no firmware: the tool offers it only to the simulated logger,
// whose loader accepts it; a real logger gets the HEX file the user opens.
//
// The text is the data file firmware/standin_image.hex, written by
// firmware/tools/make_firmware_image.cpp and built into the program as a
// resource.
#include "platform/ByteLines.h"

namespace zelt {

// The stand-in's lines, read from the built-in resource on first use.
const ByteLines& standInImageLines();

}  // namespace zelt
