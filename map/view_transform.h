// view_transform.h: bitmap pixels to window pixels, the one transform every map overlay draws through.
#pragma once

#include "map/map_view.h"
#include "platform/canvas.h"

// Window coordinates that come from bitmap pixels stay within +-kWindowCoordinateLimit. A grid with pixels
// near 2^31, seen at a small zoom, would put a point beyond int, and the drawing then adds its offsets
// (label boxes, symbol corners) to it. Nothing that far out can show, so the point only has to stay a
// number the drawing and the canvas backends can work with (Cairo keeps 24 bits of whole pixels).
constexpr int kWindowCoordinateLimit = 1 << 22;

// Truncation toward zero, held to +-kWindowCoordinateLimit; NaN gives 0.
inline int ClampWindowCoordinate(double value) {
  if (!(value == value))
    return 0;
  if (value <= -kWindowCoordinateLimit)
    return -kWindowCoordinateLimit;
  if (value >= kWindowCoordinateLimit)
    return kWindowCoordinateLimit;
  return static_cast<int>(value);
}

// The bitmap pixel drawn at the window's top-left corner and the zoom, taken from the view once per
// paint so that every overlay of a frame agrees.
struct ViewTransform {
  int left = 0;
  int top = 0;
  double zoom = 1.0;
};

// left = trunc(centre x - (W div 2) x zoom), top = trunc(centre y - (H div 2) x zoom); a corner beyond
// +-2^30 (a centre projected through a broken grid) is held there, so that the map's source rectangle,
// corner plus size, stays within int.
inline ViewTransform MakeViewTransform(const MapView &view) {
  constexpr double kCornerLimit = 1 << 30;
  const auto corner = [](double value) {
    if (!(value == value))
      return 0;
    return static_cast<int>(value < -kCornerLimit ? -kCornerLimit : value > kCornerLimit ? kCornerLimit : value);
  };
  ViewTransform t;
  t.zoom = view.zoom;
  t.left = corner(view.centre_x - (MapWindowWidth(view) / 2) * view.zoom);
  t.top = corner(view.centre_y - (MapWindowHeight(view) / 2) * view.zoom);
  return t;
}

// Window pixel of a bitmap pixel: trunc((px - left) / zoom), trunc((py - top) / zoom), each held to
// +-kWindowCoordinateLimit.
inline Point BitmapToWindow(const ViewTransform &t, double px, double py) {
  return {ClampWindowCoordinate((px - t.left) / t.zoom), ClampWindowCoordinate((py - t.top) / t.zoom)};
}

// Culling. A paint draws only the figures that can touch the canvas, and decides that with the arithmetic below before
// any text is laid out or any shape drawn. Each figure states its reach: the pixels it can touch lie from x + left to
// x + right - 1 and from y + top to y + bottom - 1 about its window point, pens and text boxes included (texts are
// clipped to their boxes). A figure whose reach misses the canvas would have drawn nothing visible.
struct WindowReach {
  int left = 0, top = 0, right = 0, bottom = 0;
};

inline bool Reaches(const Canvas &canvas, Point at, const WindowReach &r) {
  return at.x + r.right > 0 && at.x + r.left < canvas.width && at.y + r.bottom > 0 && at.y + r.top < canvas.height;
}

// The bitmap pixels whose window point can reach the canvas, a little wider than exact (the transform truncates): a
// test on the stored bitmap position that spares the divisions of the transform for everything far away.
struct BitmapBounds {
  double left = 0, top = 0, right = 0, bottom = 0;
  bool Holds(double px, double py) const { return px >= left && px <= right && py >= top && py <= bottom; }
};

inline BitmapBounds NearCanvas(const ViewTransform &t, const Canvas &canvas, const WindowReach &r) {
  constexpr double kAll = 1e300;
  if (!(t.zoom > 0.0 && t.zoom < 1e9))
    return BitmapBounds{-kAll, -kAll, kAll, kAll}; // a zoom no button gives: no shortcut
  // A window coordinate lies within 1 of (p - corner) / zoom; 2 leaves room for the rounding of these products.
  return BitmapBounds{t.left + (-r.right - 2.0) * t.zoom, t.top + (-r.bottom - 2.0) * t.zoom,
                      t.left + (canvas.width - r.left + 2.0) * t.zoom, t.top + (canvas.height - r.top + 2.0) * t.zoom};
}
