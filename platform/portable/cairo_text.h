// cairo_text.h: text for the Cairo canvas, set as DrawTextW sets it, in one bold monospace face sized by its
// cell height.
//
// Laying a text out (shaping it, breaking it into lines, measuring them) costs far more than drawing it, and
// a frame draws the same few hundred texts again and again. So each text is laid out once, at its cell
// height and, when it is broken at blanks, its rectangle's width, and kept as the runs of positioned glyphs
// Pango would draw; a frame then only hands those glyphs to Cairo. The texts not used for a while are
// dropped, so the ever-new position texts do not pile up.
#pragma once

#include <cairo.h>

#include <string_view>

#include "platform/canvas.h"

struct CairoTextStyle {
  int cell_height = 13;
  bool opaque = false; // fill each line's cells with back_colour first
  Colour text_colour;
  Colour back_colour;
};

// Draws text in rect with the kText* flags: lines from the rectangle's top, one cell height apart, aligned
// per line, broken at CR, LF and CR LF and, with kTextWordBreak, at blanks; clipped to the rectangle.
void DrawCairoText(cairo_t *cr, const CairoTextStyle &style, Rect rect, std::wstring_view text, uint32_t flags);

// The width of text set on one line.
int MeasureCairoText(int cell_height, std::wstring_view text);

// The family name the text is set in: "Lucida Console" when fontconfig has it, else the bold monospace
// stand-in.
const char *CairoTextFamily();

// On (the default), texts are drawn from their kept layouts; off, every text is laid out afresh and drawn
// by Pango, the reference the kept layouts are checked against.
void KeepCairoTextLayouts(bool keep);
