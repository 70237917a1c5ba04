// diagnostic_lines.h: the diagnostic lines the code under test writes, collected while an instance lives.
#pragma once

#include <chrono>
#include <string>
#include <vector>

class DiagnosticLines {
public:
  DiagnosticLines();               // starts collecting (one instance at a time)
  ~DiagnosticLines();              // stops
  std::vector<std::string> Take(); // the lines so far, which are then forgotten
  // Waits until a line holding part has been written (by any thread); false when none came before the deadline,
  // which only ends a run that hangs.
  bool WaitFor(const std::string &part, std::chrono::milliseconds limit = std::chrono::seconds(20));
};
