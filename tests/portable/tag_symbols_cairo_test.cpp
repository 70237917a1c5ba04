// tag_symbols_cairo_test.cpp: tag symbols drawn by the Cairo canvas, checked at the pixels that tell the
// frames apart.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/portable/cairo_canvas.h"
#include "tactical/tag_symbols.h"

namespace {
constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr Colour kWhite = Rgb(255, 255, 255);

// An 80 x 80 white surface with one symbol of size 26 centred on (40, 40).
struct SymbolImage {
  cairo_surface_t *surface;
  cairo_t *cr;

  explicit SymbolImage(const TagSymbol &symbol) {
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 80, 80);
    cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    Canvas canvas = MakeCairoCanvas(cr, 80, 80);
    DrawTagSymbolSized(canvas, 40, 40, symbol, 26);
    cairo_surface_flush(surface);
  }
  ~SymbolImage() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  SymbolImage(const SymbolImage &) = delete;
  SymbolImage &operator=(const SymbolImage &) = delete;

  Colour At(int x, int y) const {
    const unsigned char *row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const uint32_t pixel = reinterpret_cast<const uint32_t *>(row)[x];
    return Rgb((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
  }
  bool SameAs(const SymbolImage &other) const {
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 80; ++x)
        if (!(At(x, y) == other.At(x, y)))
          return false;
    return true;
  }
};

TagSymbol Symbol(int affiliation, int symbol_class, int category) {
  TagSymbol s;
  s.affiliation = affiliation;
  s.symbol_class = static_cast<signed char>(symbol_class);
  s.category = category;
  return s;
}

TEST(TagSymbolPixels, FriendAirDomeAndBodyReadAsOneOutline) {
  const Colour fill = TagFillColour(2);
  const SymbolImage image(Symbol(2, 2, 0));
  EXPECT_EQ(image.At(40, 32), fill) << "the rectangle's top edge is wiped between the sides";
  EXPECT_EQ(image.At(27, 40), kBlack) << "left side of the body";
  EXPECT_EQ(image.At(40, 47), kBlack) << "bottom of the body";
  EXPECT_EQ(image.At(40, 23), kBlack) << "top of the dome";
  EXPECT_EQ(image.At(40, 27), fill) << "inside the dome";
  EXPECT_EQ(image.At(40, 42), fill) << "inside the body";
  EXPECT_EQ(image.At(40, 20), kWhite);
  EXPECT_EQ(image.At(27, 25), kWhite) << "the dome is round";
}

TEST(TagSymbolPixels, UnknownFourLeafHasNoInnerArcsAndOddAffiliationsMatchIt) {
  const Colour fill = TagFillColour(0);
  const SymbolImage unknown(Symbol(0, 1, 0));
  EXPECT_EQ(unknown.At(40, 40), fill);
  EXPECT_EQ(unknown.At(39, 40), fill) << "the left lobe's inner arc is hidden by the disc";
  EXPECT_EQ(unknown.At(40, 39), fill) << "so is the top lobe's";
  EXPECT_EQ(unknown.At(27, 40), kBlack) << "the left lobe's outer edge stays";
  EXPECT_EQ(unknown.At(40, 27), kBlack) << "the top lobe's outer edge stays";
  EXPECT_EQ(unknown.At(29, 29), kWhite) << "between the lobes";

  const SymbolImage odd(Symbol(7, 1, 0));
  EXPECT_TRUE(odd.SameAs(unknown));
}

} // namespace
