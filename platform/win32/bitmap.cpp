// bitmap.cpp: Windows implementation of bitmap.h: BMP files loaded as DIB sections.
#include "platform/bitmap.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/bitmap_file.h"
#include "platform/files.h"
#include "platform/win32/gdi_canvas.h"

struct Bitmap {
  HBITMAP handle;
  int width;
  int height;
  uint64_t serial; // BitmapSerial
};

// The header is checked against the file's size first: LoadImage believes what a header claims and allocates
// for it. Run-length encoded files are accepted as LoadImage always has.
static bool HeaderFits(const wchar_t *path, std::string *why) {
  FILE *file = OpenBinaryFileRead(path, why);
  if (file == nullptr)
    return false;
  unsigned char head[kBitmapHeadBytes];
  const size_t got = std::fread(head, 1, sizeof head, file);
  const bool read_failed = std::ferror(file) != 0;
  const uint64_t size = OpenFileSize(file);
  std::fclose(file);
  if (read_failed) {
    if (why != nullptr)
      *why = "unreadable (read error)";
    return false;
  }
  return CheckBitmapHeader(head, got, size, BitmapFormats{.bmp_rle = true}, why);
}

// Loaded at full size (no scaling by LoadImage) and as a DIB section, so that the colours stay those of
// the file whatever the display's depth.
Bitmap *LoadBitmapFile(const wchar_t *path, std::string *why) {
  if (!HeaderFits(path, why))
    return nullptr;
  const auto handle =
      static_cast<HBITMAP>(LoadImageW(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  const DWORD error = GetLastError();
  BITMAP info{};
  if (handle == nullptr || GetObjectW(handle, sizeof info, &info) == 0) {
    if (handle != nullptr)
      DeleteObject(handle);
    if (why != nullptr)
      *why = "not a BMP that Windows reads (error " + std::to_string(error) + ")";
    return nullptr;
  }
  static std::atomic<uint64_t> made{0};
  return new Bitmap{handle, static_cast<int>(info.bmWidth), static_cast<int>(info.bmHeight), ++made};
}

void FreeBitmap(Bitmap *bitmap) {
  if (bitmap == nullptr)
    return;
  DeleteObject(bitmap->handle);
  delete bitmap;
}

int BitmapWidth(const Bitmap *bitmap) { return bitmap == nullptr ? 0 : bitmap->width; }
int BitmapHeight(const Bitmap *bitmap) { return bitmap == nullptr ? 0 : bitmap->height; }
uint64_t BitmapSerial(const Bitmap *bitmap) { return bitmap == nullptr ? 0 : bitmap->serial; }

void *GdiBitmapHandle(const Bitmap *bitmap) { return bitmap == nullptr ? nullptr : bitmap->handle; }
