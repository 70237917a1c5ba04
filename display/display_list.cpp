// display_list.cpp: the canvas backend that takes a frame down, and its playing onto the window's canvas.
#include "display/display_list.h"

namespace {

DisplayList &List(void *impl) { return *static_cast<DisplayList *>(impl); }

DisplayItem &Add(void *impl, DisplayOp op, const CanvasState &state) {
  DisplayItem &item = List(impl).items.emplace_back();
  item.op = op;
  item.state = state;
  return item;
}

void Line(void *impl, const CanvasState &state, Point from, Point to) {
  DisplayItem &item = Add(impl, DisplayOp::kLine, state);
  item.a = from;
  item.b = to;
}

void Arc(void *impl, const CanvasState &state, Point centre, int r, double start_degrees, double sweep_degrees) {
  DisplayItem &item = Add(impl, DisplayOp::kArc, state);
  item.a = centre;
  item.radius = r;
  item.start_degrees = start_degrees;
  item.sweep_degrees = sweep_degrees;
}

void Rectangle(void *impl, const CanvasState &state, Rect rect) { Add(impl, DisplayOp::kRectangle, state).rect = rect; }

void Ellipse(void *impl, const CanvasState &state, Rect bounds) { Add(impl, DisplayOp::kEllipse, state).rect = bounds; }

void Polygon(void *impl, const CanvasState &state, const Point *points, int count) {
  DisplayList &list = List(impl);
  DisplayItem &item = Add(impl, DisplayOp::kPolygon, state);
  item.first = list.points.size();
  item.count = count;
  list.points.insert(list.points.end(), points, points + count);
}

void Text(void *impl, const CanvasState &state, Rect rect, const wchar_t *text, int length, uint32_t flags) {
  DisplayList &list = List(impl);
  DisplayItem &item = Add(impl, DisplayOp::kText, state);
  item.rect = rect;
  item.flags = flags;
  item.first = list.characters.size();
  item.count = length;
  list.characters.insert(list.characters.end(), text, text + length);
}

// Measuring draws nothing: the target answers at once.
int TextWidth(void *impl, const CanvasState &state, const wchar_t *text, int length) {
  Canvas &target = *List(impl).target;
  return target.backend->text_width(target.impl, state, text, length);
}

void Invert(void *impl, Rect rect) { Add(impl, DisplayOp::kInvert, CanvasState{}).rect = rect; }

void Fill(void *impl, Rect rect, Colour colour) {
  DisplayItem &item = Add(impl, DisplayOp::kFill, CanvasState{});
  item.rect = rect;
  item.colour = colour;
}

// The bitmap may be freed once the lock is released: what came before is drawn now, then the bitmap.
void Stretch(void *impl, const Bitmap *bitmap, Rect source, Rect destination) {
  DisplayList &list = List(impl);
  PlayDisplayList(list);
  list.target->backend->stretch(list.target->impl, bitmap, source, destination);
}

constexpr CanvasBackend kDisplayListBackend = {Line, Arc,       Rectangle, Ellipse, Polygon,
                                               Text, TextWidth, Invert,    Stretch, Fill};

} // namespace

void BeginDisplayList(DisplayList &list, Canvas &target) {
  list.items.clear();
  list.points.clear();
  list.characters.clear();
  list.target = &target;
  list.canvas = Canvas{};
  list.canvas.backend = &kDisplayListBackend;
  list.canvas.impl = &list;
  list.canvas.width = target.width;
  list.canvas.height = target.height;
}

void PlayDisplayList(DisplayList &list) {
  const CanvasBackend &to = *list.target->backend;
  void *impl = list.target->impl;
  for (const DisplayItem &item : list.items) {
    switch (item.op) {
    case DisplayOp::kLine:
      to.line(impl, item.state, item.a, item.b);
      break;
    case DisplayOp::kArc:
      to.arc(impl, item.state, item.a, item.radius, item.start_degrees, item.sweep_degrees);
      break;
    case DisplayOp::kRectangle:
      to.rectangle(impl, item.state, item.rect);
      break;
    case DisplayOp::kEllipse:
      to.ellipse(impl, item.state, item.rect);
      break;
    case DisplayOp::kPolygon:
      to.polygon(impl, item.state, list.points.data() + item.first, item.count);
      break;
    case DisplayOp::kText:
      to.text(impl, item.state, item.rect, list.characters.data() + item.first, item.count, item.flags);
      break;
    case DisplayOp::kInvert:
      to.invert(impl, item.rect);
      break;
    case DisplayOp::kFill:
      to.fill(impl, item.rect, item.colour);
      break;
    }
  }
  list.items.clear();
  list.points.clear();
  list.characters.clear();
}
