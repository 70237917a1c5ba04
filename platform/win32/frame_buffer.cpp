// frame_buffer.cpp: Windows implementation of frame_buffer.h: a top-down 32-bit DIB section in a memory device context,
// drawn by the GDI canvas and copied to the window with one BitBlt.
#include "platform/frame_buffer.h"

#include <windows.h>

#include "platform/win32/gdi_canvas.h"

#include <atomic>

namespace {
uint64_t NewStamp() {
  static std::atomic<uint64_t> stamps{0};
  return ++stamps;
}
} // namespace

struct FrameBuffer {
  uint64_t stamp = NewStamp();
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  uint32_t *bits = nullptr;
  int width = 0, height = 0;
};

FrameBuffer *CreateFrameBuffer(int width, int height) {
  if (width <= 0 || height <= 0)
    return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height; // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  auto *frame = new FrameBuffer;
  frame->dc = CreateCompatibleDC(nullptr);
  void *bits = nullptr;
  frame->bitmap =
      frame->dc != nullptr ? CreateDIBSection(frame->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (frame->bitmap == nullptr) {
    if (frame->dc != nullptr)
      DeleteDC(frame->dc);
    delete frame;
    return nullptr;
  }
  frame->previous = SelectObject(frame->dc, frame->bitmap);
  frame->bits = static_cast<uint32_t *>(bits); // a new DIB section is all zero: black
  frame->width = width;
  frame->height = height;
  return frame;
}

void FreeFrameBuffer(FrameBuffer *frame) {
  if (frame == nullptr)
    return;
  SelectObject(frame->dc, frame->previous);
  DeleteObject(frame->bitmap);
  DeleteDC(frame->dc);
  delete frame;
}

int FrameBufferWidth(const FrameBuffer *frame) { return frame->width; }
int FrameBufferHeight(const FrameBuffer *frame) { return frame->height; }

void DrawIntoFrameBuffer(FrameBuffer *frame, void (*draw)(Canvas &canvas, void *context), void *context) {
  Canvas canvas = MakeGdiCanvas(frame->dc, frame->width, frame->height);
  draw(canvas, context);
  GdiFlush(); // GDI may batch: the bits are read, copied or presented next
  SelectClipRgn(frame->dc, nullptr); // a clip the drawing set stays with it
  frame->stamp = NewStamp();
}

uint64_t FrameBufferStamp(const FrameBuffer *frame) { return frame->stamp; }

const uint32_t *FrameBufferPixels(const FrameBuffer *frame, int *stride_bytes) {
  *stride_bytes = frame->width * 4;
  return frame->bits;
}

void *GdiFrameBufferDc(FrameBuffer *frame) { return frame->dc; }
