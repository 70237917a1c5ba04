// recording_canvas.h: a canvas backend for tests that records every primitive with the state in force.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/canvas.h"

enum class CanvasOp { kLine, kArc, kRectangle, kEllipse, kPolygon, kText, kInvert, kStretch, kFill };

// One primitive as the backend received it. Only the fields of its operation are meaningful.
struct CanvasRecord {
  CanvasOp op = CanvasOp::kLine;
  CanvasState state;        // pen, brush, font, colours, background mode, current point (default for invert
                            // stretch and fill, which take no state)
  Point from, to;           // line
  Point centre;             // arc
  int radius = 0;           // arc
  double start_degrees = 0; // arc
  double sweep_degrees = 0; // arc
  Rect rect;                // rectangle, ellipse bounds, text rectangle, inverted, filled, stretch destination
  Rect source;              // stretch
  const Bitmap *bitmap = nullptr;
  std::vector<Point> points; // polygon
  std::wstring text;         // text
  uint32_t flags = 0;        // text
  Colour colour;             // fill
};

struct RecordingCanvas {
  Canvas canvas; // draw into this
  std::vector<CanvasRecord> records;
};

// Makes recorder a width × height canvas whose primitives land in recorder.records. The recorder must stay
// where it is while it draws (the canvas points at it).
void InitRecordingCanvas(RecordingCanvas &recorder, int width, int height);

// The width the recorder reports for text: a fixed advance of three fifths of the cell height per
// character, about what the bold monospace face measures.
int RecordedTextWidth(int font_height, int length);

std::vector<const CanvasRecord *> FindRecords(const RecordingCanvas &recorder, CanvasOp op);
std::vector<const CanvasRecord *> FindTexts(const RecordingCanvas &recorder);
// The first text drawn whose string equals text; null when none was.
const CanvasRecord *FindText(const RecordingCanvas &recorder, const std::wstring &text);
