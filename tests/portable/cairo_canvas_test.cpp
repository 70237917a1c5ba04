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

constexpr Colour kBlack = Rgb(0, 0, 0), kRed = Rgb(255, 0, 0), kBlue = Rgb(0, 0, 255), kGreen = Rgb(0, 255, 0);
constexpr Colour kPlate = Rgb(64, 0, 64); // the text background: no blend of green text over black makes it

using Pixels = std::set<std::pair<int, int>>;

// The bounding box of some pixels, or an empty rectangle.
Rect Box(const Pixels &pixels) {
  Rect box{1 << 20, 1 << 20, 0, 0};
  for (const auto &[x, y] : pixels)
    box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
  return pixels.empty() ? Rect{} : box;
}

// A black image surface (Cairo starts it zeroed) with a canvas over it.
struct Surface {
  cairo_surface_t *surface;
  cairo_t *cr;
  Canvas canvas;
  explicit Surface(int w = 200, int h = 80)
      : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h)), cr(cairo_create(surface)),
        canvas(MakeCairoCanvas(cr, w, h)) {}
  ~Surface() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  Surface(const Surface &) = delete;

  Colour At(int x, int y) const {
    cairo_surface_flush(surface);
    const unsigned char *row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const uint32_t p = reinterpret_cast<const uint32_t *>(row)[x];
    return Rgb(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
  }
  // The pixels of colour, or with equal false those of any other colour.
  Pixels Of(Colour colour, bool equal = true) const {
    Pixels found;
    for (int y = 0; y < canvas.height; ++y)
      for (int x = 0; x < canvas.width; ++x)
        if ((At(x, y) == colour) == equal)
          found.insert({x, y});
    return found;
  }
  Pixels Lit() const { return Of(kBlack, false); }
  bool operator==(const Surface &other) const {
    for (int y = 0; y < canvas.height; ++y)
      for (int x = 0; x < canvas.width; ++x)
        if (!(At(x, y) == other.At(x, y)))
          return false;
    return true;
  }
  // Green text on the plate colour, opaque unless told otherwise.
  void Write(const wchar_t *text, Rect rect, uint32_t flags, int height = 13, bool opaque = true) {
    CanvasSetFont(canvas, height);
    CanvasSetTextColour(canvas, kGreen);
    CanvasSetBackColour(canvas, kPlate);
    CanvasSetOpaque(canvas, opaque);
    CanvasText(canvas, text, -1, rect, flags);
  }
};

TEST(CairoCanvas, OnePixelLinesTakeTheNearestPixelOnEachStepAndLeaveOutTheLast) {
  const struct {
    Point from, to;
    Pixels lit;
  } cases[] = {
      {{2, 5}, {7, 5}, {{2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}}},
      {{0, 0}, {9, 3}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}, {6, 2}, {7, 2}, {8, 3}}},
      {{9, 3}, {0, 0}, {{9, 3}, {8, 3}, {7, 2}, {6, 2}, {5, 2}, {4, 1}, {3, 1}, {2, 1}, {1, 0}}},
      {{1, 1}, {3, 7}, {{1, 1}, {1, 2}, {2, 3}, {2, 4}, {2, 5}, {3, 6}}},
      // This slope passes within 0.04 pixel of the middle between two rows and must still take one of them.
      {{0, 0},
       {13, 6},
       {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}, {7, 3}, {8, 4}, {9, 4}, {10, 5}, {11, 5}, {12, 6}}},
  };
  for (const auto &c : cases) {
    Surface s(16, 10);
    CanvasSetPen(s.canvas, kRed, 1);
    CanvasMoveTo(s.canvas, c.from.x, c.from.y);
    CanvasLineTo(s.canvas, c.to.x, c.to.y);
    EXPECT_EQ(s.Lit(), c.lit) << c.to.x << "," << c.to.y;
    EXPECT_EQ(s.Of(kRed), c.lit);
  }
  // A wide pen is a geometric one, three rows thick with round ends past the end points.
  Surface wide(30, 20);
  CanvasSetPen(wide.canvas, kRed, 3);
  CanvasMoveTo(wide.canvas, 5, 10);
  CanvasLineTo(wide.canvas, 20, 10);
  EXPECT_EQ(Box(wide.Lit()), (Rect{4, 9, 22, 12}));
}

TEST(CairoCanvas, RectanglesAndEllipsesCoverLeftToRightMinusOne) {
  const struct {
    bool pen, brush;
    Rect corners, box;
    size_t red, blue;
  } rectangles[] = {
      {true, true, {2, 2, 10, 8}, {2, 2, 10, 8}, 24, 24},
      {true, false, {10, 8, 2, 2}, {2, 2, 10, 8}, 24, 0}, // corners in either order
      {false, true, {2, 2, 10, 8}, {2, 2, 9, 7}, 0, 35},  // without a pen GDI fills one pixel less each way
  };
  for (const auto &c : rectangles) {
    Surface s(16, 12);
    c.pen ? CanvasSetPen(s.canvas, kRed, 1) : CanvasSetNullPen(s.canvas);
    c.brush ? CanvasSetBrush(s.canvas, kBlue) : CanvasSetHollowBrush(s.canvas);
    CanvasRectangle(s.canvas, c.corners.left, c.corners.top, c.corners.right, c.corners.bottom);
    EXPECT_EQ(Box(s.Lit()), c.box) << c.pen << c.brush;
    EXPECT_EQ(s.Of(kRed).size(), c.red) << c.pen << c.brush;
    EXPECT_EQ(s.Of(kBlue).size(), c.blue) << c.pen << c.brush;
  }
  for (bool brush : {true, false}) {
    Surface s(40, 30);
    CanvasSetPen(s.canvas, kRed, 1);
    brush ? CanvasSetBrush(s.canvas, kBlue) : CanvasSetHollowBrush(s.canvas);
    CanvasEllipse(s.canvas, 10, 10, 31, 21); // 21 × 11 pixels about (20, 15)
    EXPECT_EQ(Box(s.Lit()), (Rect{10, 10, 31, 21}));
    for (const Point p : {Point{10, 15}, Point{30, 15}, Point{20, 10}, Point{20, 20}})
      EXPECT_EQ(s.At(p.x, p.y), kRed) << p.x << "," << p.y;
    EXPECT_EQ(s.At(20, 15), brush ? kBlue : kBlack);
    EXPECT_EQ(s.At(10, 10), kBlack); // the bounds' corners lie outside
  }
}

TEST(CairoCanvas, PolygonsCloseTheirOutlineAndFillOnlyWithABrush) {
  const Point diamond[] = {{15, 2}, {2, 15}, {15, 28}, {28, 15}};
  const std::pair<bool, bool> pen_and_brush[] = {{true, true}, {true, false}, {false, true}};
  for (const auto &[pen, brush] : pen_and_brush) {
    Surface s(32, 32);
    pen ? CanvasSetPen(s.canvas, kRed, 1) : CanvasSetNullPen(s.canvas);
    brush ? CanvasSetBrush(s.canvas, kBlue) : CanvasSetHollowBrush(s.canvas);
    CanvasPolygon(s.canvas, diamond, 4);
    for (const Point &p : diamond) // (28, 15) only by the closing edge, which leaves out (15, 2)
      EXPECT_EQ(s.At(p.x, p.y) == kRed, pen) << p.x << "," << p.y;
    EXPECT_EQ(s.At(15, 15), brush ? kBlue : kBlack);
    EXPECT_EQ(s.At(4, 4), kBlack);
    EXPECT_EQ(s.Of(kRed).size() + s.Of(kBlue).size(), s.Lit().size());
    EXPECT_EQ(s.Of(kRed).empty(), !pen);
  }
}

TEST(CairoCanvas, AngleArcTurnsCounterclockwiseAfterItsLeadInLine) {
  Surface s(40, 40);
  CanvasSetPen(s.canvas, kRed, 1);
  CanvasMoveTo(s.canvas, 30, 35);
  CanvasAngleArc(s.canvas, 20, 20, 10, 0, 90); // from the right-hand point up to the top one
  EXPECT_EQ(s.canvas.state.current, (Point{20, 10}));
  EXPECT_EQ(s.At(30, 30), kRed);        // on the lead-in line to (30, 20)
  EXPECT_GT(s.Lit().size(), 15u + 12u); // and the arc beyond it
  for (const auto &[x, y] : s.Lit())    // off the lead-in line, only the upper right quarter of the circle on screen
    EXPECT_TRUE((x == 30 && y >= 20) || (x >= 19 && y <= 21 && std::abs(std::hypot(x - 20, y - 20) - 10) <= 1))
        << x << "," << y;
}

TEST(CairoCanvas, InvertTurnsEveryChannelOverInsideTheRectangleOnly) {
  Surface s(10, 10);
  cairo_set_source_rgb(s.cr, 10 / 255.0, 20 / 255.0, 30 / 255.0);
  cairo_rectangle(s.cr, 0, 0, 5, 10);
  cairo_fill(s.cr);
  CanvasInvert(s.canvas, {3, 2, 8, 6});
  EXPECT_EQ(s.At(3, 2), Rgb(245, 235, 225));
  EXPECT_EQ(Box(s.Of(Rgb(255, 255, 255))), (Rect{5, 2, 8, 6}));
  EXPECT_EQ(s.At(3, 6), Rgb(10, 20, 30));
  CanvasInvert(s.canvas, {3, 2, 8, 6});
  EXPECT_EQ(s.At(3, 2), Rgb(10, 20, 30));
  EXPECT_TRUE(s.Of(Rgb(255, 255, 255)).empty());
}

TEST(CairoCanvas, StretchTakesTheNearestSourcePixelAndSkipsTheAreaOffTheBitmap) {
  // Pixel (x, y) of the bitmap has red 10x + 1 and green 10y + 1, so no pixel of it is black.
  std::vector<unsigned char> rgb;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      rgb.insert(rgb.end(), {static_cast<unsigned char>(10 * x + 1), static_cast<unsigned char>(10 * y + 1), 0});
  Bitmap *bitmap = CreateBitmapFromRgb(rgb.data(), 8, 8);
  ASSERT_NE(bitmap, nullptr);
  const struct {
    Rect source, destination;
    std::vector<int> columns, rows; // the source pixel of each destination column and row; -1 off the bitmap
  } cases[] = {
      {{1, 2, 5, 4}, {10, 10, 18, 14}, {1, 1, 2, 2, 3, 3, 4, 4}, {2, 2, 3, 3}}, // twice the size
      {{2, 1, 8, 4}, {1, 1, 5, 3}, {2, 4, 5, 7}, {1, 3}},                       // at 0.75, 2.25, 3.75, 5.25 along
      {{-2, 0, 2, 4}, {0, 0, 4, 4}, {-1, -1, 0, 1}, {0, 1, 2, 3}},
  };
  for (const auto &c : cases) {
    Surface s(20, 20);
    CanvasStretchBitmap(s.canvas, bitmap, c.source, c.destination);
    size_t shown = 0;
    for (int j = 0; j < static_cast<int>(c.rows.size()); ++j)
      for (int i = 0; i < static_cast<int>(c.columns.size()); ++i) {
        const int x = c.columns[i], y = c.rows[j];
        shown += x >= 0;
        EXPECT_EQ(s.At(c.destination.left + i, c.destination.top + j), x < 0 ? kBlack : Rgb(10 * x + 1, 10 * y + 1, 0))
            << c.source.left << ": " << i << "," << j;
      }
    EXPECT_EQ(s.Lit().size(), shown);
  }
  FreeBitmap(bitmap);
}

TEST(CairoCanvasText, OpaqueTextFillsItsCellsOnlyInTheTextColourAndIsClipped) {
  Surface s;
  s.Write(L"MODE", {20, 10, 180, 60}, kTextLeft);
  const int width = CanvasTextWidth(s.canvas, L"MODE", -1);
  EXPECT_GT(width, 4 * 5);
  EXPECT_EQ(CanvasTextWidth(s.canvas, L"MODEMODE", -1), 2 * width); // whole-pixel advances
  EXPECT_EQ(Box(s.Of(kPlate)), (Rect{20, 10, 20 + width, 23}));     // width × cell height, not the rectangle
  EXPECT_EQ(Box(s.Lit()), Box(s.Of(kPlate)));
  EXPECT_GT(s.Of(kGreen).size(), 20u);

  Surface transparent;
  transparent.Write(L"MODE", {20, 10, 180, 60}, kTextLeft, 13, false);
  EXPECT_TRUE(transparent.Of(kPlate).empty());
  EXPECT_GT(transparent.Of(kGreen).size(), 20u);

  Surface clipped; // and without word breaking it stays on one line
  clipped.Write(L"SQUAD GROUP WWWWWWWW", {30, 20, 70, 60}, kTextLeft);
  EXPECT_EQ(Box(clipped.Lit()), (Rect{30, 20, 70, 33}));

  for (int h : {8, 13, 19, 26, 32}) { // the font height is the cell height, descenders included
    Surface cell;
    cell.Write(L"Wg", {0, 0, 200, 80}, kTextLeft, h, false);
    const Rect ink = Box(cell.Lit());
    EXPECT_TRUE(ink.bottom <= h && ink.bottom - ink.top > h / 2) << h << ": " << ink.top << ".." << ink.bottom;
  }
}

TEST(CairoCanvasText, AlignmentAndLineAndWordBreaksDrawAsTheLinesPlacedByHand) {
  Surface probe;
  const auto width = [&probe](const wchar_t *text) { return CanvasTextWidth(probe.canvas, text, -1); };
  const int zoom = width(L"ZOOM"), x1 = width(L"X1"), mode = width(L"MODE"), narrow = 10 + width(L"SQUAD ") + 2;
  const struct {
    const wchar_t *text;
    uint32_t flags;
    Rect rect;
    std::vector<std::pair<const wchar_t *, Point>> by_hand; // left-aligned lines from these points
  } cases[] = {
      {L"ZOOM", kTextCenter, {11, 5, 150, 40}, {{L"ZOOM", {(161 - zoom) / 2, 5}}}},
      {L"ZOOM\nX1", kTextRight, {11, 5, 150, 40}, {{L"ZOOM", {150 - zoom, 5}}, {L"X1", {150 - x1, 18}}}},
      // A leading line break, not the bottom flag, puts the text on the lower line.
      {L"\nMODE", kTextCenter | kTextBottom | kTextWordBreak, {40, 10, 160, 36}, {{L"MODE", {(200 - mode) / 2, 23}}}},
      {L"SQUAD  GROUP", kTextWordBreak, {10, 10, narrow, 60}, {{L"SQUAD", {10, 10}}, {L"GROUP", {10, 23}}}},
      // A word too wide for the rectangle keeps a line of its own rather than being split.
      {L"AB ABCDEFGHIJ", kTextWordBreak, {10, 10, narrow, 60}, {{L"AB", {10, 10}}, {L"ABCDEFGHIJ", {10, 23}}}},
  };
  for (const auto &c : cases) {
    Surface s, by_hand;
    s.Write(c.text, c.rect, c.flags);
    for (const auto &[line, at] : c.by_hand)
      by_hand.Write(line, {at.x, at.y, c.rect.right, c.rect.bottom}, kTextLeft);
    EXPECT_FALSE(s.Of(kGreen).empty());
    EXPECT_TRUE(s == by_hand) << c.by_hand[0].first << " " << c.flags;
  }
}

} // namespace
