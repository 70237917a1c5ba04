// bitmap_limits_test.cpp: map image headers are checked against the file's size and the limits before anything is
// allocated for their pixels, on both front ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/bitmap.h"
#include "platform/bitmap_file.h"
#include "support/map_support.h"
#include "support/test_env.h"

namespace {

void Put(std::string &bytes, uint64_t value, int size) {
  for (int i = 0; i < size; ++i)
    bytes.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

void PutBig(std::string &bytes, uint32_t value) {
  for (int i = 3; i >= 0; --i)
    bytes.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

// A BMP whose header claims what it is told: a header of header_size bytes (12 is the old core header), the colour
// masks after a 40-byte header with bit fields, a palette for 8 bits and fewer, then pixel_bytes of pixels.
std::string Bmp(uint32_t header_size, int32_t width, int32_t height, int bits, uint32_t compression,
                size_t pixel_bytes) {
  const bool masks_after = header_size == 40 && compression == 3;
  const uint32_t palette = bits <= 8 ? (header_size == 12 ? 3u : 4u) << bits : 0;
  const uint32_t offset = 14 + header_size + (masks_after ? 12 : 0) + palette;
  std::string file = "BM";
  Put(file, offset + pixel_bytes, 4);
  Put(file, 0, 4);
  Put(file, offset, 4);
  Put(file, header_size, 4);
  if (header_size == 12) {
    Put(file, static_cast<uint32_t>(width), 2);
    Put(file, static_cast<uint32_t>(height), 2);
    Put(file, 1, 2);
    Put(file, static_cast<uint32_t>(bits), 2);
  } else {
    Put(file, static_cast<uint32_t>(width), 4);
    Put(file, static_cast<uint32_t>(height), 4);
    Put(file, 1, 2);
    Put(file, static_cast<uint32_t>(bits), 2);
    Put(file, compression, 4);
    Put(file, pixel_bytes, 4);
    for (int i = 0; i < 4; ++i)
      Put(file, i < 2 ? 2835 : 0, 4);
    // Red, green and blue masks: after the short header, inside the longer ones.
    for (uint32_t mask : {0xFF0000u, 0xFF00u, 0xFFu})
      if (masks_after || header_size > 40)
        Put(file, mask, 4);
    file.resize(14 + header_size + (masks_after ? 12 : 0), '\0');
  }
  for (uint32_t i = 0; i < palette; ++i)
    file.push_back(static_cast<char>(i * 37));
  file.append(pixel_bytes, '\x40');
  return file;
}

// A PNG signature and image header; nothing follows them.
std::string PngHead(uint32_t width, uint32_t height, int depth, int colour_type) {
  std::string file = "\x89PNG\r\n\x1a\n";
  PutBig(file, 13);
  file += "IHDR";
  PutBig(file, width);
  PutBig(file, height);
  file.push_back(static_cast<char>(depth));
  file.push_back(static_cast<char>(colour_type));
  file.append(3, '\0');
  PutBig(file, 0); // the chunk's check sum, not looked at here
  return file;
}

// The reason's first words, or "" when the header is accepted.
std::string Verdict(const std::string &file, BitmapFormats formats) {
  std::string why;
  const auto *head = reinterpret_cast<const unsigned char *>(file.data());
  const size_t head_size = file.size() < kBitmapHeadBytes ? file.size() : kBitmapHeadBytes;
  if (CheckBitmapHeader(head, head_size, file.size(), formats, &why))
    return "";
  why = why.substr(0, why.find_first_of(":("));
  return why.substr(0, why.find_last_not_of(' ') + 1);
}

TEST(BitmapHeaderCheck, EveryAcceptedFormatAgainstItsSizeAndTheLimits) {
  const BitmapFormats portable{.png = true}, windows{.bmp_rle = true};
  const std::string rle_rows = std::string("\x08\x01\x00\x00\x08\x02\x00\x01", 8); // two rows of 8, end of bitmap
  const struct {
    std::string name, file;
    BitmapFormats formats;
    std::string verdict;
  } cases[] = {
      {"24-bit", Bmp(40, 5, 3, 24, 0, 16 * 3), portable, ""},
      {"24-bit top-down", Bmp(40, 5, -3, 24, 0, 16 * 3), windows, ""},
      {"24-bit, a row short", Bmp(40, 5, 3, 24, 0, 16 * 2), portable, "cut short"},
      {"32-bit bit fields", Bmp(40, 4, 4, 32, 3, 64), portable, ""},
      // The file that froze the program: 130 bytes claiming 20000 x 20000 pixels.
      {"bit fields 20000 x 20000", Bmp(40, 20000, 20000, 32, 3, 64), portable, "too large"},
      {"32-bit bit fields cut short", Bmp(40, 64, 64, 32, 3, 64 * 4 * 32), windows, "cut short"},
      {"version 5 header", Bmp(124, 4, 4, 32, 3, 64), portable, ""},
      {"version 5 header cut short", Bmp(124, 4, 4, 32, 3, 60), portable, "cut short"},
      {"core header", Bmp(12, 3, 3, 24, 0, 36), portable, ""},
      {"core header cut short", Bmp(12, 3, 3, 24, 0, 35), windows, "cut short"},
      {"8-bit palette", Bmp(40, 4, 2, 8, 0, 8), portable, ""},
      {"16 bits, bit fields", Bmp(56, 2, 2, 16, 3, 8), portable, ""},
      {"bit fields on 24 bits", Bmp(40, 2, 2, 24, 3, 16), windows, "not a BMP"},
      {"run-length 8-bit", Bmp(40, 8, 2, 8, 1, 8).replace(14 + 40 + 1024, 8, rle_rows), windows, ""},
      {"run-length where not read", Bmp(40, 8, 2, 8, 1, 8), portable, "not a BMP this program reads"},
      {"run-length 16000 x 16000 in 100 bytes", Bmp(40, 16000, 16000, 8, 1, 100), windows, "cut short"},
      {"run-length 4-bit declared as 8", Bmp(40, 8, 2, 8, 2, 8), windows, "not a BMP this program reads"},
      {"JPEG inside", Bmp(40, 8, 2, 24, 4, 64), windows, "not a BMP this program reads"},
      {"height of -2^31", Bmp(40, 1, INT32_MIN, 24, 0, 4), windows, "too large"},
      {"no columns", Bmp(40, 0, 2, 24, 0, 4), portable, "not a BMP"},
      {"52-byte header", Bmp(52, 2, 2, 24, 0, 16), portable, "not a BMP"},
      {"12 bits a pixel", Bmp(40, 2, 2, 12, 0, 16), portable, "not a BMP"},
      {"pixels inside the header", Bmp(40, 2, 2, 24, 0, 16).replace(10, 4, std::string("\x10\0\0\0", 4)), portable,
       "not a BMP"},
      {"header only", Bmp(40, 2, 2, 24, 0, 16).substr(0, 30), portable, "cut short"},
      {"empty", "", portable, "not a BMP or PNG"},
      {"text", "[435:380]1520:2210\n", windows, "not a BMP"},
      {"PNG where not read", PngHead(4, 4, 8, 2) + std::string(64, '\0'), windows, "not a BMP"},
      {"PNG 4 x 4", PngHead(4, 4, 8, 2) + std::string(64, '\0'), portable, ""},
      {"PNG 20000 x 20000", PngHead(20000, 20000, 8, 2), portable, "too large"},
      // 16384 x 16384 RGBA of 16 bits unpacks to 2 GiB before the decoder converts it.
      {"PNG 16-bit RGBA at the largest side", PngHead(16384, 16384, 16, 6), portable, "too large"},
      // No deflate stream packs a gigabyte of rows into a few hundred bytes.
      {"PNG 16384 x 16384 in 300 bytes", PngHead(16384, 16384, 8, 2) + std::string(256, '\0'), portable, "cut short"},
      {"PNG colour type 5", PngHead(4, 4, 8, 5), portable, "not a PNG"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(Verdict(c.file, c.formats), c.verdict) << c.name;
}

TEST(BitmapHeaderCheck, TheLoaderRefusesAHugeClaimAtOnceAndSaysWhy) {
  const std::string folder = MakeScratchFolder();
  struct Case {
    std::string name, bytes, reason;
  };
  const Case cases[] = {
      {"huge.bmp", Bmp(40, 20000, 20000, 32, 3, 64), "too large: 20000 x 20000 pixels, at most 16384 x 16384"},
      {"cut.bmp", Bmp(40, 64, 64, 32, 3, 64 * 4 * 32), "cut short: it needs 16450 bytes, the file has 8258"},
      {"grid.bmp", "[435:380]1520:2210\n", "not a BMP"},
  };
  for (const Case &c : cases) {
    ASSERT_TRUE(WriteTextFile(folder + "/" + c.name, c.bytes));
    std::string why;
    Bitmap *bitmap = LoadBitmapFile(Widen(folder + "/" + c.name).c_str(), &why);
    EXPECT_EQ(bitmap, nullptr) << c.name;
    FreeBitmap(bitmap);
    EXPECT_EQ(why.substr(0, c.reason.size()), c.reason) << c.name;
  }
  std::string why;
  EXPECT_EQ(LoadBitmapFile(Widen(folder + "/absent.bmp").c_str(), &why), nullptr);
  EXPECT_EQ(why, "missing");
  EXPECT_EQ(LoadBitmapFile(Widen(folder).c_str(), &why), nullptr);
  EXPECT_EQ(why, "a folder, not a file");

  // A complete 32-bit file with bit fields still loads.
  ASSERT_TRUE(WriteTextFile(folder + "/fields.bmp", Bmp(40, 4, 3, 32, 3, 48)));
  Bitmap *bitmap = LoadBitmapFile(Widen(folder + "/fields.bmp").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(BitmapWidth(bitmap), 4);
  EXPECT_EQ(BitmapHeight(bitmap), 3);
  FreeBitmap(bitmap);
}

} // namespace
