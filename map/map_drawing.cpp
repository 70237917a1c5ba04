// map_drawing.cpp: the moving map, its compass rose, the ownship, the AGM marker and the TAGGING overlay.
#include "map/map_drawing.h"

#include <cmath>

#include "app/wide_text.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/view_transform.h"
#include "platform/canvas.h"
#include "tactical/tag_database.h"
#include "tactical/tag_symbols.h"

namespace {

constexpr Colour kGreen = Rgb(0, 255, 0);
constexpr Colour kPlate = Rgb(0, 64, 0);
constexpr Colour kRoseColour = Rgb(0, 32, 0);
constexpr Colour kOwnshipColour = Rgb(255, 255, 0);
constexpr double kDegreesPerRadian = 57.29577951;
constexpr double kHalfPi = 1.570796325;
constexpr const wchar_t *kOutOfMapText = L"(OUT OF MAP) ";

// Truncation toward zero that stays defined for a heading or zoom gone wild (a NaN in a datagram).
int Trunc(double value) {
  if (!(value > -2147483648.0 && value < 2147483648.0))
    return 0;
  return static_cast<int>(value);
}

bool Shown(const MapView &view) { return view.map_shown != 0; }

// A circle alone: the arc would otherwise start with a line from wherever the pen stood.
void Circle(Canvas &canvas, int x, int y, int r) {
  CanvasMoveTo(canvas, x + r, y);
  CanvasAngleArc(canvas, x, y, r, 0.0, 360.0);
}

// The window point of a position, through the grid and the view transform; false off the grid.
bool GeoToWindow(const MapView &view, const CalibrationGrid &grid, double latitude, double longitude, Point *out) {
  int32_t px = 0, py = 0;
  if (!GeoToMapPixel(&grid, latitude, longitude, &px, &py))
    return false;
  *out = BitmapToWindow(MakeViewTransform(view), px, py);
  return true;
}

// "X%0.2f": the magnification, between 3F and 4F in the band 400 pixels wide about the window centre.
void DrawZoomLine(Canvas &canvas, const MapView &view) {
  const int f = view.font_height, half = MapWindowWidth(view) / 2;
  wchar_t text[31];
  FormatWide(text, 31, L"X%0.2f", 1.0 / view.zoom);
  CanvasText(canvas, text, -1, Rect{half - 200, 3 * f, half + 200, 4 * f}, kTextCenter | kTextWordBreak);
}

// "%d°%02.3f": whole degrees and the minutes that remain, as the MONITOR texts are written.
void FormatDegrees(wchar_t *text, double degrees) {
  const double whole = std::trunc(degrees);
  FormatWide(text, kPositionTextCapacity, L"%d\u00b0%02.3f", Trunc(whole), (degrees - whole) * 60.0);
}

// The selector box of the new-tag symbol: the symbol, then its three names to its right.
void DrawTagSelector(Canvas &canvas, int f, const TagDatabase &tags) {
  CanvasSetPen(canvas, kGreen, 1);
  CanvasSetBrush(canvas, kPlate);
  CanvasRectangle(canvas, 2 * f - 2, 3 * f / 2 - 2, 12 * f + 2, 7 * f / 2 + 2);
  DrawTagSymbol(canvas, 3 * f, 5 * f / 2, tags.new_symbol);
  wchar_t names[32];
  FormatWide(names, 32, L"%ls %ls %ls", TagAffiliationName(tags.new_symbol.affiliation),
             TagClassName(tags.new_symbol.symbol_class), TagCategoryName(tags.new_symbol.category));
  // On the symbol's centre line, clear of the symbol (it spans 3F +- F); the symbol leaves the text state alone
  // but not its pen and brush.
  CanvasSetFont(canvas, f);
  CanvasSetOpaque(canvas, false);
  CanvasSetTextColour(canvas, kGreen);
  CanvasText(canvas, names, -1, Rect{5 * f, 2 * f, 12 * f, 3 * f}, kTextLeft);
}

// The cursor: four arms with inverted bars, a cross and a circle, 25 pixels about (cx, cy).
void DrawCursor(Canvas &canvas, int cx, int cy, int f, int width) {
  const int g = f / 9, h = (width / 3) / 2;
  CanvasSetPen(canvas, kGreen, 1);
  CanvasSetHollowBrush(canvas);
  // Each arm: its outline, one pixel larger toward the outside and ending at 24 toward the centre, and the
  // bar inside it inverted, so the arm shows over any map colour.
  CanvasRectangle(canvas, cx - h - 1, cy - g - 1, cx - 24, cy + g + 1);
  CanvasInvert(canvas, Rect{cx - h, cy - g, cx - 25, cy + g});
  CanvasRectangle(canvas, cx + 24, cy - g - 1, cx + h + 1, cy + g + 1);
  CanvasInvert(canvas, Rect{cx + 25, cy - g, cx + h, cy + g});
  CanvasRectangle(canvas, cx - g - 1, cy - h - 1, cx + g + 1, cy - 24);
  CanvasInvert(canvas, Rect{cx - g, cy - h, cx + g, cy - 25});
  CanvasRectangle(canvas, cx - g - 1, cy + 24, cx + g + 1, cy + h + 1);
  CanvasInvert(canvas, Rect{cx - g, cy + 25, cx + g, cy + h});
  CanvasMoveTo(canvas, cx, cy - 25);
  CanvasLineTo(canvas, cx, cy + 25);
  CanvasMoveTo(canvas, cx - 25, cy);
  CanvasLineTo(canvas, cx + 25, cy);
  Circle(canvas, cx, cy, 25);
}

// Where the view centre's position is drawn: the centre taken to degrees and back. The window centre when
// the centre is off the grid, where the map under the cursor has no position anyway.
Point CursorPoint(Canvas &canvas, const MapView &view, const CalibrationGrid &grid, bool debug) {
  double latitude = 0.0, longitude = 0.0;
  Point at{MapWindowWidth(view) / 2, MapWindowHeight(view) / 2};
  if (MapPixelToGeo(&grid, view.centre_x, view.centre_y, view, debug ? &canvas : nullptr, &latitude, &longitude))
    GeoToWindow(view, grid, latitude, longitude, &at);
  return at;
}

void DrawReadout(Canvas &canvas, const MapView &view, const CalibrationGrid &grid, bool debug) {
  wchar_t latitude_text[kPositionTextCapacity], longitude_text[kPositionTextCapacity];
  CopyWide(latitude_text, kPositionTextCapacity, kOutOfMapText);
  CopyWide(longitude_text, kPositionTextCapacity, kOutOfMapText);
  double latitude = 0.0, longitude = 0.0;
  if (MapPixelToGeo(&grid, view.centre_x, view.centre_y, view, debug ? &canvas : nullptr, &latitude, &longitude)) {
    FormatDegrees(latitude_text, latitude);
    FormatDegrees(longitude_text, longitude);
  }
  wchar_t line[512];
  FormatWide(line, 512, L"%lsN / %lsE", latitude_text, longitude_text);
  const int f = view.font_height, half = MapWindowWidth(view) / 2;
  CanvasSetTextColour(canvas, kGreen);
  CanvasSetBackColour(canvas, kPlate);
  CanvasSetOpaque(canvas, true);
  CanvasText(canvas, line, -1, Rect{half - 200, 4 * f, half + 200, 5 * f}, kTextCenter);
  CanvasSetOpaque(canvas, false);
}

// The three inverse projections of the view centre, each taken back to the window: where they disagree the
// circles part.
void DrawComparisonCircles(Canvas &canvas, const MapView &view, const CalibrationGrid &grid) {
  double latitude = 0.0, longitude = 0.0;
  Point at;
  if (MapPixelToGeoByAxis(&grid, view.centre_x, view.centre_y, &latitude, &longitude) &&
      GeoToWindow(view, grid, latitude, longitude, &at)) {
    CanvasSetPen(canvas, Rgb(0, 0, 255), 2);
    Circle(canvas, at.x, at.y, 10);
  }
  if (MapPixelToGeoPerpendicular(&grid, view.centre_x, view.centre_y, view, &canvas, &latitude, &longitude) &&
      GeoToWindow(view, grid, latitude, longitude, &at)) {
    CanvasSetPen(canvas, kGreen, 2);
    Circle(canvas, at.x, at.y, 10);
  }
  if (MapPixelToGeo(&grid, view.centre_x, view.centre_y, view, &canvas, &latitude, &longitude) &&
      GeoToWindow(view, grid, latitude, longitude, &at)) {
    CanvasSetPen(canvas, Rgb(255, 0, 0), 2);
    Circle(canvas, at.x, at.y, 10);
  }
}

} // namespace

void ApplyZoom(MapView &view) {
  view.source.height = Trunc(view.base.height * view.zoom);
  view.source.width = Trunc(view.base.width * view.zoom);
}

void DrawMapBitmap(Canvas &canvas, const MapView &view) {
  if (!Shown(view) || view.current_map < 0)
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
  if (!Shown(view))
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
  if (!Shown(view) || !GeoToWindow(view, grid, view.latitude, view.longitude, &centre))
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

void DrawAgmMarker(Canvas &canvas, const MapView &view, const CalibrationGrid &grid, const TagDatabase &tags) {
  Point at;
  if (!Shown(view) || !AgmMarkShown(tags) || !GeoToWindow(view, grid, tags.agm.latitude, tags.agm.longitude, &at))
    return;
  const int x = at.x, y = at.y;
  CanvasSetPen(canvas, kGreen, 1);
  CanvasSetHollowBrush(canvas);
  CanvasMoveTo(canvas, x, y);
  CanvasLineTo(canvas, x + 1, y);
  CanvasLineTo(canvas, x + 1, y + 1);
  CanvasLineTo(canvas, x, y + 1);
  CanvasLineTo(canvas, x, y);
  CanvasRectangle(canvas, x - 8, y - 8, x + 9, y + 9);
  CanvasRectangle(canvas, x - 9, y - 9, x + 10, y + 10);
  CanvasRectangle(canvas, x - 11, y - 11, x + 12, y + 12);
  CanvasSetFont(canvas, view.font_height);
  CanvasSetTextColour(canvas, kGreen);
  CanvasSetOpaque(canvas, false);
  CanvasText(canvas, tags.agm.name, -1, Rect{x - 100, y + 12, x + 100, y + 28}, kTextCenter);
}

void DrawTaggingOverlay(Canvas &canvas, const MapView &view, const CalibrationGrid &grid, const TagDatabase &tags,
                        uint32_t options, bool debug) {
  if (!Shown(view))
    return;
  const int f = tags.large_font_height;
  const auto text_state = [&] {
    CanvasSetFont(canvas, f);
    CanvasSetOpaque(canvas, false);
    CanvasSetTextColour(canvas, kGreen);
  };
  text_state();
  if (options & kTaggingSelector) {
    DrawTagSelector(canvas, f, tags);
    text_state(); // the symbol left its own pen and brush behind
  }
  if (options & kTaggingZoomLine)
    DrawZoomLine(canvas, view);
  if (options & kTaggingCursor) {
    const Point at = CursorPoint(canvas, view, grid, debug);
    DrawCursor(canvas, at.x, at.y, f, MapWindowWidth(view));
  }
  if (options & kTaggingReadout) {
    text_state();
    DrawReadout(canvas, view, grid, debug);
  }
  if (debug)
    DrawComparisonCircles(canvas, view, grid);
}
