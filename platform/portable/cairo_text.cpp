// cairo_text.cpp: text for the Cairo canvas, laid out once with Pango and kept as glyph runs.
#include "platform/portable/cairo_text.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <mutex>
#include <string>
#include <strings.h>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/portable/coverage_mask.h"
#include "platform/portable/generation_cache.h"
#include "platform/utf8.h"

namespace {

// One text size: a layout reused for every line set in it, and where its baseline sits in the cell.
struct TextFont {
  PangoLayout *layout = nullptr;
  int ascent = 0;      // pixels from the cell's top to the baseline
  std::wstring shaped; // the text the layout holds: setting it again would only shape it again
};

// A reference to the Cairo font of a run, held while the run is kept.
class FontRef {
public:
  explicit FontRef(cairo_scaled_font_t *font) : font_(cairo_scaled_font_reference(font)) {}
  FontRef(const FontRef &other) : font_(cairo_scaled_font_reference(other.font_)) {}
  FontRef &operator=(const FontRef &) = delete;
  ~FontRef() { cairo_scaled_font_destroy(font_); }
  cairo_scaled_font_t *get() const { return font_; }

private:
  cairo_scaled_font_t *font_;
};

// Glyphs of one font, placed as Pango places them: x from the line's left edge, y from the cell's baseline.
struct GlyphRun {
  FontRef font;
  std::vector<cairo_glyph_t> glyphs;
};

struct TextLine {
  std::wstring text; // for Pango to draw, when the runs cannot stand in for it
  int width = 0;
  std::vector<GlyphRun> runs;
  CoverageMask mask; // what the runs cover, from the line's left edge and baseline; made at its first drawing
  bool mask_drawn = false;
};

struct LaidOutText {
  std::vector<TextLine> lines;
  bool runs_complete = true; // false: some glyph is one Pango draws by other means (a missing character's box)
};

struct TextKey {
  int cell_height = 0;
  int break_width = -1; // the rectangle's width when broken at blanks, else -1
  std::wstring text;
  bool operator==(const TextKey &) const = default;
};

struct TextKeyHash {
  size_t operator()(const TextKey &key) const {
    const size_t h = std::hash<std::wstring>{}(key.text);
    return h ^ (static_cast<size_t>(key.cell_height) * 0x9E3779B97F4A7C15u) ^
           (static_cast<size_t>(key.break_width + 1) << 20);
  }
};

// Texts kept per generation: a few frames' worth of every page.
constexpr size_t kGenerationSize = 2048;

// The fonts and laid-out texts of every canvas, made on first use and kept for the life of the process, as
// the GDI side keeps its fonts. Text is drawn on the user-interface thread; the lock keeps a stray caller (a
// test, a benchmark) from corrupting them.
struct TextState {
  std::mutex lock;
  PangoContext *context = nullptr;
  std::string family;
  std::unordered_map<int, TextFont> by_height;
  bool keep_layouts = true;
  GenerationCache<TextKey, LaidOutText, TextKeyHash> kept{kGenerationSize};
  TextKey probe;                     // reused for lookups, so that a hit allocates nothing
  std::vector<cairo_glyph_t> placed; // scratch: one run's glyphs placed on the window
};

TextState state;

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
  if (state.context != nullptr)
    return;
  PangoFontMap *map = pango_cairo_font_map_new();
  state.family = FontMapHasFamily(map, "Lucida Console") ? "Lucida Console" : "DejaVu Sans Mono";
  state.context = pango_font_map_create_context(map);
  g_object_unref(map); // the context holds it
  // Whole-pixel advances, as GDI has, so that widths and alignment come out in whole pixels.
  cairo_font_options_t *options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(state.context, options);
  cairo_font_options_destroy(options);
}

// GDI's font height is the cell height, ascent plus descent; Pango sizes by the em. Measure the face's
// cell per em once at a large size, where rounding is negligible, and size the em so the cell is h pixels.
TextFont &FontFor(int h) {
  OpenFonts();
  auto found = state.by_height.find(h);
  if (found != state.by_height.end())
    return found->second;
  PangoFontDescription *description = pango_font_description_new();
  pango_font_description_set_family(description, state.family.c_str());
  pango_font_description_set_weight(description, PANGO_WEIGHT_BOLD);
  constexpr double kReference = 200.0;
  pango_font_description_set_absolute_size(description, kReference * PANGO_SCALE);
  PangoFontMetrics *metrics = pango_context_get_metrics(state.context, description, nullptr);
  const double ascent = pango_font_metrics_get_ascent(metrics);
  const double descent = pango_font_metrics_get_descent(metrics);
  pango_font_metrics_unref(metrics);
  const double cell = ascent + descent > 0 ? ascent + descent : kReference * PANGO_SCALE;
  pango_font_description_set_absolute_size(description, h * kReference * PANGO_SCALE * PANGO_SCALE / cell);
  TextFont font;
  font.layout = pango_layout_new(state.context);
  pango_layout_set_font_description(font.layout, description);
  pango_font_description_free(description);
  font.ascent = static_cast<int>(std::lround(h * ascent / cell));
  return state.by_height.emplace(h, font).first->second;
}

void SetText(TextFont &font, std::wstring_view text) {
  if (font.shaped == text)
    return;
  font.shaped.assign(text);
  const std::string utf8 = WideToUtf8(font.shaped);
  pango_layout_set_text(font.layout, utf8.data(), static_cast<int>(utf8.size()));
}

int LayoutWidth(PangoLayout *layout) {
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  return logical.width;
}

int MeasureLine(TextFont &font, std::wstring_view text) {
  if (text.empty())
    return 0;
  SetText(font, text);
  return LayoutWidth(font.layout);
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
void BreakParagraph(TextFont &font, std::wstring_view paragraph, int width, std::vector<std::wstring_view> &lines) {
  // A paragraph that fits whole is one line: no shorter run of its words is wider (every advance of the face
  // is positive), so the greedy breaking below would take every word. Most texts are such one-liners, and
  // measuring them whole shapes them once, the very shaping LayOut then takes its line from.
  if (std::wstring_view whole = TrimTrailingBlanks(paragraph); whole.size() == paragraph.size() &&
                                                               MeasureLine(font, whole) <= width) {
    lines.push_back(paragraph);
    return;
  }
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
      if (MeasureLine(font, TrimTrailingBlanks(paragraph.substr(start, longer - start))) > width)
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
std::vector<std::wstring_view> LayOutLines(TextFont &font, std::wstring_view text, bool word_break, int width) {
  std::vector<std::wstring_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != L'\n' && text[end] != L'\r')
      ++end;
    const std::wstring_view paragraph = text.substr(start, end - start);
    if (word_break && !paragraph.empty())
      BreakParagraph(font, paragraph, width, lines);
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

// The glyph runs of the line the layout holds, placed as pango_cairo_show_layout places them when the
// current point is (0, -(baseline in whole pixels)): x from the line's left, y from the cell's baseline.
// False when a glyph is not a plain one (Pango draws a box for a missing character itself).
bool TakeRuns(PangoLayout *layout, std::vector<GlyphRun> &runs) {
  const int baseline = pango_layout_get_baseline(layout);
  const double y = -(baseline / PANGO_SCALE) + static_cast<double>(baseline) / PANGO_SCALE;
  PangoLayoutLine *line = pango_layout_get_line_readonly(layout, 0);
  if (line == nullptr)
    return true;
  PangoRectangle logical;
  pango_layout_line_get_extents(line, nullptr, &logical);
  int run_x = logical.x;
  for (GSList *l = line->runs; l != nullptr; l = l->next) {
    const auto *run = static_cast<PangoGlyphItem *>(l->data);
    cairo_scaled_font_t *font = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(run->item->analysis.font));
    if (font == nullptr)
      return false;
    GlyphRun &out = runs.emplace_back(GlyphRun{FontRef(font), {}});
    int x_position = 0;
    for (int i = 0; i < run->glyphs->num_glyphs; ++i) {
      const PangoGlyphInfo &g = run->glyphs->glyphs[i];
      if (g.glyph & PANGO_GLYPH_UNKNOWN_FLAG)
        return false;
      if (g.glyph != PANGO_GLYPH_EMPTY) {
        const double gx = static_cast<double>(run_x) / PANGO_SCALE +
                          static_cast<double>(x_position + g.geometry.x_offset) / PANGO_SCALE;
        const double gy = g.geometry.y_offset == 0 ? y : y + static_cast<double>(g.geometry.y_offset) / PANGO_SCALE;
        out.glyphs.push_back(cairo_glyph_t{g.glyph, gx, gy});
      }
      x_position += g.geometry.width;
    }
    run_x += pango_glyph_string_get_width(run->glyphs);
  }
  return true;
}

LaidOutText LayOut(TextFont &font, std::wstring_view text, bool word_break, int width) {
  LaidOutText laid_out;
  for (const std::wstring_view line : LayOutLines(font, text, word_break, width)) {
    TextLine &out = laid_out.lines.emplace_back();
    out.text = line;
    if (line.empty())
      continue;
    SetText(font, line);
    out.width = LayoutWidth(font.layout);
    if (laid_out.runs_complete && !TakeRuns(font.layout, out.runs))
      laid_out.runs_complete = false;
  }
  return laid_out;
}

// The kept layout of a text, laid out now when it is not kept.
LaidOutText &Find(TextFont &font, int cell_height, std::wstring_view text, bool word_break, int width) {
  TextKey &probe = state.probe;
  probe.cell_height = cell_height;
  probe.break_width = word_break ? width : -1;
  probe.text.assign(text);
  if (LaidOutText *found = state.kept.Find(probe))
    return *found;
  return state.kept.Add(probe, LayOut(font, text, word_break, width));
}

void SetColour(cairo_t *cr, Colour colour) {
  cairo_set_source_rgb(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
}

// One line's glyphs at (x, baseline y) on the window.
void ShowRuns(cairo_t *cr, const TextLine &line, int x, int baseline) {
  for (const GlyphRun &run : line.runs) {
    std::vector<cairo_glyph_t> &placed = state.placed;
    placed.assign(run.glyphs.begin(), run.glyphs.end());
    for (cairo_glyph_t &g : placed) {
      g.x += x;
      g.y += baseline;
    }
    cairo_set_scaled_font(cr, run.font.get());
    cairo_show_glyphs(cr, placed.data(), static_cast<int>(placed.size()));
  }
}

// The line's glyphs drawn in white on a mask large enough for their ink: painting the text colour through
// it gives the pixels of drawing the glyphs one by one.
CoverageMask DrawCoverage(const TextLine &line) {
  double left = 0, top = 0, right = 0, bottom = 0;
  bool any = false;
  for (const GlyphRun &run : line.runs) {
    if (run.glyphs.empty())
      continue;
    cairo_text_extents_t ink;
    cairo_scaled_font_glyph_extents(run.font.get(), run.glyphs.data(), static_cast<int>(run.glyphs.size()), &ink);
    const double l = ink.x_bearing, t = ink.y_bearing, r = ink.x_bearing + ink.width, b = ink.y_bearing + ink.height;
    left = any ? std::min(left, l) : l;
    top = any ? std::min(top, t) : t;
    right = any ? std::max(right, r) : r;
    bottom = any ? std::max(bottom, b) : b;
    any = true;
  }
  if (!any)
    return CoverageMask();
  // Room on every side for the rounding of glyph positions; the mask is trimmed afterwards.
  const int x = static_cast<int>(std::floor(left)) - 2, y = static_cast<int>(std::floor(top)) - 2;
  const int width = static_cast<int>(std::ceil(right)) + 2 - x, height = static_cast<int>(std::ceil(bottom)) + 2 - y;
  cairo_surface_t *drawn = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
  cairo_t *cr = cairo_create(drawn);
  cairo_set_source_rgb(cr, 1, 1, 1);
  ShowRuns(cr, line, -x, -y);
  cairo_destroy(cr);
  CoverageMask mask = CoverageMask::Trimmed(drawn, x, y);
  cairo_surface_destroy(drawn);
  return mask;
}

const CoverageMask &Coverage(TextLine &line) {
  if (!line.mask_drawn) {
    line.mask = DrawCoverage(line);
    line.mask_drawn = true;
  }
  return line.mask;
}

// Where each line of a text goes: lines from the rectangle's top, one cell height apart, aligned per line.
// Single-line bottom alignment is the only vertical alignment GDI honours, and these texts are never
// single-line, so lines always start at the top. each(line, x, y) is called for every line that has width
// and starts inside the rectangle.
template <typename Each> void PlaceLines(LaidOutText &laid_out, Rect r, uint32_t flags, int h, const Each &each) {
  int y = r.top;
  for (TextLine &line : laid_out.lines) {
    if (y >= r.bottom)
      break;
    if (line.width > 0) {
      int x = r.left;
      if (flags & kTextCenter)
        x = (r.left + r.right - line.width) / 2;
      else if (flags & kTextRight)
        x = r.right - line.width;
      each(line, x, y);
    }
    y += h;
  }
}

} // namespace

void DrawCairoText(cairo_t *cr, const CairoTextStyle &style, Rect r, std::wstring_view text, uint32_t flags) {
  std::lock_guard hold(state.lock);
  const int h = style.cell_height;
  TextFont &font = FontFor(h);
  const bool word_break = (flags & kTextWordBreak) != 0;
  const int break_width = r.right - r.left;
  if (state.keep_layouts) {
    LaidOutText &kept = Find(font, h, text, word_break, break_width);
    if (kept.runs_complete) {
      // Opaque text fills its own cells only, not the whole rectangle; both stay inside the rectangle.
      PlaceLines(kept, r, flags, h, [&](TextLine &line, int x, int y) {
        if (style.opaque)
          FillPixels(cr, Rect{x, y, x + line.width, y + h}, style.back_colour, &r);
        Coverage(line).Paint(cr, x, y + font.ascent, style.text_colour, &r);
      });
      return;
    }
  }
  // Laid out afresh and drawn by Pango.
  LaidOutText laid_out = LayOut(font, text, word_break, break_width);
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
  cairo_clip(cr);
  PlaceLines(laid_out, r, flags, h, [&](TextLine &line, int x, int y) {
    if (style.opaque) {
      cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
      SetColour(cr, style.back_colour);
      cairo_rectangle(cr, x, y, line.width, h);
      cairo_fill(cr);
    }
    SetColour(cr, style.text_colour);
    SetText(font, line.text);
    cairo_move_to(cr, x, y + font.ascent - pango_layout_get_baseline(font.layout) / PANGO_SCALE);
    pango_cairo_show_layout(cr, font.layout);
  });
  cairo_restore(cr);
}

int MeasureCairoText(int cell_height, std::wstring_view text) {
  std::lock_guard hold(state.lock);
  return MeasureLine(FontFor(cell_height), text);
}

const char *CairoTextFamily() {
  std::lock_guard hold(state.lock);
  OpenFonts();
  return state.family.c_str();
}

void KeepCairoTextLayouts(bool keep) {
  std::lock_guard hold(state.lock);
  state.keep_layouts = keep;
}
