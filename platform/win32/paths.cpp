// paths.cpp: the Windows front end's file locations.
#include "platform/paths.h"

// The debug log sits at the root of drive C:, where the export script's users have always looked for it.
std::string DebugLogPath() { return "C:\\debug_corvia.log"; }
