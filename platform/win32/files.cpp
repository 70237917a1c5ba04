// files.cpp: Windows implementation of files.h: wide paths are opened as they are.
#include "platform/files.h"

FILE *OpenFileRead(const wchar_t *path) {
  if (path == nullptr || *path == L'\0')
    return nullptr;
  return _wfopen(path, L"r");
}
