// wide_text.h: bounded formatting and copying of screen text.
#pragma once

#include <cstddef>
#include <string>

// Formats into out, which holds capacity wide characters with the terminator; longer results are cut,
// and out is always terminated.
void FormatWide(wchar_t *out, size_t capacity, const wchar_t *format, ...);

// Copies at most capacity - 1 characters and terminates.
void CopyWide(wchar_t *out, size_t capacity, const wchar_t *text);

// UTF-8 of wide text (UTF-16 on Windows, with its surrogate pairs; UTF-32 elsewhere), for the diagnostic lines;
// what is not a character becomes U+FFFD.
std::string WideToUtf8Text(const wchar_t *text);
