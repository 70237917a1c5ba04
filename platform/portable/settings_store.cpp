// settings_store.cpp: portable implementation of settings_store.h over a settings file.
//
// The file is UTF-8, one "Name=Value" a line; the name may contain blanks and the value is everything
// after the first '='. A missing file plays the part of a missing registry key. A file that is there but
// cannot be read (no permission, a folder, a read error) plays the part of a key that cannot be opened:
// reads give nothing and nothing is written, because a write rebuilds the whole file from what it read
// and would replace every line it could not read by nothing. One diagnostic line says so.
//
// Every write replaces the file atomically (a temporary file "settings.ini.tmp.<pid>", flushed, then
// renamed over it) and puts back every line it does not change byte for byte: NUL bytes, carriage
// returns, a missing last line end and a byte-order mark all stay. A crash during a write leaves the old
// or the new settings, never a torn file, and perhaps the temporary file: the store removes those of
// processes that are gone. A file its owner made read-only is not replaced.
//
// Below the pilot's file lie the system's files, kestrel/settings.ini in each folder of XDG_CONFIG_DIRS
// (/etc/xdg when unset): an installed package names its theatres there. A value the pilot's file lacks is
// taken from the first of them that has it; a line of the pilot's own, even an empty one, always wins. They
// are never written, and a value read from them counts as stored, so no default is written back over it
// and the pilot's file never receives it: a later package that moves its files still finds them.
#include "platform/settings_store.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/portable/xdg.h"
#include "platform/utf8.h"

namespace {

constexpr const char *kFileName = "settings.ini";
constexpr std::string_view kTemporaryPrefix = "settings.ini.tmp.";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A write takes milliseconds. A temporary file this old belongs to no write in progress, even when its
// process number has since been given to another program.
constexpr time_t kStaleTemporarySeconds = 600;

// The threads of one process take turns: a write reads the file, changes a line and replaces it, and two
// at once would each lose the other's change (and share one temporary file name).
std::mutex g_store_lock;
bool g_temporaries_checked = false;
bool g_unreadable_reported = false;
std::set<std::string> g_unreadable_system_files; // each one said once

std::string SettingsDirectory() { return XdgDirectory("XDG_CONFIG_HOME", ".config"); }
std::string SettingsPath() { return SettingsDirectory() + "/" + kFileName; }

enum class FileState { kMissing, kUnreadable, kRead };

// The file's lines, each with its own line end (the last one may have none).
using Lines = std::vector<std::string>;

FileState ReadFileBytes(const std::string &path, std::string &bytes, std::string &why) {
  // Non-blocking, so that a pipe put in the file's place is refused instead of waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return FileState::kMissing;
    why = std::strerror(errno);
    return FileState::kUnreadable;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    why = S_ISDIR(info.st_mode) ? "a folder, not a file" : "not a regular file";
    ::close(fd);
    return FileState::kUnreadable;
  }
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0)
      break;
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      why = std::strerror(errno);
      ::close(fd);
      return FileState::kUnreadable;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return FileState::kRead;
}

// Says once that the file cannot be read, and again only after it could be read in between.
void NoteReadability(FileState state, const std::string &why) {
  if (state != FileState::kUnreadable) {
    g_unreadable_reported = false;
    return;
  }
  if (g_unreadable_reported)
    return;
  g_unreadable_reported = true;
  WriteDiagnostic("settings: \"" + SettingsPath() + "\" cannot be read (" + why +
                  "); no setting is read from it and none is written to it, so every setting takes its default");
}

void SplitLines(const std::string &bytes, Lines &lines) {
  for (size_t start = 0; start < bytes.size();) {
    const size_t end = bytes.find('\n', start);
    const size_t next = end == std::string::npos ? bytes.size() : end + 1;
    lines.push_back(bytes.substr(start, next - start));
    start = next;
  }
}

FileState ReadLines(Lines &lines) {
  std::string bytes, why;
  const FileState state = ReadFileBytes(SettingsPath(), bytes, why);
  NoteReadability(state, why);
  SplitLines(bytes, lines);
  return state;
}

// kestrel/settings.ini in every folder of XDG_CONFIG_DIRS, most important first. The variable's rules: unset
// or empty means /etc/xdg, and a folder that is not an absolute path is ignored.
std::vector<std::string> SystemSettingsPaths() {
  const char *variable = std::getenv("XDG_CONFIG_DIRS");
  const std::string folders = variable != nullptr && *variable != '\0' ? variable : "/etc/xdg";
  std::vector<std::string> paths;
  for (size_t start = 0; start <= folders.size();) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos)
      end = folders.size();
    const std::string folder = folders.substr(start, end - start);
    if (!folder.empty() && folder[0] == '/')
      paths.push_back(folder + "/kestrel/" + kFileName);
    start = end + 1;
  }
  return paths;
}

// What a line says, without its line end (and the carriage return before it) and, on the first line,
// without a byte-order mark.
std::string_view LineText(const std::string &line, bool first) {
  std::string_view text = line;
  if (first && text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    text.remove_prefix(kByteOrderMark.size());
  if (!text.empty() && text.back() == '\n')
    text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r')
    text.remove_suffix(1);
  return text;
}

// The value of a "Name=Value" line for name, or false when the line is about another name.
bool LineValue(std::string_view text, const std::string &name, std::string_view *value) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos || text.substr(0, equals) != name)
    return false;
  *value = text.substr(equals + 1);
  return true;
}

// What the first line naming key holds: its text (found), a value too long to use, or no such line.
enum class Lookup { kAbsent, kFound, kTooLong };
Lookup FindValue(const Lines &lines, const std::string &key, std::wstring &text) {
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view value;
    if (!LineValue(LineText(lines[i], i == 0), key, &value))
      continue;
    std::wstring wide = Utf8ToWide(std::string(value));
    if (wide.size() > kStoreValueLimit)
      return Lookup::kTooLong;
    text = std::move(wide);
    return Lookup::kFound;
  }
  return Lookup::kAbsent;
}

// The value of key in the first system file that has a usable one. A system file that cannot be read is named
// once, and the defaults are used in its place.
bool ReadSystemValue(const std::string &key, std::wstring &text) {
  for (const std::string &path : SystemSettingsPaths()) {
    std::string bytes, why;
    const FileState state = ReadFileBytes(path, bytes, why);
    if (state == FileState::kUnreadable && g_unreadable_system_files.insert(path).second)
      WriteDiagnostic("settings: the system's settings file \"" + path + "\" cannot be read (" + why +
                      "); the settings it would give take their defaults");
    if (state != FileState::kRead)
      continue;
    Lines lines;
    SplitLines(bytes, lines);
    // A value too long to use here leaves the next file to give it.
    if (FindValue(lines, key, text) == Lookup::kFound)
      return true;
  }
  return false;
}

bool TemporaryIsStale(const std::string &path, long pid) {
  // This process writes only under the store lock, which the caller holds: a file of its own number is
  // left from an earlier process that had the same number.
  if (pid == static_cast<long>(::getpid()))
    return true;
  if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
    return true;
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && std::time(nullptr) - info.st_mtime > kStaleTemporarySeconds;
}

void RemoveStaleTemporaries() {
  const std::string folder = SettingsDirectory();
  DIR *dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return;
  while (const dirent *entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix)
      continue;
    const std::string_view digits = name.substr(kTemporaryPrefix.size());
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos)
      continue; // not a name this store gives
    const std::string path = folder + "/" + std::string(name);
    if (TemporaryIsStale(path, std::stol(std::string(digits))))
      ::unlink(path.c_str());
  }
  ::closedir(dir);
}

void CheckTemporariesOnce() {
  if (g_temporaries_checked)
    return;
  g_temporaries_checked = true;
  RemoveStaleTemporaries();
}

bool WriteAll(FILE *out, const Lines &lines) {
  for (const std::string &line : lines)
    if (std::fwrite(line.data(), 1, line.size(), out) != line.size())
      return false;
  return std::fflush(out) == 0 && ::fsync(::fileno(out)) == 0;
}

bool ReplaceFile(const Lines &lines) {
  if (!MakeDirectories(SettingsDirectory()))
    return false;
  RemoveStaleTemporaries();
  const std::string path = SettingsPath();
  // The rename would replace a file its owner made read-only; refuse, as the registry refuses a key its
  // rights protect.
  if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0)
    return false;
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  FILE *out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr)
    return false;
  // The new file keeps the old one's permissions: a pilot who made it private keeps it private.
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0)
    ::fchmod(::fileno(out), old.st_mode & 07777);
  bool ok = WriteAll(out, lines);
  ok = std::fclose(out) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

} // namespace

StoreRead StoreReadValue(const wchar_t *name, std::wstring &text) {
  text.clear();
  const std::lock_guard<std::mutex> guard(g_store_lock);
  CheckTemporariesOnce();
  Lines lines;
  const FileState state = ReadLines(lines);
  if (state == FileState::kUnreadable)
    return StoreRead::Unavailable; // the pilot's file is there: the system's must not stand in for it
  const std::string key = WideToUtf8(name);
  switch (FindValue(lines, key, text)) {
  case Lookup::kFound:
    return StoreRead::Read;
  case Lookup::kTooLong:
    return StoreRead::Missing;
  case Lookup::kAbsent:
    break;
  }
  if (ReadSystemValue(key, text))
    return StoreRead::Read;
  return state == FileState::kRead ? StoreRead::Missing : StoreRead::Unavailable;
}

bool StoreWriteValue(const wchar_t *name, const wchar_t *text) {
  const std::lock_guard<std::mutex> guard(g_store_lock);
  CheckTemporariesOnce();
  Lines lines;
  if (ReadLines(lines) == FileState::kUnreadable)
    return false;
  const std::string key = WideToUtf8(name);
  // A line break inside a value would split it into two lines; the registry has no such limit, but
  // nothing the program writes contains one, so store the value up to the first break.
  std::string value = WideToUtf8(text);
  value = value.substr(0, value.find_first_of("\r\n"));
  const std::string setting = key + "=" + value;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string &line = lines[i];
    const std::string_view line_text = LineText(line, i == 0);
    std::string_view old;
    if (!LineValue(line_text, key, &old))
      continue;
    // Only the text changes: the byte-order mark before it and the line end after it stay.
    const size_t text_start = static_cast<size_t>(line_text.data() - line.data());
    line = line.substr(0, text_start) + setting + line.substr(text_start + line_text.size());
    return ReplaceFile(lines);
  }
  if (!lines.empty() && lines.back().back() != '\n')
    lines.back() += '\n';
  lines.push_back(setting + "\n");
  return ReplaceFile(lines);
}

bool StoreDeleteValue(const wchar_t *name) {
  const std::lock_guard<std::mutex> guard(g_store_lock);
  Lines lines;
  const FileState state = ReadLines(lines);
  if (state != FileState::kRead)
    return state == FileState::kMissing;
  const std::string key = WideToUtf8(name);
  Lines kept;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view value;
    if (!LineValue(LineText(lines[i], i == 0), key, &value))
      kept.push_back(lines[i]);
  }
  return kept.size() == lines.size() || ReplaceFile(kept);
}

bool StoreDeleteAll() {
  const std::lock_guard<std::mutex> guard(g_store_lock);
  const std::string path = SettingsPath();
  return std::remove(path.c_str()) == 0 || ::access(path.c_str(), F_OK) != 0;
}

std::wstring StoreLocation() { return Utf8ToWide(SettingsPath()); }

std::wstring StoreFallbackLocation() {
  std::string joined;
  for (const std::string &path : SystemSettingsPaths())
    joined += (joined.empty() ? "" : ", ") + path;
  return Utf8ToWide(joined);
}
