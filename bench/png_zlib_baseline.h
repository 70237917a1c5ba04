// png_zlib_baseline.h: the web display's PNG encoder as it was before libdeflate (each row Sub-filtered, zlib at its
// fastest level), kept for the benchmark to measure beside the encoder of today in the same run.
#pragma once

#include <cstdint>
#include <string>

bool EncodePngZlibBaseline(const uint32_t *pixels, int width, int height, std::string &png);
