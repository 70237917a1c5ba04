// page_state.h: the page machine: which page is shown, the route display flag and the page options.
#pragma once

#include <cstdint>

struct ButtonRect;

constexpr int kPageCount = 5;
enum Page : int32_t {
  kPageMonitoring = 0,
  kPageTagging = 1,
  kPageFailures = 2,
  kPageSquad = 3,
  kPageDatabases = 4,
};

struct PageState {
  int32_t route_display = 1;
  int32_t current_page = kPageMonitoring;
  int32_t last_page = kPageCount - 1;
  int32_t first_page = kPageMonitoring;
  int32_t *option_top_bits = nullptr; // last_page + 1 entries
  uint32_t *option_values = nullptr;  // last_page + 1 entries
  ButtonRect *button_rects = nullptr; // 28
  int32_t label_font_height = 13;
  void *window = nullptr;
  int32_t window_width = 425; // the client size the frame was laid out for at start-up
  int32_t window_height = 425;
};

extern PageState g_page_state;

// What a received datagram changed, so that a new frame is painted only when the page on show draws it.
enum : uint32_t {
  kChangedOwnship = 1, // position, heading, position texts, view centre
  kChangedRoutes = 2,  // route points, the steering target
  kChangedTags = 4,
  kChangedSquad = 8, // squad members
  kChangedFailures = 16,
  kChangedAgm = 32, // the AGM mark
  kChangedEvents = 64,
};

// True when the page draws any of the changed records: the map pages everything on the map, the failure
// page the failures, the DATABASES page the counts of routes, tags and aircraft; every page the messages.
bool PageShowsChanges(int32_t page, uint32_t changed);
