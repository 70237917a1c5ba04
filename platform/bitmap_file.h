// bitmap_file.h: what a map image file's header promises, checked against the file's real size before
// either front end's loader allocates anything for its pixels.
//
// A header is a claim: a 130-byte file may declare 20000 x 20000 pixels, and a decoder that believes it
// allocates gigabytes before it finds the pixels missing. Both loaders ask CheckBitmapHeader first and
// decode only what it accepts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The largest image either loader decodes: 16384 pixels a side, and at most 1 GiB for any buffer the
// decoder needs (a 16-bit RGBA PNG of 16384 x 16384 would need twice that).
constexpr int kBitmapMaxSide = 16384;
constexpr uint64_t kBitmapMaxBytes = uint64_t{1} << 30;

// How many bytes of the file's start the check reads: the longest BMP header with its colour masks, or
// a PNG's signature and IHDR chunk.
constexpr size_t kBitmapHeadBytes = 256;

// The formats a loader decodes besides uncompressed and bit-field BMP.
struct BitmapFormats {
  bool png = false;     // PNG (the portable loader)
  bool bmp_rle = false; // run-length encoded 4- and 8-bit BMP (the Windows loader)
};

// True when the file may be decoded: its header is one of the accepted formats, its size is within the
// limits and the file is long enough to hold every pixel it declares. Otherwise false, with why saying
// what is wrong in a few words ("not a BMP", "too large: ...", "cut short: ..."). head holds the file's
// first head_size bytes (up to kBitmapHeadBytes), file_size is the whole file's length.
bool CheckBitmapHeader(const unsigned char *head, size_t head_size, uint64_t file_size, BitmapFormats formats,
                       std::string *why);
