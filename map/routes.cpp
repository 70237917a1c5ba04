// routes.cpp: the route point list, the ROUTE_TO target, the route colours and the bullseye selection.
#include "map/routes.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>

#include "base/settings.h"
#include "map/calibration_grid.h"
#include "map/projection.h"

RouteDatabase g_route_database;

// One to three fields of hexadecimal digits (an optional 0x before each), separated by commas, blanks around them.
static bool AreHexColours(const std::wstring &text) {
  size_t fields = 0, i = 0;
  const auto skip_blanks = [&] {
    while (i < text.size() && std::iswspace(text[i]))
      ++i;
  };
  for (;;) {
    skip_blanks();
    if (text.compare(i, 2, L"0x") == 0 || text.compare(i, 2, L"0X") == 0)
      i += 2;
    const size_t digits = i;
    while (i < text.size() && std::iswxdigit(text[i]))
      ++i;
    if (i == digits || ++fields > 3)
      return false;
    skip_blanks();
    if (i == text.size())
      return true;
    if (text[i++] != L',')
      return false;
  }
}

static void ReadRouteColours(RouteDatabase &db) {
  db.colour1 = kDefaultRouteColour1;
  db.colour2 = kDefaultRouteColour2;
  db.colour3 = kDefaultRouteColour3;
  wchar_t text[kSettingTextCapacity];
  if (!ReadSetting(L"Route Colors", text))
    return;
  // Each colour the text gives replaces its default in turn, so "FF,00FF00" changes the first two only.
  unsigned colours[3] = {db.colour1, db.colour2, db.colour3};
  const int read = std::swscanf(text, L"%x,%x,%x", &colours[0], &colours[1], &colours[2]);
  if (text[0] != L'\0' && !AreHexColours(text)) {
    const int used = read > 0 ? read : 0;
    ReportSetting(L"Route Colors", text,
                  "not up to three hexadecimal colours as \"%x,%x,%x\"; using " + std::to_string(used) +
                      " from it and the defaults for the rest");
  }
  // The top byte of a colour reference is not part of the colour; GDI reads it as a palette flag.
  db.colour1 = colours[0] & 0xFFFFFF;
  db.colour2 = colours[1] & 0xFFFFFF;
  db.colour3 = colours[2] & 0xFFFFFF;
}

void InitRouteDatabase(int window_width) {
  RouteDatabase &db = g_route_database;
  ClearRouteDatabase();
  db.head = RoutePoint{};
  db.bullseye_index = 0;
  db.route_to_active = 0;
  db.font_height = window_width * 17 / 520;
  db.large_font_height = db.font_height;
  db.medium_font_height = 3 * db.font_height / 2;
  db.small_font_height = 2 * db.font_height / 3;
  ReadRouteColours(db);
}

// What the new point changes in the tables the drawing reads.
static void IndexRoutePoint(RouteDatabase &db, RoutePoint *point) {
  const int32_t i = point->index;
  if (i >= kRouteHideLowest && i < kRouteHideLowest + kRouteHideCount &&
      db.first_with_index[i - kRouteHideLowest] == nullptr)
    db.first_with_index[i - kRouteHideLowest] = point;
  if (i < 0 || i >= kRouteTableSize)
    return;
  db.last_with_index[i] = point;
  const int32_t neighbour = point->type == kRouteTypeDeparture ? i + 1 : point->type == kRouteTypeArrival ? i - 1 : i;
  if (neighbour == i)
    return;
  if (neighbour >= 0 && neighbour < kRouteTableSize)
    db.no_line_into[neighbour] = true;
  db.hide_asked[neighbour - kRouteHideLowest] = true;
}

int32_t AddRoutePoint(int32_t x, int32_t y, double latitude, double longitude, int32_t index, int32_t type) {
  RouteDatabase &db = g_route_database;
  // A flight plan sent again must not double the route.
  if (PositionTaken(db.positions, latitude, longitude))
    return 0;
  auto *point = new RoutePoint{index, type, x, y, latitude, longitude, 1, nullptr};
  (db.tail != nullptr ? db.tail : &db.head)->next = point;
  db.tail = point;
  KeepPosition(db.positions, latitude, longitude);
  FileItem(db.squares, x, y, db.places.size());
  db.places.push_back(RoutePlace{point, x, y});
  IndexRoutePoint(db, point);
  ++db.count;
  if (type == kRouteTypeDeparture)
    db.departure = 1;
  return index;
}

void ClearRouteDatabase() {
  RouteDatabase &db = g_route_database;
  for (RoutePoint *p = db.head.next; p != nullptr;) {
    RoutePoint *next = p->next;
    delete p;
    p = next;
  }
  db.head.next = nullptr;
  db.tail = nullptr;
  db.positions.clear();
  db.places.clear();
  ClearBuckets(db.squares);
  std::fill(std::begin(db.last_with_index), std::end(db.last_with_index), nullptr);
  std::fill(std::begin(db.no_line_into), std::end(db.no_line_into), false);
  std::fill(std::begin(db.first_with_index), std::end(db.first_with_index), nullptr);
  std::fill(std::begin(db.hide_asked), std::end(db.hide_asked), false);
  db.departure = 0;
  db.count = 0;
}

int CountRoutePoints() { return g_route_database.count; }

void SetRouteTarget(int32_t x, int32_t y, double latitude, double longitude) {
  RouteDatabase &db = g_route_database;
  db.route_to_x = x;
  db.route_to_y = y;
  db.route_to_latitude = latitude;
  db.route_to_longitude = longitude;
  db.route_to_active = 1;
}

void DropRouteTarget() { g_route_database.route_to_active = 0; }

void SelectNextBullseye() {
  RouteDatabase &db = g_route_database;
  // From the head (whose index reads 0, so "no bullseye" starts at the first point), every node carrying
  // the bullseye's number offers its successor; the first successor on the loaded map is taken.
  for (const RoutePoint *p = &db.head; p != nullptr; p = p->next) {
    const RoutePoint *next = p->next;
    if (p->index != db.bullseye_index || next == nullptr)
      continue;
    int32_t x = 0, y = 0;
    if (!GeoToMapPixel(&g_calibration_grid, next->latitude, next->longitude, &x, &y))
      continue;
    db.bullseye_index = next->index;
    db.bullseye_x = next->x;
    db.bullseye_y = next->y;
    db.bullseye_latitude = next->latitude;
    db.bullseye_longitude = next->longitude;
    return;
  }
  db.bullseye_index = 0;
}
