// cairo_canvas_test.cpp: the Cairo canvas drawn onto an image surface and checked pixel by pixel.
#include "platform/portable/cairo_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "platform/bitmap.h"
#include "platform/portable/bitmap_data.h"

namespace {

constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr Colour kRed = Rgb(255, 0, 0);
constexpr Colour kBlue = Rgb(0, 0, 255);
constexpr Colour kGreen = Rgb(0, 255, 0);
// The text background: no blend of green text over black can make it.
constexpr Colour kPlate = Rgb(64, 0, 64);

// A black image surface with a canvas over it.
struct Surface {
  int width, height;
  cairo_surface_t *surface;
  cairo_t *cr;
  Canvas canvas;

  Surface(int w, int h) : width(w), height(h) {
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    canvas = MakeCairoCanvas(cr, w, h);
  }
  ~Surface() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  Surface(const Surface &) = delete;
  Surface &operator=(const Surface &) = delete;

  Colour At(int x, int y) const {
    cairo_surface_flush(surface);
    const unsigned char *row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const uint32_t pixel = reinterpret_cast<const uint32_t *>(row)[x];
    return Rgb((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
  }
  // Every pixel that is not black.
  std::set<std::pair<int, int>> Lit() const {
    std::set<std::pair<int, int>> lit;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (!(At(x, y) == kBlack))
          lit.insert({x, y});
    return lit;
  }
  int Count(Colour colour, Rect area) const {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        n += At(x, y) == colour;
    return n;
  }
  bool SameAs(const Surface &other) const {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (!(At(x, y) == other.At(x, y)))
          return false;
    return true;
  }
};

std::set<std::pair<int, int>> Pixels(std::initializer_list<std::pair<int, int>> list) { return {list}; }

TEST(CairoCanvasGeometry, OnePixelLinesLeaveOutTheirLastPixel) {
  Surface s(20, 12);
  CanvasSetPen(s.canvas, kRed, 1);
  CanvasMoveTo(s.canvas, 2, 5);
  CanvasLineTo(s.canvas, 7, 5);
  EXPECT_EQ(s.Lit(), Pixels({{2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}}));
  EXPECT_EQ(s.At(2, 5), kRed);

  Surface down(12, 12);
  CanvasSetPen(down.canvas, kGreen, 1);
  CanvasMoveTo(down.canvas, 3, 1);
  CanvasLineTo(down.canvas, 3, 4);
  EXPECT_EQ(down.Lit(), Pixels({{3, 1}, {3, 2}, {3, 3}}));
}

TEST(CairoCanvasGeometry, SlantedLinesPutOnePixelOnEachStepOfTheLongerAxis) {
  // Along y = x / 3 the nearest rows are 0 0 1 1 1 2 2 2 3; the end point is left out.
  Surface s(12, 6);
  CanvasSetPen(s.canvas, kRed, 1);
  CanvasMoveTo(s.canvas, 0, 0);
  CanvasLineTo(s.canvas, 9, 3);
  EXPECT_EQ(s.Lit(), Pixels({{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 2}, {7, 2}, {8, 3}}));

  // Backwards the other end is left out; the steep line walks rows instead of columns.
  Surface back(12, 6);
  CanvasSetPen(back.canvas, kRed, 1);
  CanvasMoveTo(back.canvas, 9, 3);
  CanvasLineTo(back.canvas, 0, 0);
  EXPECT_EQ(back.Lit(), Pixels({{9, 3}, {8, 3}, {7, 2}, {6, 2}, {5, 2}, {4, 1}, {3, 1}, {2, 1}, {1, 0}}));

  // A slope whose line passes within 0.04 pixel of the middle between two rows still takes one of them.
  Surface shallow(16, 8);
  CanvasSetPen(shallow.canvas, kRed, 1);
  CanvasMoveTo(shallow.canvas, 0, 0);
  CanvasLineTo(shallow.canvas, 13, 6);
  std::set<std::pair<int, int>> nearest;
  for (int x = 0; x < 13; ++x)
    nearest.insert({x, (x * 6 + 6) / 13}); // round(6x / 13), never a tie
  EXPECT_EQ(shallow.Lit(), nearest);

  Surface steep(6, 12);
  CanvasSetPen(steep.canvas, kRed, 1);
  CanvasMoveTo(steep.canvas, 1, 1);
  CanvasLineTo(steep.canvas, 3, 7);
  EXPECT_EQ(steep.Lit(), Pixels({{1, 1}, {1, 2}, {2, 3}, {2, 4}, {2, 5}, {3, 6}}));
}

TEST(CairoCanvasGeometry, WidePensAndNullPens) {
  Surface s(30, 20);
  CanvasSetPen(s.canvas, kRed, 3);
  CanvasMoveTo(s.canvas, 5, 10);
  CanvasLineTo(s.canvas, 20, 10);
  for (int y = 9; y <= 11; ++y)
    EXPECT_EQ(s.At(12, y), kRed) << y;
  EXPECT_EQ(s.At(12, 8), kBlack);
  EXPECT_EQ(s.At(12, 12), kBlack);
  EXPECT_EQ(s.At(21, 10), kRed); // a geometric pen has round ends reaching past the end point
  EXPECT_EQ(s.At(23, 10), kBlack);

  Surface none(10, 10);
  CanvasSetNullPen(none.canvas);
  CanvasMoveTo(none.canvas, 0, 0);
  CanvasLineTo(none.canvas, 9, 9);
  CanvasSetHollowBrush(none.canvas);
  CanvasRectangle(none.canvas, 1, 1, 8, 8);
  EXPECT_TRUE(none.Lit().empty());
}

TEST(CairoCanvasGeometry, RectanglesCoverLeftToRightMinusOne) {
  Surface s(16, 12);
  CanvasSetPen(s.canvas, kRed, 1);
  CanvasSetBrush(s.canvas, kBlue);
  CanvasRectangle(s.canvas, 2, 2, 10, 8);
  EXPECT_EQ(s.Count(kRed, {0, 0, 16, 12}), 2 * 8 + 2 * 4); // the outline, x 2..9 and y 2..7
  EXPECT_EQ(s.Count(kBlue, {3, 3, 9, 7}), 6 * 4);          // the brush fills all the inside
  EXPECT_EQ(s.Lit().size(), static_cast<size_t>(8 * 6));
  EXPECT_EQ(s.At(9, 7), kRed);
  EXPECT_EQ(s.At(10, 7), kBlack);
  EXPECT_EQ(s.At(9, 8), kBlack);

  Surface hollow(16, 12);
  CanvasSetPen(hollow.canvas, kRed, 1);
  CanvasSetHollowBrush(hollow.canvas);
  CanvasRectangle(hollow.canvas, 10, 8, 2, 2); // corners in either order
  EXPECT_EQ(hollow.Count(kRed, {0, 0, 16, 12}), 24);
  EXPECT_EQ(hollow.Lit().size(), 24u);

  // With no pen GDI fills one pixel less each way.
  Surface fill(16, 12);
  CanvasSetNullPen(fill.canvas);
  CanvasSetBrush(fill.canvas, kBlue);
  CanvasRectangle(fill.canvas, 2, 2, 10, 8);
  EXPECT_EQ(fill.Count(kBlue, {2, 2, 9, 7}), 7 * 5);
  EXPECT_EQ(fill.Lit().size(), 35u);
}

TEST(CairoCanvasGeometry, EllipsesTouchTheirBoundsAndFillInside) {
  Surface s(40, 30);
  CanvasSetPen(s.canvas, kRed, 1);
  CanvasSetBrush(s.canvas, kBlue);
  CanvasEllipse(s.canvas, 10, 10, 31, 21); // 21 × 11 pixels, centre (20, 15)
  EXPECT_EQ(s.At(10, 15), kRed);
  EXPECT_EQ(s.At(30, 15), kRed);
  EXPECT_EQ(s.At(20, 10), kRed);
  EXPECT_EQ(s.At(20, 20), kRed);
  EXPECT_EQ(s.At(20, 15), kBlue);
  EXPECT_EQ(s.At(10, 10), kBlack); // the corners of the bounds lie outside
  for (const auto &[x, y] : s.Lit()) {
    EXPECT_GE(x, 10);
    EXPECT_LE(x, 30);
    EXPECT_GE(y, 10);
    EXPECT_LE(y, 20);
  }

  Surface hollow(40, 30);
  CanvasSetPen(hollow.canvas, kRed, 1);
  CanvasSetHollowBrush(hollow.canvas);
  CanvasEllipse(hollow.canvas, 10, 10, 31, 21);
  EXPECT_EQ(hollow.At(30, 15), kRed);
  EXPECT_EQ(hollow.At(20, 15), kBlack);
  EXPECT_EQ(hollow.Count(kBlue, {0, 0, 40, 30}), 0);
}

TEST(CairoCanvasGeometry, PolygonOutlineWithPenAndFillWithBrush) {
  const Point diamond[] = {{15, 2}, {2, 15}, {15, 28}, {28, 15}};
  Surface s(32, 32);
  CanvasSetPen(s.canvas, kRed, 1);
  CanvasSetBrush(s.canvas, kBlue);
  CanvasPolygon(s.canvas, diamond, 4);
  for (const Point &p : diamond)
    EXPECT_EQ(s.At(p.x, p.y), kRed) << p.x << "," << p.y; // the closing edge is drawn too
  EXPECT_EQ(s.At(15, 15), kBlue);
  EXPECT_EQ(s.At(4, 4), kBlack);
  EXPECT_EQ(s.Count(kBlue, {0, 0, 32, 32}) + s.Count(kRed, {0, 0, 32, 32}), static_cast<int>(s.Lit().size()));

  Surface hollow(32, 32);
  CanvasSetPen(hollow.canvas, kRed, 1);
  CanvasSetHollowBrush(hollow.canvas);
  CanvasPolygon(hollow.canvas, diamond, 4);
  EXPECT_EQ(hollow.At(15, 15), kBlack);
  EXPECT_EQ(hollow.At(2, 15), kRed);

  Surface bare(32, 32);
  CanvasSetNullPen(bare.canvas);
  CanvasSetBrush(bare.canvas, kBlue);
  CanvasPolygon(bare.canvas, diamond, 4);
  EXPECT_EQ(bare.At(15, 15), kBlue);
  EXPECT_EQ(bare.Count(kRed, {0, 0, 32, 32}), 0);
}

TEST(CairoCanvasGeometry, AngleArcTurnsCounterclockwiseAfterItsLeadInLine) {
  Surface s(40, 40);
  CanvasSetPen(s.canvas, kRed, 1);
  CanvasMoveTo(s.canvas, 30, 35);
  CanvasAngleArc(s.canvas, 20, 20, 10, 0, 90); // from the right-hand point up to the top point
  EXPECT_EQ(s.At(30, 30), kRed);               // on the lead-in line from (30, 35) to (30, 20)
  EXPECT_EQ(s.canvas.state.current, (Point{20, 10}));
  // The quarter from 0° to 90° is the upper right one on screen; the other three stay dark.
  EXPECT_GT(s.Count(kRed, {26, 11, 30, 16}), 0); // near (27, 13), 45° up and right
  EXPECT_EQ(s.Count(kRed, {10, 10, 19, 19}), 0);
  EXPECT_EQ(s.Count(kRed, {10, 22, 19, 32}), 0);
  EXPECT_EQ(s.Count(kRed, {22, 22, 29, 32}), 0);
  for (const auto &[x, y] : s.Lit()) {
    const int dx = x - 20, dy = y - 20;
    if (x == 30 && y >= 20)
      continue; // the lead-in line
    EXPECT_NEAR(std::hypot(dx, dy), 10.0, 1.0) << x << "," << y;
  }

  Surface full(40, 40);
  CanvasSetPen(full.canvas, kRed, 1);
  CanvasMoveTo(full.canvas, 30, 20);
  CanvasAngleArc(full.canvas, 20, 20, 10, 0, 360);
  EXPECT_EQ(full.At(10, 20), kRed);
  EXPECT_EQ(full.At(20, 30), kRed);
  EXPECT_EQ(full.At(20, 10), kRed);
}

TEST(CairoCanvasGeometry, InvertTurnsEveryChannelOverInsideTheRectangleOnly) {
  Surface s(10, 10);
  cairo_set_source_rgb(s.cr, 10 / 255.0, 20 / 255.0, 30 / 255.0);
  cairo_rectangle(s.cr, 0, 0, 5, 10);
  cairo_fill(s.cr);
  CanvasInvert(s.canvas, {3, 2, 8, 6});
  EXPECT_EQ(s.At(3, 2), Rgb(245, 235, 225));
  EXPECT_EQ(s.At(7, 5), Rgb(255, 255, 255));
  EXPECT_EQ(s.At(8, 5), kBlack);
  EXPECT_EQ(s.At(3, 6), Rgb(10, 20, 30));
  EXPECT_EQ(s.At(2, 2), Rgb(10, 20, 30));
  CanvasInvert(s.canvas, {3, 2, 8, 6});
  EXPECT_EQ(s.At(3, 2), Rgb(10, 20, 30));
  EXPECT_EQ(s.At(7, 5), kBlack);
}

// A bitmap whose pixel (x, y) has red 10x + 1 and green 10y + 1.
Bitmap *GradientBitmap(int width, int height) {
  std::vector<unsigned char> rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      rgb.insert(rgb.end(), {static_cast<unsigned char>(10 * x + 1), static_cast<unsigned char>(10 * y + 1), 0});
  return CreateBitmapFromRgb(rgb.data(), width, height);
}

Colour SourcePixel(int x, int y) { return Rgb(10 * x + 1, 10 * y + 1, 0); }

TEST(CairoCanvasStretch, NearestSourcePixelForEachDestinationPixel) {
  Bitmap *bitmap = GradientBitmap(8, 8);
  ASSERT_NE(bitmap, nullptr);
  {
    // Twice the size: each source pixel becomes a 2 × 2 block.
    Surface s(20, 20);
    CanvasStretchBitmap(s.canvas, bitmap, {1, 2, 5, 4}, {10, 10, 18, 14});
    for (int j = 0; j < 4; ++j)
      for (int i = 0; i < 8; ++i)
        EXPECT_EQ(s.At(10 + i, 10 + j), SourcePixel(1 + i / 2, 2 + j / 2)) << i << "," << j;
    EXPECT_EQ(s.Lit().size(), 32u);
  }
  {
    // Six columns onto four take the columns at 0.75, 2.25, 3.75 and 5.25; three rows onto two take 0.75, 2.25.
    Surface s(10, 10);
    CanvasStretchBitmap(s.canvas, bitmap, {2, 1, 8, 4}, {1, 1, 5, 3});
    const int columns[] = {0, 2, 3, 5}, rows[] = {0, 2};
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 4; ++i)
        EXPECT_EQ(s.At(1 + i, 1 + j), SourcePixel(2 + columns[i], 1 + rows[j])) << i << "," << j;
    EXPECT_EQ(s.Lit().size(), 8u);
  }
  {
    // The part of the source area off the bitmap leaves the window as it was.
    Surface s(10, 10);
    CanvasStretchBitmap(s.canvas, bitmap, {-2, 0, 2, 4}, {0, 0, 4, 4});
    EXPECT_EQ(s.At(0, 0), kBlack);
    EXPECT_EQ(s.At(1, 3), kBlack);
    EXPECT_EQ(s.At(2, 0), SourcePixel(0, 0));
    EXPECT_EQ(s.At(3, 3), SourcePixel(1, 3));
  }
  FreeBitmap(bitmap);
}

// Text tests draw in opaque mode where they need the cell extents: the background shows exactly the
// cells GDI fills.
struct TextSurface : Surface {
  TextSurface() : Surface(200, 80) {
    CanvasSetFont(canvas, 13);
    CanvasSetTextColour(canvas, kGreen);
    CanvasSetBackColour(canvas, kPlate);
    CanvasSetOpaque(canvas, true);
  }
  // The bounding box of every pixel of colour, or an empty rectangle.
  Rect Extent(Colour colour) const {
    Rect box{width, height, 0, 0};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (At(x, y) == colour)
          box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
    return box.right == 0 ? Rect{} : box;
  }
  // The bounding box of the text's ink, full colour or blended at its edges.
  Rect InkExtent() const {
    Rect box{width, height, 0, 0};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (At(x, y).g != 0)
          box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
    return box.right == 0 ? Rect{} : box;
  }
};

TEST(CairoCanvasText, OpaqueModeFillsTheCellsOfTheTextOnly) {
  TextSurface s;
  CanvasSetOpaque(s.canvas, true);
  const int width = CanvasTextWidth(s.canvas, L"MODE", -1);
  EXPECT_GT(width, 4 * 5);
  EXPECT_EQ(CanvasTextWidth(s.canvas, L"MODEMODE", -1), 2 * width); // one advance per character
  CanvasText(s.canvas, L"MODE", -1, {20, 10, 180, 60}, kTextLeft);
  // The cells: width × the font height, from the rectangle's top-left; the rest of the rectangle stays.
  const Rect text_and_cells{20, 10, 20 + width, 23};
  EXPECT_EQ(s.At(20, 10), kPlate);
  EXPECT_EQ(s.At(20 + width - 1, 22), kPlate);
  EXPECT_EQ(s.At(20 + width, 10), kBlack);
  EXPECT_EQ(s.At(20, 23), kBlack);
  EXPECT_GT(s.Count(kGreen, text_and_cells), 20); // bold strokes in the full text colour
  for (const auto &[x, y] : s.Lit()) {
    EXPECT_GE(x, text_and_cells.left);
    EXPECT_LT(x, text_and_cells.right);
    EXPECT_GE(y, text_and_cells.top);
    EXPECT_LT(y, text_and_cells.bottom);
  }

  TextSurface transparent;
  CanvasSetOpaque(transparent.canvas, false);
  CanvasText(transparent.canvas, L"MODE", -1, {20, 10, 180, 60}, kTextLeft);
  EXPECT_EQ(transparent.Count(kPlate, {0, 0, 200, 80}), 0);
  EXPECT_GT(transparent.Count(kGreen, text_and_cells), 20);
}

TEST(CairoCanvasText, FontHeightIsTheCellHeight) {
  for (int h : {8, 13, 19, 26, 32}) {
    TextSurface s;
    CanvasSetFont(s.canvas, h);
    CanvasText(s.canvas, L"Wg", -1, {0, 0, 200, 80}, kTextLeft);
    const Rect cells = s.Extent(kPlate);
    EXPECT_EQ(cells.top, 0) << h;
    EXPECT_EQ(cells.bottom, h) << h;
    const Rect ink = s.InkExtent();
    EXPECT_GE(ink.top, 0);
    EXPECT_LE(ink.bottom, h) << h; // the descender of g stays in its cell
    EXPECT_GT(ink.bottom - ink.top, h / 2) << h;
  }
}

TEST(CairoCanvasText, TextIsClippedToItsRectangle) {
  TextSurface s;
  CanvasSetOpaque(s.canvas, true);
  CanvasText(s.canvas, L"WWWWWWWWWWWWWWWWWWWW", -1, {30, 20, 70, 28}, kTextLeft);
  EXPECT_GT(s.Count(kGreen, {30, 20, 70, 28}), 0);
  EXPECT_EQ(s.Extent(kPlate).left, 30);
  for (const auto &[x, y] : s.Lit()) {
    EXPECT_GE(x, 30);
    EXPECT_LT(x, 70);
    EXPECT_GE(y, 20);
    EXPECT_LT(y, 28);
  }
}

TEST(CairoCanvasText, CentredAndRightAlignedLines) {
  TextSurface centred;
  const int width = CanvasTextWidth(centred.canvas, L"ZOOM", -1);
  CanvasText(centred.canvas, L"ZOOM", -1, {11, 5, 150, 40}, kTextCenter);
  const Rect cells = centred.Extent(kPlate);
  EXPECT_EQ(cells.left, (11 + 150 - width) / 2);
  EXPECT_EQ(cells.right - cells.left, width);

  TextSurface right;
  CanvasText(right.canvas, L"ZOOM", -1, {11, 5, 150, 40}, kTextRight);
  EXPECT_EQ(right.Extent(kPlate), (Rect{150 - width, 5, 150, 18}));

  // Each line is aligned by itself.
  TextSurface two;
  CanvasText(two.canvas, L"ZOOM\nX1", -1, {11, 5, 150, 40}, kTextRight);
  EXPECT_EQ(two.Extent(kPlate), (Rect{150 - width, 5, 150, 31}));
  EXPECT_EQ(two.At(150 - width, 20), kBlack); // the second line's cells are narrower
  EXPECT_EQ(two.At(149, 30), kPlate);
}

TEST(CairoCanvasText, LineBreaksAndWordBreaksPutTextOnTheSecondLine) {
  TextSurface broken;
  CanvasText(broken.canvas, L"\nMODE", -1, {40, 10, 160, 36}, kTextCenter | kTextBottom | kTextWordBreak);
  TextSurface lower;
  CanvasText(lower.canvas, L"MODE", -1, {40, 23, 160, 36}, kTextCenter);
  EXPECT_TRUE(broken.SameAs(lower)); // a leading line break, not the bottom flag, puts it on the lower line
  EXPECT_EQ(broken.Extent(kPlate).top, 23);

  const int six = CanvasTextWidth(broken.canvas, L"SQUAD ", -1);
  TextSurface wrapped;
  CanvasText(wrapped.canvas, L"SQUAD  GROUP", -1, {10, 10, 10 + six + 2, 60}, kTextLeft | kTextWordBreak);
  TextSurface by_hand;
  CanvasText(by_hand.canvas, L"SQUAD\nGROUP", -1, {10, 10, 10 + six + 2, 60}, kTextLeft);
  EXPECT_TRUE(wrapped.SameAs(by_hand));
  EXPECT_EQ(wrapped.Extent(kPlate).bottom, 10 + 2 * 13);

  // Without word breaking the same text stays on one clipped line.
  TextSurface one;
  CanvasText(one.canvas, L"SQUAD  GROUP", -1, {10, 10, 10 + six + 2, 60}, kTextLeft);
  EXPECT_EQ(one.Extent(kPlate), (Rect{10, 10, 10 + six + 2, 23}));

  // A word too wide for the rectangle keeps its own line rather than being split.
  TextSurface long_word;
  CanvasText(long_word.canvas, L"AB ABCDEFGHIJ", -1, {10, 10, 10 + six + 2, 60}, kTextLeft | kTextWordBreak);
  TextSurface long_by_hand;
  CanvasText(long_by_hand.canvas, L"AB\nABCDEFGHIJ", -1, {10, 10, 10 + six + 2, 60}, kTextLeft);
  EXPECT_TRUE(long_word.SameAs(long_by_hand));
}

} // namespace
