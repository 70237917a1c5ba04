// wide_text.cpp: bounded wide-text formatting that behaves the same on both C libraries.
#include "app/wide_text.h"

#include <cstdarg>
#include <cwchar>
#include <type_traits>

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
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    c = 0xFFFD;
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

std::string WideToUtf8Text(const wchar_t *text) {
  std::string out;
  for (; *text != L'\0'; ++text) {
    auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(*text));
    // A 16-bit wchar_t carries characters beyond the first plane as a high and a low surrogate.
    const auto next = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[1]));
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
      ++text;
    }
    AppendUtf8(out, c);
  }
  return out;
}
