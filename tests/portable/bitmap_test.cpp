// bitmap_test.cpp: map bitmaps loaded from BMP and PNG files into the surfaces the Cairo canvas draws from.
#include "platform/bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/portable/bitmap_data.h"
#include "platform/portable/utf8.h"
#include "support/test_env.h"

namespace {

uint32_t PixelAt(const Bitmap *bitmap, int x, int y) {
  cairo_surface_flush(bitmap->surface);
  const unsigned char *row =
      cairo_image_surface_get_data(bitmap->surface) + y * cairo_image_surface_get_stride(bitmap->surface);
  return reinterpret_cast<const uint32_t *>(row)[x] & 0xFFFFFF; // 0xRRGGBB
}

void PutLittle(std::string &out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A 24-bit BMP whose pixel (x, y) is colour(x, y); rows are stored bottom-up and padded to four bytes
// (or top-down when top_down is set, as a negative height says).
template <typename ColourOf> std::string Bmp24(int width, int height, bool top_down, ColourOf colour) {
  const int row_bytes = (width * 3 + 3) & ~3;
  std::string pixels;
  for (int r = 0; r < height; ++r) {
    const int y = top_down ? r : height - 1 - r;
    for (int x = 0; x < width; ++x) {
      const uint32_t rgb = colour(x, y);
      pixels += static_cast<char>(rgb & 0xFF); // blue, green, red
      pixels += static_cast<char>((rgb >> 8) & 0xFF);
      pixels += static_cast<char>((rgb >> 16) & 0xFF);
    }
    pixels.append(static_cast<size_t>(row_bytes - width * 3), '\0');
  }
  std::string file = "BM";
  PutLittle(file, static_cast<uint32_t>(54 + pixels.size()), 4);
  PutLittle(file, 0, 4);
  PutLittle(file, 54, 4);
  PutLittle(file, 40, 4);
  PutLittle(file, static_cast<uint32_t>(width), 4);
  PutLittle(file, static_cast<uint32_t>(top_down ? -height : height), 4);
  PutLittle(file, 1, 2);  // planes
  PutLittle(file, 24, 2); // bits per pixel
  PutLittle(file, 0, 4);  // no compression
  PutLittle(file, static_cast<uint32_t>(pixels.size()), 4);
  PutLittle(file, 2835, 4);
  PutLittle(file, 2835, 4);
  PutLittle(file, 0, 4);
  PutLittle(file, 0, 4);
  return file + pixels;
}

uint32_t Pattern(int x, int y) { return static_cast<uint32_t>(0x10 * (x + 1)) << 16 | 0x20 * (y + 1) << 8 | 0x5A; }

TEST(BitmapFile, TwentyFourBitBmpKeepsItsSizeAndPixels) {
  const std::string folder = MakeScratchFolder();
  for (bool top_down : {false, true}) {
    // Width 5 makes rows of 15 bytes padded to 16.
    const std::string path = folder + (top_down ? "/top.bmp" : "/map.bmp");
    ASSERT_TRUE(WriteTextFile(path, Bmp24(5, 3, top_down, Pattern)));
    Bitmap *bitmap = LoadBitmapFile(Utf8ToWide(path).c_str());
    ASSERT_NE(bitmap, nullptr) << top_down;
    EXPECT_EQ(BitmapWidth(bitmap), 5);
    EXPECT_EQ(BitmapHeight(bitmap), 3);
    EXPECT_EQ(cairo_image_surface_get_format(bitmap->surface), CAIRO_FORMAT_RGB24);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        EXPECT_EQ(PixelAt(bitmap, x, y), Pattern(x, y)) << x << "," << y << " top-down " << top_down;
    FreeBitmap(bitmap);
  }
}

TEST(BitmapFile, PngAndNonAsciiPaths) {
  const std::string folder = MakeScratchFolder();
  cairo_surface_t *image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 4, 2);
  cairo_t *cr = cairo_create(image);
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0, 0, 1);
  cairo_rectangle(cr, 3, 1, 1, 1);
  cairo_fill(cr);
  cairo_destroy(cr);
  const std::string path = folder + "/Carte \xC3\xA9t\xC3\xA9.png"; // "Carte été.png"
  ASSERT_EQ(cairo_surface_write_to_png(image, path.c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(image);

  Bitmap *bitmap = LoadBitmapFile(Utf8ToWide(path).c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(BitmapWidth(bitmap), 4);
  EXPECT_EQ(BitmapHeight(bitmap), 2);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), 0xFF0000u);
  EXPECT_EQ(PixelAt(bitmap, 3, 1), 0x0000FFu);
  FreeBitmap(bitmap);
}

TEST(BitmapFile, UnreadableFilesGiveNoBitmap) {
  const std::string folder = MakeScratchFolder();
  EXPECT_EQ(LoadBitmapFile(Utf8ToWide(folder + "/missing.bmp").c_str()), nullptr);
  ASSERT_TRUE(WriteTextFile(folder + "/grid.bmp", "[0:0]10:20\n"));
  EXPECT_EQ(LoadBitmapFile(Utf8ToWide(folder + "/grid.bmp").c_str()), nullptr);
  // A BMP cut short in its pixels.
  const std::string whole = Bmp24(8, 8, false, Pattern);
  ASSERT_TRUE(WriteTextFile(folder + "/cut.bmp", whole.substr(0, 54 + 40)));
  EXPECT_EQ(LoadBitmapFile(Utf8ToWide(folder + "/cut.bmp").c_str()), nullptr);
  EXPECT_EQ(BitmapWidth(nullptr), 0);
  FreeBitmap(nullptr);
}

} // namespace
