// display_list.h: a frame's drawing taken down while the shared-data lock is held, and drawn after it is released.
//
// A paint reads the shared records as it draws, so it runs under the lock; but laying out texts and filling shapes on
// the window's canvas is most of a busy frame's time, and the listener would wait all of it. So the paint draws into
// a display list, which only takes each primitive down with the state in force (texts and points copied), and the list
// is played onto the window's canvas once the lock is released: the same calls with the same arguments, in the same
// order, so the same pixels.
//
// One primitive refers to shared memory: the stretched map bitmap, which a map load frees once it has swapped in
// another under the lock. The list never keeps it past the lock: a plain list plays what it holds so far and
// stretches the bitmap at once, while the lock is still held (the map is the first thing a map page draws, so that is
// little); a list that draws only what changed plays its items up to the last stretch in SettleDisplayList, which the
// caller runs before releasing the lock.
//
// Drawing only what changed. A frame that still holds the picture of the list before (DrawnFrame) needs drawing
// again only where the two lists differ: a pixel that no differing item can reach is painted by the very same items
// in the same order in both, so it is already right. SettleDisplayList finds those areas, and the list is then
// played clipped to each of them, every item that reaches into one drawn whole and cut at its edges: the pixels
// inside are those of drawing the whole frame. In flight at 20 MONITOR a second that is the position line and,
// now and then, the ownship and the map beneath: a small part of the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/canvas.h"

enum class DisplayOp : uint8_t { kLine, kArc, kRectangle, kEllipse, kPolygon, kText, kInvert, kFill, kStretch };

struct DisplayItem {
  DisplayOp op = DisplayOp::kLine;
  CanvasState state;
  Point a, b; // line ends; arc centre in a
  Rect rect;  // rectangle, ellipse bounds, text box, inverted or filled rectangle, stretch destination
  int radius = 0;
  double start_degrees = 0, sweep_degrees = 0;
  uint32_t flags = 0; // text
  Colour colour;      // fill
  size_t first = 0;   // polygon points or text characters, in the list's own arrays
  int count = 0;
  Rect source;                    // stretch: the bitmap area
  const Bitmap *bitmap = nullptr; // stretch: valid only under the lock, cleared when played
  uint64_t bitmap_serial = 0;     // stretch: which bitmap (BitmapSerial), to compare frames by
};

// The areas of a frame that a drawing changed: everything, or up to kMostChangedAreas rectangles (none: the
// frame was already right).
constexpr int kMostChangedAreas = 4;
struct FrameChanges {
  bool whole = true;
  int count = 0;
  Rect areas[kMostChangedAreas];
};

// What a frame was last drawn from.
struct DrawnFrame {
  uint64_t stamp = 0; // FrameBufferStamp of the frame after the drawing; 0: none
  std::vector<DisplayItem> items;
  std::vector<Point> points;
  std::vector<wchar_t> characters;
};

struct DisplayList {
  Canvas canvas; // draw into this; it has the target's size
  Canvas *target = nullptr;
  std::vector<DisplayItem> items;
  std::vector<Point> points;
  std::vector<wchar_t> characters;
  bool defer_stretch = false; // stretches wait for SettleDisplayList
  size_t played = 0;          // items SettleDisplayList played already
  FrameChanges changes;       // where playing draws
};

// Empties the list and makes list.canvas take down drawing for target. Without defer_stretch a stretch is drawn
// at once; with it the caller must call SettleDisplayList before releasing the lock.
void BeginDisplayList(DisplayList &list, Canvas &target, bool defer_stretch = false);
// With the lock still held, after the drawing: the areas where it differs from before (everything when before is
// null or the target cannot clip), and the items up to the last stretch played within them.
FrameChanges SettleDisplayList(DisplayList &list, const DrawnFrame *before);
// Draws what the list holds (what is left after SettleDisplayList, within its areas) onto the target, in order,
// and empties it; with keep, the list's items are kept there to compare the next drawing with.
void PlayDisplayList(DisplayList &list, DrawnFrame *keep = nullptr);
