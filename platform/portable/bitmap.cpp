// bitmap.cpp: portable implementation of bitmap.h: BMP and PNG files decoded with stb_image, once their
// headers have been checked against their sizes (bitmap_file.h).
#include "platform/bitmap.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/bitmap_file.h"
#include "platform/files.h"
#include "platform/portable/bitmap_data.h"

// Whatever a file claims, no buffer of the decoder grows beyond the limit: a deflate stream may unpack to far more
// than the image's rows, and the decoder keeps growing its output while the stream goes on.
static void *DecoderRealloc(void *block, size_t size) {
  return size > kBitmapMaxBytes ? nullptr : std::realloc(block, size);
}

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_MALLOC(size) DecoderRealloc(nullptr, size)
#define STBI_REALLOC(block, size) DecoderRealloc(block, size)
#define STBI_FREE(block) std::free(block)
#include <stb_image.h>

namespace {

uint32_t Big32(const unsigned char *bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

// Every chunk of a PNG must fit in what remains of the file: the decoder allocates what a data chunk's length
// claims before it reads the bytes. And the first data chunk must hold data: the decoder copies an empty one into
// the buffer it has not made yet.
bool PngChunksFit(FILE *file, uint64_t file_size, std::string *why) {
  bool data_seen = false;
  for (uint64_t offset = 8; offset + 8 <= file_size;) {
    unsigned char chunk[8];
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0 || std::fread(chunk, 1, 8, file) != 8) {
      *why = "unreadable (read error)";
      return false;
    }
    const uint64_t length = Big32(chunk);
    if (length > file_size - offset - 8) {
      *why = "cut short: a chunk of " + std::to_string(length) + " bytes at byte " + std::to_string(offset) +
             ", the file has " + std::to_string(file_size);
      return false;
    }
    if (std::memcmp(chunk + 4, "IDAT", 4) == 0) {
      if (length == 0 && !data_seen) {
        *why = "not a PNG the decoder reads (an empty first data chunk)";
        return false;
      }
      data_seen = true;
    }
    if (std::memcmp(chunk + 4, "IEND", 4) == 0)
      break;
    offset += 12 + length;
  }
  return true;
}

const unsigned char kPngStart[4] = {0x89, 'P', 'N', 'G'};

} // namespace

cairo_surface_t *CreateOpaqueSurface(int width, int height) {
  if (width <= 0 || height <= 0)
    return nullptr;
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  return surface; // Cairo clears a new image surface
}

Bitmap *CreateBitmapFromRgb(const unsigned char *rgb, int width, int height) {
  cairo_surface_t *surface = CreateOpaqueSurface(width, height);
  if (surface == nullptr)
    return nullptr;
  cairo_surface_flush(surface);
  unsigned char *data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    auto *row = reinterpret_cast<uint32_t *>(data + static_cast<size_t>(y) * stride);
    const unsigned char *in = rgb + static_cast<size_t>(y) * width * 3;
    for (int x = 0; x < width; ++x, in += 3)
      row[x] = 0xFF000000u | uint32_t{in[0]} << 16 | uint32_t{in[1]} << 8 | in[2];
  }
  cairo_surface_mark_dirty(surface);
  static std::atomic<uint64_t> made{0};
  return new Bitmap{width, height, surface, ++made};
}

// Whether the open file may go to the decoder: its header within the limits and its size, and for a PNG every chunk
// within the file.
static bool Decodable(FILE *file, std::string *why) {
  unsigned char head[kBitmapHeadBytes];
  const size_t got = std::fread(head, 1, sizeof head, file);
  if (std::ferror(file)) {
    *why = "unreadable (read error)";
    return false;
  }
  const uint64_t size = OpenFileSize(file);
  if (!CheckBitmapHeader(head, got, size, BitmapFormats{.png = true}, why))
    return false;
  const bool png = got >= sizeof kPngStart && std::memcmp(head, kPngStart, sizeof kPngStart) == 0;
  return !png || PngChunksFit(file, size, why);
}

Bitmap *LoadBitmapFile(const wchar_t *path, std::string *why) {
  std::string reason;
  FILE *file = OpenBinaryFileRead(path, &reason);
  Bitmap *bitmap = nullptr;
  if (file != nullptr && Decodable(file, &reason)) {
    std::rewind(file);
    int width = 0, height = 0, channels = 0;
    stbi_uc *rgb = stbi_load_from_file(file, &width, &height, &channels, 3);
    if (rgb == nullptr) {
      reason = std::string("not a BMP or PNG the decoder reads (") + stbi_failure_reason() + ")";
    } else {
      bitmap = CreateBitmapFromRgb(rgb, width, height);
      stbi_image_free(rgb);
      if (bitmap == nullptr)
        reason = "too large for the memory left";
    }
  }
  if (file != nullptr)
    std::fclose(file);
  if (bitmap == nullptr && why != nullptr)
    *why = reason;
  return bitmap;
}

void FreeBitmap(Bitmap *bitmap) {
  if (bitmap == nullptr)
    return;
  cairo_surface_destroy(bitmap->surface);
  delete bitmap;
}

int BitmapWidth(const Bitmap *bitmap) { return bitmap == nullptr ? 0 : bitmap->width; }
int BitmapHeight(const Bitmap *bitmap) { return bitmap == nullptr ? 0 : bitmap->height; }
uint64_t BitmapSerial(const Bitmap *bitmap) { return bitmap == nullptr ? 0 : bitmap->serial; }
