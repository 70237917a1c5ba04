// recording_canvas.cpp: the recording canvas backend of the tests.
#include "support/recording_canvas.h"

namespace {

std::vector<CanvasRecord> &Records(void *impl) { return static_cast<RecordingCanvas *>(impl)->records; }

CanvasRecord &Add(void *impl, CanvasOp op, const CanvasState &state) {
  CanvasRecord record;
  record.op = op;
  record.state = state;
  return Records(impl).emplace_back(std::move(record));
}

void Line(void *impl, const CanvasState &state, Point from, Point to) {
  CanvasRecord &r = Add(impl, CanvasOp::kLine, state);
  r.from = from;
  r.to = to;
}

void Arc(void *impl, const CanvasState &state, Point centre, int radius, double start_degrees, double sweep_degrees) {
  CanvasRecord &r = Add(impl, CanvasOp::kArc, state);
  r.centre = centre;
  r.radius = radius;
  r.start_degrees = start_degrees;
  r.sweep_degrees = sweep_degrees;
}

void Rectangle(void *impl, const CanvasState &state, Rect rect) { Add(impl, CanvasOp::kRectangle, state).rect = rect; }

void Ellipse(void *impl, const CanvasState &state, Rect bounds) { Add(impl, CanvasOp::kEllipse, state).rect = bounds; }

void Polygon(void *impl, const CanvasState &state, const Point *points, int count) {
  Add(impl, CanvasOp::kPolygon, state).points.assign(points, points + count);
}

void Text(void *impl, const CanvasState &state, Rect rect, const wchar_t *text, int length, uint32_t flags) {
  CanvasRecord &r = Add(impl, CanvasOp::kText, state);
  r.rect = rect;
  r.text.assign(text, static_cast<size_t>(length));
  r.flags = flags;
}

int TextWidth(void *, const CanvasState &state, const wchar_t *, int length) {
  return RecordedTextWidth(state.font_height, length);
}

void Invert(void *impl, Rect rect) { Add(impl, CanvasOp::kInvert, CanvasState{}).rect = rect; }

void Stretch(void *impl, const Bitmap *bitmap, Rect source, Rect destination) {
  CanvasRecord &r = Add(impl, CanvasOp::kStretch, CanvasState{});
  r.bitmap = bitmap;
  r.source = source;
  r.rect = destination;
}

void Fill(void *impl, Rect rect, Colour colour) {
  CanvasRecord &r = Add(impl, CanvasOp::kFill, CanvasState{});
  r.rect = rect;
  r.colour = colour;
}

constexpr CanvasBackend kRecordingBackend = {Line, Arc,       Rectangle, Ellipse, Polygon,
                                             Text, TextWidth, Invert,    Stretch, Fill};

} // namespace

void InitRecordingCanvas(RecordingCanvas &recorder, int width, int height) {
  recorder.records.clear();
  recorder.canvas = Canvas{};
  recorder.canvas.backend = &kRecordingBackend;
  recorder.canvas.impl = &recorder;
  recorder.canvas.width = width;
  recorder.canvas.height = height;
}

int RecordedTextWidth(int font_height, int length) { return length * (font_height * 3 / 5); }

std::vector<const CanvasRecord *> FindRecords(const RecordingCanvas &recorder, CanvasOp op) {
  std::vector<const CanvasRecord *> found;
  for (const CanvasRecord &r : recorder.records)
    if (r.op == op)
      found.push_back(&r);
  return found;
}

std::vector<const CanvasRecord *> FindTexts(const RecordingCanvas &recorder) {
  return FindRecords(recorder, CanvasOp::kText);
}

const CanvasRecord *FindText(const RecordingCanvas &recorder, const std::wstring &text) {
  for (const CanvasRecord &r : recorder.records)
    if (r.op == CanvasOp::kText && r.text == text)
      return &r;
  return nullptr;
}
