// projection.cpp: interpolation inside half-degree cells of the calibration grid, both ways, and the
// flat-earth bearing and distance from the ownship.
#include "map/projection.h"

#include <cmath>
#include <cstdint>

#include "base/wide_text.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/view_transform.h"
#include "platform/canvas.h"

namespace {

constexpr double kKmPerDegreeLatitude = 112.0;
constexpr double kKmPerNauticalMile = 1.852;
constexpr double kBearingPi = 3.14159265; // the bearings shown have always used this value

struct IntPoint {
  int64_t x = 0, y = 0;
};

// Whole pixels of a coordinate that fits a pixel number; grids hold 32-bit pixels, anything else is a
// broken grid and must not reach an undefined conversion.
bool TruncPixel(double value, int64_t *out) {
  if (!(std::fabs(value) < 2147483648.0))
    return false;
  *out = static_cast<int64_t>(value);
  return true;
}

bool TruncPoint(double x, double y, IntPoint *out) { return TruncPixel(x, &out->x) && TruncPixel(y, &out->y); }

// The intersection of the line through a and b with the line through c and d, truncated toward zero.
// The points are whole pixels, so the intersection is an exact fraction: computing it in integers
// (128 bits hold every product of 32-bit differences) gives the truncation of the true point, with no
// division by a zero slope on axis-aligned cells. False for a zero-length segment, parallel lines, or
// a point beyond the pixel range.
bool IntersectLines(IntPoint a, IntPoint b, IntPoint c, IntPoint d, int32_t *x, int32_t *y) {
  using Wide = __int128;
  const Wide d1x = b.x - a.x, d1y = b.y - a.y;
  const Wide d2x = d.x - c.x, d2y = d.y - c.y;
  if ((d1x == 0 && d1y == 0) || (d2x == 0 && d2y == 0))
    return false;
  const Wide denominator = d1x * d2y - d1y * d2x;
  if (denominator == 0)
    return false;
  const Wide numerator = Wide{c.x - a.x} * d2y - Wide{c.y - a.y} * d2x;
  const Wide px = (Wide{a.x} * denominator + numerator * d1x) / denominator;
  const Wide py = (Wide{a.y} * denominator + numerator * d1y) / denominator;
  if (px < INT32_MIN || px > INT32_MAX || py < INT32_MIN || py > INT32_MAX)
    return false;
  *x = static_cast<int32_t>(px);
  *y = static_cast<int32_t>(py);
  return true;
}

double Cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

// The cell that holds a pixel: H its south-west corner, with the east (south-east), north (north-west)
// and north-east corners.
struct CellSearch {
  const GridNode *h = nullptr;
  const GridNode *east = nullptr;
  const GridNode *north = nullptr;
  const GridNode *north_east = nullptr;
};

// Whether the node is the only one with its codes; a node given twice makes every cell around it
// unusable, as FindGridCell has it.
bool SoleGridNode(const CalibrationGrid *grid, const GridNode *node) {
  int32_t count = 0;
  FindGridNode(grid, node->latitude_code, node->longitude_code, &count);
  return count == 1;
}

bool OnSegment(double px, double py, double ax, double ay, double bx, double by) {
  return Cross(bx - ax, by - ay, px - ax, py - ay) == 0.0 && std::fmin(ax, bx) <= px && px <= std::fmax(ax, bx) &&
         std::fmin(ay, by) <= py && py <= std::fmax(ay, by);
}

// Whether P lies in the polygon of the corners, taken in order round it, outline included: a pixel on a
// cell's edge or corner belongs to it. Winding number, so that a grid cell drawn clockwise or not, or
// bent out of convexity, still holds exactly the points it covers.
bool InsidePolygon(const GridNode *const (&corners)[4], double px, double py) {
  int winding = 0;
  for (int i = 0; i < 4; ++i) {
    const GridNode &a = *corners[i], &b = *corners[(i + 1) % 4];
    if (OnSegment(px, py, a.x, a.y, b.x, b.y))
      return true;
    const double side = Cross(b.x - a.x, b.y - a.y, px - a.x, py - a.y);
    if (a.y <= py) {
      if (b.y > py && side > 0.0)
        ++winding;
    } else if (b.y <= py && side < 0.0) {
      --winding;
    }
  }
  return winding != 0;
}

// The cell that holds the pixel. The graticule is curved and the cells lean, so a node whose x span
// (to its east neighbour) holds the pixel's x and a node whose y span (to its north neighbour) holds its y
// can belong to different cells, and pairing them lands in the wrong column or row; only the
// quadrilateral of one cell's four corners decides. Cells are tried in file order of their south-west
// corner, the first holding the pixel wins (so a pixel on an edge shared by two cells takes the earlier
// one); a cell is usable when each corner occurs exactly once and its south and west edges span an area
// (a cell flattened onto a line has no position to give, a neighbour may). The corner lookups go through
// the grid's index, which gives the first node in file order just as a walk would.
bool SearchCell(const CalibrationGrid *grid, int32_t x, int32_t y, CellSearch *out) {
  const double px = x, py = y;
  for (const GridNode *c = grid->head.next; c != nullptr; c = c->next) {
    const int32_t a = c->latitude_code, b = c->longitude_code;
    CellSearch s;
    if ((s.east = FindGridNode(grid, a, b + 5)) == nullptr || (s.north = FindGridNode(grid, a + 5, b)) == nullptr ||
        (s.north_east = FindGridNode(grid, a + 5, b + 5)) == nullptr)
      continue;
    const GridNode *const corners[4] = {c, s.east, s.north_east, s.north};
    if (!InsidePolygon(corners, px, py))
      continue;
    // Duplicates are counted only for a cell that holds the pixel: counting means a full walk of a list
    // that has no index.
    if (!SoleGridNode(grid, c) || !SoleGridNode(grid, s.east) || !SoleGridNode(grid, s.north) ||
        !SoleGridNode(grid, s.north_east))
      continue;
    if (Cross(s.east->x - c->x, s.east->y - c->y, s.north->x - c->x, s.north->y - c->y) == 0.0)
      continue;
    s.h = c;
    *out = s;
    return true;
  }
  return false;
}

// How far along the edges of the cell the pixel lies, as fractions of the edge lengths, with the feet Q1
// on the south edge and Q2 on the west edge.
struct EdgeFractions {
  double along_south = 0.0, along_west = 0.0;
  double q1x = 0.0, q1y = 0.0, q2x = 0.0, q2y = 0.0;
};

enum class Feet { Oblique, Perpendicular };

// Q1 on the south edge H + s u (u = H->east) and Q2 on the west edge H + w v (v = H->north): reached
// from P parallel to the other edge (oblique) or square to the edge (perpendicular).
bool FindFeet(const CellSearch &cell, double px, double py, Feet feet, EdgeFractions *out) {
  const double hx = cell.h->x, hy = cell.h->y;
  const double ux = cell.east->x - hx, uy = cell.east->y - hy;
  const double vx = cell.north->x - hx, vy = cell.north->y - hy;
  const double dx = px - hx, dy = py - hy;
  const double uu = ux * ux + uy * uy, vv = vx * vx + vy * vy;
  if (uu == 0.0 || vv == 0.0)
    return false;
  double s = 0.0, w = 0.0;
  if (feet == Feet::Oblique) {
    const double uv = Cross(ux, uy, vx, vy);
    if (uv == 0.0)
      return false; // the edges are parallel: the cell has no area
    s = Cross(dx, dy, vx, vy) / uv;
    w = Cross(dx, dy, ux, uy) / -uv;
  } else {
    s = (dx * ux + dy * uy) / uu;
    w = (dx * vx + dy * vy) / vv;
  }
  // |H Q| / |H corner| is the parameter's size: distances, so never negative.
  out->along_south = std::fabs(s);
  out->along_west = std::fabs(w);
  out->q1x = hx + s * ux;
  out->q1y = hy + s * uy;
  out->q2x = hx + w * vx;
  out->q2y = hy + w * vy;
  return true;
}

void DrawBitmapLine(Canvas &canvas, const MapView &view, double ax, double ay, double bx, double by) {
  const ViewTransform t = MakeViewTransform(view);
  const Point from = BitmapToWindow(t, ax, ay), to = BitmapToWindow(t, bx, by);
  CanvasMoveTo(canvas, from.x, from.y);
  CanvasLineTo(canvas, to.x, to.y);
}

// The line through a and b, drawn beyond both ends by margin bitmap pixels along it.
void DrawExtendedLine(Canvas &canvas, const MapView &view, double ax, double ay, double bx, double by, double margin) {
  const double length = std::hypot(bx - ax, by - ay);
  const double ex = (bx - ax) / length * margin, ey = (by - ay) / length * margin;
  DrawBitmapLine(canvas, view, ax - ex, ay - ey, bx + ex, by + ey);
}

void DrawLabel(Canvas &canvas, const MapView &view, int row, const wchar_t *text) {
  const int f = view.font_height, w = MapWindowWidth(view);
  CanvasText(canvas, text, -1, Rect{w / 2 - 200, (5 + row) * f, w / 2 + 200, (6 + row) * f}, kTextCenter);
}

// The construction behind one inverse conversion, over the map: the cell's codes at H, its south and
// west edge lines, the construction lines from P and the two fractions.
void DrawInverseDebug(Canvas &canvas, const MapView &view, const CellSearch &cell, double px, double py,
                      const EdgeFractions &f, Feet feet, double latitude, double longitude) {
  const GridNode &h = *cell.h, &east = *cell.east, &north = *cell.north;
  CanvasSetFont(canvas, view.font_height);
  CanvasSetOpaque(canvas, false);
  wchar_t text[64];
  const Point at = BitmapToWindow(MakeViewTransform(view), h.x, h.y);
  CanvasSetTextColour(canvas, Rgb(255, 0, 0));
  FormatWide(text, 64, L"%d/%d", h.latitude_code, h.longitude_code);
  CanvasText(canvas, text, -1, Rect{at.x + 4, at.y + 4, at.x + 104, at.y + 4 + view.font_height}, kTextLeft);

  CanvasSetPen(canvas, Rgb(255, 255, 0), 2);
  DrawExtendedLine(canvas, view, h.x, h.y, east.x, east.y, 200.0);
  DrawExtendedLine(canvas, view, h.x, h.y, north.x, north.y, 200.0);
  if (feet == Feet::Oblique) {
    CanvasSetPen(canvas, Rgb(64, 255, 64), 2);
    const double sl = std::hypot(east.x - h.x, east.y - h.y), wl = std::hypot(north.x - h.x, north.y - h.y);
    const double sx = (east.x - h.x) / sl * 500.0, sy = (east.y - h.y) / sl * 500.0;
    const double wx = (north.x - h.x) / wl * 500.0, wy = (north.y - h.y) / wl * 500.0;
    DrawBitmapLine(canvas, view, px - wx, py - wy, px + wx, py + wy); // parallel to the west edge, to Q1
    DrawBitmapLine(canvas, view, px - sx, py - sy, px + sx, py + sy); // parallel to the south edge, to Q2
  } else {
    CanvasSetPen(canvas, Rgb(64, 64, 255), 2);
    DrawBitmapLine(canvas, view, px, py, f.q1x, f.q1y);
    CanvasSetPen(canvas, Rgb(255, 0, 255), 2);
    DrawBitmapLine(canvas, view, px, py, f.q2x, f.q2y);
  }

  const double south = std::hypot(east.x - h.x, east.y - h.y), west = std::hypot(north.x - h.x, north.y - h.y);
  CanvasSetTextColour(canvas, Rgb(0, 255, 0));
  FormatWide(text, 64, L"LONG %f/%f = %f (%f)", f.along_south * south, south, f.along_south, longitude);
  DrawLabel(canvas, view, 0, text);
  FormatWide(text, 64, L"LAT %f/%f = %f (%f)", f.along_west * west, west, f.along_west, latitude);
  DrawLabel(canvas, view, 1, text);
}

bool InverseByEdges(const CalibrationGrid *grid, int32_t x, int32_t y, const MapView &view, Canvas *canvas, Feet feet,
                    double *latitude, double *longitude) {
  CellSearch cell;
  if (!SearchCell(grid, x, y, &cell))
    return false;
  EdgeFractions f;
  if (!FindFeet(cell, x, y, feet, &f))
    return false;
  const double lon = cell.h->longitude_code / 10.0 + 0.5 * f.along_south;
  const double lat = cell.h->latitude_code / 10.0 + 0.5 * f.along_west;
  if (canvas != nullptr)
    DrawInverseDebug(*canvas, view, cell, x, y, f, feet, lat, lon);
  *latitude = lat;
  *longitude = lon;
  return true;
}

} // namespace

bool CellOfCoordinate(double value, int32_t *code, double *fraction) {
  // Codes are tenths of a degree in 32 bits; a datagram may carry anything.
  if (!(std::fabs(value) < 1.0e8))
    return false;
  const auto whole = static_cast<int32_t>(value);
  const double f = value - whole;
  if (f > 0.5) {
    *code = 10 * whole + 5;
    *fraction = 2.0 * (f - 0.5);
  } else {
    *code = 10 * whole;
    *fraction = 2.0 * f;
  }
  return true;
}

bool FindGridCell(const CalibrationGrid *grid, int32_t latitude_code, int32_t longitude_code, GridCell *cell) {
  const int32_t a = latitude_code, b = longitude_code;
  const GridNode *corners[4] = {};
  const int32_t codes[4][2] = {{a, b}, {a, b + 5}, {a + 5, b}, {a + 5, b + 5}};
  for (int i = 0; i < 4; ++i) {
    int32_t count = 0;
    corners[i] = FindGridNode(grid, codes[i][0], codes[i][1], &count);
    // A corner given twice leaves the cell ambiguous: which of the two pixels is right is unknowable.
    if (count != 1)
      return false;
  }
  *cell = GridCell{corners[0]->x, corners[0]->y, corners[1]->x, corners[1]->y,
                   corners[2]->x, corners[2]->y, corners[3]->x, corners[3]->y};
  return true;
}

bool GeoToMapPixel(const CalibrationGrid *grid, double latitude, double longitude, int32_t *x, int32_t *y) {
  int32_t a = 0, b = 0;
  double ta = 0.0, tb = 0.0;
  if (!CellOfCoordinate(latitude, &a, &ta) || !CellOfCoordinate(longitude, &b, &tb))
    return false;
  GridCell c;
  if (!FindGridCell(grid, a, b, &c))
    return false;
  // The position's meridian crosses the south and north edges at S and N, its parallel the west and
  // east edges at W and E; each is cut to whole pixels before the two lines are intersected.
  IntPoint s, n, w, e;
  if (!TruncPoint(c.sw_x + (c.se_x - c.sw_x) * tb, c.sw_y + (c.se_y - c.sw_y) * tb, &s) ||
      !TruncPoint(c.nw_x + (c.ne_x - c.nw_x) * tb, c.nw_y + (c.ne_y - c.nw_y) * tb, &n) ||
      !TruncPoint(c.sw_x + (c.nw_x - c.sw_x) * ta, c.sw_y + (c.nw_y - c.sw_y) * ta, &w) ||
      !TruncPoint(c.se_x + (c.ne_x - c.se_x) * ta, c.se_y + (c.ne_y - c.se_y) * ta, &e))
    return false;
  return IntersectLines(s, n, w, e, x, y);
}

bool MapPixelToGeo(const CalibrationGrid *grid, int32_t x, int32_t y, const MapView &view, Canvas *canvas,
                   double *latitude, double *longitude) {
  return InverseByEdges(grid, x, y, view, canvas, Feet::Oblique, latitude, longitude);
}

bool MapPixelToGeoPerpendicular(const CalibrationGrid *grid, int32_t x, int32_t y, const MapView &view, Canvas *canvas,
                                double *latitude, double *longitude) {
  return InverseByEdges(grid, x, y, view, canvas, Feet::Perpendicular, latitude, longitude);
}

bool MapPixelToGeoByAxis(const CalibrationGrid *grid, int32_t x, int32_t y, double *latitude, double *longitude) {
  CellSearch cell;
  if (!SearchCell(grid, x, y, &cell))
    return false;
  const GridNode &h = *cell.h, &east = *cell.east, &north = *cell.north, &ne = *cell.north_east;
  if (east.x == h.x)
    return false;
  const double lon = h.longitude_code / 10.0 + 0.5 * (x - h.x) / (east.x - h.x);
  // Below the west column's north node the west column spans the pixel; otherwise the east column.
  const double top_y = y <= h.y ? north.y : ne.y;
  const double bottom_y = y <= h.y ? h.y : east.y;
  if (bottom_y == top_y)
    return false;
  const double lat = h.latitude_code / 10.0 + 0.5 * (1.0 - (y - top_y) / (bottom_y - top_y));
  *latitude = lat;
  *longitude = lon;
  return true;
}

void BearingAndDistance(const MapView &view, double latitude, double longitude, double *bearing, double *distance) {
  const double d_lat = latitude - view.latitude;
  const double d_long = longitude - view.longitude;
  const double r = std::sqrt(d_lat * d_lat + d_long * d_long);
  if (r == 0.0) {
    *bearing = 360.0; // no direction: shown as north, the way due north is shown
  } else {
    // Rounding can put the cosine a hair beyond 1, where acos has no value.
    const double cosine = std::fmax(-1.0, std::fmin(1.0, d_lat / r));
    const double a = std::acos(cosine) * 180.0 / kBearingPi;
    *bearing = d_long > 0.0 ? a : 360.0 - a;
  }
  const double km_per_degree_longitude = 83.0 - 1.25 * (latitude - 41.5);
  double km = std::hypot(kKmPerDegreeLatitude * d_lat, km_per_degree_longitude * d_long);
  if (view.unit_km == 0)
    km /= kKmPerNauticalMile;
  *distance = km;
}
