// wide_text.cpp: bounded wide-text formatting that behaves the same on both C libraries.
#include "base/wide_text.h"

#include <cstdarg>
#include <cwchar>

void FormatWide(wchar_t *out, size_t capacity, const wchar_t *format, ...) {
  if (capacity == 0)
    return;
  // vswprintf reports an over-long result as a failure without saying what it wrote, so format into a
  // buffer larger than any screen text and cut the result ourselves.
  wchar_t wide[2048];
  va_list args;
  va_start(args, format);
  const int n = std::vswprintf(wide, sizeof wide / sizeof wide[0], format, args);
  va_end(args);
  if (n < 0)
    wide[0] = L'\0';
  CopyWide(out, capacity, wide);
}

void CopyWide(wchar_t *out, size_t capacity, const wchar_t *text) {
  if (capacity == 0)
    return;
  size_t i = 0;
  for (; i + 1 < capacity && text[i] != L'\0'; ++i)
    out[i] = text[i];
  out[i] = L'\0';
}
