// paths.cpp: the portable front end's file locations, after the XDG base directory rules.
#include "platform/paths.h"


#include "platform/portable/xdg.h"

std::string DebugLogPath() { return XdgDirectory("XDG_STATE_HOME", ".local/state") + "/debug_corvia.log"; }
