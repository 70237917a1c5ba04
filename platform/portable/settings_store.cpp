// settings_store.cpp: portable implementation of settings_store.h over a settings file.
//
// The file is UTF-8, one "Name=Value" a line; the name may contain blanks and the value is everything
// after the first '='. A missing file plays the part of a missing registry key. Every write replaces the
// file atomically (a temporary file, flushed, then renamed over it), keeping lines it does not
// understand, so a crash during a write leaves either the old or the new settings, never a torn file.
#include "platform/settings_store.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>
#include <vector>

#include "platform/portable/utf8.h"
#include "platform/portable/xdg.h"

static std::string SettingsDirectory() { return XdgDirectory("XDG_CONFIG_HOME", ".config"); }
static std::string SettingsPath() { return SettingsDirectory() + "/settings.ini"; }

static bool ReadLines(std::vector<std::string> &lines) {
  std::ifstream in(SettingsPath(), std::ios::binary);
  if (!in)
    return false;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return true;
}

// The value of a "Name=Value" line for name, or false when the line is about another name.
static bool LineValue(const std::string &line, const std::string &name, std::string &value) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos || line.compare(0, equals, name) != 0 || equals != name.size())
    return false;
  value = line.substr(equals + 1);
  if (!value.empty() && value.back() == '\r')
    value.pop_back();
  return true;
}

StoreRead StoreReadValue(const wchar_t *name, std::wstring &text) {
  text.clear();
  std::vector<std::string> lines;
  if (!ReadLines(lines))
    return StoreRead::Unavailable;
  const std::string key = WideToUtf8(name);
  for (const std::string &line : lines) {
    std::string value;
    if (!LineValue(line, key, value))
      continue;
    std::wstring wide = Utf8ToWide(value);
    if (wide.size() > kStoreValueLimit)
      return StoreRead::Missing;
    text = std::move(wide);
    return StoreRead::Read;
  }
  return StoreRead::Missing;
}

static bool ReplaceFile(const std::vector<std::string> &lines) {
  if (!MakeDirectories(SettingsDirectory()))
    return false;
  const std::string path = SettingsPath();
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  FILE *out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr)
    return false;
  bool ok = true;
  for (const std::string &line : lines)
    ok = ok && std::fputs(line.c_str(), out) >= 0 && std::fputc('\n', out) != EOF;
  ok = ok && std::fflush(out) == 0 && ::fsync(::fileno(out)) == 0;
  ok = std::fclose(out) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool StoreWriteValue(const wchar_t *name, const wchar_t *text) {
  std::vector<std::string> lines;
  ReadLines(lines);
  const std::string key = WideToUtf8(name);
  // A line break inside a value would split it into two lines; the registry has no such limit, but
  // nothing the program writes contains one, so store the value up to the first break.
  std::string value = WideToUtf8(text);
  value = value.substr(0, value.find_first_of("\r\n"));
  bool replaced = false;
  for (std::string &line : lines) {
    std::string old;
    if (!replaced && LineValue(line, key, old)) {
      line = key + "=" + value;
      replaced = true;
    }
  }
  if (!replaced)
    lines.push_back(key + "=" + value);
  return ReplaceFile(lines);
}

bool StoreDeleteValue(const wchar_t *name) {
  std::vector<std::string> lines;
  if (!ReadLines(lines))
    return true;
  const std::string key = WideToUtf8(name);
  std::vector<std::string> kept;
  for (const std::string &line : lines) {
    std::string value;
    if (!LineValue(line, key, value))
      kept.push_back(line);
  }
  return kept.size() == lines.size() || ReplaceFile(kept);
}

bool StoreDeleteAll() {
  const std::string path = SettingsPath();
  return std::remove(path.c_str()) == 0 || ::access(path.c_str(), F_OK) != 0;
}

std::wstring StoreLocation() { return Utf8ToWide(SettingsPath()); }
