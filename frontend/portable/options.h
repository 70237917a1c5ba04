// options.h: the portable program's command line. The Windows program has none: it is set up through the
// registry alone.
#pragma once

#include <string>
#include <vector>

struct ProgramOptions {
  std::string screenshot_dir; // one PNG per second, after the whole-window repaint
  int seconds = 0;            // stop after this many seconds; 0: run until closed
  std::vector<int> keys;      // virtual keys pressed one per second, from the first second on
};

enum class OptionsResult { kRun, kHelp, kError };

// Reads argv[1..argc-1]. kError leaves a one-line reason, naming the option, in error; kHelp asks for the usage text.
OptionsResult ParseProgramOptions(int argc, char **argv, ProgramOptions &options, std::string &error);

// The --help text: every option, the keys --keys knows, and where the settings are.
std::string ProgramUsage();

// A key of --keys as a Windows virtual-key number (the numbers the shell takes): a letter or digit, F1..F10, UP,
// DOWN, LEFT, RIGHT, PGUP or PGDN, in either case; 0 for any other name.
int KeyByName(const std::string &name);
