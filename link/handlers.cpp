// handlers.cpp: the seven handlers of received datagrams.
//
// A message whose fields stop matching before the last one is dropped, except MONITOR: its fields go
// straight into the ownship record, so those before the break take their new values. The other kinds
// read into temporaries, and a tag, route point or squad position with a field missing (or a position
// that is not a finite number) would be stored with made-up values that then travel on to the peers.
#include "link/handlers.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/wide_text.h"
#include "link/listener_context.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/routes.h"
#include "mfd/page_state.h"
#include "status/event_codes.h"
#include "status/event_log.h"
#include "status/failure_status.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "wire/protocol.h"

namespace {

bool IsPosition(double latitude, double longitude) { return std::isfinite(latitude) && std::isfinite(longitude); }

bool ProjectPosition(const ListenerContext *context, double latitude, double longitude, int32_t *x, int32_t *y) {
  return IsPosition(latitude, longitude) && GeoToMapPixel(context->calibration_grid, latitude, longitude, x, y);
}

// The view follows the ownship on the MONITORING page, and on any page while the sync flag is on.
void FollowOwnship(ListenerContext *context) {
  MapView &view = *context->map_view;
  FormatPositionText(view.latitude_text, view.latitude);
  FormatPositionText(view.longitude_text, view.longitude);
  if (ProjectPosition(context, view.latitude, view.longitude, &view.centre_x, &view.centre_y))
    RemoveEvents(kCodeOutOfMap);
  else
    PostEventOnce(kCodeOutOfMap, L"OUT OF MAP");
}

// Bit for bit, so that a NaN received twice counts as no change.
bool SameValue(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// What the ownship symbol, the position line and the view are drawn from.
struct OwnshipShown {
  double latitude, longitude, heading;
  int32_t centre_x, centre_y;
  int32_t position_known;
  wchar_t latitude_text[kPositionTextCapacity], longitude_text[kPositionTextCapacity];
};

OwnshipShown SnapshotOwnship(const MapView &view) {
  OwnshipShown shown{view.latitude, view.longitude,      view.heading, view.centre_x,
                     view.centre_y, view.position_known, {},           {}};
  std::wmemcpy(shown.latitude_text, view.latitude_text, kPositionTextCapacity);
  std::wmemcpy(shown.longitude_text, view.longitude_text, kPositionTextCapacity);
  return shown;
}

bool SameOwnship(const OwnshipShown &a, const OwnshipShown &b) {
  return SameValue(a.latitude, b.latitude) && SameValue(a.longitude, b.longitude) && SameValue(a.heading, b.heading) &&
         a.centre_x == b.centre_x && a.centre_y == b.centre_y && a.position_known == b.position_known &&
         std::wmemcmp(a.latitude_text, b.latitude_text, kPositionTextCapacity) == 0 &&
         std::wmemcmp(a.longitude_text, b.longitude_text, kPositionTextCapacity) == 0;
}

// Metres in steps of 50 with "Unit KM", otherwise the flight level.
double KeptAltitude(double metres, int32_t unit_km) {
  if (unit_km != 0) {
    const double hundreds = metres / 100.0;
    const double whole = std::trunc(hundreds);
    return hundreds - whole > 0.5 ? (whole + 0.5) * 100.0 : whole * 100.0;
  }
  return std::trunc(std::trunc(metres * 3.2808399) / 100.0);
}
} // namespace

void OnMonitor(ListenerWork *work) {
  ListenerContext *context = work->context;
  context->link_age = 0;
  RemoveEvents(kCodeVektaDisconnected);
  MapView &view = *context->map_view;
  const OwnshipShown before = SnapshotOwnship(view);
  // The fields read go into the ownship in order, up to the first that did not match or is not a finite
  // number: "nan" and "inf" are no position or heading, and would show as such on every page.
  double fields[4] = {};
  const int matched = std::sscanf(work->text, kMonitorFormat, &fields[0], &fields[1], &fields[2], &fields[3]);
  double *const ownship[3] = {&view.latitude, &view.longitude, &view.heading};
  int stored = 0;
  for (; stored < matched && stored < 3 && std::isfinite(fields[stored]); ++stored)
    *ownship[stored] = fields[stored];
  if (stored >= 2)
    view.position_known = 1;

  if (context->page_state->current_page == kPageMonitoring || context->tag_database->sync == 1)
    FollowOwnship(context);
  if (!SameOwnship(before, SnapshotOwnship(view)))
    work->changed |= kChangedOwnship;

  const SquadGroup &squad = *context->squad_group;
  if (squad.joined == 0)
    return;
  char text[kSquadTextCapacity];
  if (FormatSquadText(text, sizeof text, work->text, squad.squad_number, squad.own_pilot))
    work->outbox.squad_texts.emplace_back(text);
}

void OnTag(ListenerWork *work) {
  ListenerContext *context = work->context;
  double latitude = 0.0, longitude = 0.0;
  int symb = 0, squad = 0, pilot = 0;
  if (std::sscanf(work->text, kTagFormat, &latitude, &longitude, &symb, &squad, &pilot) != 5 ||
      !IsPosition(latitude, longitude))
    return;
  TagDatabase &tags = *context->tag_database;
  // Pilot 0 is nobody; the own pilot number is this station's own tag coming back from a peer.
  if (pilot == tags.squad_group->own_pilot || pilot == 0)
    return;
  TagSymbol symbol;
  UnpackSymbol(symb, symbol.affiliation, symbol.symbol_class, symbol.category);
  const int32_t result = AddTag(tags, squad, pilot, symbol, latitude, longitude, work->outbox);
  if (result != 0)
    work->changed |= kChangedTags;
  if (result > 0) {
    FormatWide(work->scratch, kWorkScratchCapacity, L"INCOMING TAG #%d FROM [%02d]", result, pilot);
    PostEventOnce(kCodeIncomingTag + static_cast<uint32_t>(result), work->scratch);
    int32_t x = 0, y = 0;
    if (!ProjectPosition(context, latitude, longitude, &x, &y)) {
      FormatWide(work->scratch, kWorkScratchCapacity, L"INCOMING TAG FROM [%02d]", pilot);
      PostEvent(kCodeTagOutOfMap, work->scratch, 20);
      PostEvent(kCodeTagOutOfMap, L"OUT OF MAP", 20);
    }
  } else if (result == -1) {
    FormatWide(work->scratch, kWorkScratchCapacity, L"INCOMING TAG FROM [%02d/%02d]", squad, pilot);
    PostEvent(kCodeOtherSquadTag, work->scratch, 20);
  }
}

void OnRouteTo(ListenerWork *work) {
  double latitude = 0.0, longitude = 0.0;
  if (std::sscanf(work->text, kRouteToFormat, &latitude, &longitude) != 2 || !IsPosition(latitude, longitude))
    return;
  const RouteDatabase &routes = g_route_database;
  const int32_t was_active = routes.route_to_active, was_x = routes.route_to_x, was_y = routes.route_to_y;
  const double was_latitude = routes.route_to_latitude, was_longitude = routes.route_to_longitude;
  int32_t x = 0, y = 0;
  if (ProjectPosition(work->context, latitude, longitude, &x, &y)) {
    SetRouteTarget(x, y, latitude, longitude);
  } else {
    DropRouteTarget();
    PostEvent(kCodeRouteToOutOfMap, L"ROUTE TO OUT OF MAP", 2);
  }
  // The target is drawn at its pixel, with its bearing and distance, and only while active.
  const bool moved =
      x != was_x || y != was_y || !SameValue(latitude, was_latitude) || !SameValue(longitude, was_longitude);
  if (routes.route_to_active != was_active || (routes.route_to_active != 0 && moved))
    work->changed |= kChangedRoutes;
}

void OnRoute(ListenerWork *work) {
  int index = 0, type = 0;
  double latitude = 0.0, longitude = 0.0;
  if (std::sscanf(work->text, kRouteFormat, &index, &latitude, &longitude, &type) != 4 ||
      !IsPosition(latitude, longitude))
    return;
  int32_t x = 0, y = 0;
  if (!ProjectPosition(work->context, latitude, longitude, &x, &y)) {
    PostEvent(kCodeRouteOutOfMap, L"ROUTE OUT OF MAP", 20);
    return;
  }
  if (AddRoutePoint(x, y, latitude, longitude, index, type) != 0) {
    work->changed |= kChangedRoutes;
    PostEvent(kCodeIncomingRoute, L"INCOMING ROUTE", 10);
  }
}

void OnAgmTag(ListenerWork *work) {
  double latitude = 0.0, longitude = 0.0;
  if (std::sscanf(work->text, kAgmTagFormat, &latitude, &longitude) != 2 || !IsPosition(latitude, longitude))
    return;
  SetAgmMark(*work->context->tag_database, latitude, longitude);
  work->context->agm_age = 0;
  work->changed |= kChangedAgm;
}

void OnFail(ListenerWork *work) {
  char keyword[64] = {};
  int state = 0;
  // A FAIL that does not carry both its keyword and its state is dropped: a keyword alone says nothing
  // about the system's state, and a keyword longer than 63 characters cannot name a known system.
  if (std::sscanf(work->text, kFailFormat, keyword, &state) != 2)
    return;
  const FailureEntry *entry = FindFailure(keyword);
  if (entry != nullptr && entry->state != state)
    work->changed |= kChangedFailures;
  SetFailure(keyword, state);
}

void OnSquad(ListenerWork *work) {
  ListenerContext *context = work->context;
  SquadGroup &group = *context->squad_group;
  if (group.joined == 0)
    return;
  SquadMember report;
  double altitude = 0.0;
  if (std::sscanf(work->text, kSquadFormat, &report.latitude, &report.longitude, &report.heading, &altitude,
                  &report.squad, &report.pilot) != 6 ||
      !IsPosition(report.latitude, report.longitude) || !std::isfinite(report.heading) || !std::isfinite(altitude))
    return;
  report.altitude = KeptAltitude(altitude, context->map_view->unit_km);
  // Off the map the report keeps bitmap position (0, 0) with on_map 0, and the drawing leaves it out.
  report.on_map = ProjectPosition(context, report.latitude, report.longitude, &report.bitmap_x, &report.bitmap_y);
  UpdateSquadMember(group, report);
  work->changed |= kChangedSquad;
}
