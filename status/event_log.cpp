// event_log.cpp: the event message list, its ageing by the second and its blinking overlay.
#include "status/event_log.h"

#include <cwchar>

#include "base/colours.h"
#include "base/wide_text.h"
#include "platform/canvas.h"

EventLog g_event_log;

static void CopyText(wchar_t (&to)[kEventTextCapacity], const wchar_t *from) { CopyWide(to, kEventTextCapacity, from); }

void InitEventLog(int window_width, int window_height) {
  ClearEvents();
  CopyText(g_event_log.root.text, L"EM_Root");
  g_event_log.root.code = 0;
  g_event_log.blink = 0;
  g_event_log.window_width = window_width;
  g_event_log.window_height = window_height > 0 ? window_height : window_width;
  g_event_log.font_height = window_width * 17 / 520;
}

void PostEvent(uint32_t code, const wchar_t *text, int32_t lifetime) {
  auto *message = new EventMessage;
  CopyText(message->text, text);
  message->code = code;
  message->lifetime = lifetime;
  EventLog &log = g_event_log;
  EventMessage *tail = log.tail != nullptr ? log.tail : &log.root;
  tail->next = message;
  message->previous = tail;
  log.tail = message;
  ++log.count;
  EventCodeRun &run = log.by_code[code];
  if (run.last != nullptr) {
    run.last->next_same = message;
    message->previous_same = run.last;
  } else {
    run.first = message;
  }
  run.last = message;
  ++log.revision;
}

bool HasEvent(uint32_t code) { return g_event_log.by_code.contains(code); }

void PostEventOnce(uint32_t code, const wchar_t *text) {
  if (!HasEvent(code))
    PostEvent(code, text, -1);
}

// Takes the message out of the list and frees it; its code's run is the caller's to mend.
static void Unlink(EventMessage *message) {
  EventLog &log = g_event_log;
  EventMessage *next = message->next;
  message->previous->next = next;
  if (next != nullptr)
    next->previous = message->previous;
  if (log.tail == message)
    log.tail = message->previous != &log.root ? message->previous : nullptr;
  --log.count;
  delete message;
  ++log.revision;
}

void RemoveEvents(uint32_t code) {
  const auto found = g_event_log.by_code.find(code);
  if (found == g_event_log.by_code.end())
    return;
  for (EventMessage *m = found->second.first; m != nullptr;) {
    EventMessage *next = m->next_same;
    Unlink(m);
    m = next;
  }
  g_event_log.by_code.erase(found);
}

void ClearEvents() {
  while (g_event_log.root.next != nullptr)
    Unlink(g_event_log.root.next);
  g_event_log.by_code.clear();
}

int CountEvents() { return g_event_log.count; }

int AgeEvents() {
  int expiries = 0;
  for (EventMessage *m = g_event_log.root.next; m != nullptr;) {
    if (m->lifetime == -1 || m->lifetime-- != 0) {
      m = m->next;
      continue;
    }
    // The expiry takes every message of the code with it, possibly some before this one; carry on
    // after the nearest earlier message that survives (the root at worst), so that the walk never
    // touches a freed record and still visits every later message in this tick.
    const uint32_t code = m->code;
    EventMessage *survivor = m->previous;
    while (survivor != &g_event_log.root && survivor->code == code)
      survivor = survivor->previous;
    RemoveEvents(code);
    ++expiries;
    m = survivor->next;
  }
  return expiries;
}

Colour EventColour(uint32_t code) {
  switch (code >> 24) {
  case 0x80:
    return Rgb(255, 0, 0);
  case 0x40:
    return Rgb(255, 128, 0);
  case 0x20:
    return Rgb(255, 255, 0);
  case 0x08:
    return Rgb(255, 255, 255);
  case 0x04:
    return Rgb(0, 128, 255);
  default:
    return Rgb(0, 255, 0);
  }
}

int EventLinesShown(int window_height, int font_height) {
  if (font_height <= 0)
    return 0;
  // The block starts below the title and the information lines (5 lines down) and may take the upper third of
  // what lies below them; the map stays the pilot's.
  const int below_title = window_height - 5 * font_height;
  return below_title > 0 ? below_title / 3 / font_height : 0;
}

void DrawEvents(Canvas &canvas) {
  if ((g_event_log.blink & 1) == 0)
    return;
  const int h = g_event_log.font_height;
  CanvasSetFont(canvas, h);
  CanvasSetOpaque(canvas, false);
  Rect line;
  line.left = (g_event_log.window_width - 64 * h) / 2;
  line.right = line.left + 64 * h;
  line.top = 5 * h;
  line.bottom = 6 * h;
  // The window's own height, not the canvas's: a canvas may report more than the window to draw everything.
  const int room = EventLinesShown(g_event_log.window_height, h);
  if (room <= 0)
    return;
  // When the messages do not all fit, the oldest are folded into one line that counts them and the newest show, so
  // that a new event is never hidden behind old ones.
  const EventMessage *m = g_event_log.root.next;
  const int count = CountEvents();
  if (count > room) {
    const int hidden = count - (room - 1);
    wchar_t more[kEventTextCapacity];
    FormatWide(more, kEventTextCapacity, L"+%d MORE", hidden);
    CanvasSetTextColour(canvas, kGreen);
    CanvasText(canvas, more, -1, line, kTextCenter);
    line.top += h;
    line.bottom += h;
    // The newest room - 1, found from the tail: the list may hold a message for every one of thousands of tags.
    m = g_event_log.tail;
    for (int shown = 1; shown < room - 1 && m != nullptr && m->previous != &g_event_log.root; ++shown)
      m = m->previous;
  }
  for (; m != nullptr; m = m->next) {
    CanvasSetTextColour(canvas, EventColour(m->code));
    wchar_t shown[kEventTextCapacity];
    FormatWide(shown, kEventTextCapacity, L"[%X]:%ls", m->code & 0xFFFFFFu, m->text);
    CanvasText(canvas, shown, -1, line, kTextCenter);
    line.top += h;
    line.bottom += h;
  }
}
