// diagnostics.h: the program's plain-text voice beside the display. The display tells the pilot what happens in
// flight (event messages); these lines tell whoever sets the program up why something did not work (a
// setting that could not be used, a port that could not be bound, a map that could not be loaded) and where the
// program looks for things.
#pragma once

#include <string>

// Writes one line, UTF-8, without its line end: to standard error on the portable side; to the debugger output
// (OutputDebugString) and, when the process has one, to standard error on Windows. Safe from either thread; lines
// are never interleaved.
void WriteDiagnostic(const std::string &line);

// Hands every line written from now on also to observer, after it went out (null: nobody). Tests wait for a line
// this way, as a line from another thread may come at any moment; the observer runs on the writing thread, with
// the writers held off, so it must not write a line itself.
void ObserveDiagnostics(void (*observer)(const std::string &line));
