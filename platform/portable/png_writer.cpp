// png_writer.cpp: portable implementation of png_writer.h with Cairo's PNG writer.
#include "platform/png_writer.h"

#include <cairo.h>

bool EncodePng(const uint32_t *pixels, int width, int height, std::string &png) {
  png.clear();
  if (pixels == nullptr || width <= 0 || height <= 0)
    return false;
  // RGB24 rows of width words are exactly the layout of the pixels: Cairo reads them where they are.
  const int stride = width * 4;
  if (cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width) != stride)
    return false;
  auto *data = reinterpret_cast<unsigned char *>(const_cast<uint32_t *>(pixels)); // only read
  cairo_surface_t *surface = cairo_image_surface_create_for_data(data, CAIRO_FORMAT_RGB24, width, height, stride);
  const auto append = [](void *out, const unsigned char *bytes, unsigned int length) {
    static_cast<std::string *>(out)->append(reinterpret_cast<const char *>(bytes), length);
    return CAIRO_STATUS_SUCCESS;
  };
  const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
                  cairo_surface_write_to_png_stream(surface, append, &png) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok)
    png.clear();
  return ok;
}
