// png_writer.cpp: Windows implementation of png_writer.h with stb_image_write.
#include "platform/png_writer.h"

#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

bool EncodePng(const uint32_t *pixels, int width, int height, std::string &png) {
  png.clear();
  if (pixels == nullptr || width <= 0 || height <= 0)
    return false;
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  unsigned char *out = rgb.data();
  for (size_t i = 0, n = static_cast<size_t>(width) * static_cast<size_t>(height); i < n; ++i) {
    *out++ = static_cast<unsigned char>(pixels[i] >> 16);
    *out++ = static_cast<unsigned char>(pixels[i] >> 8);
    *out++ = static_cast<unsigned char>(pixels[i]);
  }
  const auto append = [](void *target, void *bytes, int length) {
    static_cast<std::string *>(target)->append(static_cast<const char *>(bytes), static_cast<size_t>(length));
  };
  if (stbi_write_png_to_func(append, &png, width, height, 3, rgb.data(), width * 3) == 0) {
    png.clear();
    return false;
  }
  return true;
}
