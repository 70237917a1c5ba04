// tagging_overlay.cpp: what the TAGGING page draws over the map (the new-tag selector, the cursor and its position
// readout), and the AGM mark.
#include "tactical/tagging_overlay.h"

#include "base/colours.h"
#include "base/wide_text.h"
#include "map/calibration_grid.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "platform/canvas.h"
#include "tactical/tag_database.h"
#include "tactical/tag_symbols.h"

namespace {

constexpr const wchar_t *kOutOfMapText = L"(OUT OF MAP) ";

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
  DrawCircle(canvas, cx, cy, 25);
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

void DrawCursorReadout(Canvas &canvas, const MapView &view, const CalibrationGrid &grid, bool debug) {
  wchar_t latitude_text[kPositionTextCapacity], longitude_text[kPositionTextCapacity];
  CopyWide(latitude_text, kPositionTextCapacity, kOutOfMapText);
  CopyWide(longitude_text, kPositionTextCapacity, kOutOfMapText);
  double latitude = 0.0, longitude = 0.0;
  if (MapPixelToGeo(&grid, view.centre_x, view.centre_y, view, debug ? &canvas : nullptr, &latitude, &longitude)) {
    FormatPositionText(latitude_text, latitude);
    FormatPositionText(longitude_text, longitude);
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
    DrawCircle(canvas, at.x, at.y, 10);
  }
  if (MapPixelToGeoPerpendicular(&grid, view.centre_x, view.centre_y, view, &canvas, &latitude, &longitude) &&
      GeoToWindow(view, grid, latitude, longitude, &at)) {
    CanvasSetPen(canvas, kGreen, 2);
    DrawCircle(canvas, at.x, at.y, 10);
  }
  if (MapPixelToGeo(&grid, view.centre_x, view.centre_y, view, &canvas, &latitude, &longitude) &&
      GeoToWindow(view, grid, latitude, longitude, &at)) {
    CanvasSetPen(canvas, Rgb(255, 0, 0), 2);
    DrawCircle(canvas, at.x, at.y, 10);
  }
}

} // namespace

void DrawAgmMarker(Canvas &canvas, const MapView &view, const CalibrationGrid &grid, const TagDatabase &tags) {
  Point at;
  if (!MapShown(view) || !AgmMarkShown(tags) || !GeoToWindow(view, grid, tags.agm.latitude, tags.agm.longitude, &at))
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
  if (!MapShown(view))
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
    DrawCursorReadout(canvas, view, grid, debug);
  }
  if (debug)
    DrawComparisonCircles(canvas, view, grid);
}
