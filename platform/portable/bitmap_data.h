// bitmap_data.h: the portable bitmap record, shared by the file loader and the Cairo canvas.
#pragma once

#include <cairo.h>

#include <cstdint>

// A loaded image kept at full size as an opaque Cairo surface, so that stretching draws from it with no
// conversion per frame.
struct Bitmap {
  int width = 0, height = 0;
  cairo_surface_t *surface = nullptr; // CAIRO_FORMAT_RGB24; owns the pixels
  uint64_t serial = 0;                // BitmapSerial
};

// An opaque (CAIRO_FORMAT_RGB24) surface of width x height, all black, the caller's to destroy. Null when the size
// is not positive or the surface cannot be made.
cairo_surface_t *CreateOpaqueSurface(int width, int height);

// Makes a bitmap from width × height pixels of packed 8-bit red, green, blue. Null when the size is not
// positive or the surface cannot be made.
Bitmap *CreateBitmapFromRgb(const unsigned char *rgb, int width, int height);
