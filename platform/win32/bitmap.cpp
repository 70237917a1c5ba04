// bitmap.cpp: Windows implementation of bitmap.h: BMP files loaded as DIB sections.
#include "platform/bitmap.h"

#include <windows.h>

#include "platform/win32/gdi_canvas.h"

struct Bitmap {
  HBITMAP handle;
  int width;
  int height;
};

// Loaded at full size (no scaling by LoadImage) and as a DIB section, so that the colours stay those of
// the file whatever the display's depth.
Bitmap *LoadBitmapFile(const wchar_t *path) {
  const auto handle =
      static_cast<HBITMAP>(LoadImageW(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (handle == nullptr)
    return nullptr;
  BITMAP info{};
  if (GetObjectW(handle, sizeof info, &info) == 0) {
    DeleteObject(handle);
    return nullptr;
  }
  return new Bitmap{handle, static_cast<int>(info.bmWidth), static_cast<int>(info.bmHeight)};
}

void FreeBitmap(Bitmap *bitmap) {
  if (bitmap == nullptr)
    return;
  DeleteObject(bitmap->handle);
  delete bitmap;
}

int BitmapWidth(const Bitmap *bitmap) { return bitmap == nullptr ? 0 : bitmap->width; }
int BitmapHeight(const Bitmap *bitmap) { return bitmap == nullptr ? 0 : bitmap->height; }

void *GdiBitmapHandle(const Bitmap *bitmap) { return bitmap == nullptr ? nullptr : bitmap->handle; }
