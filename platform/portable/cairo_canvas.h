// cairo_canvas.h: the portable canvas backend, drawing with Cairo and Pango the picture GDI draws.
#pragma once

#include <cairo.h>

#include "platform/canvas.h"

// A canvas over cr for one paint of a width × height window. The canvas keeps cr and does not own it.
Canvas MakeCairoCanvas(cairo_t *cr, int width, int height);

// The family name the canvas sets its text in: "Lucida Console" when fontconfig has it, else the bold
// monospace stand-in.
const char *CairoCanvasFontFamily();
