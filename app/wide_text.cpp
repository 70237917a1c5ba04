// wide_text.cpp: bounded wide-text formatting that behaves the same on both C libraries.
#include "app/wide_text.h"

#include <cstdarg>
#include <cwchar>
#include <string>

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

static void AppendUtf8(std::string &out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Utf8FromWide(const std::wstring &text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<char32_t>(text[i]);
    if (sizeof(wchar_t) == 2)
      c &= 0xFFFF;
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    if (high && sizeof(wchar_t) == 2 && i + 1 < text.size()) {
      const auto low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? 0xFFFD : c);
  }
  return out;
}
