// display_list.cpp: the canvas backend that takes a frame down, and its playing onto the window's canvas.
#include "display/display_list.h"

#include <algorithm>
#include <utility>

#include "platform/bitmap.h"

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

// The bitmap may be freed once the lock is released: a plain list draws what came before now, then the bitmap; a
// deferring one keeps it for SettleDisplayList.
void Stretch(void *impl, const Bitmap *bitmap, Rect source, Rect destination) {
  DisplayList &list = List(impl);
  if (list.defer_stretch) {
    DisplayItem &item = Add(impl, DisplayOp::kStretch, CanvasState{});
    item.rect = destination;
    item.source = source;
    item.bitmap = bitmap;
    item.bitmap_serial = BitmapSerial(bitmap);
    return;
  }
  PlayDisplayList(list);
  list.target->backend->stretch(list.target->impl, bitmap, source, destination);
}

constexpr CanvasBackend kDisplayListBackend = {Line, Arc,       Rectangle, Ellipse, Polygon,
                                               Text, TextWidth, Invert,    Stretch, Fill};

bool SamePen(const Pen &a, const Pen &b) { return a.none == b.none && (a.none || (a.colour == b.colour && a.width == b.width)); }
bool SameBrush(const Brush &a, const Brush &b) { return a.hollow == b.hollow && (a.hollow || a.colour == b.colour); }

// Everything of the state a backend draws with (the current point it is not given: each primitive has its ends).
bool SameState(const CanvasState &a, const CanvasState &b) {
  return SamePen(a.pen, b.pen) && SameBrush(a.brush, b.brush) && a.font_height == b.font_height &&
         a.text_colour == b.text_colour && a.back_colour == b.back_colour && a.opaque == b.opaque;
}

// The two lists whose items are compared.
struct Lists {
  const std::vector<DisplayItem> &items;
  const std::vector<Point> &points;
  const std::vector<wchar_t> &characters;
};

// Whether two items draw the same pixels wherever they are drawn.
bool SameItem(const DisplayItem &x, const Lists &xs, const DisplayItem &y, const Lists &ys) {
  if (x.op != y.op || !SameState(x.state, y.state))
    return false;
  switch (x.op) {
  case DisplayOp::kLine:
    return x.a == y.a && x.b == y.b;
  case DisplayOp::kArc:
    return x.a == y.a && x.radius == y.radius && x.start_degrees == y.start_degrees &&
           x.sweep_degrees == y.sweep_degrees;
  case DisplayOp::kRectangle:
  case DisplayOp::kEllipse:
  case DisplayOp::kInvert:
    return x.rect == y.rect;
  case DisplayOp::kFill:
    return x.rect == y.rect && x.colour == y.colour;
  case DisplayOp::kPolygon:
    return x.count == y.count && std::equal(xs.points.begin() + x.first, xs.points.begin() + x.first + x.count,
                                            ys.points.begin() + y.first);
  case DisplayOp::kText:
    return x.rect == y.rect && x.flags == y.flags && x.count == y.count &&
           std::equal(xs.characters.begin() + x.first, xs.characters.begin() + x.first + x.count,
                      ys.characters.begin() + y.first);
  case DisplayOp::kStretch:
    return x.rect == y.rect && x.source == y.source && x.bitmap_serial == y.bitmap_serial;
  }
  return false;
}

Rect Normalised(Rect r) {
  return Rect{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
              std::max(r.top, r.bottom)};
}

Rect Widened(Rect r, int by) { return Rect{r.left - by, r.top - by, r.right + by + 1, r.bottom + by + 1}; }

// What a pen may paint beyond its path, on either backend: half its width and more for round ends and rounding.
int PenReach(const CanvasState &state) { return state.pen.none ? 1 : state.pen.width + 2; }

// Every pixel the item may change, at most: shapes with their pens, texts and fills within their rectangles (a
// text is clipped to its box on both backends).
Rect Reach(const DisplayItem &item, const Lists &list) {
  switch (item.op) {
  case DisplayOp::kLine:
    return Widened(Normalised(Rect{item.a.x, item.a.y, item.b.x, item.b.y}), PenReach(item.state));
  case DisplayOp::kArc:
    return Widened(Rect{item.a.x - item.radius, item.a.y - item.radius, item.a.x + item.radius, item.a.y + item.radius},
                   PenReach(item.state));
  case DisplayOp::kRectangle:
  case DisplayOp::kEllipse:
    return Widened(Normalised(item.rect), PenReach(item.state));
  case DisplayOp::kPolygon: {
    const Point *p = list.points.data() + item.first;
    Rect box{p[0].x, p[0].y, p[0].x, p[0].y};
    for (int i = 1; i < item.count; ++i)
      box = Rect{std::min(box.left, p[i].x), std::min(box.top, p[i].y), std::max(box.right, p[i].x),
                 std::max(box.bottom, p[i].y)};
    return Widened(box, PenReach(item.state));
  }
  case DisplayOp::kText:
  case DisplayOp::kInvert:
  case DisplayOp::kFill:
  case DisplayOp::kStretch:
    return Normalised(item.rect);
  }
  return Rect{};
}

bool Empty(Rect r) { return r.right <= r.left || r.bottom <= r.top; }

Rect Intersection(Rect a, Rect b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

Rect Union(Rect a, Rect b) {
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

long long Area(Rect r) { return Empty(r) ? 0 : static_cast<long long>(r.right - r.left) * (r.bottom - r.top); }

// Adds a changed area within the canvas: joined to an area it overlaps or touches, and when there are too many,
// to the one it enlarges least.
void AddArea(FrameChanges &changes, Rect area, Rect canvas) {
  area = Intersection(area, canvas);
  if (Empty(area))
    return;
  for (;;) {
    int joined = -1;
    for (int i = 0; i < changes.count && joined < 0; ++i) {
      const Rect &a = changes.areas[i];
      if (area.left <= a.right && a.left <= area.right && area.top <= a.bottom && a.top <= area.bottom)
        joined = i;
    }
    if (joined < 0)
      break;
    area = Union(area, changes.areas[joined]);
    changes.areas[joined] = changes.areas[--changes.count];
  }
  if (changes.count < kMostChangedAreas) {
    changes.areas[changes.count++] = area;
    return;
  }
  int best = 0;
  for (int i = 1; i < changes.count; ++i)
    if (Area(Union(changes.areas[i], area)) - Area(changes.areas[i]) <
        Area(Union(changes.areas[best], area)) - Area(changes.areas[best]))
      best = i;
  const Rect joined = Union(changes.areas[best], area);
  changes.areas[best] = changes.areas[--changes.count];
  AddArea(changes, joined, canvas); // it may now overlap another
}

// The areas where the drawing of now differs from that of before: where the two lists differ item by item when
// they are as long, else the items between their common start and their common end.
FrameChanges Compare(const Lists &before, const Lists &now, Rect canvas) {
  FrameChanges changes;
  changes.whole = false;
  const size_t nb = before.items.size(), nn = now.items.size();
  const auto add = [&](const DisplayItem &item, const Lists &list) { AddArea(changes, Reach(item, list), canvas); };
  if (nb == nn) {
    for (size_t i = 0; i < nn; ++i)
      if (!SameItem(before.items[i], before, now.items[i], now)) {
        add(before.items[i], before);
        add(now.items[i], now);
      }
  } else {
    const size_t shorter = std::min(nb, nn);
    size_t head = 0, tail = 0;
    while (head < shorter && SameItem(before.items[head], before, now.items[head], now))
      ++head;
    while (tail < shorter - head && SameItem(before.items[nb - 1 - tail], before, now.items[nn - 1 - tail], now))
      ++tail;
    for (size_t i = head; i < nb - tail; ++i)
      add(before.items[i], before);
    for (size_t i = head; i < nn - tail; ++i)
      add(now.items[i], now);
  }
  // Mostly changed: drawn whole, which costs less than clipping each item to a patchwork.
  long long changed = 0;
  for (int i = 0; i < changes.count; ++i)
    changed += Area(changes.areas[i]);
  if (changed * 10 > Area(canvas) * 6)
    return FrameChanges{};
  return changes;
}

void PlayItem(const CanvasBackend &to, void *impl, const DisplayList &list, DisplayItem &item) {
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
  case DisplayOp::kStretch:
    if (item.bitmap != nullptr)
      to.stretch(impl, item.bitmap, item.source, item.rect);
    break;
  }
}

// Plays items [from, to) of the list within its changed areas, each area clipped in turn.
void PlayRange(DisplayList &list, size_t from, size_t to) {
  const CanvasBackend &backend = *list.target->backend;
  void *impl = list.target->impl;
  const Lists lists{list.items, list.points, list.characters};
  if (list.changes.whole) {
    for (size_t i = from; i < to; ++i)
      PlayItem(backend, impl, list, list.items[i]);
    return;
  }
  for (int a = 0; a < list.changes.count; ++a) {
    const Rect area = list.changes.areas[a];
    CanvasClip(*list.target, &area);
    for (size_t i = from; i < to; ++i)
      if (!Empty(Intersection(Reach(list.items[i], lists), area)))
        PlayItem(backend, impl, list, list.items[i]);
  }
  CanvasClip(*list.target, nullptr);
}

} // namespace

void BeginDisplayList(DisplayList &list, Canvas &target, bool defer_stretch) {
  list.items.clear();
  list.points.clear();
  list.characters.clear();
  list.target = &target;
  list.canvas = Canvas{};
  list.canvas.backend = &kDisplayListBackend;
  list.canvas.impl = &list;
  list.canvas.width = target.width;
  list.canvas.height = target.height;
  list.defer_stretch = defer_stretch;
  list.played = 0;
  list.changes = FrameChanges{};
}

FrameChanges SettleDisplayList(DisplayList &list, const DrawnFrame *before) {
  list.changes = FrameChanges{};
  if (before != nullptr && list.target->backend->clip != nullptr)
    list.changes = Compare(Lists{before->items, before->points, before->characters},
                           Lists{list.items, list.points, list.characters},
                           Rect{0, 0, list.target->width, list.target->height});
  size_t through = 0; // past the last stretch
  for (size_t i = 0; i < list.items.size(); ++i)
    if (list.items[i].op == DisplayOp::kStretch)
      through = i + 1;
  PlayRange(list, 0, through);
  for (size_t i = 0; i < through; ++i)
    list.items[i].bitmap = nullptr; // the lock is about to go, and with it the bitmap's promise
  list.played = through;
  return list.changes;
}

void PlayDisplayList(DisplayList &list, DrawnFrame *keep) {
  PlayRange(list, list.played, list.items.size());
  if (keep != nullptr) {
    std::swap(keep->items, list.items);
    std::swap(keep->points, list.points);
    std::swap(keep->characters, list.characters);
  }
  list.items.clear();
  list.points.clear();
  list.characters.clear();
  list.played = 0;
  list.changes = FrameChanges{};
}
