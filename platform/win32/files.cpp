// files.cpp: Windows implementation of files.h: wide paths are opened as they are.
#include "platform/files.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/types.h>

namespace {

bool Refuse(std::string *why, std::string text) {
  if (why != nullptr)
    *why = std::move(text);
  return false;
}

// Whether what stands at the path is a regular file: _wfopen refuses a folder with "Permission denied",
// which would send the pilot looking at the file's rights.
bool IsRegularFile(const wchar_t *path, std::string *why) {
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
      return Refuse(why, "missing");
    return Refuse(why, "unreadable (Windows error " + std::to_string(error) + ")");
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    return Refuse(why, "a folder, not a file");
  if (attributes & FILE_ATTRIBUTE_DEVICE)
    return Refuse(why, "not a regular file");
  return true;
}

FILE *Open(const wchar_t *path, const wchar_t *mode, std::string *why) {
  if (path == nullptr || *path == L'\0') {
    Refuse(why, "missing (no path)");
    return nullptr;
  }
  if (!IsRegularFile(path, why))
    return nullptr;
  FILE *file = _wfopen(path, mode);
  if (file == nullptr) {
    Refuse(why, errno == ENOENT ? std::string("missing") : std::string("unreadable (") + std::strerror(errno) + ")");
    return nullptr;
  }
  // A device name (NUL, CON) passes the attribute test on some systems; the open file tells.
  struct _stat64 info {};
  if (_fstat64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    std::fclose(file);
    Refuse(why, "not a regular file");
    return nullptr;
  }
  return file;
}

} // namespace

FILE *OpenFileRead(const wchar_t *path, std::string *why) { return Open(path, L"r", why); }
FILE *OpenBinaryFileRead(const wchar_t *path, std::string *why) { return Open(path, L"rb", why); }

uint64_t OpenFileSize(FILE *file) {
  struct _stat64 info {};
  if (_fstat64(_fileno(file), &info) != 0 || info.st_size < 0)
    return 0;
  return static_cast<uint64_t>(info.st_size);
}
