// bench_window.h: a 425-pixel window surface with its Cairo canvas, for the drawing benchmarks.
#pragma once

#include <cairo.h>

#include "platform/canvas.h"
#include "platform/portable/cairo_canvas.h"

constexpr int kBenchWindow = 425;

struct BenchWindow {
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kBenchWindow, kBenchWindow);
  cairo_t *cr = cairo_create(surface);
  Canvas canvas = MakeCairoCanvas(cr, kBenchWindow, kBenchWindow);
  ~BenchWindow() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};
