// paths.h: where the program keeps the files it writes itself.
#pragma once

#include <string>

// The debug log of received datagrams (8-bit path for fopen).
std::string DebugLogPath();
