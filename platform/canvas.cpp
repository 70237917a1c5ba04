// canvas.cpp: the canvas state machine shared by every backend.
#include "platform/canvas.h"

#include <cmath>
#include <cwchar>
#include <numbers>

void CanvasMoveTo(Canvas &c, int x, int y) { c.state.current = {x, y}; }

void CanvasLineTo(Canvas &c, int x, int y) {
  c.backend->line(c.impl, c.state, c.state.current, {x, y});
  c.state.current = {x, y};
}

static Point ArcPoint(int x, int y, int r, double degrees) {
  const double radians = degrees * std::numbers::pi / 180.0;
  // Screen y grows downwards, so a counterclockwise angle subtracts from y.
  return {static_cast<int>(std::lround(x + r * std::cos(radians))),
          static_cast<int>(std::lround(y - r * std::sin(radians)))};
}

void CanvasAngleArc(Canvas &c, int x, int y, int r, double start_degrees, double sweep_degrees) {
  const Point start = ArcPoint(x, y, r, start_degrees);
  c.backend->line(c.impl, c.state, c.state.current, start);
  c.backend->arc(c.impl, c.state, {x, y}, r, start_degrees, sweep_degrees);
  c.state.current = ArcPoint(x, y, r, start_degrees + sweep_degrees);
}

void CanvasRectangle(Canvas &c, int left, int top, int right, int bottom) {
  c.backend->rectangle(c.impl, c.state, {left, top, right, bottom});
}

void CanvasEllipse(Canvas &c, int left, int top, int right, int bottom) {
  c.backend->ellipse(c.impl, c.state, {left, top, right, bottom});
}

void CanvasPolygon(Canvas &c, const Point *points, int count) {
  if (count < 2)
    return;
  c.backend->polygon(c.impl, c.state, points, count);
}

void CanvasText(Canvas &c, const wchar_t *text, int length, Rect rect, uint32_t flags) {
  if (length < 0)
    length = static_cast<int>(std::wcslen(text));
  if (length == 0)
    return;
  c.backend->text(c.impl, c.state, rect, text, length, flags);
}

int CanvasTextWidth(Canvas &c, const wchar_t *text, int length) {
  if (length < 0)
    length = static_cast<int>(std::wcslen(text));
  return c.backend->text_width(c.impl, c.state, text, length);
}

void CanvasInvert(Canvas &c, Rect rect) { c.backend->invert(c.impl, rect); }

void CanvasStretchBitmap(Canvas &c, const Bitmap *bitmap, Rect source, Rect destination) {
  if (bitmap == nullptr)
    return;
  c.backend->stretch(c.impl, bitmap, source, destination);
}

bool CanvasClip(Canvas &c, const Rect *rect) {
  if (c.backend->clip == nullptr)
    return false;
  c.backend->clip(c.impl, rect);
  return true;
}

void CanvasFill(Canvas &c, Rect rect, Colour colour) {
  if (rect.right <= rect.left || rect.bottom <= rect.top)
    return;
  c.backend->fill(c.impl, rect, colour);
}
