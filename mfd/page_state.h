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
