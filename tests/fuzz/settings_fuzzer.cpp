// settings_fuzzer.cpp: any settings file must be read without harm, and a write must keep every line it does not
// change byte for byte: the file after the write is the file before it with one line replaced or one line added.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/settings.h"
#include "platform/settings_store.h"
#include "platform/utf8.h"

#include "fuzz_support.h"

namespace {
std::string g_path;

std::string ReadAll() {
  std::ifstream in(g_path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The lines with their line ends; the last may have none.
std::vector<std::string> Lines(const std::string &bytes) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < bytes.size();) {
    const size_t end = bytes.find('\n', start);
    const size_t next = end == std::string::npos ? bytes.size() : end + 1;
    lines.push_back(bytes.substr(start, next - start));
    start = next;
  }
  return lines;
}

bool KeptButOneLine(const std::vector<std::string> &before, const std::vector<std::string> &after,
                    const std::string &setting) {
  if (after.size() == before.size()) { // one line replaced, in place
    int changed = 0;
    for (size_t i = 0; i < before.size(); ++i)
      if (before[i] != after[i])
        changed += after[i].find(setting) != std::string::npos ? 1 : 2;
    return changed <= 1;
  }
  if (after.size() != before.size() + 1 || after.back() != setting + "\n")
    return false;
  for (size_t i = 0; i < before.size(); ++i) // one line added; only the last one before it may gain its line end
    if (before[i] != after[i] && !(i + 1 == before.size() && before[i] + "\n" == after[i]))
      return false;
  return true;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  StartFuzzedCore();
  g_path = WideToUtf8(StoreLocation());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const wchar_t *const kNames[] = {L"UDP Port", L"Pilot ID", L"Stick Up", L"GEORGIA map", L"MenuOption#01"};
  {
    std::ofstream out(g_path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
  }
  // Start-up's reads, with their defaults written back.
  ReadStartupSettings();
  ReadPilotNumber();
  ReadUdpPort();
  const std::vector<std::string> before = Lines(ReadAll());
  const wchar_t *name = kNames[size == 0 ? 0 : data[0] % 5];
  FuzzCheck(StoreWriteValue(name, L"4242"), "the write is made");
  FuzzCheck(KeptButOneLine(before, Lines(ReadAll()), WideToUtf8(name) + "=4242"),
            "every line but the one written is kept byte for byte");
  std::wstring text;
  FuzzCheck(StoreReadValue(name, text) == StoreRead::Read && text == L"4242", "the value written reads back");
  return 0;
}
