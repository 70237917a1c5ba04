// display_frame.cpp: the layout and drawing of the page frame.
#include "mfd/display_frame.h"

#include "base/colours.h"
#include "mfd/page_state.h"
#include "mfd/page_table.h"
#include "platform/canvas.h"

namespace {

ButtonRect MakeRect(int left, int top, int right, int bottom, uint32_t format) {
  return ButtonRect{left, top, right, bottom, format};
}

void LayOutButtons(ButtonRect *rects, int w, int h, int f) {
  const int w6 = w / 6, h6 = h / 6, h56 = 5 * h / 6;
  for (int k = 1; k <= 5; ++k) {
    const int top_x = k * w6;
    rects[k - 1] = MakeRect(top_x - 3 * f, 5, top_x + 3 * f, f + 5, kTextCenter);
    const int right_y = k * h6;
    rects[5 + k - 1] = MakeRect(w - 16 * f, right_y - 10, w - f, right_y + 10, kTextRight);
    // The bottom boxes run right to left and are two lines high, so a label starting with a line
    // break sits on the lower line, next to the bezel.
    const int bottom_x = w - k * w6;
    rects[10 + k - 1] =
        MakeRect(bottom_x - 3 * f, h - 2 * f - 5, bottom_x + 3 * f, h - 5, kTextCenter | kTextBottom | kTextWordBreak);
    const int left_y = h56 - (k - 1) * h6; // bottom to top
    rects[15 + k - 1] = MakeRect(10, left_y - 10, 16 * f, left_y + 10, kTextLeft);
  }
  rects[20] = MakeRect(0, 0, 0, 0, kTextRight);
  rects[21] = MakeRect(0, 0, 0, 0, kTextRight);
  rects[22] = MakeRect(w - 160, h - 65, w - 40, h - 42, kTextRight);
  rects[23] = MakeRect(w - 160, h - 44, w - 40, h - 25, kTextRight);
  for (int i = 24; i < kButtonCount; ++i)
    rects[i] = MakeRect(0, 0, 0, 0, kTextLeft);
}
} // namespace

void InitPageFrame(void *window, int window_width, int window_height) {
  PageState &state = g_page_state;
  state.window = window;
  state.route_display = 1;
  state.current_page = kPageMonitoring;
  state.first_page = kPageMonitoring;
  state.last_page = kPageCount - 1;
  // Allocated once for the life of the program; a second call (tests) reuses them.
  if (state.option_top_bits == nullptr)
    state.option_top_bits = new int32_t[state.last_page + 1];
  if (state.option_values == nullptr)
    state.option_values = new uint32_t[state.last_page + 1];
  for (int page = 0; page <= state.last_page; ++page) {
    state.option_top_bits[page] = 0;
    state.option_values[page] = 0;
  }
  state.window_width = window_width;
  state.window_height = window_height;
  state.label_font_height = BaseTextHeight(window_width);
  if (state.button_rects == nullptr)
    state.button_rects = new ButtonRect[kButtonCount];
  LayOutButtons(state.button_rects, window_width, window_height, state.label_font_height);
}

void DrawPageFrame(Canvas &canvas, const PageState &state) {
  const int f = state.label_font_height;
  CanvasSetFont(canvas, f);
  CanvasSetBackColour(canvas, kPlate);
  CanvasSetTextColour(canvas, kGreen);
  CanvasSetOpaque(canvas, false);
  // The title sits one line below the top labels, directly on the page body.
  const int half_width = state.window_width / 2;
  CanvasText(canvas, PageTitle(state.current_page), -1, Rect{half_width - 8 * f, 2 * f, half_width + 8 * f, 3 * f},
             kTextCenter | kTextWordBreak);
  // Opaque from here: each label's text cells get the dark green plate.
  CanvasSetOpaque(canvas, true);
  for (int button = 1; button <= kButtonCount; ++button) {
    const ButtonRect &r = state.button_rects[button - 1];
    if (r.right <= r.left || r.bottom <= r.top)
      continue; // buttons without a place on the display show nothing
    CanvasText(canvas, PageLabel(state.current_page, button), -1, Rect{r.left, r.top, r.right, r.bottom}, r.format);
  }
}
