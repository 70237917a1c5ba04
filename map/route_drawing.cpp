// route_drawing.cpp: the route polyline, waypoint symbols and steering cue, and the bullseye range rings.
#include "map/route_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/colours.h"
#include "base/truncate.h"
#include "base/wide_text.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/routes.h"
#include "map/view_transform.h"
#include "map/window_cells.h"
#include "mfd/page_state.h"
#include "platform/canvas.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951;

// "Route Colors" keeps the 0x00BBGGRR layout.
Colour RouteColour(uint32_t value) { return Rgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

// The polyline from point 1 on, through the last point of each number, skipping the segments into a hidden
// departure or arrival neighbour and stopping at the first number missing. The points those neighbours name are
// hidden (for good: the flag is never set back).
void DrawRouteLine(Canvas &canvas, const ViewTransform &t, RouteDatabase &routes) {
  for (int i = 0; i < kRouteHideCount; ++i)
    if (routes.hide_asked[i] && routes.first_with_index[i] != nullptr)
      routes.first_with_index[i]->visible = 0;
  const RoutePoint *const *last = routes.last_with_index;
  if (last[1] == nullptr)
    return;
  const Point first = BitmapToWindow(t, last[1]->x, last[1]->y);
  CanvasMoveTo(canvas, first.x, first.y);
  for (int k = 2; k <= routes.count && k < kRouteTableSize; ++k) {
    if (last[k] == nullptr)
      break;
    if (routes.no_line_into[k])
      continue;
    const Point at = BitmapToWindow(t, last[k]->x, last[k]->y);
    CanvasLineTo(canvas, at.x, at.y);
  }
}

void DrawWaypoint(Canvas &canvas, const RoutePoint &p, Point at, int32_t departure) {
  const int x = at.x, y = at.y;
  switch (p.type) {
  case 1:
    CanvasEllipse(canvas, x - 16, y - 16, x + 16, y + 16);
    break;
  case 2: {
    const Point up[] = {{x, y - 16}, {x - 16, y + 16}, {x + 16, y + 16}};
    CanvasPolygon(canvas, up, 3);
    break;
  }
  case kRouteTypeDeparture: {
    const Point rising[] = {{x - 16, y + 16}, {x + 16, y + 16}, {x + 16, y - 16}};
    CanvasPolygon(canvas, rising, 3);
    break;
  }
  case kRouteTypeArrival: {
    const Point falling[] = {{x - 16, y + 16}, {x + 16, y + 16}, {x - 16, y - 16}};
    CanvasPolygon(canvas, falling, 3);
    break;
  }
  default:
    CanvasRectangle(canvas, x - 16, y - 16, x + 16, y + 16);
    break;
  }
  if (p.type != 1 && p.type != 2)
    return;
  // Once a departure point leads the plan, the pilot counts the waypoints after it from 1.
  wchar_t number[16];
  FormatWide(number, 16, L"%d", departure ? p.index - 1 : p.index);
  CanvasText(canvas, number, -1, Rect{x - 15, y - 10, x + 15, y + 20}, kTextCenter);
}

void DrawSteeringCue(Canvas &canvas, const MapView &view, const ViewTransform &t, const RouteDatabase &routes) {
  const int cx = MapWindowWidth(view) / 2, cy = MapWindowHeight(view) / 2;
  const Point at = BitmapToWindow(t, routes.route_to_x, routes.route_to_y);
  CanvasSetPen(canvas, RouteColour(routes.colour2), 4);
  // The line and the readout run from the ownship: until a position has come, there is none to run from.
  const bool from_ownship = view.position_known != 0;
  if (from_ownship) {
    CanvasMoveTo(canvas, at.x, at.y);
    CanvasLineTo(canvas, cx, cy);
  }
  CanvasMoveTo(canvas, at.x + 8, at.y);
  CanvasAngleArc(canvas, at.x, at.y, 8, 0.0, 360.0);
  if (!from_ownship)
    return;
  double bearing = 0.0, distance = 0.0;
  BearingAndDistance(view, routes.route_to_latitude, routes.route_to_longitude, &bearing, &distance);
  wchar_t text[32];
  FormatWide(text, 32, view.unit_km ? L"%0.1f\u00b0/%0.0fkm" : L"%0.1f\u00b0/%0.1fnm", bearing, distance);
  CanvasSetFont(canvas, routes.large_font_height);
  CanvasSetOpaque(canvas, true);
  CanvasSetBackColour(canvas, RouteColour(routes.colour3));
  CanvasText(canvas, text, -1, Rect{cx - 200, cy + 40, cx + 200, cy + 60}, kTextCenter);
  CanvasSetOpaque(canvas, false);
}

// The bitmap pixel d kilometres from the bullseye along both axes, in the first quadrant that lies on the
// grid (south-east, south-west, north-west, north-east).
bool RingCorner(const RouteDatabase &routes, const CalibrationGrid &grid, double km, int32_t *x, int32_t *y) {
  const double lat = routes.bullseye_latitude, lon = routes.bullseye_longitude;
  const double d_lat = km / 112.0, d_long = km / (83.0 - 1.25 * (lat - 41.5));
  const double corners[4][2] = {{lat - d_lat, lon + d_long},
                                {lat - d_lat, lon - d_long},
                                {lat + d_lat, lon - d_long},
                                {lat + d_lat, lon + d_long}};
  for (const auto &corner : corners)
    if (GeoToMapPixel(&grid, corner[0], corner[1], x, y))
      return true;
  return false;
}

// Under a flood only the top waypoint of each window cell is drawn (the last in the list): the others lie hidden in
// the mass. keys: the places near the window in any order, left in drawing order (rising).
void KeepTopPointOfEachCell(const Canvas &canvas, const ViewTransform &t, const RouteDatabase &routes,
                            std::vector<uint64_t> &keys) {
  constexpr int kMargin = 32; // a symbol and its number reach 24 pixels from their point
  constexpr int kSide = 16;   // half a symbol
  static WindowCells cells;
  if (!cells.Begin(canvas.width, canvas.height, kMargin, kSide)) {
    std::sort(keys.begin(), keys.end());
    return;
  }
  std::vector<uint64_t> kept;
  for (const uint64_t index : keys) {
    const RoutePlace &place = routes.places[index];
    if (place.point->visible != 1)
      continue; // drawn by no one: it must not hide a point that is
    if (!cells.File(BitmapToWindow(t, place.x, place.y), index))
      kept.push_back(index); // too far out to share a cell: it does not reach the window
  }
  cells.Settle(keys, kept);
}

} // namespace

void DrawRoutes(Canvas &canvas, const MapView &view, RouteDatabase &routes, const PageState &page) {
  if (view.map_shown == 0)
    return;
  const ViewTransform t = MakeViewTransform(view);
  const Colour colour1 = RouteColour(routes.colour1);
  CanvasSetFont(canvas, routes.medium_font_height);
  CanvasSetOpaque(canvas, false);
  CanvasSetPen(canvas, colour1, 2);
  CanvasSetTextColour(canvas, colour1);
  if (page.route_display) {
    DrawRouteLine(canvas, t, routes);
    CanvasSetBrush(canvas, RouteColour(routes.colour3));
  } else {
    CanvasSetHollowBrush(canvas);
  }
  // A symbol reaches 16 pixels about its point, one more with the pen, and its number runs to 20 below it.
  const WindowReach reach{-20, -20, 21, 24};
  const BitmapBounds near = NearCanvas(t, canvas, reach);
  std::vector<uint64_t> near_points;
  FindItems(routes.squares, near, near_points, false); // sorted by KeepTopPointOfEachCell
  KeepTopPointOfEachCell(canvas, t, routes, near_points);
  for (const uint64_t index : near_points) {
    const RoutePlace &place = routes.places[index];
    if (place.point->visible != 1)
      continue;
    const Point at = BitmapToWindow(t, place.x, place.y);
    if (Reaches(canvas, at, reach))
      DrawWaypoint(canvas, *place.point, at, routes.departure);
  }
  if (routes.route_to_active == 1 && page.route_display && page.current_page == kPageMonitoring)
    DrawSteeringCue(canvas, view, t, routes);
}

int BullseyeRingStep(double zoom) {
  if (zoom <= 0.34)
    return 1;
  if (zoom <= 0.99)
    return 5;
  if (zoom <= 4.99)
    return 10;
  return 20;
}

void DrawBullseye(Canvas &canvas, const MapView &view, const RouteDatabase &routes, const CalibrationGrid &grid) {
  if (view.map_shown == 0 || routes.bullseye_index == 0)
    return;
  CanvasSetFont(canvas, routes.small_font_height);
  CanvasSetOpaque(canvas, false);
  CanvasSetPen(canvas, kWhite, 1);
  CanvasSetHollowBrush(canvas);
  const ViewTransform t = MakeViewTransform(view);
  const Point centre = BitmapToWindow(t, routes.bullseye_x, routes.bullseye_y);
  const int cx = centre.x, cy = centre.y;
  const int step = BullseyeRingStep(view.zoom);
  for (int n = 1; n <= 10; ++n) {
    const double d = n * step;
    int32_t qx = 0, qy = 0;
    // A ring none of whose corners lies on the map has no size to draw at.
    if (!RingCorner(routes, grid, view.unit_km ? d : d * 1.852, &qx, &qy))
      continue;
    const int rx = std::abs(ClampWindowCoordinate((routes.bullseye_x - qx) / view.zoom));
    const int ry = std::abs(ClampWindowCoordinate((routes.bullseye_y - qy) / view.zoom));
    CanvasEllipse(canvas, cx - rx + 15, cy - ry + 15, cx + rx - 15, cy + ry - 15);
    for (int b = 0; b < 360; b += 15) {
      const double theta = (b - 90) / kDegreesPerRadian;
      const double c = std::cos(theta), s = std::sin(theta);
      const Point from{Trunc(cx + (rx - 20) * c), Trunc(cy + (ry - 20) * s)};
      const Point to{Trunc(cx + (rx - 10) * c), Trunc(cy + (ry - 10) * s)};
      // A tick of the one-pixel pen stays within its ends' box.
      if (Reaches(canvas, Point{std::min(from.x, to.x), std::min(from.y, to.y)},
                  WindowReach{0, 0, std::abs(to.x - from.x) + 1, std::abs(to.y - from.y) + 1})) {
        CanvasMoveTo(canvas, from.x, from.y);
        CanvasLineTo(canvas, to.x, to.y);
      }
      const int left = Trunc(rx * c) + cx - 32, top = Trunc(ry * s) + cy - 8;
      const Rect box{left, top, left + 64, top + 32};
      if (!Reaches(canvas, Point{left, top}, WindowReach{0, 0, 64, 32}))
        continue; // the texts are clipped to the box
      wchar_t text[31];
      if (b % 90 == 0) {
        // The ring's distance on the line under its bearing.
        FormatWide(text, 31, L"\n%0.0f", d);
        CanvasSetTextColour(canvas, kYellow);
        CanvasText(canvas, text, -1, box, kTextCenter);
      }
      FormatWide(text, 31, L"%d", b);
      CanvasSetTextColour(canvas, kWhite);
      CanvasText(canvas, text, -1, box, kTextCenter);
    }
  }
}
