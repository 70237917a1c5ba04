// settings_store.h: the persistent store behind the settings, one named text value at a time.
//
// Windows keeps the values in the registry key "Software\Orvel\KESTREL"; the portable front end keeps
// them in a settings file. The setting rules (defaults, write-back, clamps) live in app/settings.cpp.
#pragma once

#include <string>

enum class StoreRead {
  Unavailable, // the store itself cannot be opened (no key, no file)
  Missing,     // the store opens but the value is absent or unreadable
  Read,        // the value was read into the out text
};

// Reads one value. Values longer than kStoreValueLimit characters count as unreadable.
StoreRead StoreReadValue(const wchar_t *name, std::wstring &text);

// Writes one value, creating the store when needed. Returns false when the store refused it.
bool StoreWriteValue(const wchar_t *name, const wchar_t *text);

// Removes one value; true when the value is gone afterwards (also when it never existed).
bool StoreDeleteValue(const wchar_t *name);

// Removes the whole store, so that it reads as Unavailable. Used by tests and by a reset of the install.
bool StoreDeleteAll();

// Where the store lives, for messages and the README ("HKLM\Software\Orvel\KESTREL" or a file path).
std::wstring StoreLocation();

// Where values the store lacks are taken from, for the same messages: the system's settings files of the
// portable front end (never written); empty where there is no such place (Windows).
std::wstring StoreFallbackLocation();

// The longest value a read accepts: the 1024-byte read buffer holds 511 wide characters and a terminator.
constexpr size_t kStoreValueLimit = 511;
