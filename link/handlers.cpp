// handlers.cpp: the seven handlers of received datagrams.
#include "link/handlers.h"

#include <cstdio>

#include "link/listener.h"
#include "link/protocol.h"
#include "map/map_view.h"
#include "status/event_log.h"
#include "status/failure_status.h"

namespace {
constexpr uint32_t kCodeDisconnected = 0x80010001;
} // namespace

void OnMonitor(ListenerWork *work) {
  ListenerContext *context = work->context;
  context->link_age = 0;
  RemoveEvents(kCodeDisconnected);
  // The fields go straight into the ownship record as they are read, so a MONITOR whose fields stop
  // matching part-way updates those before the break and keeps the older values of the rest.
  MapView &view = *context->map_view;
  double altitude = 0.0;
  std::sscanf(work->text, kMonitorFormat, &view.latitude, &view.longitude, &view.heading, &altitude);
}

void OnRouteTo(ListenerWork *) {}
void OnRoute(ListenerWork *) {}
void OnTag(ListenerWork *) {}
void OnAgmTag(ListenerWork *) {}
void OnSquad(ListenerWork *) {}

void OnFail(ListenerWork *work) {
  char keyword[64] = {};
  int state = 0;
  // A FAIL that does not carry both its keyword and its state is dropped: a keyword alone says nothing
  // about the system's state, and a keyword longer than 63 characters cannot name a known system.
  if (std::sscanf(work->text, kFailFormat, keyword, &state) != 2)
    return;
  SetFailure(keyword, state);
}
