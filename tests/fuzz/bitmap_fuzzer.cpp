// bitmap_fuzzer.cpp: any file named as a map must load or be refused without harm, and what loads stays within the
// limits. Both front ends' header checks run on it (the portable one with PNG, the Windows one with run-length BMP).
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/bitmap.h"
#include "platform/bitmap_file.h"

#include "fuzz_support.h"

namespace {
std::wstring g_path;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  StartFuzzedCore();
  const std::string path = WriteScratchFile("map.image", nullptr, 0);
  g_path.assign(path.begin(), path.end());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string why;
  const size_t head = size < kBitmapHeadBytes ? size : kBitmapHeadBytes;
  CheckBitmapHeader(data, head, size, BitmapFormats{.bmp_rle = true}, &why);
  const bool accepted = CheckBitmapHeader(data, head, size, BitmapFormats{.png = true}, &why);
  FuzzCheck(accepted || !why.empty(), "a refusal says why");
  if (WriteScratchFile("map.image", data, size).empty())
    return 0;
  Bitmap *bitmap = LoadBitmapFile(g_path.c_str(), &why);
  FuzzCheck(bitmap == nullptr || accepted, "only an accepted header loads");
  FuzzCheck(BitmapWidth(bitmap) <= kBitmapMaxSide && BitmapHeight(bitmap) <= kBitmapMaxSide, "within the limits");
  FreeBitmap(bitmap);
  return 0;
}
