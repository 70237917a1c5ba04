// map_drawing.cpp: the moving map, its compass rose, the information lines, the ownship and the calibration grid
// overlay.
#include "map/map_drawing.h"

#include <cmath>

#include "base/colours.h"
#include "base/truncate.h"
#include "base/wide_text.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/view_transform.h"
#include "platform/canvas.h"

namespace {

constexpr Colour kRoseColour = Rgb(0, 32, 0);
constexpr Colour kOwnshipColour = kYellow;
constexpr double kDegreesPerRadian = 57.29577951;
constexpr double kHalfPi = 1.570796325;

} // namespace

bool MapShown(const MapView &view) { return view.map_shown != 0; }

void DrawCircle(Canvas &canvas, int x, int y, int r) {
  CanvasMoveTo(canvas, x + r, y);
  CanvasAngleArc(canvas, x, y, r, 0.0, 360.0);
}

bool GeoToWindow(const MapView &view, const CalibrationGrid &grid, double latitude, double longitude, Point *out) {
  int32_t px = 0, py = 0;
  if (!GeoToMapPixel(&grid, latitude, longitude, &px, &py))
    return false;
  *out = BitmapToWindow(MakeViewTransform(view), px, py);
  return true;
}

void DrawZoomLine(Canvas &canvas, const MapView &view) {
  const int f = view.font_height, half = MapWindowWidth(view) / 2;
  wchar_t text[31];
  FormatWide(text, 31, L"X%0.2f", 1.0 / view.zoom);
  CanvasText(canvas, text, -1, Rect{half - 200, 3 * f, half + 200, 4 * f}, kTextCenter | kTextWordBreak);
}

void ApplyZoom(MapView &view) {
  view.source.height = Trunc(view.base.height * view.zoom);
  view.source.width = Trunc(view.base.width * view.zoom);
}

void DrawMapBitmap(Canvas &canvas, const MapView &view) {
  if (!MapShown(view) || view.current_map < 0)
    return;
  const int w = MapWindowWidth(view), h = MapWindowHeight(view);
  const ViewTransform t = MakeViewTransform(view);
  CanvasStretchBitmap(canvas, view.bitmap, Rect{t.left, t.top, t.left + view.source.width, t.top + view.source.height},
                      Rect{0, 0, w, h});

  // The rose is fixed north-up about the window centre; its radii follow the window width.
  const int cx = w / 2, cy = h / 2;
  const int r1 = w / 2 - 65, r2 = w / 2 - 50, r3 = w / 2 - 40;
  CanvasSetOpaque(canvas, false);
  CanvasSetTextColour(canvas, kRoseColour);
  CanvasSetPen(canvas, kRoseColour, 2);
  CanvasSetFont(canvas, view.small_font_height);
  for (int a = 0; a < 360; a += 10) {
    const double theta = (a - 90) / kDegreesPerRadian;
    const double c = std::cos(theta), s = std::sin(theta);
    CanvasMoveTo(canvas, Trunc(cx + r1 * c), Trunc(cy + r1 * s));
    CanvasLineTo(canvas, Trunc(cx + r2 * c), Trunc(cy + r2 * s));
    wchar_t label[31];
    FormatWide(label, 31, L"%d", a == 0 ? 360 : a);
    const int left = Trunc(r3 * c) + cx - 16, top = Trunc(r3 * s) + cy - 8;
    CanvasText(canvas, label, -1, Rect{left, top, left + 32, top + 16}, kTextCenter);
  }
}

void DrawMapInfo(Canvas &canvas, const MapView &view, uint32_t options) {
  if (!MapShown(view))
    return;
  const int f = view.font_height, half = MapWindowWidth(view) / 2;
  CanvasSetFont(canvas, f);
  CanvasSetOpaque(canvas, false);
  CanvasSetTextColour(canvas, kGreen);
  if (options & kMonitoringPositionLine) {
    wchar_t line[63];
    FormatWide(line, 63, L"%lsN / %lsE", view.latitude_text, view.longitude_text);
    CanvasText(canvas, line, -1, Rect{half - 200, 4 * f, half + 200, 5 * f}, kTextCenter | kTextWordBreak);
  }
  if (options & kMonitoringZoomLine)
    DrawZoomLine(canvas, view);
}

void DrawOwnship(Canvas &canvas, const MapView &view, const CalibrationGrid &grid) {
  Point centre;
  if (!MapShown(view) || !GeoToWindow(view, grid, view.latitude, view.longitude, &centre))
    return;
  // A vertex at distance r and angle phi off the heading, the heading clockwise from north.
  const auto vertex = [&](double r, double phi) {
    const double angle = view.heading + kHalfPi + phi;
    return Point{centre.x - Trunc(r * std::cos(angle)), centre.y - Trunc(r * std::sin(angle))};
  };
  const double rear = std::sqrt(208.0);       // 12 behind, 8 aside
  const double aside = std::acos(-12 / rear); // the rear points' angle off the nose
  const Point nose = vertex(24.0, 0.0), left = vertex(rear, -aside), right = vertex(rear, aside);
  CanvasSetPen(canvas, kOwnshipColour, 3);
  CanvasMoveTo(canvas, nose.x, nose.y);
  CanvasLineTo(canvas, left.x, left.y);
  CanvasLineTo(canvas, centre.x, centre.y);
  CanvasLineTo(canvas, right.x, right.y);
  CanvasLineTo(canvas, nose.x, nose.y);
}

void DrawCalibrationGrid(Canvas &canvas, const MapView &view, const CalibrationGrid &grid) {
  constexpr int kRadius = 3;
  CanvasSetPen(canvas, Rgb(255, 0, 0), 4);
  const ViewTransform t = MakeViewTransform(view);
  const WindowReach reach{-kRadius - 3, -kRadius - 3, kRadius + 4, kRadius + 4}; // the circle and its wide pen
  const BitmapBounds near = NearCanvas(t, canvas, reach);
  for (const GridNode *node = grid.head.next; node != nullptr; node = node->next) {
    if (!near.Holds(node->x, node->y))
      continue;
    const Point at = BitmapToWindow(t, node->x, node->y);
    if (!Reaches(canvas, at, reach))
      continue;
    DrawCircle(canvas, at.x, at.y, kRadius);
  }
}
