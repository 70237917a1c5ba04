// png_zlib_baseline.cpp: png_zlib_baseline.h, the encoder exactly as the program had it, for the benchmark alone.
#include "png_zlib_baseline.h"

#include <zlib.h>

#include <cstring>
#include <vector>

namespace {

void PutBig32(unsigned char *out, uint32_t value) {
  out[0] = static_cast<unsigned char>(value >> 24);
  out[1] = static_cast<unsigned char>(value >> 16);
  out[2] = static_cast<unsigned char>(value >> 8);
  out[3] = static_cast<unsigned char>(value);
}

// Appends a chunk's length and type and returns where its data starts; the data follows, then EndChunk.
size_t BeginChunk(std::string &png, const char *type, uint32_t length) {
  unsigned char head[8];
  PutBig32(head, length);
  std::memcpy(head + 4, type, 4);
  png.append(reinterpret_cast<const char *>(head), 8);
  return png.size();
}

// Appends the CRC of the chunk whose data starts at data (its type lies just before).
void EndChunk(std::string &png, size_t data) {
  const auto *bytes = reinterpret_cast<const unsigned char *>(png.data());
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), bytes + data - 4, static_cast<uInt>(png.size() - data + 4));
  unsigned char tail[4];
  PutBig32(tail, static_cast<uint32_t>(crc));
  png.append(reinterpret_cast<const char *>(tail), 4);
}

} // namespace

bool EncodePngZlibBaseline(const uint32_t *pixels, int width, int height, std::string &png) {
  png.clear();
  if (pixels == nullptr || width <= 0 || height <= 0 || width > (1 << 24) / 3 || height > (1 << 24))
    return false;
  // The rows as PNG wants them: a filter byte, then RGB. Kept from frame to frame on the encoding thread.
  const size_t row = 1 + static_cast<size_t>(width) * 3;
  thread_local std::vector<unsigned char> raw;
  raw.resize(row * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    unsigned char *out = raw.data() + row * static_cast<size_t>(y);
    const uint32_t *in = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
    *out++ = 1; // Sub: each byte less the same colour's byte of the pixel to its left
    unsigned r0 = 0, g0 = 0, b0 = 0;
    for (int x = 0; x < width; ++x) {
      const unsigned r = (in[x] >> 16) & 0xFF, g = (in[x] >> 8) & 0xFF, b = in[x] & 0xFF;
      *out++ = static_cast<unsigned char>(r - r0);
      *out++ = static_cast<unsigned char>(g - g0);
      *out++ = static_cast<unsigned char>(b - b0);
      r0 = r, g0 = g, b0 = b;
    }
  }

  // Deflated into a buffer kept from frame to frame as well: a new one would be cleared and faulted in every frame,
  // which costs as much as the deflating.
  z_stream stream{};
  if (deflateInit2(&stream, 1, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    return false;
  const uLong bound = deflateBound(&stream, static_cast<uLong>(raw.size()));
  thread_local std::vector<unsigned char> deflated;
  if (deflated.size() < bound)
    deflated.resize(bound);
  stream.next_in = raw.data();
  stream.avail_in = static_cast<uInt>(raw.size());
  stream.next_out = deflated.data();
  stream.avail_out = static_cast<uInt>(bound);
  const int result = deflate(&stream, Z_FINISH);
  const uLong compressed = stream.total_out;
  deflateEnd(&stream);
  if (result != Z_STREAM_END)
    return false;

  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  png.reserve(8 + 25 + 12 + compressed + 12);
  png.append(reinterpret_cast<const char *>(kSignature), 8);

  size_t data = BeginChunk(png, "IHDR", 13);
  unsigned char header[13];
  PutBig32(header, static_cast<uint32_t>(width));
  PutBig32(header + 4, static_cast<uint32_t>(height));
  header[8] = 8;  // bits a sample
  header[9] = 2;  // RGB
  header[10] = 0; // deflate
  header[11] = 0; // the five filters
  header[12] = 0; // not interlaced
  png.append(reinterpret_cast<const char *>(header), 13);
  EndChunk(png, data);

  data = BeginChunk(png, "IDAT", static_cast<uint32_t>(compressed));
  png.append(reinterpret_cast<const char *>(deflated.data()), compressed);
  EndChunk(png, data);

  data = BeginChunk(png, "IEND", 0);
  EndChunk(png, data);
  return true;
}
