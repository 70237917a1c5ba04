// listener_context.h: the block the shell hands to the listener thread and the listener's own work block, which the
// message handlers read and write.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "wire/outbox.h"

struct PageState;
struct MapView;
struct CalibrationGrid;
struct EventLog;
struct RouteDatabase;
struct TagDatabase;
struct FailureStatus;
struct SquadGroup;

// Filled by the shell before the listener starts; the ages are guarded by the shared-data lock.
struct ListenerContext {
  void *window = nullptr;
  PageState *page_state = nullptr;
  MapView *map_view = nullptr;
  CalibrationGrid *calibration_grid = nullptr;
  EventLog *event_log = nullptr;
  RouteDatabase *route_database = nullptr;
  TagDatabase *tag_database = nullptr;
  FailureStatus *failure_status = nullptr;
  SquadGroup *squad_group = nullptr;
  int32_t link_age = 0; // milliseconds since the last MONITOR
  int32_t agm_age = 0;  // seconds since the last AGMTAG

  int debug = 0; // the "Debug" setting as read at start-up: log every datagram
  // Asks the user-interface thread for a new frame when a datagram changed what the page on show draws.
  // Called without the lock; it must return at once (the listener never waits for a paint). Null: no one asks.
  void (*request_repaint)() = nullptr;
  // Set to end the listener; the program itself never does, tests and benchmarks do.
  std::atomic<bool> stop{false};
  // The port the listener is bound to, 0 until it is; tests read it to know the listener is ready.
  std::atomic<int> bound_port{0};
  // Datagrams received and dispatched since start, for diagnostics and the throughput benchmark.
  std::atomic<uint64_t> received{0};
};

constexpr size_t kWorkTextCapacity = 1500;
constexpr size_t kWorkScratchCapacity = 64; // wide characters

// The listener thread's own block.
struct ListenerWork {
  ListenerContext *context = nullptr;
  char *text = nullptr;       // kWorkTextCapacity bytes: the datagram the handlers read
  wchar_t *scratch = nullptr; // kWorkScratchCapacity wide characters for event texts
  Outbox outbox;              // sends queued by the handlers, made after the lock is released
  uint32_t changed = 0;       // kChanged* bits of the records the handler changed (page_state.h)
};
