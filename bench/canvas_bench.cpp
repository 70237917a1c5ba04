// canvas_bench.cpp: the Cairo canvas at the costs of one frame: the stretched map copy and the texts.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_window.h"
#include "platform/bitmap.h"
#include "platform/portable/bitmap_data.h"
#include "platform/portable/cairo_canvas.h"

namespace {

Bitmap *MapBitmap(int size) {
  std::vector<unsigned char> rgb(static_cast<size_t>(size) * size * 3);
  for (size_t i = 0; i < rgb.size(); ++i)
    rgb[i] = static_cast<unsigned char>(i * 7);
  return CreateBitmapFromRgb(rgb.data(), size, size);
}

// The whole window from the map at a zoom: source side = window × zoom (2404 at the widest zoom, 5.657).
void BM_StretchMap(benchmark::State &state) {
  Bitmap *map = MapBitmap(3000);
  BenchWindow window;
  const int side = static_cast<int>(state.range(0));
  for (auto _ : state) {
    CanvasStretchBitmap(window.canvas, map, {200, 200, 200 + side, 200 + side}, {0, 0, kBenchWindow, kBenchWindow});
    cairo_surface_flush(window.surface);
  }
  FreeBitmap(map);
}
BENCHMARK(BM_StretchMap)->Arg(53)->Arg(425)->Arg(2404)->Unit(benchmark::kMicrosecond);

// Sixty labels as a frame draws them: the 28 bezel labels on opaque plates and a page of failure rows.
void BM_FrameTexts(benchmark::State &state) {
  BenchWindow window;
  Canvas &c = window.canvas;
  CanvasSetTextColour(c, Rgb(0, 255, 0));
  CanvasSetBackColour(c, Rgb(0, 64, 0));
  for (auto _ : state) {
    for (int i = 0; i < 60; ++i) {
      CanvasSetFont(c, i % 3 == 0 ? 8 : 13);
      CanvasSetOpaque(c, i % 2 == 0);
      CanvasText(c, i % 4 == 0 ? L"\nMODE" : L"Right Main Pump", -1, {10, 5 * i, 220, 5 * i + 26},
                 i % 4 == 0 ? kTextCenter | kTextWordBreak : kTextRight);
    }
    cairo_surface_flush(window.surface);
  }
}
BENCHMARK(BM_FrameTexts)->Unit(benchmark::kMicrosecond);

} // namespace
