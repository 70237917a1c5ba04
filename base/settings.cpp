// settings.cpp: setting rules over the platform's store: defaults written back, clamps, number parsing, and a
// diagnostic line for every stored value that cannot be used as it stands.
#include "base/settings.h"

#include <climits>
#include <cstdio>
#include <cwchar>
#include <string>

#include "base/wide_text.h"
#include "platform/diagnostics.h"
#include "platform/settings_store.h"
#include "platform/utf8.h"

static void CopyOut(const std::wstring &value, wchar_t text[kSettingTextCapacity]) {
  const size_t n = value.size() < kSettingTextCapacity - 1 ? value.size() : kSettingTextCapacity - 1;
  value.copy(text, n);
  text[n] = L'\0';
}

bool ReadSetting(const wchar_t *name, wchar_t text[kSettingTextCapacity]) {
  std::wstring value;
  const StoreRead result = StoreReadValue(name, value);
  CopyOut(result == StoreRead::Read ? value : std::wstring(), text);
  return result != StoreRead::Missing;
}

void WriteSetting(const wchar_t *name, const wchar_t *text) { StoreWriteValue(name, text); }

static StoreRead ReadOrDefault(const wchar_t *name, const wchar_t *fallback, std::wstring &text) {
  const StoreRead result = StoreReadValue(name, text);
  if (result == StoreRead::Unavailable) {
    text.clear();
  } else if (result == StoreRead::Missing) {
    WriteSetting(name, fallback);
    text = fallback;
  }
  return result;
}

void ReadSettingOrDefault(const wchar_t *name, const wchar_t *fallback, wchar_t text[kSettingTextCapacity]) {
  std::wstring value;
  ReadOrDefault(name, fallback, value);
  CopyOut(value, text);
}

int WideToInt(const wchar_t *text) {
  while (*text == L' ' || (*text >= L'\t' && *text <= L'\r'))
    ++text;
  bool negative = false;
  if (*text == L'+' || *text == L'-')
    negative = *text++ == L'-';
  long long value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    value = value * 10 + (*text - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1)
      value = static_cast<long long>(INT_MAX) + 1; // saturate; more digits cannot bring it back
  }
  if (negative)
    return static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

namespace {
// Optional blanks, an optional sign, digits, optional blanks: the text WideToInt reads without leaving anything out.
bool IsWholeNumber(const std::wstring &text) {
  const auto blank = [](wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); };
  size_t i = 0;
  while (i < text.size() && blank(text[i]))
    ++i;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
    ++i;
  const size_t digits = i;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9')
    ++i;
  if (i == digits)
    return false;
  while (i < text.size() && blank(text[i]))
    ++i;
  return i == text.size();
}

// The value in quotes, control characters escaped so that the line stays one line, cut when very long.
std::string Quoted(const std::wstring &text) {
  constexpr size_t kShown = 64;
  std::string out = "\"";
  for (const char c : WideToUtf8(text.substr(0, kShown))) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += text.size() > kShown ? "...\"" : "\"";
  return out;
}

// A number read for a setting. Only text that came from the store can be wrong: a default written back is
// always usable, and a store that cannot be opened gives no text at all (ReportSettingsStore says so once).
struct NumberRead {
  int value = 0;
  std::wstring text;
  bool stored = false;
};

NumberRead ReadNumber(const wchar_t *name, const wchar_t *fallback) {
  NumberRead n;
  n.stored = ReadOrDefault(name, fallback, n.text) == StoreRead::Read;
  n.value = WideToInt(n.text.c_str());
  return n;
}

void ReportUnlessWhole(const wchar_t *name, const NumberRead &n) {
  if (n.stored && !IsWholeNumber(n.text))
    ReportSetting(name, n.text, "not a whole number; using " + std::to_string(n.value));
}

// A number that must lie within low..high; outside it, replacement is used, and the line says what the value
// should have been (expected) and what the program does instead.
int ReadRangedSetting(const wchar_t *name, const wchar_t *fallback, int low, int high, int replacement,
                      const std::string &expected, const char *also = "", bool *replaced = nullptr) {
  const NumberRead n = ReadNumber(name, fallback);
  if (replaced != nullptr)
    *replaced = n.value < low || n.value > high;
  if (n.value >= low && n.value <= high) {
    ReportUnlessWhole(name, n);
    return n.value;
  }
  if (n.stored)
    ReportSetting(name, n.text,
                  "not " + expected + " from " + std::to_string(low) + " to " + std::to_string(high) + "; using " +
                      std::to_string(replacement) + also);
  return replacement;
}
} // namespace

void ReportSetting(const wchar_t *name, const std::wstring &text, const std::string &problem) {
  WriteDiagnostic("settings: \"" + WideToUtf8(name) + "\" is " + Quoted(text) + ", " + problem);
}

void ReportSettingsStore() {
  const std::wstring fallback = StoreFallbackLocation();
  WriteDiagnostic("settings: kept in " + WideToUtf8(StoreLocation()) +
                  (fallback.empty() ? "" : "; a setting missing there is taken from " + WideToUtf8(fallback)));
  std::wstring ignored;
  if (StoreReadValue(L"Debug", ignored) == StoreRead::Unavailable)
    WriteDiagnostic("settings: none can be read (the store is not made yet, or cannot be opened); numbers count as "
                    "0 on this start");
}

int ReadIntSetting(const wchar_t *name, const wchar_t *fallback) {
  const NumberRead n = ReadNumber(name, fallback);
  ReportUnlessWhole(name, n);
  return n.value;
}

StartupSettings ReadStartupSettings() {
  StartupSettings s;
  wchar_t text[kSettingTextCapacity];
  ReadSetting(L"Debug", text);
  s.debug = WideToInt(text);
  if (text[0] != L'\0' && !IsWholeNumber(text))
    ReportSetting(L"Debug", text, "not a whole number; using " + std::to_string(s.debug));
  s.mfd_id = ReadIntSetting(L"MFD_ID", L"0");
  s.stick_id = ReadIntSetting(L"Stick ID", L"0");
  s.stick_up = ReadIntSetting(L"Stick Up", L"11");
  s.stick_right = ReadIntSetting(L"Stick Right", L"12");
  s.stick_down = ReadIntSetting(L"Stick Down", L"13");
  s.stick_left = ReadIntSetting(L"Stick Left", L"14");
  s.stick_tag = ReadIntSetting(L"Stick Tag", L"7");
  s.mfd_mode = ReadIntSetting(L"MFD Mode", L"0");
  s.offset_x = ReadIntSetting(L"OffsetX", L"100");
  s.offset_y = ReadIntSetting(L"OffsetY", L"100");
  s.unit_km = ReadIntSetting(L"Unit KM", L"0");
  // Deliberately not the default 25: an absurd step falls back to a coarse one.
  s.step_move = ReadRangedSetting(L"Step Move", L"25", 1, 500, 100, "a pan step");
  const wchar_t *const sides[2] = {L"Window Height", L"Window Width"};
  const NumberRead size[2] = {ReadNumber(sides[0], L"425"), ReadNumber(sides[1], L"425")};
  s.window_height = size[0].value;
  s.window_width = size[1].value;
  // Above the largest window a screen can hold, a side would overflow the font arithmetic (width x 17) and
  // ask for a frame of gigabytes: such a size is refused like one too small.
  const auto usable = [](int side) { return side > 100 && side <= kLargestWindowSide; };
  if (!usable(s.window_height) || !usable(s.window_width)) {
    s.window_height = 425;
    s.window_width = 425;
  }
  for (int i = 0; i < 2; ++i) {
    if (usable(size[i].value))
      ReportUnlessWhole(sides[i], size[i]);
    else if (size[i].value > kLargestWindowSide)
      ReportSetting(sides[i], size[i].text,
                    "not a size from 101 to " + std::to_string(kLargestWindowSide) +
                        " pixels; using 425 x 425 for the window");
    else if (size[i].stored)
      ReportSetting(sides[i], size[i].text, "not a size above 100 pixels; using 425 x 425 for the window");
  }
  return s;
}

int ReadA10Mode() { return ReadIntSetting(L"A10 Mode", L"0"); }

int ReadPilotNumber() { return ReadRangedSetting(L"Pilot ID", L"1", 1, 99, 1, "a pilot number"); }

void WritePilotNumber(int pilot) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%d", pilot);
  WriteSetting(L"Pilot ID", text);
}

int ReadUdpPort() {
  bool replaced = false;
  const int port = ReadRangedSetting(L"UDP Port", L"10320", 1024, 65535, kDefaultUdpPort, "a port",
                                     " and writing it back", &replaced);
  // Also when the store could not be opened: this write is what creates it.
  if (replaced)
    WriteSetting(L"UDP Port", L"10320");
  return port;
}

static void PageOptionName(int page, wchar_t name[32]) { std::swprintf(name, 32, L"MenuOption#%02d", page); }

int ReadPageOption(int page, int fallback) {
  wchar_t name[32], text[16];
  PageOptionName(page, name);
  std::swprintf(text, 16, L"%08d", fallback);
  return ReadIntSetting(name, text);
}

void WritePageOption(int page, int value) {
  wchar_t name[32], text[16];
  PageOptionName(page, name);
  std::swprintf(text, 16, L"%08d", value);
  WriteSetting(name, text);
}

// A value that opens the machine to the network is taken only when it says exactly what it means: a whole
// number within the accepted ones. Anything else is reported and switches the feature off.
static int ReadStrictSetting(const wchar_t *name, bool (*accepted)(int), const std::string &expected) {
  const NumberRead n = ReadNumber(name, L"0");
  if (!n.stored || (IsWholeNumber(n.text) && accepted(n.value)))
    return n.stored ? n.value : 0;
  ReportSetting(name, n.text, "not " + expected);
  return 0;
}

WebSettings ReadWebSettings() {
  WebSettings web;
  web.port = ReadStrictSetting(
      L"Web Port", [](int v) { return v == 0 || (v >= 1024 && v <= 65535); },
      "0 (off) or a port from 1024 to 65535; the web display is off");
  web.control = ReadStrictSetting(
      L"Web Control", [](int v) { return v == 0 || v == 1; },
      "0 (view only) or 1 (taps press buttons); the web display only shows");
  return web;
}
