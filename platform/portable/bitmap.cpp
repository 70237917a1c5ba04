// bitmap.cpp: portable implementation of bitmap.h: BMP and PNG files decoded with stb_image.
#include "platform/bitmap.h"

#include <cstdint>
#include <cstdio>

#include "platform/portable/bitmap_data.h"
#include "platform/portable/utf8.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#include <stb_image.h>

Bitmap *CreateBitmapFromRgb(const unsigned char *rgb, int width, int height) {
  if (width <= 0 || height <= 0)
    return nullptr;
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
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
  return new Bitmap{width, height, surface};
}

static uint32_t Little(const unsigned char *bytes, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i)
    value = value << 8 | bytes[i];
  return value;
}

// True for an uncompressed BMP whose file ends before its last row of pixels. The decoder would make up
// the missing rows; Windows refuses such a file, and so do we, rather than show a map half black.
static bool BmpCutShort(FILE *file) {
  unsigned char header[34];
  const size_t got = std::fread(header, 1, sizeof header, file);
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::rewind(file);
  if (got < sizeof header || header[0] != 'B' || header[1] != 'M' || Little(header + 14, 4) < 40 ||
      Little(header + 30, 4) != 0)
    return false;
  const uint64_t offset = Little(header + 10, 4);
  const uint64_t width = Little(header + 18, 4);
  const auto height = static_cast<int32_t>(Little(header + 22, 4));
  const uint64_t bits = Little(header + 28, 2);
  const uint64_t row_bytes = (width * bits + 31) / 32 * 4;
  const uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  return size < 0 || offset + row_bytes * rows > static_cast<uint64_t>(size);
}

Bitmap *LoadBitmapFile(const wchar_t *path) {
  if (path == nullptr)
    return nullptr;
  FILE *file = std::fopen(WideToUtf8(path).c_str(), "rb");
  if (file == nullptr)
    return nullptr;
  if (BmpCutShort(file)) {
    std::fclose(file);
    return nullptr;
  }
  int width = 0, height = 0, channels = 0;
  stbi_uc *rgb = stbi_load_from_file(file, &width, &height, &channels, 3);
  std::fclose(file);
  if (rgb == nullptr)
    return nullptr;
  Bitmap *bitmap = CreateBitmapFromRgb(rgb, width, height);
  stbi_image_free(rgb);
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
