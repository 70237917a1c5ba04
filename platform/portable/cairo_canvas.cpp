// cairo_canvas.cpp: the Cairo + Pango canvas backend, drawing pixel for pixel what GDI draws for the same calls.
//
// Geometry follows GDI's integer conventions: a pixel (x, y) is the unit square whose centre is (x + 0.5,
// y + 0.5); rectangles and ellipses cover left..right-1 and top..bottom-1; one-pixel lines leave out their
// last pixel; everything is drawn aliased. Text follows DrawTextW: lines from the rectangle's top, one cell
// height apart, aligned per line, broken at line ends and, when asked, at blanks; clipped to the rectangle.
#include "platform/portable/cairo_canvas.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>
#include <string>
#include <string_view>
#include <strings.h>
#include <unordered_map>
#include <vector>

#include "platform/portable/bitmap_data.h"
#include "platform/portable/utf8.h"

namespace {

// One text size: a layout reused for every line set in it, and where its baseline sits in the cell.
struct TextFont {
  PangoLayout *layout = nullptr;
  int ascent = 0; // pixels from the cell's top to the baseline
};

// The fonts of every canvas, made on first use and kept for the life of the process, as the GDI side keeps
// its fonts. Text is drawn on the UI thread; the lock only keeps a stray caller from corrupting the cache.
struct TextFonts {
  std::mutex lock;
  PangoContext *context = nullptr;
  std::string family;
  std::unordered_map<int, TextFont> by_height;
};

TextFonts fonts;

bool FontMapHasFamily(PangoFontMap *map, const char *name) {
  PangoFontFamily **families = nullptr;
  int count = 0;
  pango_font_map_list_families(map, &families, &count);
  bool found = false;
  for (int i = 0; i < count && !found; ++i)
    found = strcasecmp(pango_font_family_get_name(families[i]), name) == 0;
  g_free(families);
  return found;
}

void OpenFonts() {
  if (fonts.context != nullptr)
    return;
  PangoFontMap *map = pango_cairo_font_map_new();
  fonts.family = FontMapHasFamily(map, "Lucida Console") ? "Lucida Console" : "DejaVu Sans Mono";
  fonts.context = pango_font_map_create_context(map);
  g_object_unref(map); // the context holds it
  // Whole-pixel advances, as GDI has, so that widths and alignment come out in whole pixels.
  cairo_font_options_t *options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(fonts.context, options);
  cairo_font_options_destroy(options);
}

// GDI's font height is the cell height, ascent plus descent; Pango sizes by the em. Measure the face's
// cell per em once at a large size, where rounding is negligible, and size the em so the cell is h pixels.
TextFont &FontFor(int h) {
  OpenFonts();
  auto found = fonts.by_height.find(h);
  if (found != fonts.by_height.end())
    return found->second;
  PangoFontDescription *description = pango_font_description_new();
  pango_font_description_set_family(description, fonts.family.c_str());
  pango_font_description_set_weight(description, PANGO_WEIGHT_BOLD);
  constexpr double kReference = 200.0;
  pango_font_description_set_absolute_size(description, kReference * PANGO_SCALE);
  PangoFontMetrics *metrics = pango_context_get_metrics(fonts.context, description, nullptr);
  const double ascent = pango_font_metrics_get_ascent(metrics);
  const double descent = pango_font_metrics_get_descent(metrics);
  pango_font_metrics_unref(metrics);
  const double cell = ascent + descent > 0 ? ascent + descent : kReference * PANGO_SCALE;
  pango_font_description_set_absolute_size(description, h * kReference * PANGO_SCALE * PANGO_SCALE / cell);
  TextFont font;
  font.layout = pango_layout_new(fonts.context);
  pango_layout_set_font_description(font.layout, description);
  pango_font_description_free(description);
  font.ascent = static_cast<int>(std::lround(h * ascent / cell));
  return fonts.by_height.emplace(h, font).first->second;
}

int CellHeight(const CanvasState &state) { return std::max(state.font_height, 1); }

void SetText(PangoLayout *layout, std::wstring_view text) {
  const std::string utf8 = WideToUtf8(std::wstring(text));
  pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
}

int LayoutWidth(PangoLayout *layout) {
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  return logical.width;
}

int MeasureLine(PangoLayout *layout, std::wstring_view text) {
  if (text.empty())
    return 0;
  SetText(layout, text);
  return LayoutWidth(layout);
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view TrimTrailingBlanks(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// Breaks one paragraph at blanks, greedily, so that each line fits width. A word wider than the rectangle
// stays whole on its own line (and is clipped), as DrawText does without edit-control breaking; the blanks
// at a break are dropped.
void BreakParagraph(PangoLayout *layout, std::wstring_view paragraph, int width,
                    std::vector<std::wstring_view> &lines) {
  size_t start = 0;
  const size_t n = paragraph.size();
  // The end of the next word after position i, with the blanks before it.
  const auto next_word_end = [&](size_t i) {
    while (i < n && IsBlank(paragraph[i]))
      ++i;
    while (i < n && !IsBlank(paragraph[i]))
      ++i;
    return i;
  };
  do {
    size_t end = next_word_end(start);
    for (size_t longer = next_word_end(end); longer != end; longer = next_word_end(end)) {
      if (MeasureLine(layout, TrimTrailingBlanks(paragraph.substr(start, longer - start))) > width)
        break;
      end = longer;
    }
    lines.push_back(paragraph.substr(start, end - start));
    start = end;
    while (start < n && IsBlank(paragraph[start]))
      ++start;
  } while (start < n);
}

// The lines DrawText would draw: broken at CR, LF and CR LF, and at blanks when word breaking.
std::vector<std::wstring_view> LayOutLines(PangoLayout *layout, std::wstring_view text, bool word_break, int width) {
  std::vector<std::wstring_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != L'\n' && text[end] != L'\r')
      ++end;
    const std::wstring_view paragraph = text.substr(start, end - start);
    if (word_break && !paragraph.empty())
      BreakParagraph(layout, paragraph, width, lines);
    else
      lines.push_back(paragraph);
    if (end == text.size())
      break;
    start = end + (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n' ? 2 : 1);
    if (start == text.size())
      break; // a final line end opens no new line
  }
  return lines;
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

void Line(void *impl, const CanvasState &state, Point from, Point to) {
  if (state.pen.none || from == to)
    return;
  cairo_t *cr = Context(impl);
  BeginSolid(cr, state.pen.colour);
  if (ThinPen(state.pen)) {
    StrokeThinSegment(cr, from, to);
  } else {
    cairo_move_to(cr, from.x + 0.5, from.y + 0.5);
    cairo_line_to(cr, to.x + 0.5, to.y + 0.5);
    StrokeWide(cr, state.pen);
  }
  cairo_restore(cr);
}

void Arc(void *impl, const CanvasState &state, Point centre, int r, double start_degrees, double sweep_degrees) {
  if (state.pen.none || r <= 0 || sweep_degrees == 0)
    return;
  cairo_t *cr = Context(impl);
  BeginSolid(cr, state.pen.colour);
  // Cairo's angles turn clockwise on screen; ours turn counterclockwise.
  const double to_radians = std::numbers::pi / 180.0;
  const double from = -start_degrees * to_radians, to = -(start_degrees + sweep_degrees) * to_radians;
  if (sweep_degrees > 0)
    cairo_arc_negative(cr, centre.x + 0.5, centre.y + 0.5, r, from, to);
  else
    cairo_arc(cr, centre.x + 0.5, centre.y + 0.5, r, from, to);
  if (ThinPen(state.pen)) {
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_stroke(cr);
  } else {
    StrokeWide(cr, state.pen);
  }
  cairo_restore(cr);
}

// With no outline GDI fills one pixel less in each direction: the shape of the bounds shrunk by one pixel
// at the right and bottom, filled with the brush.
void FillWithoutPen(cairo_t *cr, const CanvasState &state, Rect r, void (*add_path)(cairo_t *, Rect)) {
  if (state.brush.hollow || r.right - r.left <= 1 || r.bottom - r.top <= 1)
    return;
  BeginSolid(cr, state.brush.colour);
  add_path(cr, {r.left, r.top, r.right - 1, r.bottom - 1});
  cairo_fill(cr);
  cairo_restore(cr);
}

void Rectangle(void *impl, const CanvasState &state, Rect rect) {
  const Rect r = Normalised(rect);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0)
    return;
  cairo_t *cr = Context(impl);
  if (state.pen.none) {
    FillWithoutPen(cr, state, r, [](cairo_t *c, Rect inner) {
      cairo_rectangle(c, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top);
    });
    return;
  }
  if (!state.brush.hollow) {
    BeginSolid(cr, state.brush.colour);
    cairo_rectangle(cr, r.left, r.top, w, h);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  BeginSolid(cr, state.pen.colour);
  if (ThinPen(state.pen)) {
    cairo_rectangle(cr, r.left, r.top, w, 1);
    cairo_rectangle(cr, r.left, r.bottom - 1, w, 1);
    cairo_rectangle(cr, r.left, r.top, 1, h);
    cairo_rectangle(cr, r.right - 1, r.top, 1, h);
    cairo_fill(cr);
  } else {
    cairo_rectangle(cr, r.left + 0.5, r.top + 0.5, w - 1, h - 1);
    StrokeWide(cr, state.pen);
  }
  cairo_restore(cr);
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

void Ellipse(void *impl, const CanvasState &state, Rect bounds) {
  const Rect r = Normalised(bounds);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0)
    return;
  cairo_t *cr = Context(impl);
  if (state.pen.none) {
    FillWithoutPen(cr, state, r, [](cairo_t *c, Rect inner) {
      EllipsePath(c, (inner.left + inner.right) / 2.0, (inner.top + inner.bottom) / 2.0,
                  (inner.right - inner.left) / 2.0, (inner.bottom - inner.top) / 2.0);
    });
    return;
  }
  // The outline's centre line runs half a pixel inside the bounds, so its outer pixels touch them.
  const double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
  const double rx = (w - 1) / 2.0, ry = (h - 1) / 2.0;
  if (!state.brush.hollow) {
    BeginSolid(cr, state.brush.colour);
    EllipsePath(cr, cx, cy, rx, ry);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  BeginSolid(cr, state.pen.colour);
  EllipsePath(cr, cx, cy, rx, ry);
  if (ThinPen(state.pen)) {
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
  } else {
    StrokeWide(cr, state.pen);
  }
  cairo_restore(cr);
}

void Polygon(void *impl, const CanvasState &state, const Point *points, int count) {
  if (count < 2)
    return;
  cairo_t *cr = Context(impl);
  if (!state.brush.hollow) {
    // GDI's default fill mode is alternate: even-odd.
    BeginSolid(cr, state.brush.colour);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_move_to(cr, points[0].x, points[0].y);
    for (int i = 1; i < count; ++i)
      cairo_line_to(cr, points[i].x, points[i].y);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  if (state.pen.none)
    return;
  BeginSolid(cr, state.pen.colour);
  if (ThinPen(state.pen)) {
    for (int i = 0; i < count; ++i)
      StrokeThinSegment(cr, points[i], points[(i + 1) % count]);
  } else {
    cairo_move_to(cr, points[0].x + 0.5, points[0].y + 0.5);
    for (int i = 1; i < count; ++i)
      cairo_line_to(cr, points[i].x + 0.5, points[i].y + 0.5);
    cairo_close_path(cr);
    StrokeWide(cr, state.pen);
  }
  cairo_restore(cr);
}

void Text(void *impl, const CanvasState &state, Rect rect, const wchar_t *text, int length, uint32_t flags) {
  const Rect r = rect;
  if (r.right <= r.left || r.bottom <= r.top || length <= 0)
    return;
  std::lock_guard hold(fonts.lock);
  const int h = CellHeight(state);
  TextFont &font = FontFor(h);
  const std::vector<std::wstring_view> lines =
      LayOutLines(font.layout, std::wstring_view(text, length), (flags & kTextWordBreak) != 0, r.right - r.left);
  cairo_t *cr = Context(impl);
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
  cairo_clip(cr);
  // Single-line bottom alignment is the only vertical alignment GDI honours, and these texts are never
  // single-line, so lines always start at the top.
  int y = r.top;
  for (const std::wstring_view line : lines) {
    if (y >= r.bottom)
      break;
    const int width = MeasureLine(font.layout, line);
    if (width > 0) {
      int x = r.left;
      if (flags & kTextCenter)
        x = (r.left + r.right - width) / 2;
      else if (flags & kTextRight)
        x = r.right - width;
      if (state.opaque) {
        // Opaque text fills its own cells only, not the whole rectangle.
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        SetColour(cr, state.back_colour);
        cairo_rectangle(cr, x, y, width, h);
        cairo_fill(cr);
      }
      SetColour(cr, state.text_colour);
      cairo_move_to(cr, x, y + font.ascent - pango_layout_get_baseline(font.layout) / PANGO_SCALE);
      pango_cairo_show_layout(cr, font.layout);
    }
    y += h;
  }
  cairo_restore(cr);
}

int TextWidth(void *, const CanvasState &state, const wchar_t *text, int length) {
  if (length <= 0)
    return 0;
  std::lock_guard hold(fonts.lock);
  return MeasureLine(FontFor(CellHeight(state)).layout, std::wstring_view(text, length));
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

constexpr CanvasBackend kCairoBackend = {Line, Arc,       Rectangle, Ellipse, Polygon,
                                         Text, TextWidth, Invert,    Stretch, Fill};

} // namespace

Canvas MakeCairoCanvas(cairo_t *cr, int width, int height) {
  Canvas canvas;
  canvas.backend = &kCairoBackend;
  canvas.impl = cr;
  canvas.width = width;
  canvas.height = height;
  return canvas;
}

const char *CairoCanvasFontFamily() {
  std::lock_guard hold(fonts.lock);
  OpenFonts();
  return fonts.family.c_str();
}
