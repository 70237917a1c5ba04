// test_env.h: a fresh settings store and scratch folders for tests, on either front end.
#pragma once

#include <string>

// Points the settings store at a fresh, empty place (a new folder for the settings file on the
// portable side; the emptied registry key on Windows) and returns a scratch folder for the test's files.
std::string UseFreshSettingsStore();

// A new empty folder under the system's temporary folder.
std::string MakeScratchFolder();

// Writes bytes to a file; false on failure.
bool WriteTextFile(const std::string &path, const std::string &bytes);
std::string ReadTextFile(const std::string &path);

// Added to the environment of programs the tests start. SDL loads and unloads its video and audio drivers
// at run time, and what they allocate then shows in sanitizer builds as leaks of unknown modules, which
// would turn the program's exit code into a failure; the program's own memory is checked by the unit tests.
constexpr const char *kNoLeakCheck = "ASAN_OPTIONS=detect_leaks=0";
