// settings.h: the settings of the program: reading with defaults and write-back, the number rules and
// the whole table of values with their clamps.
#pragma once

#include <cstddef>
#include <string>

constexpr size_t kSettingTextCapacity = 1024; // caller buffers, in wide characters

// Key cannot be opened: empty text, true. Value read: the value, true. Value missing or unreadable:
// empty text, false.
bool ReadSetting(const wchar_t *name, wchar_t text[kSettingTextCapacity]);

// Stores the value; a refusal by the store is ignored, the caller keeps its value in memory.
void WriteSetting(const wchar_t *name, const wchar_t *text);

// Value read: the value. Missing or unreadable in an existing store: the default is written back and
// returned. Store cannot be opened: empty text, nothing written.
void ReadSettingOrDefault(const wchar_t *name, const wchar_t *fallback, wchar_t text[kSettingTextCapacity]);

// Decimal text to int as _wtoi reads it: leading white space, an optional sign, digits up to the first
// non-digit; no digits gives 0; values beyond the int range saturate.
int WideToInt(const wchar_t *text);

// ReadSettingOrDefault followed by WideToInt. Stored text that is not a whole number is reported (below).
int ReadIntSetting(const wchar_t *name, const wchar_t *fallback);

// One diagnostic line about a stored value the program cannot use as it stands, for example
//   settings: "UDP Port" is "1O720", not a port from 1024 to 65535; using 10320 and writing it back
// where problem is the text after the value: what the value should have been and what is used instead.
void ReportSetting(const wchar_t *name, const std::wstring &text, const std::string &problem);

// The start-up lines about the store itself: where it is, and that nothing could be read when it cannot be
// opened (every number is then 0 on this start, and only the clamps apply).
void ReportSettingsStore();

// The values read at start-up, in the order the shell reads them, with their clamps applied.
// The largest window side the settings accept, in pixels.
constexpr int kLargestWindowSide = 16384;

struct StartupSettings {
  int debug = 0;
  int mfd_id = 0;
  int stick_id = 0;
  int stick_up = 11;
  int stick_right = 12;
  int stick_down = 13;
  int stick_left = 14;
  int stick_tag = 7;
  int mfd_mode = 0;
  int offset_x = 100;
  int offset_y = 100;
  int unit_km = 0;
  int step_move = 25;
  int window_height = 425;
  int window_width = 425;
};
StartupSettings ReadStartupSettings();

// Read after the window exists; stored, nothing depends on it.
int ReadA10Mode();

// "Pilot ID": a value outside 1..99 becomes 1.
int ReadPilotNumber();
void WritePilotNumber(int pilot);

// "UDP Port": a value outside 1024..65535 becomes 10320, and "10320" is written back.
constexpr int kDefaultUdpPort = 10320;
int ReadUdpPort();

// "MenuOption#%02d" of a page, stored as "%08d".
int ReadPageOption(int page, int fallback);
void WritePageOption(int page, int value);

// The web display, beyond the settings above: "Web Port" 0 (the default) keeps it off; 1024..65535 serves it on
// that TCP port. "Web Control" 1 lets its viewers press buttons; 0 (the default) only lets them watch. Either
// value that is not one of these is reported and counts as 0 (off, watch only); the stored text is kept.
struct WebSettings {
  int port = 0;
  int control = 0;
};
WebSettings ReadWebSettings();
