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

Bitmap *LoadBitmapFile(const wchar_t *path) {
  if (path == nullptr)
    return nullptr;
  FILE *file = std::fopen(WideToUtf8(path).c_str(), "rb");
  if (file == nullptr)
    return nullptr;
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
