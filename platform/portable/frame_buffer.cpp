// frame_buffer.cpp: portable implementation of frame_buffer.h: a Cairo image surface drawn by the Cairo canvas.
#include "platform/frame_buffer.h"

#include "platform/portable/bitmap_data.h"
#include "platform/portable/cairo_canvas.h"

#include <atomic>

struct FrameBuffer {
  cairo_surface_t *surface = nullptr; // CAIRO_FORMAT_RGB24
  uint64_t stamp = 0;
};

namespace {
uint64_t NewStamp() {
  static std::atomic<uint64_t> stamps{0};
  return ++stamps;
}
} // namespace

FrameBuffer *CreateFrameBuffer(int width, int height) {
  cairo_surface_t *surface = CreateOpaqueSurface(width, height);
  return surface != nullptr ? new FrameBuffer{surface, NewStamp()} : nullptr;
}

void FreeFrameBuffer(FrameBuffer *frame) {
  if (frame == nullptr)
    return;
  cairo_surface_destroy(frame->surface);
  delete frame;
}

int FrameBufferWidth(const FrameBuffer *frame) { return cairo_image_surface_get_width(frame->surface); }
int FrameBufferHeight(const FrameBuffer *frame) { return cairo_image_surface_get_height(frame->surface); }

void DrawIntoFrameBuffer(FrameBuffer *frame, void (*draw)(Canvas &canvas, void *context), void *context) {
  cairo_t *cr = cairo_create(frame->surface);
  Canvas canvas = MakeCairoCanvas(cr, FrameBufferWidth(frame), FrameBufferHeight(frame));
  draw(canvas, context);
  cairo_destroy(cr);
  cairo_surface_flush(frame->surface);
  frame->stamp = NewStamp();
}

uint64_t FrameBufferStamp(const FrameBuffer *frame) { return frame->stamp; }

const uint32_t *FrameBufferPixels(const FrameBuffer *frame, int *stride_bytes) {
  *stride_bytes = cairo_image_surface_get_stride(frame->surface);
  return reinterpret_cast<const uint32_t *>(cairo_image_surface_get_data(frame->surface));
}

cairo_surface_t *CairoFrameBufferSurface(FrameBuffer *frame) { return frame->surface; }
