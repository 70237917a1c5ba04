// settings.cpp: setting rules over the platform's store: defaults written back, clamps, number parsing.
#include "app/settings.h"

#include <climits>
#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/settings_store.h"

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

void ReadSettingOrDefault(const wchar_t *name, const wchar_t *fallback, wchar_t text[kSettingTextCapacity]) {
  std::wstring value;
  switch (StoreReadValue(name, value)) {
  case StoreRead::Unavailable:
    CopyOut(std::wstring(), text);
    return;
  case StoreRead::Missing:
    WriteSetting(name, fallback);
    CopyOut(fallback, text);
    return;
  case StoreRead::Read:
    CopyOut(value, text);
    return;
  }
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

int ReadIntSetting(const wchar_t *name, const wchar_t *fallback) {
  wchar_t text[kSettingTextCapacity];
  ReadSettingOrDefault(name, fallback, text);
  return WideToInt(text);
}

StartupSettings ReadStartupSettings() {
  StartupSettings s;
  wchar_t text[kSettingTextCapacity];
  ReadSetting(L"Debug", text);
  s.debug = WideToInt(text);
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
  s.step_move = ReadIntSetting(L"Step Move", L"25");
  if (s.step_move < 1 || s.step_move > 500)
    s.step_move = 100; // deliberately not the default 25: an absurd step falls back to a coarse one
  s.window_height = ReadIntSetting(L"Window Height", L"425");
  s.window_width = ReadIntSetting(L"Window Width", L"425");
  if (s.window_height <= 100 || s.window_width <= 100) {
    s.window_height = 425;
    s.window_width = 425;
  }
  return s;
}

int ReadA10Mode() { return ReadIntSetting(L"A10 Mode", L"0"); }

int ReadPilotNumber() {
  const int pilot = ReadIntSetting(L"Pilot ID", L"1");
  return pilot < 1 || pilot > 99 ? 1 : pilot;
}

void WritePilotNumber(int pilot) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%d", pilot);
  WriteSetting(L"Pilot ID", text);
}

int ReadUdpPort() {
  const int port = ReadIntSetting(L"UDP Port", L"10320");
  if (port >= 1024 && port <= 65535)
    return port;
  WriteSetting(L"UDP Port", L"10320");
  return kDefaultUdpPort;
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
