// png_writer.h: a frame's pixels as the bytes of a PNG file, for the web display.
#pragma once

#include <cstdint>
#include <string>

// Encodes width x height pixels (0x..RRGGBB words, the top byte ignored, the top row first, width words a row)
// as an 8-bit RGB PNG into png. False when the encoder fails; png is then empty.
bool EncodePng(const uint32_t *pixels, int width, int height, std::string &png);
