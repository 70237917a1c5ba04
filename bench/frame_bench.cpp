// frame_bench.cpp: one whole frame of the heaviest page, composed as the front ends compose it (cleared to
// black, the page body, the frame and the messages, under the shared-data lock), beside a plain copy of the
// window's pixels, at the default window size and at 1024 x 768; and a frame of a flight brought up to date.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/shell.h"
#include "bench_support.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "platform/bitmap.h"
#include "platform/frame_buffer.h"
#include "platform/png_writer.h"
#include "platform/portable/bitmap_data.h"
#include "platform/portable/cairo_canvas.h"
#include "png_zlib_baseline.h"
#include "support/frame_scene.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMapWidth = 6000, kMapHeight = 4000, kCell = 200;

// The heaviest page over a theatre-sized map, ready to compose into a frame of the window's size.
struct HeaviestPage {
  FrameBuffer *frame = nullptr;
  HeaviestPage(int width, int height, bool flat_map = false) {
    StartSceneModules(width, height);
    TakeSceneMap(flat_map ? FlatAreasMap(kMapWidth, kMapHeight) : PatternedMap(kMapWidth, kMapHeight), kMapWidth,
                 kMapHeight, kCell);
    BuildHeavyScene(43.5, 41.5);
    frame = CreateFrameBuffer(width, height);
  }
  ~HeaviestPage() {
    FreeFrameBuffer(frame);
    EndScene();
  }
};

// Microseconds of one plain copy of the frame's pixels, as presenting it costs at least.
double CopyMicroseconds(const FrameBuffer *frame) {
  int stride = 0;
  const auto *pixels = reinterpret_cast<const unsigned char *>(FrameBufferPixels(frame, &stride));
  const int height = FrameBufferHeight(frame);
  const size_t row = static_cast<size_t>(FrameBufferWidth(frame)) * 4;
  std::vector<unsigned char> copy(row * height);
  constexpr int kCopies = 500;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kCopies; ++i) {
    for (int y = 0; y < height; ++y)
      std::memcpy(copy.data() + row * y, pixels + static_cast<size_t>(stride) * y, row);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kCopies;
}

// Window width, height and zoom in thousandths (1000: one map pixel a window pixel; 5657: the widest zoom).
void RunFrames(benchmark::State &state, bool shortcuts) {
  HeaviestPage page(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  g_map_view.zoom = static_cast<double>(state.range(2)) / 1000.0;
  ApplyZoom(g_map_view);
  UseCairoCanvasShortcuts(shortcuts);
  ShellComposeFrame(page.frame); // the fonts, first layouts and shapes, made once in the program's life
  const Clock::time_point start = Clock::now();
  for (auto _ : state)
    ShellComposeFrame(page.frame);
  const double frame =
      std::chrono::duration<double, std::micro>(Clock::now() - start).count() / static_cast<double>(state.iterations());
  const double copy = CopyMicroseconds(page.frame);
  state.counters["copy_us"] = copy;
  state.counters["frame/copy"] = frame / copy;
  UseCairoCanvasShortcuts(true);
}

void BM_HeaviestFrame(benchmark::State &state) { RunFrames(state, true); }
BENCHMARK(BM_HeaviestFrame)
    ->Args({425, 425, 1000})
    ->Args({1024, 768, 1000})
    ->Args({425, 425, 5657})
    ->Args({1024, 768, 5657})
    ->Unit(benchmark::kMicrosecond);

// The same frames with every text laid out and every shape drawn afresh: what a frame cost before the canvas
// kept them.
void BM_HeaviestFramePlain(benchmark::State &state) { RunFrames(state, false); }
BENCHMARK(BM_HeaviestFramePlain)->Args({425, 425, 1000})->Args({1024, 768, 1000})->Unit(benchmark::kMicrosecond);

// A frame of a flight at 20 MONITOR a second over the heaviest page at X1.00: the ownship moved by what 450 knots
// cover in a twentieth of a second, then the frame brought up to date as the front ends do (ShellUpdateFrame: only
// what changed drawn again), beside the baseline of the same run, the frame composed whole as before.
void RunFlight(benchmark::State &state, bool whole) {
  HeaviestPage page(425, 425);
  double latitude = 43.5;
  ShellUpdateFrame(page.frame);
  int drawn_again = 0; // frames of which a part only was drawn
  for (auto _ : state) {
    latitude += 0.0001;
    HandleDatagram("KESTREL MONITOR:Lat=%.6f,Long=41.5,Compass=0.5,Alt=3000", latitude);
    if (whole) {
      ShellComposeFrame(page.frame);
    } else {
      const FrameChanges changes = ShellUpdateFrame(page.frame);
      drawn_again += changes.whole ? 0 : 1;
    }
  }
  state.counters["partial_frames"] = benchmark::Counter(drawn_again, benchmark::Counter::kAvgIterations);
}
void BM_FlightFrame(benchmark::State &state) { RunFlight(state, false); }
void BM_FlightFrameWholeBaseline(benchmark::State &state) { RunFlight(state, true); }
BENCHMARK(BM_FlightFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlightFrameWholeBaseline)->Unit(benchmark::kMicrosecond);

// The heaviest page's pixels, as the web display copies them out of a composed frame.
struct ComposedPixels {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  explicit ComposedPixels(const FrameBuffer *frame) : width(FrameBufferWidth(frame)), height(FrameBufferHeight(frame)) {
    int stride = 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(FrameBufferPixels(frame, &stride));
    pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
      std::memcpy(pixels.data() + static_cast<size_t>(y) * width, bytes + static_cast<size_t>(stride) * y,
                  static_cast<size_t>(width) * 4);
  }
};

// The web display's part of a frame: the heaviest page's pixels encoded as PNG, once per distinct frame whatever
// the number of viewers, by the given encoder. Arguments: the window's width and height, and the map: 0 the busy
// pattern (no two neighbours alike, the worst case), 1 flat areas as a real theatre's.
template <typename Encode> void RunPng(benchmark::State &state, Encode encode) {
  HeaviestPage page(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0);
  ShellComposeFrame(page.frame);
  const ComposedPixels frame(page.frame);
  std::string png;
  for (auto _ : state) {
    if (!encode(frame.pixels.data(), frame.width, frame.height, png))
      state.SkipWithError("the PNG encoder failed");
    benchmark::DoNotOptimize(png.data());
  }
  state.counters["png_bytes"] = static_cast<double>(png.size());
}

void BM_WebFramePng(benchmark::State &state) {
  PngWriter writer; // kept from frame to frame, as the web display keeps one
  RunPng(state, [&writer](const uint32_t *pixels, int width, int height, std::string &png) {
    return writer.Encode(pixels, width, height, png);
  });
}
BENCHMARK(BM_WebFramePng)
    ->Args({425, 425, 1})
    ->Args({425, 425, 0})
    ->Args({1024, 768, 1})
    ->Unit(benchmark::kMicrosecond);

// The baselines beside it, in the same run: the encoder the program had before (Sub filter, zlib at its fastest
// level) and, before that, Cairo's PNG writer (libpng at its default level).
void BM_WebFramePngZlibBaseline(benchmark::State &state) { RunPng(state, EncodePngZlibBaseline); }
BENCHMARK(BM_WebFramePngZlibBaseline)
    ->Args({425, 425, 1})
    ->Args({425, 425, 0})
    ->Args({1024, 768, 1})
    ->Unit(benchmark::kMicrosecond);

void BM_WebFramePngCairoBaseline(benchmark::State &state) {
  HeaviestPage page(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0);
  ShellComposeFrame(page.frame);
  const int width = FrameBufferWidth(page.frame), height = FrameBufferHeight(page.frame);
  int stride = 0;
  auto *bytes = reinterpret_cast<unsigned char *>(const_cast<uint32_t *>(FrameBufferPixels(page.frame, &stride)));
  cairo_surface_t *surface = cairo_image_surface_create_for_data(bytes, CAIRO_FORMAT_RGB24, width, height, stride);
  const auto append = [](void *out, const unsigned char *data, unsigned int length) {
    static_cast<std::string *>(out)->append(reinterpret_cast<const char *>(data), length);
    return CAIRO_STATUS_SUCCESS;
  };
  std::string png;
  for (auto _ : state) {
    png.clear();
    if (cairo_surface_write_to_png_stream(surface, append, &png) != CAIRO_STATUS_SUCCESS)
      state.SkipWithError("Cairo's PNG writer failed");
    benchmark::DoNotOptimize(png.data());
  }
  cairo_surface_destroy(surface);
  state.counters["png_bytes"] = static_cast<double>(png.size());
}
BENCHMARK(BM_WebFramePngCairoBaseline)->Args({425, 425, 1})->Args({425, 425, 0})->Unit(benchmark::kMicrosecond);

} // namespace
