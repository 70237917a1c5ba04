// canvas.h: the drawing surface of one paint, with the state of a device context.
//
// The core draws through the Canvas* functions below. A canvas keeps its drawing state (pen, brush,
// font, colours, background mode, current point) itself and hands each primitive, with that state, to
// a backend: GDI on Windows, Cairo and Pango on the portable side, and a recorder in the tests.
#pragma once

#include <cstdint>

struct Bitmap;

struct Colour {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(Colour, Colour) = default;
};
constexpr Colour Rgb(int r, int g, int b) {
  return Colour{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

struct Point {
  int x = 0, y = 0;
  friend bool operator==(Point, Point) = default;
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(Rect, Rect) = default;
};

// Text placement flags; the values are those of the Windows DrawText flags so that GDI takes them as they are.
enum : uint32_t {
  kTextLeft = 0x00,
  kTextCenter = 0x01,
  kTextRight = 0x02,
  kTextBottom = 0x08,
  kTextWordBreak = 0x10,
};

struct Pen {
  bool none = false; // a null pen draws no outline
  Colour colour;
  int width = 1;
};

struct Brush {
  bool hollow = true; // a hollow brush fills nothing
  Colour colour;
};

struct CanvasState {
  Pen pen;
  Brush brush;
  int font_height = 13; // every font is bold "Lucida Console"; only the height differs
  Colour text_colour = Rgb(0, 0, 0);
  Colour back_colour = Rgb(255, 255, 255);
  bool opaque = true; // background mode: opaque fills the text cells with the background colour
  Point current;
};

// The primitives a backend draws. Each receives the canvas state in force.
struct CanvasBackend {
  void (*line)(void *impl, const CanvasState &state, Point from, Point to);
  // Circular arc about centre, radius r, from start_degrees counterclockwise (on screen) over sweep_degrees.
  void (*arc)(void *impl, const CanvasState &state, Point centre, int r, double start_degrees, double sweep_degrees);
  void (*rectangle)(void *impl, const CanvasState &state, Rect rect);
  void (*ellipse)(void *impl, const CanvasState &state, Rect bounds);
  void (*polygon)(void *impl, const CanvasState &state, const Point *points, int count);
  void (*text)(void *impl, const CanvasState &state, Rect rect, const wchar_t *text, int length, uint32_t flags);
  int (*text_width)(void *impl, const CanvasState &state, const wchar_t *text, int length);
  void (*invert)(void *impl, Rect rect);
  void (*stretch)(void *impl, const Bitmap *bitmap, Rect source, Rect destination);
  // Sets every pixel of rect to colour, whatever was there: no pen, no blending.
  void (*fill)(void *impl, Rect rect, Colour colour);
  // From now on only the pixels inside rect change (null: every pixel again). A backend without it (null)
  // cannot draw part of a frame again; everything drawn inside rect is exactly what it would be unclipped.
  void (*clip)(void *impl, const Rect *rect) = nullptr;
};

struct Canvas {
  const CanvasBackend *backend = nullptr;
  void *impl = nullptr;
  int width = 0, height = 0;
  CanvasState state;
};

inline void CanvasSetPen(Canvas &c, Colour colour, int width) { c.state.pen = Pen{false, colour, width}; }
inline void CanvasSetNullPen(Canvas &c) { c.state.pen = Pen{true, {}, 0}; }
inline void CanvasSetBrush(Canvas &c, Colour colour) { c.state.brush = Brush{false, colour}; }
inline void CanvasSetHollowBrush(Canvas &c) { c.state.brush = Brush{true, {}}; }
inline void CanvasSetFont(Canvas &c, int height) { c.state.font_height = height; }
inline void CanvasSetTextColour(Canvas &c, Colour colour) { c.state.text_colour = colour; }
inline void CanvasSetBackColour(Canvas &c, Colour colour) { c.state.back_colour = colour; }
inline void CanvasSetOpaque(Canvas &c, bool opaque) { c.state.opaque = opaque; }

void CanvasMoveTo(Canvas &c, int x, int y);
void CanvasLineTo(Canvas &c, int x, int y);
// A straight line from the current point to the arc's start, then the arc; the current point ends at the
// arc's end. Angles in degrees, counterclockwise on screen for a positive sweep.
void CanvasAngleArc(Canvas &c, int x, int y, int r, double start_degrees, double sweep_degrees);
void CanvasRectangle(Canvas &c, int left, int top, int right, int bottom);
void CanvasEllipse(Canvas &c, int left, int top, int right, int bottom);
void CanvasPolygon(Canvas &c, const Point *points, int count);
// Draws length characters of text (-1: up to the terminator) in rect with the kText* flags.
void CanvasText(Canvas &c, const wchar_t *text, int length, Rect rect, uint32_t flags);
int CanvasTextWidth(Canvas &c, const wchar_t *text, int length);
void CanvasInvert(Canvas &c, Rect rect);
void CanvasStretchBitmap(Canvas &c, const Bitmap *bitmap, Rect source, Rect destination);
// Pixels left to right-1 and top to bottom-1 become colour.
void CanvasFill(Canvas &c, Rect rect, Colour colour);
// Limits the drawing to rect (null: lifts the limit). False when the backend cannot clip, which then draws
// everywhere.
bool CanvasClip(Canvas &c, const Rect *rect);
