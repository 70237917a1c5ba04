// event_log.cpp: the event message list, its ageing by the second and its blinking overlay.
#include "status/event_log.h"

#include <cwchar>

#include "app/wide_text.h"
#include "platform/canvas.h"

EventLog g_event_log;

static void CopyText(wchar_t (&to)[kEventTextCapacity], const wchar_t *from) { CopyWide(to, kEventTextCapacity, from); }

void InitEventLog(int window_width) {
  ClearEvents();
  CopyText(g_event_log.root.text, L"EM_Root");
  g_event_log.root.code = 0;
  g_event_log.blink = 0;
  g_event_log.window_width = window_width;
  g_event_log.font_height = window_width * 17 / 520;
}

void PostEvent(uint32_t code, const wchar_t *text, int32_t lifetime) {
  auto *message = new EventMessage;
  CopyText(message->text, text);
  message->code = code;
  message->lifetime = lifetime;
  EventMessage *tail = &g_event_log.root;
  while (tail->next != nullptr)
    tail = tail->next;
  tail->next = message;
  message->previous = tail;
  ++g_event_log.revision;
}

bool HasEvent(uint32_t code) {
  for (const EventMessage *m = g_event_log.root.next; m != nullptr; m = m->next)
    if (m->code == code)
      return true;
  return false;
}

void PostEventOnce(uint32_t code, const wchar_t *text) {
  if (!HasEvent(code))
    PostEvent(code, text, -1);
}

static EventMessage *Unlink(EventMessage *message) {
  EventMessage *next = message->next;
  message->previous->next = next;
  if (next != nullptr)
    next->previous = message->previous;
  delete message;
  ++g_event_log.revision;
  return next;
}

void RemoveEvents(uint32_t code) {
  for (EventMessage *m = g_event_log.root.next; m != nullptr;)
    m = m->code == code ? Unlink(m) : m->next;
}

void ClearEvents() {
  while (g_event_log.root.next != nullptr)
    Unlink(g_event_log.root.next);
}

int CountEvents() {
  int count = 0;
  for (const EventMessage *m = g_event_log.root.next; m != nullptr; m = m->next)
    ++count;
  return count;
}

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
  for (const EventMessage *m = g_event_log.root.next; m != nullptr; m = m->next) {
    CanvasSetTextColour(canvas, EventColour(m->code));
    wchar_t shown[kEventTextCapacity];
    FormatWide(shown, kEventTextCapacity, L"[%X]:%ls", m->code & 0xFFFFFFu, m->text);
    CanvasText(canvas, shown, -1, line, kTextCenter);
    line.top += h;
    line.bottom += h;
  }
}
