// cairo_canvas.h: the portable canvas backend, drawing with Cairo and Pango the picture GDI draws.
#pragma once

#include <cairo.h>

#include "platform/canvas.h"

struct FrameBuffer;

// A canvas over cr for one paint of a width × height window. The canvas keeps cr and does not own it.
Canvas MakeCairoCanvas(cairo_t *cr, int width, int height);

// The family name the canvas sets its text in: "Lucida Console" when fontconfig has it, else the bold
// monospace stand-in.
const char *CairoCanvasFontFamily();

// On (the default), the canvas takes its shortcuts, each giving the very pixels of the plain way: texts are
// drawn from layouts kept from earlier frames, small shapes from masks of what they cover, and primitives
// wholly outside the surface are left out. Off, every primitive is laid out and drawn afresh: the reference
// the shortcuts are checked against.
void UseCairoCanvasShortcuts(bool use);

// The image surface (RGB24) behind a frame of this front end, for presenting and saving it.
cairo_surface_t *CairoFrameBufferSurface(FrameBuffer *frame);
