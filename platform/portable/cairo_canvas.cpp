// cairo_canvas.cpp: the Cairo + Pango canvas backend, drawing pixel for pixel what GDI draws for the same calls.
//
// Geometry follows GDI's integer conventions: a pixel (x, y) is the unit square whose centre is (x + 0.5,
// y + 0.5); rectangles and ellipses cover left..right-1 and top..bottom-1; one-pixel lines leave out their
// last pixel; everything is drawn aliased. Text follows DrawTextW: lines from the rectangle's top, one cell
// height apart, aligned per line, broken at line ends and, when asked, at blanks; clipped to the rectangle.
#include "platform/portable/cairo_canvas.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <numbers>
#include <string>
#include <string_view>
#include <strings.h>
#include <utility>
#include <vector>

#include "platform/portable/bitmap_data.h"
#include "platform/portable/cairo_text.h"
#include "platform/portable/coverage_mask.h"
#include "platform/portable/generation_cache.h"

namespace {

int CellHeight(const CanvasState &state) { return std::max(state.font_height, 1); }

// Off, every primitive is drawn the plain way (UseCairoCanvasShortcuts).
std::atomic<bool> g_shortcuts{true};

bool Shortcuts() { return g_shortcuts.load(std::memory_order_relaxed); }

// True when the area, widened by margin pixels on every side, lies wholly outside what cr may draw on: a
// primitive drawn there would change nothing, so it is left out before any of its work is done (rings and
// ticks of a bullseye far larger than the window, labels past its edge).
bool OutsideClip(cairo_t *cr, Rect area, int margin) {
  if (!Shortcuts())
    return false;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
  return area.right + margin <= x1 || area.bottom + margin <= y1 || area.left - margin >= x2 || area.top - margin >= y2;
}

// What a pen may paint beyond its path: half its width, and a pixel for the round ends' rounding.
int PenReach(const Pen &pen) { return pen.none ? 1 : pen.width + 1; }

Rect Bounds(const Point *points, int count) {
  Rect box{points[0].x, points[0].y, points[0].x, points[0].y};
  for (int i = 1; i < count; ++i) {
    box.left = std::min(box.left, points[i].x);
    box.top = std::min(box.top, points[i].y);
    box.right = std::max(box.right, points[i].x);
    box.bottom = std::max(box.bottom, points[i].y);
  }
  return box;
}

cairo_t *Context(void *impl) { return static_cast<cairo_t *>(impl); }

void SetColour(cairo_t *cr, Colour colour) {
  cairo_set_source_rgb(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
}

// Prepares cr for aliased solid drawing in colour.
void BeginSolid(cairo_t *cr, Colour colour) {
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  SetColour(cr, colour);
}

bool ThinPen(const Pen &pen) { return pen.width <= 1; }

// A one-pixel line as GDI's cosmetic pen draws it: one pixel per step of the major axis, the last pixel left
// out. The stroke is made exactly one pixel tall across the major axis (its width is the major axis's share
// of the length), and both ends are pulled back by half a pixel along the major axis, so that pixel centres
// fall inside it just where a Bresenham walk from the first point to the last puts its pixels.
void StrokeThinSegment(cairo_t *cr, Point a, Point b) {
  const int dx = b.x - a.x, dy = b.y - a.y;
  const int major = std::max(std::abs(dx), std::abs(dy));
  if (major == 0)
    return;
  const double back_x = 0.5 * dx / major, back_y = 0.5 * dy / major;
  cairo_move_to(cr, a.x + 0.5 - back_x, a.y + 0.5 - back_y);
  cairo_line_to(cr, b.x + 0.5 - back_x, b.y + 0.5 - back_y);
  cairo_set_line_width(cr, major / std::hypot(dx, dy));
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_stroke(cr);
}

// A wide pen is a geometric pen: round ends and round joins, centred on the pixel centres of the path.
void StrokeWide(cairo_t *cr, const Pen &pen) {
  cairo_set_line_width(cr, pen.width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

Rect Normalised(Rect r) {
  if (r.left > r.right)
    std::swap(r.left, r.right);
  if (r.top > r.bottom)
    std::swap(r.top, r.bottom);
  return r;
}

// A shape's two parts, each painted in one colour: the brush's fill, then the pen's outline.
enum class Part { kFill, kOutline };

Point Moved(Point p, Point by) { return Point{p.x + by.x, p.y + by.y}; }
Rect Moved(Rect r, Point by) { return Rect{r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y}; }

// Shapes drawn once are kept as masks of what each part covers: every primitive is drawn aliased and in
// solid colours, so painting a part's colour through its mask gives exactly the pixels drawing it again
// would, at a fraction of the cost of stroking and filling paths. A shape is kept by its kind, its pen and
// brush and its coordinates relative to its area's corner, so a symbol or a tick moved by whole pixels is
// the same shape; a ring of a bullseye is the same ring wherever the view has moved it.
struct KeptShape {
  CoverageMask fill, outline; // from the corner of the shape's area
};

// Drawing a shape's mask takes a temporary 8-bit surface of its area; beyond this many pixels the shape is drawn
// each time instead.
constexpr int kLargestKeptShape = 2048 * 2048;
constexpr size_t kShapesPerGeneration = 4096; // several heavy frames' worth: about 700 shapes each

struct Shapes {
  std::mutex lock;
  GenerationCache<std::string, KeptShape, std::hash<std::string>> kept{kShapesPerGeneration};
  std::string probe;
};

Shapes &TheShapes() {
  static Shapes shapes;
  return shapes;
}

// The key of a shape: its kind, what it paints with, and its coordinates relative to its area's corner.
class ShapeKey {
public:
  ShapeKey(std::string &bytes, char kind, const CanvasState &state, bool fills, bool outlines, Rect area)
      : bytes_(bytes), origin_{area.left, area.top} {
    bytes_.assign(1, kind);
    Add(fills ? 1 : 0);
    Add(outlines ? state.pen.width : -1);
    Add(area.right - area.left);
    Add(area.bottom - area.top);
  }
  void Add(int value) { bytes_.append(reinterpret_cast<const char *>(&value), sizeof value); }
  void Add(double value) { bytes_.append(reinterpret_cast<const char *>(&value), sizeof value); }
  void Add(Point p) {
    Add(p.x - origin_.x);
    Add(p.y - origin_.y);
  }

private:
  std::string &bytes_;
  Point origin_;
};

// A part drawn alone into a mask the size of area: white where it paints.
template <typename Paint> CoverageMask DrawMask(Rect area, Part part, const Paint &paint) {
  cairo_surface_t *drawn = cairo_image_surface_create(CAIRO_FORMAT_A8, area.right - area.left, area.bottom - area.top);
  cairo_t *cr = cairo_create(drawn);
  paint(cr, Point{-area.left, -area.top}, part, Rgb(255, 255, 255));
  cairo_destroy(cr);
  CoverageMask mask = CoverageMask::Trimmed(drawn, 0, 0);
  cairo_surface_destroy(drawn);
  return mask;
}

void PaintMask(cairo_t *cr, const CoverageMask &mask, Colour colour, Rect area) {
  mask.Paint(cr, area.left, area.top, colour);
}

// Draws a shape whose parts paint(cr, shift, part, colour) draws, every coordinate moved by shift, within
// area. describe adds the shape's coordinates to its key.
template <typename Describe, typename Paint>
void DrawShape(cairo_t *cr, const CanvasState &state, char kind, bool fills, bool outlines, Rect area,
               const Describe &describe, const Paint &paint) {
  if (!fills && !outlines)
    return;
  const int pixels = (area.right - area.left) * (area.bottom - area.top);
  if (!Shortcuts() || pixels > kLargestKeptShape) {
    if (fills)
      paint(cr, Point{}, Part::kFill, state.brush.colour);
    if (outlines)
      paint(cr, Point{}, Part::kOutline, state.pen.colour);
    return;
  }
  Shapes &shapes = TheShapes();
  std::lock_guard hold(shapes.lock);
  ShapeKey key(shapes.probe, kind, state, fills, outlines, area);
  describe(key);
  KeptShape *shape = shapes.kept.Find(shapes.probe);
  if (shape == nullptr) {
    KeptShape drawn;
    if (fills)
      drawn.fill = DrawMask(area, Part::kFill, paint);
    if (outlines)
      drawn.outline = DrawMask(area, Part::kOutline, paint);
    shape = &shapes.kept.Add(shapes.probe, std::move(drawn));
  }
  PaintMask(cr, shape->fill, state.brush.colour, area);
  PaintMask(cr, shape->outline, state.pen.colour, area);
}

// The area a shape within box may paint, with its pen: the box widened by the pen's reach, one more pixel
// to the right and down (the box's right and bottom are the last pixels' coordinates).
Rect ShapeArea(Rect box, const Pen &pen) {
  const int reach = PenReach(pen);
  return Rect{box.left - reach, box.top - reach, box.right + reach + 1, box.bottom + reach + 1};
}

void Line(void *impl, const CanvasState &state, Point from, Point to) {
  if (state.pen.none || from == to)
    return;
  cairo_t *cr = Context(impl);
  const Point ends[] = {from, to};
  const Rect area = ShapeArea(Bounds(ends, 2), state.pen);
  if (OutsideClip(cr, area, 0))
    return;
  DrawShape(
      cr, state, 'L', false, true, area,
      [&](ShapeKey &key) {
        key.Add(from);
        key.Add(to);
      },
      [&](cairo_t *c, Point d, Part, Colour colour) {
        const Point a = Moved(from, d), b = Moved(to, d);
        BeginSolid(c, colour);
        if (ThinPen(state.pen)) {
          StrokeThinSegment(c, a, b);
        } else {
          cairo_move_to(c, a.x + 0.5, a.y + 0.5);
          cairo_line_to(c, b.x + 0.5, b.y + 0.5);
          StrokeWide(c, state.pen);
        }
        cairo_restore(c);
      });
}

void Arc(void *impl, const CanvasState &state, Point centre, int r, double start_degrees, double sweep_degrees) {
  if (state.pen.none || r <= 0 || sweep_degrees == 0)
    return;
  cairo_t *cr = Context(impl);
  const Rect area = ShapeArea(Rect{centre.x - r, centre.y - r, centre.x + r, centre.y + r}, state.pen);
  if (OutsideClip(cr, area, 0))
    return;
  DrawShape(
      cr, state, 'A', false, true, area,
      [&](ShapeKey &key) {
        key.Add(centre);
        key.Add(r);
        key.Add(start_degrees);
        key.Add(sweep_degrees);
      },
      [&](cairo_t *c, Point d, Part, Colour colour) {
        const Point at = Moved(centre, d);
        BeginSolid(c, colour);
        // Cairo's angles turn clockwise on screen; ours turn counterclockwise.
        const double to_radians = std::numbers::pi / 180.0;
        const double from = -start_degrees * to_radians, to = -(start_degrees + sweep_degrees) * to_radians;
        if (sweep_degrees > 0)
          cairo_arc_negative(c, at.x + 0.5, at.y + 0.5, r, from, to);
        else
          cairo_arc(c, at.x + 0.5, at.y + 0.5, r, from, to);
        if (ThinPen(state.pen)) {
          cairo_set_line_width(c, 1.0);
          cairo_set_line_cap(c, CAIRO_LINE_CAP_BUTT);
          cairo_stroke(c);
        } else {
          StrokeWide(c, state.pen);
        }
        cairo_restore(c);
      });
}

// With no outline GDI fills one pixel less in each direction: the shape of the bounds shrunk by one pixel
// at the right and bottom, filled with the brush. False when that leaves nothing.
bool FillsWithoutPen(const CanvasState &state, Rect r) {
  return !state.brush.hollow && r.right - r.left > 1 && r.bottom - r.top > 1;
}

void Rectangle(void *impl, const CanvasState &state, Rect rect) {
  const Rect r = Normalised(rect);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0)
    return;
  cairo_t *cr = Context(impl);
  const Rect area = ShapeArea(r, state.pen);
  if (OutsideClip(cr, area, 0))
    return;
  const bool outlines = !state.pen.none;
  const bool fills = outlines ? !state.brush.hollow : FillsWithoutPen(state, r);
  DrawShape(
      cr, state, 'R', fills, outlines, area,
      [&](ShapeKey &key) {
        key.Add(Point{r.left, r.top});
        key.Add(Point{r.right, r.bottom});
      },
      [&](cairo_t *c, Point d, Part part, Colour colour) {
        const Rect m = Moved(r, d);
        BeginSolid(c, colour);
        if (part == Part::kFill) {
          const int shrink = outlines ? 0 : 1;
          cairo_rectangle(c, m.left, m.top, w - shrink, h - shrink);
          cairo_fill(c);
        } else if (ThinPen(state.pen)) {
          cairo_rectangle(c, m.left, m.top, w, 1);
          cairo_rectangle(c, m.left, m.bottom - 1, w, 1);
          cairo_rectangle(c, m.left, m.top, 1, h);
          cairo_rectangle(c, m.right - 1, m.top, 1, h);
          cairo_fill(c);
        } else {
          cairo_rectangle(c, m.left + 0.5, m.top + 0.5, w - 1, h - 1);
          StrokeWide(c, state.pen);
        }
        cairo_restore(c);
      });
}

// Adds a closed ellipse to the path; radii of zero become a hairline so the path stays valid.
void EllipsePath(cairo_t *cr, double cx, double cy, double rx, double ry) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, std::max(rx, 1e-3), std::max(ry, 1e-3));
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
  cairo_close_path(cr);
  cairo_restore(cr);
}

// True when all that cr may draw on lies inside the ellipse of bounds, reach pixels clear of its outline:
// an outline alone would change nothing there (the rings of a bullseye far larger than the window).
bool WithinHollow(cairo_t *cr, Rect bounds, int reach) {
  if (!Shortcuts())
    return false;
  const double rx = (bounds.right - bounds.left) / 2.0 - reach, ry = (bounds.bottom - bounds.top) / 2.0 - reach;
  if (rx <= 0 || ry <= 0)
    return false;
  const double cx = (bounds.left + bounds.right) / 2.0, cy = (bounds.top + bounds.bottom) / 2.0;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
  // The inside of an ellipse is convex: the clip's corners inside mean all of it is.
  for (const double x : {x1, x2})
    for (const double y : {y1, y2})
      if ((x - cx) * (x - cx) / (rx * rx) + (y - cy) * (y - cy) / (ry * ry) >= 1.0)
        return false;
  return true;
}

void Ellipse(void *impl, const CanvasState &state, Rect bounds) {
  const Rect r = Normalised(bounds);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0)
    return;
  cairo_t *cr = Context(impl);
  const Rect area = ShapeArea(r, state.pen);
  if (OutsideClip(cr, area, 0))
    return;
  const bool outlines = !state.pen.none;
  const bool fills = outlines ? !state.brush.hollow : FillsWithoutPen(state, r);
  if (!fills && WithinHollow(cr, r, PenReach(state.pen)))
    return;
  DrawShape(
      cr, state, 'E', fills, outlines, area,
      [&](ShapeKey &key) {
        key.Add(Point{r.left, r.top});
        key.Add(Point{r.right, r.bottom});
      },
      [&](cairo_t *c, Point d, Part part, Colour colour) {
        const Rect m = Moved(r, d);
        BeginSolid(c, colour);
        if (!outlines) {
          EllipsePath(c, (m.left + m.right - 1) / 2.0, (m.top + m.bottom - 1) / 2.0, (w - 1) / 2.0, (h - 1) / 2.0);
          cairo_fill(c);
        } else {
          // The outline's centre line runs half a pixel inside the bounds, so its outer pixels touch them.
          EllipsePath(c, (m.left + m.right) / 2.0, (m.top + m.bottom) / 2.0, (w - 1) / 2.0, (h - 1) / 2.0);
          if (part == Part::kFill)
            cairo_fill(c);
          else if (ThinPen(state.pen)) {
            cairo_set_line_width(c, 1.0);
            cairo_stroke(c);
          } else {
            StrokeWide(c, state.pen);
          }
        }
        cairo_restore(c);
      });
}

void Polygon(void *impl, const CanvasState &state, const Point *points, int count) {
  if (count < 2)
    return;
  cairo_t *cr = Context(impl);
  const Rect area = ShapeArea(Bounds(points, count), state.pen);
  if (OutsideClip(cr, area, 0))
    return;
  DrawShape(
      cr, state, 'P', !state.brush.hollow, !state.pen.none, area,
      [&](ShapeKey &key) {
        for (int i = 0; i < count; ++i)
          key.Add(points[i]);
      },
      [&](cairo_t *c, Point d, Part part, Colour colour) {
        BeginSolid(c, colour);
        if (part == Part::kFill) {
          // GDI's default fill mode is alternate: even-odd.
          cairo_set_fill_rule(c, CAIRO_FILL_RULE_EVEN_ODD);
          cairo_move_to(c, points[0].x + d.x, points[0].y + d.y);
          for (int i = 1; i < count; ++i)
            cairo_line_to(c, points[i].x + d.x, points[i].y + d.y);
          cairo_close_path(c);
          cairo_fill(c);
        } else if (ThinPen(state.pen)) {
          for (int i = 0; i < count; ++i)
            StrokeThinSegment(c, Moved(points[i], d), Moved(points[(i + 1) % count], d));
        } else {
          cairo_move_to(c, points[0].x + d.x + 0.5, points[0].y + d.y + 0.5);
          for (int i = 1; i < count; ++i)
            cairo_line_to(c, points[i].x + d.x + 0.5, points[i].y + d.y + 0.5);
          cairo_close_path(c);
          StrokeWide(c, state.pen);
        }
        cairo_restore(c);
      });
}

void Text(void *impl, const CanvasState &state, Rect rect, const wchar_t *text, int length, uint32_t flags) {
  if (rect.right <= rect.left || rect.bottom <= rect.top || length <= 0)
    return;
  cairo_t *cr = Context(impl);
  if (OutsideClip(cr, rect, 0))
    return; // clipped to its rectangle, it would draw nothing: no need to lay it out
  const CairoTextStyle style{CellHeight(state), state.opaque, state.text_colour, state.back_colour};
  DrawCairoText(cr, style, rect, std::wstring_view(text, static_cast<size_t>(length)), flags);
}

int TextWidth(void *, const CanvasState &state, const wchar_t *text, int length) {
  if (length <= 0)
    return 0;
  return MeasureCairoText(CellHeight(state), std::wstring_view(text, static_cast<size_t>(length)));
}

void Invert(void *impl, Rect rect) {
  const Rect r = Normalised(rect);
  if (r.right <= r.left || r.bottom <= r.top)
    return;
  cairo_t *cr = Context(impl);
  BeginSolid(cr, Rgb(255, 255, 255));
  cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE); // |white - pixel|: each channel inverted
  cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
  cairo_fill(cr);
  cairo_restore(cr);
}

// A plain stretched copy, nearest pixel: destination pixel i takes source pixel
// source.left + floor((i + 0.5) × source width / destination width), and likewise down. Only the
// destination's pixels are visited, so a large source area costs no more than a small one. Parts of the
// source area that lie off the bitmap leave the destination as it was.
void Stretch(void *impl, const Bitmap *bitmap, Rect source, Rect destination) {
  const int sw = source.right - source.left, sh = source.bottom - source.top;
  const int dw = destination.right - destination.left, dh = destination.bottom - destination.top;
  if (bitmap == nullptr || bitmap->surface == nullptr || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
    return;
  cairo_t *cr = Context(impl);
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_pattern_t *pattern = cairo_pattern_create_for_surface(bitmap->surface);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_NONE);
  const double sx = static_cast<double>(sw) / dw, sy = static_cast<double>(sh) / dh;
  cairo_matrix_t to_source;
  cairo_matrix_init(&to_source, sx, 0, 0, sy, source.left - destination.left * sx, source.top - destination.top * sy);
  cairo_pattern_set_matrix(pattern, &to_source);
  cairo_set_source(cr, pattern);
  cairo_rectangle(cr, destination.left, destination.top, dw, dh);
  cairo_fill(cr);
  cairo_pattern_destroy(pattern);
  cairo_restore(cr);
}

void Fill(void *impl, Rect rect, Colour colour) {
  cairo_t *cr = Context(impl);
  BeginSolid(cr, colour);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  cairo_fill(cr);
  cairo_restore(cr);
}

void Clip(void *impl, const Rect *rect) {
  cairo_t *cr = Context(impl);
  cairo_reset_clip(cr);
  if (rect == nullptr)
    return;
  cairo_new_path(cr);
  cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
  cairo_clip(cr);
}

constexpr CanvasBackend kCairoBackend = {Line, Arc,     Rectangle, Ellipse, Polygon, Text,
                                         TextWidth, Invert, Stretch, Fill, Clip};

} // namespace

Canvas MakeCairoCanvas(cairo_t *cr, int width, int height) {
  Canvas canvas;
  canvas.backend = &kCairoBackend;
  canvas.impl = cr;
  canvas.width = width;
  canvas.height = height;
  return canvas;
}

const char *CairoCanvasFontFamily() { return CairoTextFamily(); }

void UseCairoCanvasShortcuts(bool use) {
  g_shortcuts = use;
  KeepCairoTextLayouts(use);
}
