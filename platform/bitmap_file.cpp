// bitmap_file.cpp: the header check both map image loaders make before they decode.
#include "platform/bitmap_file.h"

#include <cstring>

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Deflate never packs more than 1032 bytes into one: a PNG whose pixels would unpack to more than that
// many times the file's size cannot hold them.
constexpr uint64_t kDeflateMaxRatio = 1032;

uint32_t Little(const unsigned char *bytes, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i)
    value = value << 8 | bytes[i];
  return value;
}

uint32_t Big32(const unsigned char *bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

bool Fail(std::string *why, std::string text) {
  if (why != nullptr)
    *why = std::move(text);
  return false;
}

std::string Number(uint64_t value) { return std::to_string(value); }

bool CutShort(std::string *why, uint64_t needed, uint64_t file_size) {
  return Fail(why, "cut short: it needs " + Number(needed) + " bytes, the file has " + Number(file_size));
}

bool SidesFit(uint64_t width, uint64_t height, std::string *why) {
  if (width <= kBitmapMaxSide && height <= kBitmapMaxSide)
    return true;
  return Fail(why, "too large: " + Number(width) + " x " + Number(height) + " pixels, at most " +
                       Number(kBitmapMaxSide) + " x " + Number(kBitmapMaxSide));
}

bool CheckBmp(const unsigned char *head, size_t head_size, uint64_t file_size, BitmapFormats formats,
              std::string *why) {
  if (head_size < 18)
    return CutShort(why, 18, file_size);
  const uint64_t offset = Little(head + 10, 4);
  const uint32_t header = Little(head + 14, 4);
  if (header != 12 && header != 40 && header != 56 && header != 108 && header != 124)
    return Fail(why, "not a BMP (a header of " + Number(header) + " bytes)");
  if (head_size < 14 + header)
    return CutShort(why, 14 + header, file_size);
  int64_t width = 0, height = 0;
  uint32_t planes = 0, bits = 0, compression = 0;
  if (header == 12) {
    width = Little(head + 18, 2);
    height = Little(head + 20, 2);
    planes = Little(head + 22, 2);
    bits = Little(head + 24, 2);
  } else {
    width = static_cast<int32_t>(Little(head + 18, 4));
    height = static_cast<int32_t>(Little(head + 22, 4));
    planes = Little(head + 26, 2);
    bits = Little(head + 28, 2);
    compression = Little(head + 30, 4);
  }
  if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
    return Fail(why, "not a BMP (" + Number(planes) + " planes of " + Number(bits) + " bits)");
  const bool top_down = height < 0;
  const uint64_t rows = static_cast<uint64_t>(top_down ? -height : height);
  if (width <= 0 || rows == 0)
    return Fail(why, "not a BMP (no pixels)");
  const auto columns = static_cast<uint64_t>(width);
  if (!SidesFit(columns, rows, why))
    return false;

  uint64_t pixels_start = 14 + header;
  uint64_t pixel_bytes = (columns * bits + 31) / 32 * 4 * rows;
  switch (compression) {
  case 0:
    break;
  case 3:
    if (bits != 16 && bits != 32)
      return Fail(why, "not a BMP (bit fields on " + Number(bits) + "-bit pixels)");
    if (header == 40)
      pixels_start += 12; // the three colour masks follow the short header
    break;
  case 1:
  case 2:
    if (!formats.bmp_rle || bits != (compression == 1 ? 8u : 4u) || top_down)
      return Fail(why, "not a BMP this program reads (run-length encoded)");
    // Runs cover at most 255 pixels in two bytes. A file shorter than every row in such runs leaves
    // pixels out with skips; that is no map, and it is how a tiny file claims a huge image.
    pixel_bytes = rows * 2 * ((columns + 254) / 255);
    break;
  default:
    return Fail(why, "not a BMP this program reads (compression " + Number(compression) + ")");
  }
  if (offset < pixels_start)
    return Fail(why, "not a BMP (its pixels would start inside its header)");
  if (offset > file_size || pixel_bytes > file_size - offset)
    return CutShort(why, offset + pixel_bytes, file_size);
  return true;
}

// Channels of each PNG colour type, 0 for a type that does not exist.
uint64_t PngChannels(unsigned colour_type) {
  switch (colour_type) {
  case 0:
  case 3:
    return 1;
  case 2:
    return 3;
  case 4:
    return 2;
  case 6:
    return 4;
  default:
    return 0;
  }
}

bool CheckPng(const unsigned char *head, size_t head_size, uint64_t file_size, std::string *why) {
  constexpr size_t kIhdrEnd = 8 + 8 + 13;
  if (head_size < kIhdrEnd)
    return CutShort(why, kIhdrEnd, file_size);
  if (Big32(head + 8) != 13 || std::memcmp(head + 12, "IHDR", 4) != 0)
    return Fail(why, "not a PNG (no image header)");
  const uint64_t width = Big32(head + 16), height = Big32(head + 20);
  const unsigned depth = head[24], colour_type = head[25];
  const uint64_t channels = PngChannels(colour_type);
  if (channels == 0 || (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16))
    return Fail(why, "not a PNG (colour type " + Number(colour_type) + " of depth " + Number(depth) + ")");
  if (width == 0 || height == 0)
    return Fail(why, "not a PNG (no pixels)");
  if (!SidesFit(width, height, why))
    return false;
  // The decoder unpacks every row with its filter byte into one buffer before converting it.
  const uint64_t unpacked = height * (1 + (width * channels * depth + 7) / 8);
  if (unpacked > kBitmapMaxBytes)
    return Fail(why, "too large: " + Number(unpacked) + " bytes of pixels, at most " + Number(kBitmapMaxBytes));
  if (unpacked > file_size * kDeflateMaxRatio + 4096)
    return Fail(why, "cut short: " + Number(file_size) + " bytes cannot unpack to the " + Number(unpacked) +
                         " its pixels need");
  return true;
}

} // namespace

bool CheckBitmapHeader(const unsigned char *head, size_t head_size, uint64_t file_size, BitmapFormats formats,
                       std::string *why) {
  if (head_size > file_size)
    head_size = static_cast<size_t>(file_size);
  if (head_size >= 2 && head[0] == 'B' && head[1] == 'M')
    return CheckBmp(head, head_size, file_size, formats, why);
  if (formats.png && head_size >= sizeof kPngSignature && std::memcmp(head, kPngSignature, sizeof kPngSignature) == 0)
    return CheckPng(head, head_size, file_size, why);
  const char *expected = formats.png ? "not a BMP or PNG" : "not a BMP";
  return Fail(why, file_size == 0 ? std::string(expected) + " (an empty file)" : std::string(expected));
}
