// dispatch_fuzzer.cpp: whatever arrives on the port, joined to the squad or not, must never crash the dispatcher, its
// handlers or the paint of what they stored.
//
// Input: one byte of state, then up to eight datagrams separated by NUL bytes (the listener ends a datagram's text at
// its first NUL anyway). State bits: 1 joined (MONITOR forwards its SQUAD text, SQUAD reports are kept), 2 the
// TAGGING page instead of MONITORING, 4 sync on, 8 "Unit KM", 16 the broadcast squad.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/shell.h"
#include "link/listener.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/routes.h"
#include "mfd/page_state.h"
#include "status/event_log.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "wire/protocol.h"

#include "fuzz_support.h"

namespace {
constexpr int kDatagramsPerInput = 8;
ListenerWork *g_work = nullptr;

// A 4 x 4 node grid over 43.0-44.5 N, 40.0-41.5 E, so that positions inside it reach every projection path and
// positions outside it the out-of-map paths.
void BuildGrid() {
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column)
      AppendGridNode(&g_calibration_grid, 430 + 5 * row, 400 + 5 * column, 100.0 * column + 3 * row,
                     300.0 - 100.0 * row + 2 * column);
}

// Each input starts from the same records, so that a finding replays from its input alone.
void ResetRecords(uint8_t state) {
  ClearTags(g_tag_database);
  g_tag_database.counter = 0;
  g_tag_database.agm.squad = 0;
  ClearRouteDatabase();
  g_route_database.route_to_active = 0;
  g_route_database.bullseye_index = 0;
  ClearSquadGroup(g_squad_group);
  ClearEvents();
  MapView &view = g_map_view;
  view.latitude = view.longitude = view.heading = 0.0;
  view.centre_x = view.centre_y = 0;
  view.current_map = 0; // the map drawing runs (there is no bitmap to stretch)
  SetJoined(g_squad_group, state & 1);
  g_tag_database.joined = state & 1;
  g_page_state.current_page = state & 2 ? kPageTagging : kPageMonitoring;
  g_tag_database.sync = state & 4 ? 1 : 0;
  view.unit_km = state & 8 ? 1 : 0;
  g_squad_group.squad_number = state & 16 ? kBroadcastSquad : 1;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  StartFuzzedCore();
  BuildGrid();
  g_work = MakeListenerWork(&g_shell.listener);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  ResetRecords(data[0]);
  const char *next = reinterpret_cast<const char *>(data + 1);
  const char *end = reinterpret_cast<const char *>(data + size);
  for (int i = 0; i < kDatagramsPerInput && next < end; ++i) {
    const char *stop = static_cast<const char *>(std::memchr(next, '\0', static_cast<size_t>(end - next)));
    const size_t length = static_cast<size_t>((stop != nullptr ? stop : end) - next);
    // The listener hands on at most 576 bytes, terminated after the bytes received. The handler runs as
    // DispatchDatagram runs it, but what it queues for the peers is looked at instead of sent.
    const size_t n = length < kDatagramLimit ? length : kDatagramLimit;
    std::memcpy(g_work->text, next, n);
    g_work->text[n] = '\0';
    const MessageKind kind = ClassifyDatagram(g_work->text);
    if (kind != kUnknown)
      RunHandler(kind, g_work);
    next += length + 1;
  }
  // What a peer receives from the SQUAD forwarding: the MONITOR's fields as one run, then this station's numbers.
  for (const std::string &squad : g_work->outbox.squad_texts) {
    FuzzCheck(squad.rfind(kSquadPrefix, 0) == 0, "a SQUAD text starts with its prefix");
    FuzzCheck(squad.find_first_of(" \t\n\v\f\r", std::strlen(kSquadPrefix)) == std::string::npos,
              "a SQUAD text holds no blank after its prefix");
    FuzzCheck(squad.size() < kSquadTextCapacity, "a SQUAD text fits its buffer");
  }
  g_work->outbox.squad_texts.clear();
  g_work->outbox.tags.clear();
  // The selections the pilot would make, so that the steering line and the bullseye rings are drawn too.
  SelectNextTag(g_tag_database, g_calibration_grid);
  SelectNextBullseye();
  PaintMapPages();
  return 0;
}
