// files_bench.cpp: the files settings name: refusing a map image whose header claims more than its file holds, loading
// a real one, and reading one setting from a settings file of the usual size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "base/settings.h"
#include "platform/bitmap.h"
#include "platform/utf8.h"

namespace {

std::string ScratchFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/kestrel-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
      std::abort();
    std::atexit([] { std::filesystem::remove_all(ScratchFolder()); });
    return std::string(pattern);
  }();
  return folder;
}

void Write(const std::string &path, const std::string &bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string Bmp(uint32_t width, uint32_t height, uint32_t bits, uint32_t compression, size_t pixel_bytes) {
  const uint32_t offset = 14 + 40 + (compression == 3 ? 12 : 0);
  std::string file = "BM";
  const auto put = [&file](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      file.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
  };
  put(offset + static_cast<uint32_t>(pixel_bytes), 4);
  put(0, 4);
  put(offset, 4);
  put(40, 4);
  put(width, 4);
  put(height, 4);
  put(1, 2);
  put(bits, 2);
  put(compression, 4);
  for (int i = 0; i < 5; ++i)
    put(0, 4);
  if (compression == 3)
    for (uint32_t mask : {0xFF0000u, 0xFF00u, 0xFFu})
      put(mask, 4);
  return file + std::string(pixel_bytes, '\x40');
}

// The 130-byte file with bit fields that claims 20000 x 20000 pixels: refused from its header alone.
void BM_RefuseHugeClaim(benchmark::State &state) {
  const std::string path = ScratchFolder() + "/huge.bmp";
  Write(path, Bmp(20000, 20000, 32, 3, 64));
  const std::wstring wide = Utf8ToWide(path);
  for (auto _ : state) {
    Bitmap *bitmap = LoadBitmapFile(wide.c_str());
    benchmark::DoNotOptimize(bitmap);
  }
}
BENCHMARK(BM_RefuseHugeClaim)->Unit(benchmark::kMicrosecond);

// A real 24-bit map of n x n pixels, checked and decoded.
void BM_LoadBmp(benchmark::State &state) {
  const auto n = static_cast<uint32_t>(state.range(0));
  const std::string path = ScratchFolder() + "/map" + std::to_string(n) + ".bmp";
  Write(path, Bmp(n, n, 24, 0, static_cast<size_t>((n * 3 + 3) / 4 * 4) * n));
  const std::wstring wide = Utf8ToWide(path);
  for (auto _ : state) {
    Bitmap *bitmap = LoadBitmapFile(wide.c_str());
    if (bitmap == nullptr)
      state.SkipWithError("the map did not load");
    FreeBitmap(bitmap);
  }
}
BENCHMARK(BM_LoadBmp)->Arg(1000)->Unit(benchmark::kMillisecond);

// One setting read from a settings file of 30 lines: "Recipients file" is read so on every MONITOR while joined.
void BM_ReadSetting(benchmark::State &state) {
  ::setenv("XDG_CONFIG_HOME", (ScratchFolder() + "/config").c_str(), 1);
  for (int i = 0; i < 29; ++i)
    WriteSetting((L"Setting " + std::to_wstring(i)).c_str(), L"some value of a setting");
  WriteSetting(L"Recipients file", L"/home/pilot/peers.txt");
  wchar_t text[kSettingTextCapacity];
  for (auto _ : state)
    benchmark::DoNotOptimize(ReadSetting(L"Recipients file", text));
}
BENCHMARK(BM_ReadSetting)->Unit(benchmark::kMicrosecond);

} // namespace
