// coverage_mask.h: what a shape or a line of text covers, kept as an 8-bit mask, for the portable canvas.
//
// Everything the canvas draws is one solid colour at a time over what lies beneath, so painting that colour
// through a mask of the coverage gives the very pixels drawing it again would. Keeping the mask turns the
// next drawing of the same shape or text into one pass over the pixels it covers. On the canvas's own
// surfaces (32-bit image surfaces drawn without a transformation or clip) the mask is applied to the
// pixels directly, with the arithmetic of Cairo's compositor (pixman's OVER of a solid colour through an
// 8-bit mask); anywhere else Cairo applies it.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "platform/canvas.h"

class CoverageMask {
public:
  CoverageMask() = default;
  CoverageMask(const CoverageMask &) = delete;
  CoverageMask &operator=(const CoverageMask &) = delete;
  CoverageMask(CoverageMask &&other) noexcept;
  CoverageMask &operator=(CoverageMask &&other) noexcept;
  ~CoverageMask();

  // Takes what was drawn on drawn (an A8 surface whose corner stands at (x, y) from the drawing's origin),
  // trimmed to the pixels it covers.
  static CoverageMask Trimmed(cairo_surface_t *drawn, int x, int y);

  bool Empty() const { return width_ == 0; }
  // Paints colour through the mask onto cr's surface, the drawing's origin at (x, y), within the rectangle
  // within (or everywhere, when null).
  void Paint(cairo_t *cr, int x, int y, Colour colour, const Rect *within = nullptr) const;

private:
  // A run of covered pixels in one row of the mask, [begin, end) from the mask's left edge.
  struct Span {
    int16_t row, begin, end;
  };

  cairo_surface_t *Surface() const;

  // Every covered pixel, row by row: the only pixels painting visits. A shape's mask covers each pixel
  // wholly or not at all and is kept as its spans alone, so a large one (a bullseye ring) costs little.
  std::vector<Span> spans_;
  std::vector<uint8_t> coverage_; // the partial coverage of anti-aliased text, rows stride_ bytes apart; else empty
  int width_ = 0, height_ = 0, stride_ = 0;
  int x_ = 0, y_ = 0;                          // the mask's corner from the drawing's origin
  mutable std::vector<uint8_t> dense_;         // coverage_ or the spans drawn out, for Cairo
  mutable cairo_surface_t *surface_ = nullptr; // over dense_, made when Cairo has to apply the mask
};

// Sets every pixel of rect (within the rectangle within, when given) to colour, as an aliased fill does.
void FillPixels(cairo_t *cr, Rect rect, Colour colour, const Rect *within = nullptr);
