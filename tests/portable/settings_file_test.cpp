// settings_file_test.cpp: the portable settings file keeps what it does not understand and never tears.
#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <string>

#include "app/settings.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace {
std::string SettingsFile(const std::string &folder) { return folder + "/config/kestrel/settings.ini"; }

int FilesIn(const std::string &folder) {
  int count = 0;
  if (DIR *dir = ::opendir(folder.c_str())) {
    while (const dirent *entry = ::readdir(dir))
      count += entry->d_name[0] != '.';
    ::closedir(dir);
  }
  return count;
}

TEST(SettingsFileTest, WritesKeepForeignLinesAndReplaceInPlace) {
  const std::string folder = UseFreshSettingsStore();
  ASSERT_TRUE(StoreWriteValue(L"Debug", L"0"));
  const std::string path = SettingsFile(folder);
  ASSERT_TRUE(WriteTextFile(path, "; written by hand\nUDP Port=11000\n[section]\nStep Move=40\nno equals here\n"));

  WriteSetting(L"UDP Port", L"12000");
  WriteSetting(L"Window Width", L"640");
  EXPECT_EQ(ReadTextFile(path),
            "; written by hand\nUDP Port=12000\n[section]\nStep Move=40\nno equals here\nWindow Width=640\n");
  EXPECT_EQ(FilesIn(folder + "/config/kestrel"), 1) << "no temporary file is left behind";
}

TEST(SettingsFileTest, NamesAreWholeAndValuesTakeEverythingAfterTheFirstEquals) {
  const std::string folder = UseFreshSettingsStore();
  ASSERT_TRUE(StoreWriteValue(L"Debug", L"0"));
  ASSERT_TRUE(WriteTextFile(SettingsFile(folder), "Stick Up Extra=1\nStick Up=a=b\r\nOffsetX=  -20\n"));
  wchar_t text[kSettingTextCapacity];
  EXPECT_TRUE(ReadSetting(L"Stick Up", text));
  EXPECT_STREQ(text, L"a=b");
  EXPECT_FALSE(ReadSetting(L"Stick", text));
  EXPECT_EQ(ReadStartupSettings().offset_x, -20);
}

TEST(SettingsFileTest, NonAsciiTextRoundTripsAsUtf8) {
  const std::string folder = UseFreshSettingsStore();
  WriteSetting(L"Recipients file", L"/home/pilote/\u00e9quipe/peers.txt");
  EXPECT_NE(ReadTextFile(SettingsFile(folder)).find("\xc3\xa9quipe"), std::string::npos);
  wchar_t text[kSettingTextCapacity];
  EXPECT_TRUE(ReadSetting(L"Recipients file", text));
  EXPECT_STREQ(text, L"/home/pilote/\u00e9quipe/peers.txt");
}

TEST(SettingsFileTest, UnwritableFolderLeavesValuesInMemory) {
  const std::string folder = UseFreshSettingsStore();
  ASSERT_TRUE(WriteTextFile(folder + "/config", "a file where the folder should be"));
  EXPECT_FALSE(StoreWriteValue(L"UDP Port", L"10320"));
  EXPECT_EQ(ReadUdpPort(), 10320) << "a refused write is ignored";
}
} // namespace
