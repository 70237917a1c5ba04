// bitmap.cpp: portable implementation of bitmap.h: BMP and PNG files decoded with stb_image, once their
// headers have been checked against their sizes (bitmap_file.h).
#include "platform/bitmap.h"

#include <cstdint>
#include <cstdio>

#include "platform/bitmap_file.h"
#include "platform/files.h"
#include "platform/portable/bitmap_data.h"

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

Bitmap *LoadBitmapFile(const wchar_t *path, std::string *why) {
  std::string reason;
  FILE *file = OpenBinaryFileRead(path, &reason);
  Bitmap *bitmap = nullptr;
  if (file != nullptr) {
    unsigned char head[kBitmapHeadBytes];
    const size_t got = std::fread(head, 1, sizeof head, file);
    if (std::ferror(file)) {
      reason = "unreadable (read error)";
    } else if (CheckBitmapHeader(head, got, OpenFileSize(file), BitmapFormats{.png = true}, &reason)) {
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
    std::fclose(file);
  }
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
