// failure_status.h: the state of the 28 aircraft systems reported by FAIL datagrams, and their page.
#pragma once

#include <cstdint>

struct Canvas;

constexpr int kFailureCount = 28;

struct FailureEntry {
  char keyword[64] = {};
  wchar_t label[64] = {};
  int32_t state = 1; // 0 working; anything else failed
};

struct FailureStatus {
  FailureEntry *entries = nullptr; // kFailureCount, in page order
  int font_height = 13;
  int window_width = 425;
};

extern FailureStatus g_failure_status;

void InitFailureStatus(int window_width);
// 1 when an entry's keyword equals keyword exactly, 0 when none does.
int SetFailure(const char *keyword, int32_t state);
// The entry whose keyword equals keyword exactly, or null.
FailureEntry *FindFailure(const char *keyword);
void DrawFailures(Canvas &canvas);
