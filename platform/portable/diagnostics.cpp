// diagnostics.cpp: portable implementation of diagnostics.h: one line to standard error.
#include "platform/diagnostics.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex lock;
void (*observer)(const std::string &line) = nullptr;
} // namespace

void WriteDiagnostic(const std::string &line) {
  const std::lock_guard<std::mutex> guard(lock);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  if (observer != nullptr)
    observer(line);
}

void ObserveDiagnostics(void (*new_observer)(const std::string &line)) {
  const std::lock_guard<std::mutex> guard(lock);
  observer = new_observer;
}
