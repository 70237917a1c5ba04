// files.h: opening files whose paths are wide screen text (settings values name them).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Opens a regular file for reading, in text mode or binary; null when it cannot be opened. Windows opens the
// wide path as it is; the portable side encodes it as UTF-8 first. A folder, a device or a pipe is refused: a
// reader would get nothing from a folder, or never reach the end of a device. When the file cannot be opened,
// why (when given) says so in a few words: "missing", "a folder, not a file", "not a regular file",
// "unreadable (<the system's reason>)".
FILE *OpenFileRead(const wchar_t *path, std::string *why = nullptr);
FILE *OpenBinaryFileRead(const wchar_t *path, std::string *why = nullptr);

// The length in bytes of an open file.
uint64_t OpenFileSize(FILE *file);
