// bench_support.h: what several benchmark programs set up alike: a scratch settings folder and a theatre-sized map.
#pragma once

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
