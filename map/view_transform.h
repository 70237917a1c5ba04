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
