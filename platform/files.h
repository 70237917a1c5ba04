// files.h: opening files whose paths are wide screen text (settings values name them).
#pragma once

#include <cstdio>

// Opens a file for reading in text mode; null when it cannot be opened. Windows opens the wide path as
// it is; the portable side encodes it as UTF-8 first.
FILE *OpenFileRead(const wchar_t *path);
