// files.cpp: portable implementation of files.h: wide paths become UTF-8 for fopen.
#include "platform/files.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "platform/utf8.h"

namespace {

std::string Unreadable(int error) { return std::string("unreadable (") + std::strerror(error) + ")"; }

bool Refuse(std::string *why, std::string text) {
  if (why != nullptr)
    *why = std::move(text);
  return false;
}

// Whether what stands at the path is a regular file. Asked before opening: opening a pipe for reading
// waits for a writer.
bool IsRegularFile(const std::string &path, std::string *why) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return Refuse(why, errno == ENOENT || errno == ENOTDIR ? std::string("missing") : Unreadable(errno));
  if (S_ISDIR(info.st_mode))
    return Refuse(why, "a folder, not a file");
  if (!S_ISREG(info.st_mode))
    return Refuse(why, "not a regular file");
  return true;
}

FILE *Open(const wchar_t *path, const char *mode, std::string *why) {
  if (path == nullptr || *path == L'\0') {
    Refuse(why, "missing (no path)");
    return nullptr;
  }
  const std::string utf8 = WideToUtf8(path);
  if (!IsRegularFile(utf8, why))
    return nullptr;
  FILE *file = std::fopen(utf8.c_str(), mode);
  if (file == nullptr)
    Refuse(why, errno == ENOENT ? std::string("missing") : Unreadable(errno));
  return file;
}

} // namespace

FILE *OpenFileRead(const wchar_t *path, std::string *why) { return Open(path, "r", why); }
FILE *OpenBinaryFileRead(const wchar_t *path, std::string *why) { return Open(path, "rb", why); }

uint64_t OpenFileSize(FILE *file) {
  struct stat info {};
  if (::fstat(::fileno(file), &info) != 0 || info.st_size < 0)
    return 0;
  return static_cast<uint64_t>(info.st_size);
}
