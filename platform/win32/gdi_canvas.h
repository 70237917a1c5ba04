// gdi_canvas.h: the GDI canvas backend of the Windows front end.
//
// Handles are passed as void * so that this header pulls in no <windows.h>; it is for platform/win32/
// files (and the Windows tests) only.
#pragma once

#include "platform/canvas.h"

struct FrameBuffer;

// A canvas that draws with GDI on the device context hdc (an HDC) of a surface width x height pixels.
// The canvas starts in the default state; the device context's own state is restored after each primitive, but
// for the font of the last text, which stays selected (the fonts live as long as the process).
Canvas MakeGdiCanvas(void *hdc, int width, int height);

// The HBITMAP behind a loaded bitmap, or null.
void *GdiBitmapHandle(const Bitmap *bitmap);

// The memory device context (an HDC) a frame of this front end is drawn in, for copying it to the window.
void *GdiFrameBufferDc(FrameBuffer *frame);
