// coverage_mask.cpp: coverage masks, and applying them to an image surface's pixels directly.
#include "platform/portable/coverage_mask.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// The pixels of an image surface that may be written directly: a 32-bit image drawn with no transformation
// and no clip, so that user space is pixel space and every pixel is the canvas's to change.
struct Pixels {
  cairo_surface_t *surface = nullptr;
  unsigned char *data = nullptr;
  int stride = 0;
  Rect bounds;
};

Rect Intersect(Rect a, Rect b);

// Narrows bounds to cr's clip when the clip is one rectangle of whole pixels (the canvas's clip, drawing a part of
// a frame again); false for any other shape.
bool ClipRectangle(cairo_t *cr, Rect &bounds) {
  cairo_rectangle_list_t *list = cairo_copy_clip_rectangle_list(cr);
  bool whole = list->status == CAIRO_STATUS_SUCCESS && list->num_rectangles == 1;
  if (whole) {
    const cairo_rectangle_t &r = list->rectangles[0];
    const Rect clip{static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.x + r.width),
                    static_cast<int>(r.y + r.height)};
    whole = clip.left == r.x && clip.top == r.y && clip.right == r.x + r.width && clip.bottom == r.y + r.height;
    bounds = Intersect(bounds, clip);
  }
  cairo_rectangle_list_destroy(list);
  return whole;
}

bool DirectPixels(cairo_t *cr, Pixels &out) {
  cairo_surface_t *surface = cairo_get_target(cr);
  if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE)
    return false;
  const cairo_format_t format = cairo_image_surface_get_format(surface);
  if (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32)
    return false;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  double dx = 0, dy = 0;
  cairo_surface_get_device_offset(surface, &dx, &dy);
  if (m.xx != 1 || m.yx != 0 || m.xy != 0 || m.yy != 1 || m.x0 != 0 || m.y0 != 0 || dx != 0 || dy != 0)
    return false;
  const int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
  out.bounds = Rect{0, 0, width, height};
  if ((x1 > 0 || y1 > 0 || x2 < width || y2 < height) && !ClipRectangle(cr, out.bounds))
    return false; // a clip of another shape: Cairo applies it
  cairo_surface_flush(surface);
  out.surface = surface;
  out.data = cairo_image_surface_get_data(surface);
  out.stride = cairo_image_surface_get_stride(surface);
  return out.data != nullptr;
}

Rect Intersect(Rect a, Rect b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

uint32_t Solid(Colour c) { return 0xFF000000u | uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b; }

// pixman's UN8x4_MUL_UN8: each channel times a / 255, rounded.
uint32_t MultiplyChannels(uint32_t x, uint32_t a) {
  uint32_t rb = (x & 0x00FF00FFu) * a + 0x00800080u;
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  uint32_t ag = ((x >> 8) & 0x00FF00FFu) * a + 0x00800080u;
  ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
  return rb | ag;
}

// pixman's UN8x4_ADD_UN8x4: each channel added, saturating.
uint32_t AddChannels(uint32_t x, uint32_t y) {
  uint32_t rb = (x & 0x00FF00FFu) + (y & 0x00FF00FFu);
  rb |= 0x01000100u - ((rb >> 8) & 0x00FF00FFu);
  uint32_t ag = ((x >> 8) & 0x00FF00FFu) + ((y >> 8) & 0x00FF00FFu);
  ag |= 0x01000100u - ((ag >> 8) & 0x00FF00FFu);
  return (rb & 0x00FF00FFu) | ((ag & 0x00FF00FFu) << 8);
}

// The solid colour at every coverage: MultiplyChannels(solid, m) for m = 0..255, for the colours painted
// lately on this thread (a frame paints its texts in a handful of colours).
const uint32_t *ColourAtCoverage(uint32_t solid) {
  struct Table {
    uint32_t solid = 0;
    uint32_t at[256];
  };
  constexpr int kTables = 8;
  thread_local Table tables[kTables];
  thread_local int next = 0;
  for (Table &t : tables)
    if (t.solid == solid)
      return t.at;
  Table &t = tables[next];
  next = (next + 1) % kTables;
  t.solid = solid;
  for (uint32_t m = 0; m < 256; ++m)
    t.at[m] = MultiplyChannels(solid, m);
  return t.at;
}

// The solid colour through coverage m OVER the pixel d, as pixman's over_n_8_8888 composes it: the colour
// IN the coverage, then OVER the pixel. at is ColourAtCoverage of the colour.
uint32_t Over(const uint32_t *at, uint32_t m, uint32_t d) {
  const uint32_t s = at[m];
  return m == 0xFF ? s : AddChannels(s, MultiplyChannels(d, 0xFF - m));
}

} // namespace

CoverageMask::CoverageMask(CoverageMask &&other) noexcept
    : spans_(std::move(other.spans_)), coverage_(std::move(other.coverage_)), width_(std::exchange(other.width_, 0)),
      height_(other.height_), stride_(other.stride_), x_(other.x_), y_(other.y_), dense_(std::move(other.dense_)),
      surface_(std::exchange(other.surface_, nullptr)) {}

CoverageMask &CoverageMask::operator=(CoverageMask &&other) noexcept {
  std::swap(coverage_, other.coverage_);
  std::swap(spans_, other.spans_);
  std::swap(width_, other.width_);
  std::swap(dense_, other.dense_);
  std::swap(surface_, other.surface_);
  height_ = other.height_;
  stride_ = other.stride_;
  x_ = other.x_;
  y_ = other.y_;
  return *this;
}

CoverageMask::~CoverageMask() {
  if (surface_ != nullptr)
    cairo_surface_destroy(surface_);
}

CoverageMask CoverageMask::Trimmed(cairo_surface_t *drawn, int x, int y) {
  cairo_surface_flush(drawn);
  const unsigned char *data = cairo_image_surface_get_data(drawn);
  const int stride = cairo_image_surface_get_stride(drawn);
  const int width = cairo_image_surface_get_width(drawn), height = cairo_image_surface_get_height(drawn);
  // One pass gathers the covered runs of every row, skipping empty stretches a word at a time: the mask of a
  // large ring is nearly all empty.
  std::vector<Span> spans;
  int left = width, right = 0;
  bool partial = false;
  for (int row = 0; row < height; ++row) {
    const unsigned char *line = data + static_cast<size_t>(row) * stride;
    for (int column = 0; column < width;) {
      uint64_t word = 0;
      if (column % 8 == 0 && column + 8 <= width && (std::memcpy(&word, line + column, 8), word == 0)) {
        column += 8;
        continue;
      }
      if (line[column] == 0) {
        ++column;
        continue;
      }
      const int begin = column;
      for (; column < width && line[column] != 0; ++column)
        partial |= line[column] != 0xFF;
      spans.push_back(Span{static_cast<int16_t>(row), static_cast<int16_t>(begin), static_cast<int16_t>(column)});
      left = std::min(left, begin);
      right = std::max(right, column);
    }
  }
  CoverageMask mask;
  if (spans.empty())
    return mask; // covers nothing
  const int top = spans.front().row, bottom = spans.back().row + 1;
  for (Span &span : spans) {
    span.row = static_cast<int16_t>(span.row - top);
    span.begin = static_cast<int16_t>(span.begin - left);
    span.end = static_cast<int16_t>(span.end - left);
  }
  mask.spans_ = std::move(spans);
  mask.width_ = right - left;
  mask.height_ = bottom - top;
  mask.stride_ = cairo_format_stride_for_width(CAIRO_FORMAT_A8, mask.width_);
  mask.x_ = x + left;
  mask.y_ = y + top;
  if (partial) {
    mask.coverage_.assign(static_cast<size_t>(mask.stride_) * mask.height_, 0);
    for (int row = top; row < bottom; ++row)
      std::memcpy(mask.coverage_.data() + static_cast<size_t>(row - top) * mask.stride_,
                  data + static_cast<size_t>(row) * stride + left, static_cast<size_t>(mask.width_));
  }
  return mask;
}

cairo_surface_t *CoverageMask::Surface() const {
  if (surface_ != nullptr)
    return surface_;
  if (!coverage_.empty()) {
    dense_ = coverage_;
  } else {
    dense_.assign(static_cast<size_t>(stride_) * height_, 0);
    for (const Span &span : spans_)
      std::fill_n(dense_.data() + static_cast<size_t>(span.row) * stride_ + span.begin, span.end - span.begin, 0xFF);
  }
  surface_ = cairo_image_surface_create_for_data(dense_.data(), CAIRO_FORMAT_A8, width_, height_, stride_);
  return surface_;
}

void CoverageMask::Paint(cairo_t *cr, int x, int y, Colour colour, const Rect *within) const {
  if (Empty())
    return;
  const Rect placed{x + x_, y + y_, x + x_ + width_, y + y_ + height_};
  Pixels pixels;
  if (!DirectPixels(cr, pixels)) {
    cairo_save(cr);
    if (within != nullptr) {
      cairo_new_path(cr);
      cairo_rectangle(cr, within->left, within->top, within->right - within->left, within->bottom - within->top);
      cairo_clip(cr);
    }
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_rgb(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
    cairo_mask_surface(cr, Surface(), placed.left, placed.top);
    cairo_restore(cr);
    return;
  }
  Rect area = Intersect(placed, pixels.bounds);
  if (within != nullptr)
    area = Intersect(area, *within);
  if (area.right <= area.left || area.bottom <= area.top)
    return;
  const uint32_t solid = Solid(colour);
  const uint32_t *at = coverage_.empty() ? nullptr : ColourAtCoverage(solid);
  for (const Span &span : spans_) {
    const int row = placed.top + span.row;
    if (row < area.top || row >= area.bottom)
      continue;
    const int begin = std::max(placed.left + span.begin, area.left), end = std::min(placed.left + span.end, area.right);
    if (begin >= end)
      continue;
    auto *d = reinterpret_cast<uint32_t *>(pixels.data + static_cast<size_t>(row) * pixels.stride);
    if (at == nullptr) {
      std::fill(d + begin, d + end, solid);
      continue;
    }
    const uint8_t *m = coverage_.data() + static_cast<size_t>(span.row) * stride_ + (begin - placed.left);
    for (int column = begin; column < end; ++column, ++m)
      d[column] = Over(at, *m, d[column]);
  }
  cairo_surface_mark_dirty_rectangle(pixels.surface, area.left, area.top, area.right - area.left,
                                     area.bottom - area.top);
}

void FillPixels(cairo_t *cr, Rect rect, Colour colour, const Rect *within) {
  Pixels pixels;
  if (!DirectPixels(cr, pixels)) {
    cairo_save(cr);
    cairo_new_path(cr);
    if (within != nullptr) {
      cairo_rectangle(cr, within->left, within->top, within->right - within->left, within->bottom - within->top);
      cairo_clip(cr);
    }
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_rgb(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
    cairo_rectangle(cr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    cairo_fill(cr);
    cairo_restore(cr);
    return;
  }
  Rect area = Intersect(rect, pixels.bounds);
  if (within != nullptr)
    area = Intersect(area, *within);
  if (area.right <= area.left || area.bottom <= area.top)
    return;
  const uint32_t solid = Solid(colour);
  for (int row = area.top; row < area.bottom; ++row) {
    auto *d = reinterpret_cast<uint32_t *>(pixels.data + static_cast<size_t>(row) * pixels.stride);
    std::fill(d + area.left, d + area.right, solid);
  }
  cairo_surface_mark_dirty_rectangle(pixels.surface, area.left, area.top, area.right - area.left,
                                     area.bottom - area.top);
}
