// wide_text.h: bounded formatting and copying of screen text.
#pragma once

#include <cstddef>

// Formats into out, which holds capacity wide characters with the terminator; longer results are cut,
// and out is always terminated.
void FormatWide(wchar_t *out, size_t capacity, const wchar_t *format, ...);

// Copies at most capacity - 1 characters and terminates.
void CopyWide(wchar_t *out, size_t capacity, const wchar_t *text);
