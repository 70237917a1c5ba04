// settings_test.cpp: the setting rules against the real store (the settings file, or the registry under Wine).
#include <gtest/gtest.h>

#include <string>

#include "base/settings.h"
#include "base/wide_text.h"
#include "map/routes.h"
#include "platform/settings_store.h"
#include "platform/utf8.h"
#include "support/diagnostic_lines.h"
#include "support/test_env.h"

namespace {
class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override { UseFreshSettingsStore(); }

  static std::wstring Stored(const wchar_t *name) {
    std::wstring value;
    return StoreReadValue(name, value) == StoreRead::Read ? value : L"<absent>";
  }
  static void Store(const wchar_t *name, const std::wstring &value) {
    ASSERT_TRUE(StoreWriteValue(name, value.c_str()));
  }
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

  // A side no screen holds would overflow the text heights and the frame's size.
  Store(L"Window Width", L"16385");
  s = ReadStartupSettings();
  EXPECT_EQ(s.window_width, 425);
  EXPECT_EQ(s.window_height, 425);
  Store(L"Window Width", L"16384");
  EXPECT_EQ(ReadStartupSettings().window_width, 16384);
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

TEST_F(SettingsTest, WebDisplayIsOffAndViewOnlyUnlessSetAndItsDefaultsAreWrittenBack) {
  Store(L"A10 Mode", L"0");
  const WebSettings web = ReadWebSettings();
  EXPECT_EQ(web.port, 0);
  EXPECT_EQ(web.control, 0);
  EXPECT_EQ(Stored(L"Web Port"), L"0");
  EXPECT_EQ(Stored(L"Web Control"), L"0");
  Store(L"Web Port", L"65536"); // refused, but kept as the pilot wrote it
  EXPECT_EQ(ReadWebSettings().port, 0);
  EXPECT_EQ(Stored(L"Web Port"), L"65536");
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
// A stored value the program cannot use as it stands gets one line naming the setting, its text, what it should be
// and what is used instead. Usable values, defaults written back and a store that cannot be opened get none.
TEST(SettingDiagnostics, EveryUnusableValueIsToldWithWhatIsUsedInstead) {
  using Read = int (*)();
  const Read startup_step = [] { return ReadStartupSettings().step_move; };
  const Read startup_width = [] { return ReadStartupSettings().window_width; };
  const Read startup_x = [] { return ReadStartupSettings().offset_x; };
  const Read startup_tag = [] { return ReadStartupSettings().stick_tag; };
  const Read startup_debug = [] { return ReadStartupSettings().debug; };
  const Read web_port = [] { return ReadWebSettings().port; };
  const Read web_control = [] { return ReadWebSettings().control; };
  const Read route_colour = [] {
    InitRouteDatabase(425);
    return static_cast<int>(g_route_database.colour2);
  };
  const struct {
    const wchar_t *name, *text;
    Read read;
    int expected;
    const char *line; // null: no line
  } cases[] = {
      {L"UDP Port", L"1O720", ReadUdpPort, 10320,
       R"(settings: "UDP Port" is "1O720", not a port from 1024 to 65535; using 10320 and writing it back)"},
      {L"UDP Port", L"2048", ReadUdpPort, 2048, nullptr},
      {L"Step Move", L"0", startup_step, 100,
       R"(settings: "Step Move" is "0", not a pan step from 1 to 500; using 100)"},
      {L"Window Width", L"100", startup_width, 425,
       R"(settings: "Window Width" is "100", not a size above 100 pixels; using 425 x 425 for the window)"},
      {L"Window Height", L"200000000", startup_width, 425,
       R"(settings: "Window Height" is "200000000", not a size from 101 to 16384 pixels; using 425 x 425 for the window)"},
      {L"Pilot ID", L"100", ReadPilotNumber, 1,
       R"(settings: "Pilot ID" is "100", not a pilot number from 1 to 99; using 1)"},
      {L"OffsetX", L" 12 ", startup_x, 12, nullptr},
      {L"OffsetX", L"1OO", startup_x, 1, R"(settings: "OffsetX" is "1OO", not a whole number; using 1)"},
      {L"Stick Tag", L"7\"\x01", startup_tag, 7, R"(settings: "Stick Tag" is "7\"\x01", not a whole number; using 7)"},
      {L"Debug", L"yes", startup_debug, 0, R"(settings: "Debug" is "yes", not a whole number; using 0)"},
      {L"Web Port", L"8080", web_port, 8080, nullptr},
      {L"Web Port", L"1023", web_port, 0,
       R"(settings: "Web Port" is "1023", not 0 (off) or a port from 1024 to 65535; the web display is off)"},
      {L"Web Port", L"8080 8081", web_port, 0,
       R"(settings: "Web Port" is "8080 8081", not 0 (off) or a port from 1024 to 65535; the web display is off)"},
      {L"Web Control", L"1", web_control, 1, nullptr},
      {L"Web Control", L"yes", web_control, 0,
       R"(settings: "Web Control" is "yes", not 0 (view only) or 1 (taps press buttons); the web display only shows)"},
      {L"Route Colors", L"FF, ff00", route_colour, 0xFF00, nullptr},
      {L"Route Colors", L"FF,green", route_colour, static_cast<int>(kDefaultRouteColour2),
       R"(settings: "Route Colors" is "FF,green", not up to three hexadecimal colours as "%x,%x,%x"; using 1 from )"
       R"(it and the defaults for the rest)"},
  };
  for (const auto &c : cases) {
    UseFreshSettingsStore();
    ASSERT_TRUE(StoreWriteValue(c.name, c.text));
    DiagnosticLines lines;
    EXPECT_EQ(c.read(), c.expected) << c.line;
    const std::vector<std::string> expected =
        c.line != nullptr ? std::vector<std::string>{c.line} : std::vector<std::string>{};
    EXPECT_EQ(lines.Take(), expected);
  }
}

TEST(SettingDiagnostics, AStoreThatCannotBeOpenedIsToldOnceNotValueByValue) {
  UseFreshSettingsStore();
  DiagnosticLines lines;
  ReportSettingsStore();
  EXPECT_EQ(ReadStartupSettings().step_move, 100);
  EXPECT_EQ(ReadUdpPort(), kDefaultUdpPort);
  EXPECT_EQ(lines.Take(), (std::vector<std::string>{
                              "settings: kept in " + WideToUtf8(StoreLocation()) +
                                  (StoreFallbackLocation().empty()
                                       ? ""
                                       : "; a setting missing there is taken from " +
                                             WideToUtf8(StoreFallbackLocation())),
                              "settings: none can be read (the store is not made yet, or cannot be opened); numbers "
                              "count as 0 on this start"}));
}
} // namespace
