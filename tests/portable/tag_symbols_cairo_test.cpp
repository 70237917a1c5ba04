// tag_symbols_cairo_test.cpp: tag symbols drawn by the Cairo canvas, checked at the pixels that tell the
// frames apart.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/portable/cairo_canvas.h"
#include "tactical/tag_symbols.h"

namespace {

// Every pixel of an 80 × 80 white image with one symbol of size 26 centred on (40, 40), row by row.
std::vector<Colour> Draw(int affiliation, int symbol_class) {
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 80, 80);
  cairo_t *cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  Canvas canvas = MakeCairoCanvas(cr, 80, 80);
  DrawTagSymbolSized(canvas, 40, 40, TagSymbol{affiliation, static_cast<signed char>(symbol_class), 0}, 26);
  cairo_surface_flush(surface);
  std::vector<Colour> pixels;
  for (int y = 0; y < 80; ++y) {
    const auto *row = reinterpret_cast<const uint32_t *>(cairo_image_surface_get_data(surface) +
                                                         y * cairo_image_surface_get_stride(surface));
    for (int x = 0; x < 80; ++x)
      pixels.push_back(Rgb(row[x] >> 16 & 0xFF, row[x] >> 8 & 0xFF, row[x] & 0xFF));
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return pixels;
}

TEST(TagSymbolPixels, FramesReadAsOneOutlineWithTheInnerStrokesWiped) {
  constexpr Colour kBlack = Rgb(0, 0, 0), kWhite = Rgb(255, 255, 255);
  const Colour friend_fill = TagFillColour(2), unknown_fill = TagFillColour(0);
  const struct {
    int affiliation, symbol_class, x, y;
    Colour colour;
    const char *why;
  } cases[] = {
      {2, 2, 40, 32, friend_fill, "friend air: the body's top edge is wiped between the sides"},
      {2, 2, 27, 40, kBlack, "left side of the body"},
      {2, 2, 40, 23, kBlack, "top of the dome"},
      {2, 2, 40, 27, friend_fill, "inside the dome"},
      {2, 2, 27, 25, kWhite, "the dome is round"},
      {0, 1, 40, 40, unknown_fill, "unknown ground: the centre"},
      {0, 1, 39, 40, unknown_fill, "the left lobe's inner arc is hidden by the disc"},
      {0, 1, 40, 39, unknown_fill, "so is the top lobe's"},
      {0, 1, 27, 40, kBlack, "the lobes' outer edges stay"},
      {0, 1, 29, 29, kWhite, "between the lobes"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(Draw(c.affiliation, c.symbol_class)[c.y * 80 + c.x], c.colour) << c.why;
  EXPECT_EQ(Draw(7, 1), Draw(0, 1)) << "an affiliation out of range draws as unknown";
}

} // namespace
