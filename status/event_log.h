// event_log.h: the blinking one-line messages that tell the pilot what happened.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "platform/canvas.h"

constexpr int kEventTextCapacity = 64; // wide characters, terminator included

struct EventMessage {
  wchar_t text[kEventTextCapacity] = {};
  uint32_t code = 0; // top byte: colour class; low 24 bits: shown
  EventMessage *previous = nullptr;
  EventMessage *next = nullptr;
  int32_t lifetime = -1; // seconds left; -1 permanent
  // The messages of the same code before and after this one, in list order: removal by code follows these
  // links instead of walking a list that may hold a message for every one of thousands of tags.
  EventMessage *previous_same = nullptr;
  EventMessage *next_same = nullptr;
};

// The first and last message of one code.
struct EventCodeRun {
  EventMessage *first = nullptr;
  EventMessage *last = nullptr;
};

struct EventLog {
  EventMessage root; // "EM_Root": never drawn, counted or removed
  uint32_t blink = 0;
  // Changes with every message posted or removed (not with ageing alone), so that a caller can tell
  // whether its work changed the list.
  uint32_t revision = 0;
  int font_height = 13;
  int window_width = 425;
  int window_height = 425;
  EventMessage *tail = nullptr; // the last message; null when there is none
  int32_t count = 0;
  std::unordered_map<uint32_t, EventCodeRun> by_code; // every code present
};

extern EventLog g_event_log;

// window_height decides how many message lines fit (EventLinesShown); the square default suits the tests.
void InitEventLog(int window_width, int window_height = 0);
// Appends a message at the tail; text beyond 63 characters is cut.
void PostEvent(uint32_t code, const wchar_t *text, int32_t lifetime);
// Posts a permanent message unless one with the code is present.
void PostEventOnce(uint32_t code, const wchar_t *text);
void RemoveEvents(uint32_t code);
void ClearEvents();
int CountEvents();
bool HasEvent(uint32_t code);
// One second passes: returns the number of expiries.
int AgeEvents();
// How many lines the message block may take in a window of that height: the upper third of what lies below the title
// block, so that a long list never runs over the map or the labels.
int EventLinesShown(int window_height, int font_height);
// The messages in the blinking phase that shows them; when more are kept than fit, the first line says how many of the
// oldest are folded away ("+12 MORE") and the newest fill the rest.
void DrawEvents(Canvas &canvas);

// The text colour of a code's class.
Colour EventColour(uint32_t code);
