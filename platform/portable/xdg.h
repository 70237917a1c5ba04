// xdg.h: the program's folders under the XDG base directories.
#pragma once

#include <string>

// $<variable>/kestrel, or $HOME/<fallback>/kestrel when the variable is unset or empty.
std::string XdgDirectory(const char *variable, const char *fallback);

// Creates a folder and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string &path);
