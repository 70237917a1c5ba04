// display_frame.h: the frame around every page: the title and the 28 button labels along the edges.
#pragma once

#include <cstdint>

struct Canvas;
struct PageState;

struct ButtonRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  uint32_t format = 0; // kText* placement flags of the label
};

// The base text height of the whole display for a window width.
constexpr int BaseTextHeight(int window_width) { return window_width * 17 / 520; }

// Resets the page machine to its start (MONITORING page, route display on, every option 0) and lays
// out the label rectangles once for the window size given; a later resize keeps this geometry.
void InitPageFrame(void *window, int window_width, int window_height);

// Draws the current page's title and labels over the page body.
void DrawPageFrame(Canvas &canvas, const PageState &state);
