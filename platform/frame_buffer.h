// frame_buffer.h: the off-screen frame a paint composes, the size of the window's client area.
//
// Each front end keeps one frame, composes every paint into it whole and then presents it; the pixels are
// readable, so that a screenshot or another viewer shows exactly what the window shows.
#pragma once

#include <cstdint>

#include "platform/canvas.h"

struct FrameBuffer; // opaque; owned by the platform

// A width x height frame, all black; null when it cannot be made.
FrameBuffer *CreateFrameBuffer(int width, int height);
void FreeFrameBuffer(FrameBuffer *frame);
int FrameBufferWidth(const FrameBuffer *frame);
int FrameBufferHeight(const FrameBuffer *frame);

// Runs draw with a canvas over the whole frame; the canvas is valid during the call only.
void DrawIntoFrameBuffer(FrameBuffer *frame, void (*draw)(Canvas &canvas, void *context), void *context);

// A number no other frame or drawing of this run has, given anew when the frame is made and after every
// DrawIntoFrameBuffer: a frame whose stamp is still the one read after a drawing holds just what that drawing left.
uint64_t FrameBufferStamp(const FrameBuffer *frame);

// The pixels as 0x..RRGGBB words (the top byte means nothing), the top row first, rows stride_bytes apart.
// Valid until the next draw or the free.
const uint32_t *FrameBufferPixels(const FrameBuffer *frame, int *stride_bytes);
