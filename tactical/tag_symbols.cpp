// tag_symbols.cpp: the frames and icons of the tag symbol, and its names on the TAGGING selector.
#include "tactical/tag_symbols.h"

#include <initializer_list>

#include "base/colours.h"

namespace {
constexpr int kPenWidth = 2;

// The four frame shapes; every affiliation value a peer may send falls on one of them.
enum class Frame { kUnknown, kEnemy, kFriend, kNeutral };

Frame FrameOf(int32_t affiliation) {
  switch (affiliation) {
  case 1:
    return Frame::kEnemy;
  case 2:
    return Frame::kFriend;
  case 3:
    return Frame::kNeutral;
  default:
    return Frame::kUnknown;
  }
}

// Unknown and neutral frames show every icon; enemy and friend frames show the ground icons on a ground
// frame and the airborne icon on an air frame only.
bool HasIcon(Frame frame, int symbol_class, int32_t category) {
  if (category < 1 || category > 4)
    return false;
  if (frame == Frame::kUnknown || frame == Frame::kNeutral)
    return true;
  if (symbol_class == 1)
    return category <= 3;
  if (symbol_class == 2)
    return category == 4;
  return false;
}

void DrawAaa(Canvas &c, Frame frame, int x, int y, int s) {
  switch (frame) {
  case Frame::kUnknown:
    CanvasMoveTo(c, x + s / 2 - 2, y);
    CanvasAngleArc(c, x, y + s, s, 60, 60);
    break;
  case Frame::kEnemy:
    CanvasMoveTo(c, x + s / 3, y + s / 8);
    CanvasAngleArc(c, x, y + s / 8, s / 3, 0, 180);
    break;
  case Frame::kFriend:
    CanvasMoveTo(c, x + s / 2, y + s / 3);
    CanvasAngleArc(c, x, y + 2 * s / 3, 2 * s / 3, 45, 90);
    break;
  case Frame::kNeutral:
    CanvasMoveTo(c, x + s / 2, y + s / 2);
    CanvasAngleArc(c, x, y + s, s, 60, 60);
    break;
  }
}

// A closed oval track: two straight sides joined by half circles.
void DrawArmor(Canvas &c, Frame frame, int x, int y, int s) {
  const int a = frame == Frame::kUnknown ? s / 8 : s / 6;
  const int r = s / 8;
  CanvasMoveTo(c, x + a, y - r);
  CanvasLineTo(c, x - a, y - r);
  CanvasAngleArc(c, x - a, y, r, 90, 180);
  CanvasLineTo(c, x + a, y + r);
  CanvasAngleArc(c, x + a, y, r, 270, 180);
}

// A cross over the frame's box with two dots below it.
void DrawMechanisedInfantry(Canvas &c, Frame frame, int x, int y, int s) {
  int bx = s / 4, by = s / 4, d = s / 3;
  switch (frame) {
  case Frame::kUnknown:
    break;
  case Frame::kEnemy:
    d = s / 4;
    break;
  case Frame::kFriend:
    bx = s / 2;
    by = s / 3;
    d = s / 5;
    break;
  case Frame::kNeutral:
    bx = s / 2;
    by = s / 2;
    break;
  }
  CanvasMoveTo(c, x + bx, y + by);
  CanvasLineTo(c, x - bx, y - by);
  CanvasMoveTo(c, x - bx, y + by);
  CanvasLineTo(c, x + bx, y - by);
  for (const int dx : {s / 10, -(s / 10)}) {
    CanvasMoveTo(c, x + dx, y + d);
    CanvasAngleArc(c, x + dx, y + d, 2, 0, 360);
  }
}

// A figure-eight crossed by its two diagonals.
void DrawAirborne(Canvas &c, int x, int y, int s) {
  const int e = s / 8;
  CanvasMoveTo(c, x + e, y + e);
  CanvasLineTo(c, x - e, y - e);
  CanvasAngleArc(c, x - e, y, e, 90, 180);
  CanvasLineTo(c, x + e, y - e);
  CanvasMoveTo(c, x + e, y + e);
  CanvasAngleArc(c, x + e, y, e, 270, 180);
}

void DrawIcon(Canvas &c, Frame frame, const TagSymbol &symbol, int x, int y, int s) {
  if (!HasIcon(frame, symbol.symbol_class, symbol.category))
    return;
  CanvasSetPen(c, kBlack, kPenWidth);
  switch (symbol.category) {
  case 1:
    DrawAaa(c, frame, x, y, s);
    break;
  case 2:
    DrawArmor(c, frame, x, y, s);
    break;
  case 3:
    DrawMechanisedInfantry(c, frame, x, y, s);
    break;
  default:
    DrawAirborne(c, x, y, s);
    break;
  }
}

// Four lobes; a disc of the fill colour over their middle hides their inner arcs and leaves the outline
// of a four-leaf shape.
void DrawUnknownFrame(Canvas &c, int x, int y, int s, Colour fill) {
  CanvasEllipse(c, x - s / 2, y - s / 4, x, y + s / 4);
  CanvasEllipse(c, x, y - s / 4, x + s / 2, y + s / 4);
  CanvasEllipse(c, x - s / 4, y - s / 2, x + s / 4, y);
  CanvasEllipse(c, x - s / 4, y, x + s / 4, y + s / 2);
  CanvasSetPen(c, fill, kPenWidth);
  CanvasEllipse(c, x - s / 4 - 2, y - s / 4 - 2, x + s / 4 + 2, y + s / 4 + 2);
}
} // namespace

Colour TagFillColour(int32_t affiliation) {
  switch (affiliation) {
  case 1:
    return Rgb(233, 129, 125);
  case 2:
    return Rgb(146, 204, 227);
  case 3:
    return Rgb(171, 215, 162);
  default:
    return Rgb(245, 241, 132);
  }
}

void DrawTagSymbolSized(Canvas &canvas, int x, int y, const TagSymbol &symbol, int size) {
  const Pen saved_pen = canvas.state.pen;
  const Brush saved_brush = canvas.state.brush;
  const int s = size;
  const Frame frame = FrameOf(symbol.affiliation);
  const Colour fill = TagFillColour(symbol.affiliation);
  CanvasSetBrush(canvas, fill);
  CanvasSetPen(canvas, kBlack, kPenWidth);

  switch (frame) {
  case Frame::kEnemy:
    if (symbol.symbol_class == 2) {
      const Point square_with_pointed_top[] = {
          {x, y - s / 2}, {x - s / 2, y}, {x - s / 2, y + s / 2}, {x + s / 2, y + s / 2}, {x + s / 2, y}};
      CanvasPolygon(canvas, square_with_pointed_top, 5);
    } else {
      const Point diamond[] = {{x, y - s / 2}, {x - s / 2, y}, {x, y + s / 2}, {x + s / 2, y}};
      CanvasPolygon(canvas, diamond, 4);
    }
    DrawIcon(canvas, frame, symbol, x, y, s);
    break;
  case Frame::kFriend:
    if (symbol.symbol_class == 2) {
      CanvasEllipse(canvas, x - s / 2, y - 2 * s / 3, x + s / 2, y);
      CanvasRectangle(canvas, x - s / 2, y - s / 3, x + s / 2, y + s / 3);
      DrawIcon(canvas, frame, symbol, x, y, s);
      // The rectangle's top edge, between its sides, would cut the dome off the body.
      CanvasSetPen(canvas, fill, kPenWidth);
      CanvasMoveTo(canvas, x - s / 2 + 2, y - s / 3);
      CanvasLineTo(canvas, x + s / 2 - 2, y - s / 3);
    } else {
      CanvasRectangle(canvas, x - s / 2, y - s / 3, x + s / 2, y + s / 3);
      DrawIcon(canvas, frame, symbol, x, y, s);
    }
    break;
  case Frame::kNeutral:
    CanvasRectangle(canvas, x - s / 2, y - s / 2, x + s / 2, y + s / 2);
    DrawIcon(canvas, frame, symbol, x, y, s);
    break;
  case Frame::kUnknown:
    DrawUnknownFrame(canvas, x, y, s, fill);
    DrawIcon(canvas, frame, symbol, x, y, s);
    break;
  }

  // Callers go on drawing texts and boxes with their own pen and brush.
  canvas.state.pen = saved_pen;
  canvas.state.brush = saved_brush;
}

void DrawTagSymbol(Canvas &canvas, int x, int y, const TagSymbol &symbol) {
  DrawTagSymbolSized(canvas, x, y, symbol, g_tag_database.symbol_size);
}

const wchar_t *TagAffiliationName(int32_t affiliation) {
  static const wchar_t *const kNames[] = {L"NK", L"EN", L"FR", L"NU"};
  return affiliation >= 0 && affiliation <= 3 ? kNames[affiliation] : kNames[0];
}

const wchar_t *TagClassName(int32_t symbol_class) {
  static const wchar_t *const kNames[] = {L"Z", L"G", L"A", L"S"};
  return symbol_class >= 0 && symbol_class <= 3 ? kNames[symbol_class] : kNames[0];
}

const wchar_t *TagCategoryName(int32_t category) {
  static const wchar_t *const kNames[] = {L"UNKN ", L"AAA  ", L"ARMOR", L"M.INF", L"AIRBN"};
  return category >= 0 && category <= 4 ? kNames[category] : kNames[0];
}
