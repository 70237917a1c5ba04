// diagnostic_lines.cpp: collecting diagnostic lines through the observer of platform/diagnostics.h.
#include "support/diagnostic_lines.h"

#include <condition_variable>
#include <mutex>

#include "platform/diagnostics.h"

namespace {
std::mutex lock;
std::condition_variable arrived;
std::vector<std::string> lines;

void Collect(const std::string &line) {
  {
    const std::lock_guard<std::mutex> guard(lock);
    lines.push_back(line);
  }
  arrived.notify_all();
}
} // namespace

DiagnosticLines::DiagnosticLines() {
  Take();
  ObserveDiagnostics(Collect);
}

DiagnosticLines::~DiagnosticLines() { ObserveDiagnostics(nullptr); }

std::vector<std::string> DiagnosticLines::Take() {
  const std::lock_guard<std::mutex> guard(lock);
  std::vector<std::string> taken;
  taken.swap(lines);
  return taken;
}

bool DiagnosticLines::WaitFor(const std::string &part, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> guard(lock);
  return arrived.wait_for(guard, limit, [&] {
    for (const std::string &line : lines)
      if (line.find(part) != std::string::npos)
        return true;
    return false;
  });
}
