// view_transform.h: bitmap pixels to window pixels, the one transform every map overlay draws through.
#pragma once

#include "map/map_view.h"
#include "platform/canvas.h"

// The bitmap pixel drawn at the window's top-left corner and the zoom, taken from the view once per
// paint so that every overlay of a frame agrees.
struct ViewTransform {
  int left = 0;
  int top = 0;
  double zoom = 1.0;
};

// left = trunc(centre x - (W div 2) x zoom), top = trunc(centre y - (H div 2) x zoom).
inline ViewTransform MakeViewTransform(const MapView &view) {
  ViewTransform t;
  t.zoom = view.zoom;
  t.left = static_cast<int>(view.centre_x - (MapWindowWidth(view) / 2) * view.zoom);
  t.top = static_cast<int>(view.centre_y - (MapWindowHeight(view) / 2) * view.zoom);
  return t;
}

// Window pixel of a bitmap pixel: trunc((px - left) / zoom), trunc((py - top) / zoom).
inline Point BitmapToWindow(const ViewTransform &t, double px, double py) {
  return {static_cast<int>((px - t.left) / t.zoom), static_cast<int>((py - t.top) / t.zoom)};
}
