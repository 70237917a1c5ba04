// bitmap_test.cpp: map bitmaps loaded from BMP and PNG files into the surfaces the Cairo canvas draws from.
#include "platform/bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "platform/portable/bitmap_data.h"
#include "platform/utf8.h"
#include "support/test_env.h"

namespace {

uint32_t PixelAt(const Bitmap *bitmap, int x, int y) {
  cairo_surface_flush(bitmap->surface);
  const unsigned char *row =
      cairo_image_surface_get_data(bitmap->surface) + y * cairo_image_surface_get_stride(bitmap->surface);
  return reinterpret_cast<const uint32_t *>(row)[x] & 0xFFFFFF; // 0xRRGGBB
}

uint32_t Pattern(int x, int y) { return static_cast<uint32_t>(0x10 * (x + 1)) << 16 | 0x20 * (y + 1) << 8 | 0x5A; }

// A 24-bit BMP of Pattern: rows padded to four bytes, bottom-up unless a negative height says top-down.
std::string Bmp24(int width, int height, bool top_down) {
  const int row_bytes = (width * 3 + 3) & ~3;
  std::string file = "BM";
  const auto put = [&file](int64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      file += static_cast<char>(value >> (8 * i) & 0xFF);
  };
  put(54 + row_bytes * height, 4);
  put(0, 4);
  put(54, 4); // pixel data offset
  put(40, 4);
  put(width, 4);
  put(top_down ? -height : height, 4);
  put(1, 2);  // planes
  put(24, 2); // bits per pixel
  for (int field = 0; field < 6; ++field)
    put(field == 1 ? row_bytes * height : 0, 4); // no compression, the image size, no palette
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < width; ++x)
      put(Pattern(x, top_down ? r : height - 1 - r), 3); // blue, green, red
    file.append(static_cast<size_t>(row_bytes - width * 3), '\0');
  }
  return file;
}

Bitmap *Load(const std::string &path) { return LoadBitmapFile(Utf8ToWide(path).c_str()); }

TEST(BitmapFile, BmpRowsInEitherOrderUnderANonAsciiNameAndPng) {
  const std::string folder = MakeScratchFolder(), bmp = folder + "/Carte \xC3\xA9t\xC3\xA9.bmp"; // "Carte été.bmp"
  for (bool top_down : {false, true}) {
    ASSERT_TRUE(WriteTextFile(bmp, Bmp24(5, 3, top_down))); // rows of 15 bytes padded to 16
    Bitmap *bitmap = Load(bmp);
    ASSERT_NE(bitmap, nullptr) << top_down;
    EXPECT_EQ(std::pair(BitmapWidth(bitmap), BitmapHeight(bitmap)), std::pair(5, 3));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        EXPECT_EQ(PixelAt(bitmap, x, y), Pattern(x, y)) << x << "," << y << " top-down " << top_down;
    FreeBitmap(bitmap);
  }
  cairo_surface_t *image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 4, 2);
  ASSERT_EQ(cairo_surface_write_to_png(image, (folder + "/map.png").c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(image);
  Bitmap *png = Load(folder + "/map.png");
  EXPECT_EQ(std::pair(BitmapWidth(png), BitmapHeight(png)), std::pair(4, 2));
  FreeBitmap(png);
}

TEST(BitmapFile, MissingForeignAndCutShortFilesGiveNoBitmap) {
  const std::string folder = MakeScratchFolder();
  ASSERT_TRUE(WriteTextFile(folder + "/grid.bmp", "[0:0]10:20\n"));
  // The decoder would make up the rows missing from a BMP cut short; a half-black map must not load.
  ASSERT_TRUE(WriteTextFile(folder + "/cut.bmp", Bmp24(8, 8, false).substr(0, 54 + 40)));
  // A PNG whose header claims 16384 x 16384 pixels over a few bytes: the decoder would allocate the rows first.
  cairo_surface_t *image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 4, 2);
  ASSERT_EQ(cairo_surface_write_to_png(image, (folder + "/small.png").c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(image);
  std::string claim = ReadTextFile(folder + "/small.png");
  claim.replace(16, 8, std::string("\0\0\x40\0\0\0\x40\0", 8));
  ASSERT_TRUE(WriteTextFile(folder + "/claim.png", claim));
  for (const char *name : {"/missing.bmp", "/grid.bmp", "/cut.bmp", "/claim.png"})
    EXPECT_EQ(Load(folder + name), nullptr) << name;
  // A data chunk that claims a gigabyte in a small file: the decoder would allocate the gigabyte before reading.
  std::string chunk = ReadTextFile(folder + "/small.png");
  const size_t data = chunk.find("IDAT") - 4;
  chunk.replace(data, 4, std::string("\x40\0\0\0", 4));
  ASSERT_TRUE(WriteTextFile(folder + "/chunk.png", chunk));
  std::string why;
  EXPECT_EQ(LoadBitmapFile(Utf8ToWide(folder + "/chunk.png").c_str(), &why), nullptr);
  EXPECT_EQ(why.substr(0, 10), "cut short:") << why;
  EXPECT_EQ(BitmapWidth(nullptr), 0);
}

} // namespace
