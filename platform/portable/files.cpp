// files.cpp: portable implementation of files.h: wide paths become UTF-8 for fopen.
#include "platform/files.h"

#include "platform/portable/utf8.h"

FILE *OpenFileRead(const wchar_t *path) {
  if (path == nullptr || *path == L'\0')
    return nullptr;
  return std::fopen(WideToUtf8(path).c_str(), "r");
}
