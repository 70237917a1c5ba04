// paths.cpp: the portable front end's file locations, after the XDG base directory rules.
#include "platform/paths.h"

#include "platform/portable/xdg.h"

std::string DebugLogPath() {
  // Made on demand: the folder may not exist yet, or may have been removed while the program runs.
  const std::string folder = XdgDirectory("XDG_STATE_HOME", ".local/state");
  MakeDirectories(folder);
  return folder + "/debug_corvia.log";
}
