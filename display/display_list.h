// display_list.h: a frame's drawing taken down while the shared-data lock is held, and drawn after it is released.
//
// A paint reads the shared records as it draws, so it runs under the lock; but laying out texts and filling shapes on
// the window's canvas is most of a busy frame's time, and the listener would wait all of it. So the paint draws into
// a display list, which only takes each primitive down with the state in force (texts and points copied), and the list
// is played onto the window's canvas once the lock is released: the same calls with the same arguments, in the same
// order, so the same pixels.
//
// One primitive refers to shared memory: the stretched map bitmap, which a map load frees once it has swapped in
// another under the lock. The list never keeps it: it plays what it holds so far and stretches the bitmap at once,
// while the lock is still held (the map is the first thing a map page draws, so that is little).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/canvas.h"

enum class DisplayOp : uint8_t { kLine, kArc, kRectangle, kEllipse, kPolygon, kText, kInvert, kFill };

struct DisplayItem {
  DisplayOp op = DisplayOp::kLine;
  CanvasState state;
  Point a, b; // line ends; arc centre in a
  Rect rect;  // rectangle, ellipse bounds, text box, inverted or filled rectangle
  int radius = 0;
  double start_degrees = 0, sweep_degrees = 0;
  uint32_t flags = 0; // text
  Colour colour;      // fill
  size_t first = 0;   // polygon points or text characters, in the list's own arrays
  int count = 0;
};

struct DisplayList {
  Canvas canvas; // draw into this; it has the target's size
  Canvas *target = nullptr;
  std::vector<DisplayItem> items;
  std::vector<Point> points;
  std::vector<wchar_t> characters;
};

// Empties the list and makes list.canvas take down drawing for target.
void BeginDisplayList(DisplayList &list, Canvas &target);
// Draws what the list holds onto the target, in order, and empties it.
void PlayDisplayList(DisplayList &list);
