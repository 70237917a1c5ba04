// png_writer.cpp: png_writer.h for both front ends, with libdeflate.
//
// The web display encodes a frame at the feed's rate, so the encoder is tuned for speed over size. The display is
// made of flat colours, antialiased text and lines (a frame has far more than 256 colours, so a palette would not
// do), and a map image. Its rows go unfiltered: a run of one colour is a run of one three-byte pattern, which the
// deflater matches at a distance of three as readily as a Sub-filtered run of zeros at a distance of one, and the
// filter's pass over the pixels is saved; measured on frames of the flying display this was both faster and smaller
// than Sub. libdeflate at its fastest level deflates the rows in half the instructions of zlib's fastest level
// and a little smaller. The frame stays lossless.
#include "platform/png_writer.h"

#include <libdeflate.h>

#include <bit>
#include <cstring>

namespace {

// Level 1 is libdeflate's fastest that still matches; a browser on the local network reads the few kilobytes more
// than a slow level makes in no time.
constexpr int kLevel = 1;

void PutBig32(unsigned char *out, uint32_t value) {
  out[0] = static_cast<unsigned char>(value >> 24);
  out[1] = static_cast<unsigned char>(value >> 16);
  out[2] = static_cast<unsigned char>(value >> 8);
  out[3] = static_cast<unsigned char>(value);
}

// Appends a chunk: its length, type, data and the CRC of type and data.
void AppendChunk(std::string &png, const char *type, const unsigned char *data, size_t length) {
  unsigned char head[8];
  PutBig32(head, static_cast<uint32_t>(length));
  std::memcpy(head + 4, type, 4);
  png.append(reinterpret_cast<const char *>(head), 8);
  if (length > 0)
    png.append(reinterpret_cast<const char *>(data), length);
  uint32_t crc = libdeflate_crc32(0, head + 4, 4);
  if (length > 0) // (libdeflate_crc32 of no buffer is 0, not the CRC so far)
    crc = libdeflate_crc32(crc, data, length);
  unsigned char tail[4];
  PutBig32(tail, crc);
  png.append(reinterpret_cast<const char *>(tail), 4);
}

// A pixel word 0x..RRGGBB as the number whose little-endian bytes are R, G, B, 0.
inline uint32_t Rgb(uint32_t pixel) {
#if defined(__GNUC__)
  return __builtin_bswap32(pixel) >> 8;
#else
  return (pixel >> 16 & 0xFFu) | (pixel & 0xFF00u) | (pixel & 0xFFu) << 16;
#endif
}

inline void PutLittle32(unsigned char *out, uint32_t value) { std::memcpy(out, &value, 4); }

// One row of pixels as R, G, B bytes. On a little-endian machine four pixels go out as three four-byte words,
// a quarter of the stores of a byte at a time.
void PutRow(const uint32_t *in, int width, unsigned char *out) {
  int x = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; x + 4 <= width; x += 4, out += 12) {
      const uint32_t a = Rgb(in[x]), b = Rgb(in[x + 1]), c = Rgb(in[x + 2]), d = Rgb(in[x + 3]);
      PutLittle32(out, a | b << 24);
      PutLittle32(out + 4, b >> 8 | c << 16);
      PutLittle32(out + 8, c >> 16 | d << 8);
    }
  }
  for (; x < width; ++x, out += 3) {
    out[0] = static_cast<unsigned char>(in[x] >> 16);
    out[1] = static_cast<unsigned char>(in[x] >> 8);
    out[2] = static_cast<unsigned char>(in[x]);
  }
}

} // namespace

PngWriter::PngWriter() = default;

PngWriter::~PngWriter() {
  if (compressor_ != nullptr)
    libdeflate_free_compressor(compressor_);
}

bool PngWriter::Encode(const uint32_t *pixels, int width, int height, std::string &png) {
  png.clear();
  if (pixels == nullptr || width <= 0 || height <= 0 || width > (1 << 24) / 3 || height > (1 << 24))
    return false;
  if (compressor_ == nullptr && (compressor_ = libdeflate_alloc_compressor(kLevel)) == nullptr)
    return false;
  const size_t row = 1 + static_cast<size_t>(width) * 3;
  const size_t size = row * static_cast<size_t>(height);
  rows_.resize(size);
  for (int y = 0; y < height; ++y) {
    unsigned char *out = rows_.data() + row * static_cast<size_t>(y);
    *out = 0; // filter None
    PutRow(pixels + static_cast<size_t>(y) * static_cast<size_t>(width), width, out + 1);
  }

  const size_t bound = libdeflate_zlib_compress_bound(compressor_, size);
  if (deflated_.size() < bound)
    deflated_.resize(bound);
  const size_t compressed = libdeflate_zlib_compress(compressor_, rows_.data(), size, deflated_.data(), bound);
  if (compressed == 0)
    return false;

  unsigned char header[13];
  PutBig32(header, static_cast<uint32_t>(width));
  PutBig32(header + 4, static_cast<uint32_t>(height));
  header[8] = 8;  // bits a sample
  header[9] = 2;  // RGB
  header[10] = 0; // deflate
  header[11] = 0; // the five filters
  header[12] = 0; // not interlaced
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  png.reserve(8 + 25 + 12 + compressed + 12);
  png.append(reinterpret_cast<const char *>(kSignature), 8);
  AppendChunk(png, "IHDR", header, sizeof header);
  AppendChunk(png, "IDAT", deflated_.data(), compressed);
  AppendChunk(png, "IEND", nullptr, 0);
  return true;
}

bool EncodePng(const uint32_t *pixels, int width, int height, std::string &png) {
  thread_local PngWriter writer;
  return writer.Encode(pixels, width, height, png);
}
