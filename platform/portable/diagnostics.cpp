// diagnostics.cpp: portable implementation of diagnostics.h: one line to standard error.
#include "platform/diagnostics.h"

#include <cstdio>
#include <mutex>

void WriteDiagnostic(const std::string &line) {
  static std::mutex lock;
  const std::lock_guard<std::mutex> guard(lock);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}
