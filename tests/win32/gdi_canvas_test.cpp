// gdi_canvas_test.cpp: pixels drawn by the GDI canvas backend on a DIB section, and bitmaps stretched onto it.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <windows.h>

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/win32/gdi_canvas.h"
#include "support/test_env.h"

// Colours print as RGB(r, g, b) in failure messages.
static void PrintTo(const Colour &c, std::ostream *out) {
  *out << "RGB(" << +c.r << ", " << +c.g << ", " << +c.b << ")";
}

namespace {

constexpr int kSize = 100;
constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr Colour kGreen = Rgb(0, 255, 0);
constexpr Colour kRed = Rgb(204, 0, 0);
constexpr Colour kPlate = Rgb(0, 64, 0);

// A 100 x 100 top-down 32-bit DIB section selected into a memory DC, cleared to black.
class GdiCanvasTest : public ::testing::Test {
protected:
  void SetUp() override {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kSize;
    info.bmiHeader.biHeight = -kSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc_, nullptr);
    void *bits = nullptr;
    dib_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib_, nullptr);
    bits_ = static_cast<uint32_t *>(bits);
    old_ = SelectObject(dc_, dib_);
    canvas_ = MakeGdiCanvas(dc_, kSize, kSize);
  }
  void TearDown() override {
    SelectObject(dc_, old_);
    DeleteObject(dib_);
    DeleteDC(dc_);
  }

  Colour Pixel(int x, int y) {
    GdiFlush();
    const uint32_t p = bits_[y * kSize + x];
    return Rgb((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
  }

  // Pixels of the colour inside (or, with inside false, outside) the rectangle.
  int Count(Colour colour, Rect r, bool inside = true) {
    int n = 0;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        const bool in = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        n += in == inside && Pixel(x, y) == colour;
      }
    return n;
  }

  // The leftmost and rightmost columns holding a pixel that is not black.
  std::pair<int, int> InkColumns() {
    int first = kSize, last = -1;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        if (!(Pixel(x, y) == kBlack)) {
          first = x < first ? x : first;
          last = x > last ? x : last;
        }
    return {first, last};
  }

  bool Near(Colour colour, int x, int y, int reach = 1) {
    for (int dy = -reach; dy <= reach; ++dy)
      for (int dx = -reach; dx <= reach; ++dx)
        if (Pixel(x + dx, y + dy) == colour)
          return true;
    return false;
  }

  HDC dc_ = nullptr;
  HBITMAP dib_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t *bits_ = nullptr;
  Canvas canvas_;
};

TEST_F(GdiCanvasTest, TextIsDrawnInItsColourWithinItsRectangle) {
  const Rect box{10, 10, 90, 40};
  CanvasSetFont(canvas_, 13);
  CanvasSetTextColour(canvas_, kGreen);
  CanvasSetBackColour(canvas_, kPlate);
  CanvasSetOpaque(canvas_, false);
  CanvasText(canvas_, L"HHHH", -1, box, kTextLeft);
  EXPECT_GT(Count(kGreen, box), 20);
  EXPECT_EQ(Count(kPlate, box), 0) << "a transparent background leaves the cells alone";
  EXPECT_EQ(Count(kBlack, box, false), kSize * kSize - (box.right - box.left) * (box.bottom - box.top));

  CanvasSetOpaque(canvas_, true);
  CanvasText(canvas_, L"....", -1, Rect{10, 50, 90, 80}, kTextLeft);
  EXPECT_GT(Count(kPlate, Rect{10, 50, 90, 80}), 50) << "an opaque background fills the text cells";
  EXPECT_EQ(Count(kPlate, Rect{10, 50, 90, 80}, false), 0);
}

TEST_F(GdiCanvasTest, AlignmentFlagsPlaceTheText) {
  CanvasSetTextColour(canvas_, kGreen);
  CanvasSetOpaque(canvas_, false);
  CanvasText(canvas_, L"I", -1, Rect{0, 0, kSize, 20}, kTextRight);
  EXPECT_GE(InkColumns().first, kSize - 13) << "right-aligned text ends at the right edge";

  PatBlt(dc_, 0, 0, kSize, kSize, BLACKNESS);
  CanvasText(canvas_, L"I", -1, Rect{0, 0, kSize, 20}, kTextCenter);
  const auto [first, last] = InkColumns();
  EXPECT_LE(first, kSize / 2 + 1);
  EXPECT_GE(last, kSize / 2 - 1);

  PatBlt(dc_, 0, 0, kSize, kSize, BLACKNESS);
  const int narrow = CanvasTextWidth(canvas_, L"WIDE", -1);
  CanvasSetFont(canvas_, 26);
  const int wide = CanvasTextWidth(canvas_, L"WIDE", -1);
  EXPECT_GT(narrow, 0);
  EXPECT_GT(wide, narrow) << "a taller font measures wider";
  // A word that does not fit breaks onto the next line of a word-break box.
  CanvasSetFont(canvas_, 13);
  CanvasText(canvas_, L"AB CD", -1, Rect{0, 0, CanvasTextWidth(canvas_, L"AB ", -1), 40}, kTextWordBreak);
  EXPECT_GT(Count(kGreen, Rect{0, 14, kSize, 40}), 0);
}

TEST_F(GdiCanvasTest, PolygonIsFilledWithTheBrushAndOutlinedWithThePen) {
  const Point triangle[] = {{10, 10}, {90, 10}, {50, 90}};
  CanvasSetNullPen(canvas_);
  CanvasSetBrush(canvas_, kRed);
  CanvasPolygon(canvas_, triangle, 3);
  EXPECT_EQ(Pixel(50, 30), kRed);
  EXPECT_EQ(Pixel(15, 80), kBlack);
  EXPECT_EQ(Count(kGreen, Rect{0, 0, kSize, kSize}), 0);

  PatBlt(dc_, 0, 0, kSize, kSize, BLACKNESS);
  CanvasSetPen(canvas_, kGreen, 1);
  CanvasSetHollowBrush(canvas_);
  CanvasPolygon(canvas_, triangle, 3);
  EXPECT_EQ(Pixel(50, 10), kGreen);
  EXPECT_EQ(Pixel(50, 30), kBlack) << "a hollow brush fills nothing";

  PatBlt(dc_, 0, 0, kSize, kSize, BLACKNESS);
  CanvasSetNullPen(canvas_);
  CanvasMoveTo(canvas_, 0, 50);
  CanvasLineTo(canvas_, kSize, 50);
  EXPECT_EQ(InkColumns().second, -1) << "a null pen draws no line";
  CanvasSetPen(canvas_, kGreen, 3);
  CanvasLineTo(canvas_, 0, 50);
  EXPECT_EQ(Pixel(50, 49), kGreen);
  EXPECT_EQ(Pixel(50, 51), kGreen);
}

TEST_F(GdiCanvasTest, EllipseAndArcOutlines) {
  CanvasSetPen(canvas_, kGreen, 1);
  CanvasSetHollowBrush(canvas_);
  CanvasEllipse(canvas_, 20, 20, 81, 81);
  EXPECT_TRUE(Near(kGreen, 20, 50));
  EXPECT_TRUE(Near(kGreen, 50, 20));
  EXPECT_EQ(Pixel(50, 50), kBlack);

  // A quarter arc from east to north: counterclockwise on screen, so it runs through the upper right.
  PatBlt(dc_, 0, 0, kSize, kSize, BLACKNESS);
  CanvasMoveTo(canvas_, 70, 50);
  CanvasAngleArc(canvas_, 50, 50, 20, 0, 90);
  EXPECT_TRUE(Near(kGreen, 64, 36));
  EXPECT_TRUE(Near(kGreen, 50, 30, 2)) << "GDI leaves out the arc's last pixel or two";
  EXPECT_FALSE(Near(kGreen, 64, 64));
  EXPECT_FALSE(Near(kGreen, 36, 36));
  EXPECT_EQ(canvas_.state.current, (Point{50, 30}));
}

TEST_F(GdiCanvasTest, InvertFlipsEveryBitInsideTheRectangleOnly) {
  CanvasSetNullPen(canvas_);
  CanvasSetBrush(canvas_, Rgb(10, 20, 30));
  CanvasRectangle(canvas_, 0, 0, kSize + 1, kSize + 1);
  ASSERT_EQ(Pixel(0, 0), Rgb(10, 20, 30));
  CanvasInvert(canvas_, Rect{20, 20, 40, 40});
  EXPECT_EQ(Count(Rgb(245, 235, 225), Rect{20, 20, 40, 40}), 400);
  EXPECT_EQ(Pixel(40, 40), Rgb(10, 20, 30));
  EXPECT_EQ(Pixel(19, 19), Rgb(10, 20, 30));
}

// A 24-bit bottom-up BMP file of 4 x 2 pixels: top row red, green, blue, white; bottom row black, grey x3.
std::string FourByTwoBmp() {
  const uint8_t rows[2][12] = {
      {0, 0, 0, 128, 128, 128, 128, 128, 128, 128, 128, 128}, // bottom row first, blue-green-red order
      {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255},
  };
  std::string file(54, '\0');
  auto put32 = [&file](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      file[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, 54 + 24);
  put32(10, 54);
  put32(14, 40);
  put32(18, 4);
  put32(22, 2);
  file[26] = 1;
  file[28] = 24;
  for (const auto &row : rows)
    file.append(reinterpret_cast<const char *>(row), 12);
  return file;
}

TEST_F(GdiCanvasTest, LoadedBitmapIsStretchedFromItsSourceRectangle) {
  const std::string path = MakeScratchFolder() + "\\map.bmp";
  ASSERT_TRUE(WriteTextFile(path, FourByTwoBmp()));
  const std::wstring wide_path(path.begin(), path.end());
  Bitmap *bitmap = LoadBitmapFile(wide_path.c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(BitmapWidth(bitmap), 4);
  EXPECT_EQ(BitmapHeight(bitmap), 2);

  CanvasStretchBitmap(canvas_, bitmap, Rect{0, 0, 4, 2}, Rect{0, 0, 40, 20});
  EXPECT_EQ(Pixel(5, 5), Rgb(255, 0, 0));
  EXPECT_EQ(Pixel(35, 5), Rgb(255, 255, 255));
  EXPECT_EQ(Pixel(5, 15), kBlack);
  EXPECT_EQ(Pixel(15, 15), Rgb(128, 128, 128));
  EXPECT_EQ(Pixel(45, 5), kBlack) << "nothing beyond the destination";

  // Only the right half of the bitmap, doubled: blue then white.
  CanvasStretchBitmap(canvas_, bitmap, Rect{2, 0, 4, 1}, Rect{50, 50, 54, 52});
  EXPECT_EQ(Pixel(50, 50), Rgb(0, 0, 255));
  EXPECT_EQ(Pixel(51, 51), Rgb(0, 0, 255));
  EXPECT_EQ(Pixel(53, 50), Rgb(255, 255, 255));
  FreeBitmap(bitmap);

  EXPECT_EQ(LoadBitmapFile(L"C:\\no\\such\\map.bmp"), nullptr);
}

// An 8-bit run-length BMP of width x 2 pixels (a 256-colour palette, then the runs): LoadImage has always read them,
// so the header check lets them through when their runs can cover the image, and only then.
std::string RunLengthBmp(uint32_t width, uint32_t height, const std::string &runs) {
  std::string file = "BM";
  const auto put = [&file](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      file.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
  };
  const uint32_t offset = 14 + 40 + 1024, size = static_cast<uint32_t>(runs.size());
  // File header, then the info header: one plane of 8 bits, BI_RLE8, no resolution, the whole palette.
  const std::pair<uint32_t, int> fields[] = {
      {offset + size, 4}, {0, 4}, {offset, 4}, {40, 4}, {width, 4}, {height, 4}, {1, 2}, {8, 2}, {1, 4},
      {size, 4},          {0, 4}, {0, 4},      {0, 4},  {0, 4}};
  for (const auto &[value, bytes] : fields)
    put(value, bytes);
  for (int i = 0; i < 256; ++i)
    put(static_cast<uint32_t>(i * 0x010101), 4);
  return file + runs;
}

TEST(Win32Bitmap, RunLengthFilesLoadOnlyWhenTheirRunsCanCoverThem) {
  const std::string folder = MakeScratchFolder();
  const std::string two_rows("\x08\x01\x00\x00\x08\x02\x00\x01", 8); // 8 pixels, end of line, 8 pixels, end
  ASSERT_TRUE(WriteTextFile(folder + "\\runs.bmp", RunLengthBmp(8, 2, two_rows)));
  ASSERT_TRUE(WriteTextFile(folder + "\\claim.bmp", RunLengthBmp(16000, 16000, two_rows)));
  const std::string runs = folder + "\\runs.bmp", claim = folder + "\\claim.bmp";
  Bitmap *bitmap = LoadBitmapFile(std::wstring(runs.begin(), runs.end()).c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(BitmapWidth(bitmap), 8);
  EXPECT_EQ(BitmapHeight(bitmap), 2);
  FreeBitmap(bitmap);
  std::string why;
  EXPECT_EQ(LoadBitmapFile(std::wstring(claim.begin(), claim.end()).c_str(), &why), nullptr);
  EXPECT_EQ(why.substr(0, 10), "cut short:");
}

} // namespace
