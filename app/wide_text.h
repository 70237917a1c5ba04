// wide_text.h: bounded formatting and copying of screen text, and its UTF-8 for diagnostic lines.
#pragma once

#include <cstddef>
#include <string>

// Formats into out, which holds capacity wide characters with the terminator; longer results are cut,
// and out is always terminated.
void FormatWide(wchar_t *out, size_t capacity, const wchar_t *format, ...);

// Copies at most capacity - 1 characters and terminates.
void CopyWide(wchar_t *out, size_t capacity, const wchar_t *text);

// UTF-8 of wide text, whether wide characters are UTF-16 (Windows: surrogate pairs joined) or UTF-32; what
// is not a character (a lone surrogate, a value beyond U+10FFFF) becomes U+FFFD.
std::string Utf8FromWide(const std::wstring &text);
