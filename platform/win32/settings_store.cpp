// settings_store.cpp: Windows implementation of settings_store.h over the registry key "Software\Orvel\KESTREL".
//
// The settings belong under HKEY_LOCAL_MACHINE, every value REG_SZ. A pilot without the right to write
// there would otherwise lose every change (the page options, the pilot number, the port repair) at each
// start, so the store keeps a per-user copy under HKEY_CURRENT_USER with the same key path:
//
// - Reads look in HKCU first and fall back to HKLM. A value that exists in HKCU decides the result even
//   when it is unreadable there, because it is the newer one. The store is Unavailable only when neither
//   key opens.
// - Writes go to HKLM. Only when HKLM refuses (the key cannot be created or the value cannot be set) does
//   the value go to HKCU. A successful HKLM write deletes any HKCU copy of that value, so that an old
//   per-user value can never shadow the new machine-wide one.
// - Deleting a value or the whole store acts on both keys.
//
// Reads use a data buffer of 1024 bytes, so 511 characters and the terminator are the most a read takes;
// a longer value counts as unreadable (Missing). The registry type of a value is not examined.
#include "platform/settings_store.h"

#include <windows.h>

namespace {

constexpr const wchar_t *kKeyPath = L"Software\\Orvel\\KESTREL";
constexpr DWORD kReadBufferBytes = 1024;

// What one key says about one value.
enum class KeyRead {
  NoKey,   // the key does not open
  NoValue, // the key opens, the value is not in it
  Bad,     // the value exists but cannot be read (too long)
  Text,    // the value was read
};

KeyRead ReadFromKey(HKEY root, const wchar_t *name, std::wstring &text) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, kKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return KeyRead::NoKey;
  wchar_t data[kReadBufferBytes / sizeof(wchar_t)];
  DWORD bytes = kReadBufferBytes;
  const LSTATUS status = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(data), &bytes);
  RegCloseKey(key);
  if (status == ERROR_FILE_NOT_FOUND)
    return KeyRead::NoValue;
  if (status != ERROR_SUCCESS)
    return KeyRead::Bad; // ERROR_MORE_DATA: over 1024 bytes
  // The stored text need not be terminated (another program may have written it without one).
  size_t length = 0;
  const size_t limit = bytes / sizeof(wchar_t);
  while (length < limit && data[length] != L'\0')
    ++length;
  if (length > kStoreValueLimit)
    return KeyRead::Bad;
  text.assign(data, length);
  return KeyRead::Text;
}

bool WriteToKey(HKEY root, const wchar_t *name, const wchar_t *text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
  const LSTATUS status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), bytes);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

// True when the value is absent from the key afterwards, also when the key itself does not exist.
bool DeleteFromKey(HKEY root, const wchar_t *name) {
  HKEY key = nullptr;
  const LSTATUS opened = RegOpenKeyExW(root, kKeyPath, 0, KEY_SET_VALUE, &key);
  if (opened == ERROR_FILE_NOT_FOUND)
    return true;
  if (opened != ERROR_SUCCESS)
    return false;
  const LSTATUS status = RegDeleteValueW(key, name);
  RegCloseKey(key);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool DeleteKey(HKEY root) {
  const LSTATUS status = RegDeleteTreeW(root, kKeyPath);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

} // namespace

StoreRead StoreReadValue(const wchar_t *name, std::wstring &text) {
  text.clear();
  const KeyRead user = ReadFromKey(HKEY_CURRENT_USER, name, text);
  if (user == KeyRead::Text)
    return StoreRead::Read;
  if (user == KeyRead::Bad)
    return StoreRead::Missing;
  const KeyRead machine = ReadFromKey(HKEY_LOCAL_MACHINE, name, text);
  if (machine == KeyRead::Text)
    return StoreRead::Read;
  if (machine == KeyRead::NoKey && user == KeyRead::NoKey)
    return StoreRead::Unavailable;
  return StoreRead::Missing;
}

bool StoreWriteValue(const wchar_t *name, const wchar_t *text) {
  if (WriteToKey(HKEY_LOCAL_MACHINE, name, text)) {
    DeleteFromKey(HKEY_CURRENT_USER, name);
    return true;
  }
  return WriteToKey(HKEY_CURRENT_USER, name, text);
}

bool StoreDeleteValue(const wchar_t *name) {
  const bool machine = DeleteFromKey(HKEY_LOCAL_MACHINE, name);
  const bool user = DeleteFromKey(HKEY_CURRENT_USER, name);
  return machine && user;
}

bool StoreDeleteAll() {
  const bool machine = DeleteKey(HKEY_LOCAL_MACHINE);
  const bool user = DeleteKey(HKEY_CURRENT_USER);
  return machine && user;
}

std::wstring StoreLocation() { return L"HKLM\\Software\\Orvel\\KESTREL"; }

std::wstring StoreFallbackLocation() { return {}; }
