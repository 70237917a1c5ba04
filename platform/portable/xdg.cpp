// xdg.cpp: XDG base directories for the settings file and the debug log.
#include "platform/portable/xdg.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

std::string XdgDirectory(const char *variable, const char *fallback) {
  const char *base = std::getenv(variable);
  if (base != nullptr && *base != '\0')
    return std::string(base) + "/kestrel";
  const char *home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/" + fallback + "/kestrel";
}

bool MakeDirectories(const std::string &path) {
  for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      return false;
    if (slash == std::string::npos)
      return true;
  }
}
