// settings_test.cpp: the setting rules against the real store (the settings file, or the registry under Wine).
#include <gtest/gtest.h>

#include <string>

#include "app/settings.h"
#include "platform/settings_store.h"
#include "support/test_env.h"

namespace {
class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override { UseFreshSettingsStore(); }

  static std::wstring Stored(const wchar_t *name) {
    std::wstring value;
    return StoreReadValue(name, value) == StoreRead::Read ? value : L"<absent>";
  }
  static void Store(const wchar_t *name, const std::wstring &value) { ASSERT_TRUE(StoreWriteValue(name, value.c_str())); }
};

TEST_F(SettingsTest, ReadSettingTellsMissingValueFromMissingStore) {
  wchar_t text[kSettingTextCapacity] = L"stale";
  EXPECT_TRUE(ReadSetting(L"Recipients file", text)) << "a store that cannot be opened reads as empty text";
  EXPECT_STREQ(text, L"");

  Store(L"Other", L"x");
  wcscpy(text, L"stale");
  EXPECT_FALSE(ReadSetting(L"Recipients file", text));
  EXPECT_STREQ(text, L"");

  Store(L"Recipients file", L"peers.txt");
  EXPECT_TRUE(ReadSetting(L"Recipients file", text));
  EXPECT_STREQ(text, L"peers.txt");
  EXPECT_EQ(Stored(L"Debug"), L"<absent>") << "plain reads never write";
}

TEST_F(SettingsTest, DefaultsAreWrittenBackOnlyIntoAnExistingStore) {
  wchar_t text[kSettingTextCapacity];
  ReadSettingOrDefault(L"Stick Up", L"11", text);
  EXPECT_STREQ(text, L"");
  EXPECT_EQ(Stored(L"Stick Up"), L"<absent>");

  Store(L"Debug", L"0");
  ReadSettingOrDefault(L"Stick Up", L"11", text);
  EXPECT_STREQ(text, L"11");
  EXPECT_EQ(Stored(L"Stick Up"), L"11");
}

TEST_F(SettingsTest, ValuesLongerThan511CharactersCountAsUnreadable) {
  Store(L"Debug", L"0");
  Store(L"Long", std::wstring(511, L'7'));
  wchar_t text[kSettingTextCapacity];
  EXPECT_TRUE(ReadSetting(L"Long", text));
  EXPECT_EQ(std::wstring(text).size(), 511u);

  Store(L"Long", std::wstring(512, L'7'));
  EXPECT_FALSE(ReadSetting(L"Long", text));
  ReadSettingOrDefault(L"Long", L"5", text);
  EXPECT_STREQ(text, L"5");
  EXPECT_EQ(Stored(L"Long"), L"5") << "the over-long value is replaced by the default";
}

TEST(WideToIntTest, ReadsLikeWtoi) {
  EXPECT_EQ(WideToInt(L"425"), 425);
  EXPECT_EQ(WideToInt(L"  -12abc"), -12);
  EXPECT_EQ(WideToInt(L"+7"), 7);
  EXPECT_EQ(WideToInt(L"00000015"), 15);
  EXPECT_EQ(WideToInt(L"abc"), 0);
  EXPECT_EQ(WideToInt(L""), 0);
  EXPECT_EQ(WideToInt(L"- 5"), 0);
  EXPECT_EQ(WideToInt(L"99999999999999999999"), 2147483647);
  EXPECT_EQ(WideToInt(L"-99999999999999999999"), -2147483647 - 1);
}

TEST_F(SettingsTest, MissingStoreStillGetsTheClamps) {
  const StartupSettings s = ReadStartupSettings();
  EXPECT_EQ(s.step_move, 100) << "an empty value reads as 0, below the range";
  EXPECT_EQ(s.window_width, 425);
  EXPECT_EQ(s.window_height, 425);
  EXPECT_EQ(s.stick_up, 0);
  EXPECT_EQ(Stored(L"Stick Up"), L"<absent>");

  EXPECT_EQ(ReadUdpPort(), kDefaultUdpPort);
  EXPECT_EQ(Stored(L"UDP Port"), L"10320") << "the port repair creates the store";
  EXPECT_EQ(ReadStartupSettings().stick_up, 11) << "from then on missing values get their defaults";
  EXPECT_EQ(Stored(L"Stick Up"), L"11");
}

TEST_F(SettingsTest, StepMoveOutsideItsRangeBecomes100) {
  Store(L"Debug", L"0");
  const struct {
    const wchar_t *text;
    int expected;
  } cases[] = {{L"0", 100}, {L"501", 100}, {L"fast", 100}, {L"1", 1}, {L"500", 500}, {L"", 25}};
  for (const auto &c : cases) {
    if (*c.text != L'\0')
      Store(L"Step Move", c.text);
    else
      StoreDeleteValue(L"Step Move");
    EXPECT_EQ(ReadStartupSettings().step_move, c.expected) << "Step Move \"" << std::wstring(c.text).size() << "\"";
  }
}

TEST_F(SettingsTest, WindowSizeIsKeptOnlyWhenBothSidesExceed100) {
  Store(L"Window Height", L"101");
  Store(L"Window Width", L"100");
  StartupSettings s = ReadStartupSettings();
  EXPECT_EQ(s.window_width, 425);
  EXPECT_EQ(s.window_height, 425);

  Store(L"Window Width", L"101");
  s = ReadStartupSettings();
  EXPECT_EQ(s.window_width, 101);
  EXPECT_EQ(s.window_height, 101);

  Store(L"Window Width", L"640");
  Store(L"Window Height", L"480");
  s = ReadStartupSettings();
  EXPECT_EQ(s.window_width, 640);
  EXPECT_EQ(s.window_height, 480);
}

TEST_F(SettingsTest, UdpPortOutsideItsRangeIsRepairedInTheStore) {
  for (const wchar_t *bad : {L"1023", L"65536", L"80", L"70000"}) {
    Store(L"UDP Port", bad);
    EXPECT_EQ(ReadUdpPort(), 10320);
    EXPECT_EQ(Stored(L"UDP Port"), L"10320");
  }
  for (const wchar_t *good : {L"1024", L"65535"}) {
    Store(L"UDP Port", good);
    EXPECT_EQ(ReadUdpPort(), WideToInt(good));
    EXPECT_EQ(Stored(L"UDP Port"), good);
  }
  StoreDeleteValue(L"UDP Port");
  EXPECT_EQ(ReadUdpPort(), 10320);
  EXPECT_EQ(Stored(L"UDP Port"), L"10320");
}

TEST_F(SettingsTest, DeletedValueIsRestoredAtTheNextStart) {
  ReadUdpPort(); // creates the store
  ReadStartupSettings();
  Store(L"Stick Up", L"3");
  EXPECT_EQ(ReadStartupSettings().stick_up, 3);
  ASSERT_TRUE(StoreDeleteValue(L"Stick Up"));
  EXPECT_EQ(ReadStartupSettings().stick_up, 11);
  EXPECT_EQ(Stored(L"Stick Up"), L"11");
}

TEST_F(SettingsTest, PilotNumberAndPageOptions) {
  Store(L"Debug", L"0");
  EXPECT_EQ(ReadPilotNumber(), 1);
  EXPECT_EQ(Stored(L"Pilot ID"), L"1");
  for (const wchar_t *bad : {L"0", L"100", L"-4"}) {
    Store(L"Pilot ID", bad);
    EXPECT_EQ(ReadPilotNumber(), 1);
  }
  WritePilotNumber(42);
  EXPECT_EQ(Stored(L"Pilot ID"), L"42");
  EXPECT_EQ(ReadPilotNumber(), 42);

  EXPECT_EQ(ReadPageOption(1, 15), 15);
  EXPECT_EQ(Stored(L"MenuOption#01"), L"00000015");
  WritePageOption(0, 2);
  EXPECT_EQ(Stored(L"MenuOption#00"), L"00000002");
  Store(L"MenuOption#01", L"00000099");
  EXPECT_EQ(ReadPageOption(1, 15), 99);
}
} // namespace
