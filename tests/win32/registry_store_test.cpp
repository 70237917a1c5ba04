// registry_store_test.cpp: the registry settings store against the real (Wine) registry, both keys.
#include <gtest/gtest.h>

#include <string>
#include <windows.h>

#include <sddl.h>

#include "base/settings.h"
#include "platform/settings_store.h"

namespace {

constexpr const wchar_t *kKeyPath = L"Software\\Orvel\\KESTREL";

struct RawValue {
  LSTATUS status = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  DWORD bytes = 0;
  std::wstring text;
};

// Reads a value straight from one key, bypassing the store.
RawValue ReadRaw(HKEY root, const wchar_t *name) {
  RawValue raw;
  HKEY key = nullptr;
  raw.status = RegOpenKeyExW(root, kKeyPath, 0, KEY_QUERY_VALUE, &key);
  if (raw.status != ERROR_SUCCESS)
    return raw;
  wchar_t data[2048] = {};
  raw.bytes = sizeof data - sizeof(wchar_t);
  raw.status = RegQueryValueExW(key, name, nullptr, &raw.type, reinterpret_cast<BYTE *>(data), &raw.bytes);
  RegCloseKey(key);
  raw.text = data;
  return raw;
}

void WriteRaw(HKEY root, const wchar_t *name, DWORD type, const void *data, DWORD bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE *>(data), bytes), ERROR_SUCCESS);
  RegCloseKey(key);
}

void WriteRawText(HKEY root, const wchar_t *name, const std::wstring &text) {
  WriteRaw(root, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool KeyOpens(HKEY root) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, kKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

std::wstring Read(const wchar_t *name) {
  std::wstring text;
  switch (StoreReadValue(name, text)) {
  case StoreRead::Unavailable:
    return L"<unavailable>";
  case StoreRead::Missing:
    return L"<missing>";
  case StoreRead::Read:
    break;
  }
  return text;
}

// Makes the machine key readable but not writable, as it is for a pilot who is not an administrator.
void RefuseMachineWrites() {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // Everyone: read, delete (so the test can clean up) and change the permissions; no value writes.
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KRSDWD;;;WD)", SDDL_REVISION_1, &descriptor,
                                                                   nullptr));
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
  RegCloseKey(key);
  LocalFree(descriptor);
}

bool MachineKeyRefusesWrites() {
  HKEY key = nullptr;
  const LSTATUS status =
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS)
    RegCloseKey(key);
  return status == ERROR_ACCESS_DENIED;
}

class RegistryStoreTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(StoreDeleteAll()); }
  void TearDown() override { EXPECT_TRUE(StoreDeleteAll()); }
};

TEST_F(RegistryStoreTest, WritesLandInTheMachineKeyAsTerminatedRegSz) {
  ASSERT_TRUE(StoreWriteValue(L"Stick Up", L"11"));
  ASSERT_TRUE(StoreWriteValue(L"Recipients file", L""));

  const RawValue stick = ReadRaw(HKEY_LOCAL_MACHINE, L"Stick Up");
  ASSERT_EQ(stick.status, ERROR_SUCCESS);
  EXPECT_EQ(stick.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(stick.bytes, 6u) << "two characters and the terminator";
  EXPECT_EQ(stick.text, L"11");

  const RawValue empty = ReadRaw(HKEY_LOCAL_MACHINE, L"Recipients file");
  ASSERT_EQ(empty.status, ERROR_SUCCESS);
  EXPECT_EQ(empty.bytes, 2u);
  EXPECT_EQ(Read(L"Recipients file"), L"") << "an empty value is read, not missing";

  EXPECT_FALSE(KeyOpens(HKEY_CURRENT_USER)) << "a write the machine key accepts leaves the user key alone";
}

TEST_F(RegistryStoreTest, ReadsTakeAnyTypeButNothingOver511Characters) {
  WriteRawText(HKEY_LOCAL_MACHINE, L"At limit", std::wstring(511, L'a'));
  WriteRawText(HKEY_LOCAL_MACHINE, L"Over limit", std::wstring(512, L'b'));
  WriteRaw(HKEY_LOCAL_MACHINE, L"Expand", REG_EXPAND_SZ, L"%SystemRoot%", 26);
  WriteRaw(HKEY_LOCAL_MACHINE, L"Unterminated", REG_BINARY, L"42", 4);
  // 512 characters and no terminator fill the 1024-byte buffer exactly: still one character too many.
  const std::wstring full(512, L'c');
  WriteRaw(HKEY_LOCAL_MACHINE, L"Full buffer", REG_SZ, full.c_str(), 1024);

  EXPECT_EQ(Read(L"At limit"), std::wstring(511, L'a'));
  EXPECT_EQ(Read(L"Over limit"), L"<missing>");
  EXPECT_EQ(Read(L"Full buffer"), L"<missing>");
  EXPECT_EQ(Read(L"Expand"), L"%SystemRoot%") << "read as stored, not expanded";
  EXPECT_EQ(Read(L"Unterminated"), L"42");

  wchar_t text[kSettingTextCapacity] = L"stale";
  EXPECT_FALSE(ReadSetting(L"Over limit", text));
  EXPECT_STREQ(text, L"");
}

TEST_F(RegistryStoreTest, DeletingEverythingLeavesNoKeyAndNothingIsWrittenBack) {
  WriteRawText(HKEY_LOCAL_MACHINE, L"MFD_ID", L"2");
  WriteRawText(HKEY_CURRENT_USER, L"Pilot ID", L"4");
  ASSERT_TRUE(StoreDeleteAll());
  EXPECT_FALSE(KeyOpens(HKEY_LOCAL_MACHINE));
  EXPECT_FALSE(KeyOpens(HKEY_CURRENT_USER));
  EXPECT_EQ(Read(L"MFD_ID"), L"<unavailable>");

  wchar_t text[kSettingTextCapacity];
  ReadSettingOrDefault(L"MFD_ID", L"0", text);
  EXPECT_STREQ(text, L"");
  EXPECT_FALSE(KeyOpens(HKEY_LOCAL_MACHINE)) << "a default is never written into a store that does not exist";
  EXPECT_TRUE(StoreDeleteAll()) << "deleting an absent store succeeds";
}

TEST_F(RegistryStoreTest, UserCopyIsReadFirstUntilAMachineWriteRemovesIt) {
  WriteRawText(HKEY_LOCAL_MACHINE, L"Pilot ID", L"7");
  WriteRawText(HKEY_CURRENT_USER, L"Pilot ID", L"12");
  WriteRawText(HKEY_CURRENT_USER, L"Debug", L"1");
  EXPECT_EQ(Read(L"Pilot ID"), L"12");
  EXPECT_EQ(Read(L"Debug"), L"1") << "a value only the user key holds";

  ASSERT_TRUE(StoreWriteValue(L"Pilot ID", L"30"));
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, L"Pilot ID").text, L"30");
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, L"Pilot ID").status, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Read(L"Pilot ID"), L"30");
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, L"Debug").text, L"1") << "only the written value's copy goes";

  // An unreadable user copy still decides: it is newer than the machine value behind it.
  WriteRawText(HKEY_CURRENT_USER, L"Pilot ID", std::wstring(600, L'9'));
  EXPECT_EQ(Read(L"Pilot ID"), L"<missing>");
}

TEST_F(RegistryStoreTest, RefusedMachineWritesGoToTheUserKey) {
  WriteRawText(HKEY_LOCAL_MACHINE, L"Step Move", L"25");
  RefuseMachineWrites();
  ASSERT_TRUE(MachineKeyRefusesWrites());

  EXPECT_TRUE(StoreWriteValue(L"Step Move", L"50"));
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, L"Step Move").text, L"25");
  const RawValue user = ReadRaw(HKEY_CURRENT_USER, L"Step Move");
  EXPECT_EQ(user.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(user.bytes, 6u);
  EXPECT_EQ(Read(L"Step Move"), L"50");

  // Defaults written back by the setting rules land in the user key too, and are read from there.
  EXPECT_EQ(ReadIntSetting(L"Stick Tag", L"7"), 7);
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, L"Stick Tag").text, L"7");
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, L"Stick Tag").status, ERROR_FILE_NOT_FOUND);

  // Deleting reports that the machine copy stayed; the user copy is gone, so the machine value shows again.
  EXPECT_FALSE(StoreDeleteValue(L"Step Move"));
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, L"Step Move").status, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Read(L"Step Move"), L"25");
}

TEST_F(RegistryStoreTest, UserKeyAloneKeepsTheStoreAvailable) {
  WriteRawText(HKEY_CURRENT_USER, L"UDP Port", L"10400");
  EXPECT_EQ(Read(L"UDP Port"), L"10400");
  EXPECT_EQ(Read(L"OffsetX"), L"<missing>");
  EXPECT_TRUE(StoreDeleteValue(L"UDP Port"));
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, L"UDP Port").status, ERROR_FILE_NOT_FOUND);
}

} // namespace
