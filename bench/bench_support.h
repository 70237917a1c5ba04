// bench_support.h: what several benchmark programs set up alike: a scratch settings folder and a theatre-sized map.
#pragma once

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "platform/bitmap.h"
#include "platform/portable/bitmap_data.h"

// The settings a benchmark reads and writes (the pilot number, the UDP port) live in a scratch folder for the run,
// never in the user's own settings file, and go with it.
struct ScratchSettings {
  std::string folder;
  explicit ScratchSettings(const char *prefix = "kestrel-bench") {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
      return;
    folder = pattern;
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    ::setenv("XDG_STATE_HOME", folder.c_str(), 1);
  }
  ~ScratchSettings() {
    std::error_code ignored;
    if (!folder.empty())
      std::filesystem::remove_all(folder, ignored);
  }
  ScratchSettings(const ScratchSettings &) = delete;
  ScratchSettings &operator=(const ScratchSettings &) = delete;
};

// A map of width x height pixels in a busy pattern (no two neighbours alike), as large as a real theatre's.
inline Bitmap *PatternedMap(int width, int height) {
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  for (size_t i = 0; i < rgb.size(); ++i)
    rgb[i] = static_cast<unsigned char>(i * 13 / 7);
  return CreateBitmapFromRgb(rgb.data(), width, height);
}

// A map of flat areas as the sample theatres are drawn: sea and land in four tints either side of a winding coast,
// roads across it and a graticule, with few colours and long runs of each (a frame over it encodes as a real one).
inline Bitmap *FlatAreasMap(int width, int height) {
  static const unsigned char kColours[][3] = {{16, 32, 64}, {46, 52, 40},   {58, 62, 44}, {72, 70, 50},
                                              {86, 78, 58}, {200, 120, 50}, {60, 70, 110}};
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  for (int y = 0; y < height; ++y) {
    const double coast = width / 3.0 + 300 * std::sin(y / 350.0) + 120 * std::sin(y / 97.0);
    for (int x = 0; x < width; ++x) {
      int colour = 0;
      if (x >= coast)
        colour = 1 + static_cast<int>((x - coast) / 400 + 1.5 + std::sin(y / 500.0)) % 4;
      if (x >= coast && std::fmod(std::fabs(y - 0.6 * x - 500 * std::sin(x / 700.0)), 900.0) < 3)
        colour = 5; // a road
      if (x % 400 < 2 || y % 400 < 2)
        colour = 6; // the graticule
      unsigned char *out = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
      out[0] = kColours[colour][0], out[1] = kColours[colour][1], out[2] = kColours[colour][2];
    }
  }
  return CreateBitmapFromRgb(rgb.data(), width, height);
}
