// gdi_canvas.cpp: the canvas backend that draws with GDI on a device context.
//
// Each primitive selects the pen, brush and font it needs from the canvas state, draws, and puts the
// device context back as it found it, all but the font. Pens and brushes live for one primitive; fonts are made
// once per height and kept for the life of the process, as the pages ask for the same few heights on every paint,
// and a text's font stays selected for the next text: selecting a font is no small thing (under Wine a memory
// device context made from the screen's asks the X resources about anti-aliasing each time, opening their files).
#include "platform/win32/gdi_canvas.h"

#include <windows.h>

#include <cmath>
#include <map>
#include <mutex>
#include <numbers>
#include <vector>

namespace {

HDC AsDc(void *impl) { return static_cast<HDC>(impl); }

COLORREF AsColorref(Colour c) { return RGB(c.r, c.g, c.b); }

RECT AsRect(Rect r) { return RECT{r.left, r.top, r.right, r.bottom}; }

struct GdiFonts {
  std::mutex lock;
  std::map<int, HFONT> by_height;
};

GdiFonts &Fonts() {
  static GdiFonts fonts;
  return fonts;
}

HFONT FontOfHeight(int height) {
  GdiFonts &fonts = Fonts();
  std::lock_guard guard(fonts.lock);
  HFONT &font = fonts.by_height[height];
  if (font == nullptr)
    font = CreateFontW(height, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, L"Lucida Console");
  return font;
}

// The pen and, for the filled shapes, the brush of the state, selected into the device context for one
// primitive. Stock objects (the null pen, the hollow brush) are selected but never deleted.
struct ToolSelection {
  HDC dc;
  HPEN pen = nullptr;
  HBRUSH brush = nullptr;
  HGDIOBJ old_pen = nullptr;
  HGDIOBJ old_brush = nullptr;

  ToolSelection(HDC device, const CanvasState &state, bool with_brush) : dc(device) {
    if (!state.pen.none)
      pen = CreatePen(PS_SOLID, state.pen.width, AsColorref(state.pen.colour));
    old_pen = SelectObject(dc, pen != nullptr ? static_cast<HGDIOBJ>(pen) : GetStockObject(NULL_PEN));
    if (!with_brush)
      return;
    if (!state.brush.hollow)
      brush = CreateSolidBrush(AsColorref(state.brush.colour));
    old_brush = SelectObject(dc, brush != nullptr ? static_cast<HGDIOBJ>(brush) : GetStockObject(NULL_BRUSH));
  }
  ~ToolSelection() {
    SelectObject(dc, old_pen);
    if (old_brush != nullptr)
      SelectObject(dc, old_brush);
    if (pen != nullptr)
      DeleteObject(pen);
    if (brush != nullptr)
      DeleteObject(brush);
  }
  ToolSelection(const ToolSelection &) = delete;
  ToolSelection &operator=(const ToolSelection &) = delete;
};

void GdiLine(void *impl, const CanvasState &state, Point from, Point to) {
  if (state.pen.none)
    return;
  const HDC dc = AsDc(impl);
  ToolSelection tools(dc, state, false);
  MoveToEx(dc, from.x, from.y, nullptr);
  LineTo(dc, to.x, to.y);
}

void GdiArc(void *impl, const CanvasState &state, Point centre, int r, double start_degrees, double sweep_degrees) {
  if (state.pen.none || r < 0)
    return;
  const HDC dc = AsDc(impl);
  ToolSelection tools(dc, state, false);
  // The canvas has drawn the lead-in line already; starting AngleArc at the arc's own start point leaves
  // it only the arc to draw.
  const double radians = start_degrees * std::numbers::pi / 180.0;
  MoveToEx(dc, static_cast<int>(std::lround(centre.x + r * std::cos(radians))),
           static_cast<int>(std::lround(centre.y - r * std::sin(radians))), nullptr);
  AngleArc(dc, centre.x, centre.y, static_cast<DWORD>(r), static_cast<FLOAT>(start_degrees),
           static_cast<FLOAT>(sweep_degrees));
}

void GdiRectangle(void *impl, const CanvasState &state, Rect rect) {
  const HDC dc = AsDc(impl);
  ToolSelection tools(dc, state, true);
  Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void GdiEllipse(void *impl, const CanvasState &state, Rect bounds) {
  const HDC dc = AsDc(impl);
  ToolSelection tools(dc, state, true);
  Ellipse(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
}

void GdiPolygon(void *impl, const CanvasState &state, const Point *points, int count) {
  std::vector<POINT> corners(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    corners[static_cast<size_t>(i)] = POINT{points[i].x, points[i].y};
  const HDC dc = AsDc(impl);
  ToolSelection tools(dc, state, true);
  Polygon(dc, corners.data(), count);
}

// Selects the font of the height, unless it is selected already. Fonts are never deleted, so one may stay
// selected in a device context for as long as that lives.
void UseFont(HDC dc, int height) {
  const HFONT font = FontOfHeight(height);
  if (GetCurrentObject(dc, OBJ_FONT) != font)
    SelectObject(dc, font);
}

void GdiText(void *impl, const CanvasState &state, Rect rect, const wchar_t *text, int length, uint32_t flags) {
  const HDC dc = AsDc(impl);
  UseFont(dc, state.font_height);
  const COLORREF old_text = SetTextColor(dc, AsColorref(state.text_colour));
  const COLORREF old_back = SetBkColor(dc, AsColorref(state.back_colour));
  const int old_mode = SetBkMode(dc, state.opaque ? OPAQUE : TRANSPARENT);
  RECT box = AsRect(rect);
  // The kText* flags are the DT_* values, so they go to DrawTextW unchanged.
  DrawTextW(dc, text, length, &box, flags);
  SetBkMode(dc, old_mode);
  SetBkColor(dc, old_back);
  SetTextColor(dc, old_text);
}

int GdiTextWidth(void *impl, const CanvasState &state, const wchar_t *text, int length) {
  const HDC dc = AsDc(impl);
  UseFont(dc, state.font_height);
  SIZE size{};
  const bool measured = GetTextExtentPoint32W(dc, text, length, &size) != 0;
  return measured ? static_cast<int>(size.cx) : 0;
}

void GdiInvert(void *impl, Rect rect) {
  const RECT box = AsRect(rect);
  InvertRect(AsDc(impl), &box);
}

void GdiStretch(void *impl, const Bitmap *bitmap, Rect source, Rect destination) {
  const auto handle = static_cast<HBITMAP>(GdiBitmapHandle(bitmap));
  if (handle == nullptr)
    return;
  const HDC dc = AsDc(impl);
  const HDC memory = CreateCompatibleDC(dc);
  if (memory == nullptr)
    return;
  const HGDIOBJ old_bitmap = SelectObject(memory, handle);
  // COLORONCOLOR drops the rows and columns it shrinks away instead of blending them into black or white.
  const int old_mode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, destination.left, destination.top, destination.right - destination.left,
             destination.bottom - destination.top, memory, source.left, source.top, source.right - source.left,
             source.bottom - source.top, SRCCOPY);
  SetStretchBltMode(dc, old_mode);
  SelectObject(memory, old_bitmap);
  DeleteDC(memory);
}

void GdiFill(void *impl, Rect rect, Colour colour) {
  const RECT box = AsRect(rect);
  const HBRUSH brush = CreateSolidBrush(AsColorref(colour));
  if (brush == nullptr)
    return;
  FillRect(AsDc(impl), &box, brush);
  DeleteObject(brush);
}

void GdiClip(void *impl, const Rect *rect) {
  const HDC dc = AsDc(impl);
  SelectClipRgn(dc, nullptr);
  if (rect != nullptr)
    IntersectClipRect(dc, rect->left, rect->top, rect->right, rect->bottom);
}

constexpr CanvasBackend kGdiBackend = {
    GdiLine, GdiArc, GdiRectangle, GdiEllipse, GdiPolygon, GdiText, GdiTextWidth, GdiInvert, GdiStretch, GdiFill,
    GdiClip,
};

} // namespace

Canvas MakeGdiCanvas(void *hdc, int width, int height) {
  Canvas canvas;
  canvas.backend = &kGdiBackend;
  canvas.impl = hdc;
  canvas.width = width;
  canvas.height = height;
  return canvas;
}
