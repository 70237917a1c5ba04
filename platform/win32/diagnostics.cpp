// diagnostics.cpp: Windows implementation of diagnostics.h: the debugger output, where a GUI program's messages are
// read (DebugView, a debugger, Wine's +debugstr channel), and standard error when the program was started with one.
#include "platform/diagnostics.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {
std::mutex lock;
void (*observer)(const std::string &line) = nullptr;
} // namespace

void WriteDiagnostic(const std::string &line) {
  const std::lock_guard<std::mutex> guard(lock);
  const std::string text = line + "\n";
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), wide.data(), length);
  OutputDebugStringW(wide.c_str());
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error != nullptr && error != INVALID_HANDLE_VALUE) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  }
  if (observer != nullptr)
    observer(line);
}

void ObserveDiagnostics(void (*new_observer)(const std::string &line)) {
  const std::lock_guard<std::mutex> guard(lock);
  observer = new_observer;
}
