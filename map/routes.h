// routes.h: the simulator's flight plan, its steering target and the bullseye selection.
#pragma once

#include <cstdint>
#include <vector>

#include "map/position_set.h"
#include "map/spatial_buckets.h"

// Colours of the route in the 0x00BBGGRR layout of the "Route Colors" setting.
constexpr uint32_t kDefaultRouteColour1 = 0xFF0080; // RGB 128, 0, 255: route line and numbers
constexpr uint32_t kDefaultRouteColour2 = 0x8000FF; // RGB 255, 0, 128: steering cue
constexpr uint32_t kDefaultRouteColour3 = 0xFF8CC8; // RGB 200, 140, 255: symbol fill, cue label

constexpr int32_t kRouteTypeDeparture = 3; // hides the next point
constexpr int32_t kRouteTypeArrival = 4;   // hides the previous point
// Route indices 0 to 127 take part in the polyline; a departure or arrival point among them hides the first point
// numbered one above or below it, so -1 to 128.
constexpr int kRouteTableSize = 128;
constexpr int kRouteHideLowest = -1;
constexpr int kRouteHideCount = kRouteTableSize + 2;

struct RoutePoint {
  int32_t index = 0; // the point number of the ROUTE datagram
  int32_t type = 0;
  int32_t x = 0, y = 0; // bitmap pixel when the point arrived, on the map loaded then
  double latitude = 0.0;
  double longitude = 0.0;
  int32_t visible = 1;
  RoutePoint *next = nullptr;
};

// A point's bitmap pixel beside it, in a compact array in list order that the waypoint drawing reads instead of
// walking the records.
struct RoutePlace {
  RoutePoint *point = nullptr;
  int32_t x = 0, y = 0;
};

struct RouteDatabase {
  int32_t bullseye_index = 0; // 0: no bullseye
  int32_t bullseye_x = 0, bullseye_y = 0;
  double bullseye_latitude = 0.0;
  double bullseye_longitude = 0.0;
  RoutePoint head;       // holds no point; its index reads 0
  int32_t departure = 0; // 1 once a departure point (type 3) was added
  int32_t route_to_active = 0;
  int32_t route_to_x = 0, route_to_y = 0;
  double route_to_latitude = 0.0;
  double route_to_longitude = 0.0;
  int32_t count = 0; // points added since the last clear
  int32_t large_font_height = 13;
  int32_t medium_font_height = 19;
  int32_t small_font_height = 8;
  uint32_t colour1 = kDefaultRouteColour1;
  uint32_t colour2 = kDefaultRouteColour2;
  uint32_t colour3 = kDefaultRouteColour3;
  int32_t font_height = 13;

  // Kept as points arrive, so that neither the duplicate test nor a paint walks the list:
  RoutePoint *tail = nullptr;     // the last point; null when there is none
  PositionSet positions;          // of every point
  std::vector<RoutePlace> places; // of every point, in list order
  SpatialBuckets squares;         // every point, by its place's index, filed by bitmap square
  // For each index 0..127, the last point with it: where the polyline passes.
  RoutePoint *last_with_index[kRouteTableSize] = {};
  // For each index 0..127, whether a departure point below it or an arrival point above it (both numbered 0..127)
  // takes away the line into it.
  bool no_line_into[kRouteTableSize] = {};
  // For each index -1..128, the first point with it, and whether a departure or arrival point numbered 0..127 asks
  // for it to be hidden; the route drawing hides it.
  RoutePoint *first_with_index[kRouteHideCount] = {};
  bool hide_asked[kRouteHideCount] = {};
};

extern RouteDatabase g_route_database;

// Empties the route, the target and the bullseye, sets the font heights for a window that wide and
// reads "Route Colors" ("%x,%x,%x"; a colour the text does not give keeps its default).
void InitRouteDatabase(int window_width);

// Appends a point unless one with exactly the same latitude and longitude is present. Returns the index,
// or 0 when the point was rejected (so a point numbered 0 is stored silently).
int32_t AddRoutePoint(int32_t x, int32_t y, double latitude, double longitude, int32_t index, int32_t type);

// Frees every point; the count and the departure flag become 0. The bullseye and the target stay.
void ClearRouteDatabase();

// Points in the list, counted by walking it (the DATABASES page's "ROUTES DB (RT)").
int CountRoutePoints();

// The steering target of a ROUTE_TO datagram: set with its pixel, or switched off (its position stays).
void SetRouteTarget(int32_t x, int32_t y, double latitude, double longitude);
void DropRouteTarget();

// SET BULLS: moves the bullseye to the point after the current one when that lies on the loaded map;
// otherwise, and after the last point, the bullseye goes off.
void SelectNextBullseye();
