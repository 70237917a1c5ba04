// settings_file_test.cpp: the portable settings file keeps what it does not understand and never tears.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/settings.h"
#include "platform/utf8.h"
#include "platform/settings_store.h"
#include "support/diagnostic_lines.h"
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

// Runs body in a child process whose standard error is captured, as a user that the file's permissions keep
// out: root reads everything, so a run as root drops to "nobody" first. The child's exit code is body's result.
int RunUnprivileged(const std::function<int()> &body, std::string *error_output) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0)
    return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipe_ends[1], 2);
    ::close(pipe_ends[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(99);
    ::_exit(body());
  }
  ::close(pipe_ends[1]);
  char buffer[512];
  for (ssize_t n; (n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
    error_output->append(buffer, static_cast<size_t>(n));
  ::close(pipe_ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Occurrences(const std::string &text, const std::string &part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

TEST(SettingsFileTest, AFileThatCannotBeReadIsNeverRewritten) {
  const std::string kept = "UDP Port=11000\nPilot ID=7\nGEORGIA map=/maps/georgia.bmp\n";
  for (const bool folder_instead : {false, true}) {
    const std::string folder = UseFreshSettingsStore(), path = SettingsFile(folder);
    ASSERT_TRUE(StoreWriteValue(L"Debug", L"0"));
    if (folder_instead) {
      std::filesystem::remove(path);
      std::filesystem::create_directory(path);
      ASSERT_TRUE(WriteTextFile(path + "/notes", kept));
    } else {
      ASSERT_TRUE(WriteTextFile(path, kept));
      ::chmod(path.c_str(), 0);
    }
    // The folders are open to the unprivileged user, so that only the file itself is out of reach.
    for (const std::string &part : {folder, folder + "/config", folder + "/config/kestrel"})
      ::chmod(part.c_str(), 0777);
    std::string error_output;
    const int result = RunUnprivileged(
        [] {
          // The port's repair and every default would be written back from a store that read as empty.
          const bool port_ok = ReadUdpPort() == kDefaultUdpPort;
          const bool defaults = ReadStartupSettings().step_move == 100 && ReadPilotNumber() == 1;
          wchar_t text[kSettingTextCapacity];
          const bool nothing = ReadSetting(L"GEORGIA map", text) && text[0] == L'\0';
          return port_ok && defaults && nothing && !StoreWriteValue(L"Pilot ID", L"8") ? 0 : 1;
        },
        &error_output);
    EXPECT_EQ(result, 0) << "folder " << folder_instead << ": " << error_output;
    ::chmod(path.c_str(), 0644);
    EXPECT_EQ(ReadTextFile(folder_instead ? path + "/notes" : path), kept) << "folder " << folder_instead;
    EXPECT_EQ(Occurrences(error_output, "settings: \"" + path + "\" cannot be read"), 1)
        << "said once, naming the file: " << error_output;
    EXPECT_EQ(FilesIn(folder + "/config/kestrel"), 1) << "no temporary file either";
  }
}

TEST(SettingsFileTest, AReadOnlyFileIsReadButNotReplaced) {
  const std::string folder = UseFreshSettingsStore(), path = SettingsFile(folder);
  ASSERT_TRUE(StoreWriteValue(L"Debug", L"0"));
  const std::string kept = "UDP Port=11000\nPilot ID=7\n";
  ASSERT_TRUE(WriteTextFile(path, kept));
  ::chmod(path.c_str(), 0444);
  for (const std::string &part : {folder, folder + "/config", folder + "/config/kestrel"})
    ::chmod(part.c_str(), 0777);
  std::string error_output;
  const int result = RunUnprivileged(
      [] {
        const bool read = ReadUdpPort() == 11000 && ReadPilotNumber() == 7;
        return read && !StoreWriteValue(L"Pilot ID", L"8") && ReadStartupSettings().step_move == 25 ? 0 : 1;
      },
      &error_output);
  EXPECT_EQ(result, 0) << error_output;
  EXPECT_EQ(ReadTextFile(path), kept);
  EXPECT_EQ(FilesIn(folder + "/config/kestrel"), 1);
}

TEST(SettingsFileTest, LinesTheStoreDoesNotChangeAreKeptByteForByte) {
  using namespace std::string_literals;
  const struct {
    std::string before, after;
  } cases[] = {
      {"A=1\nNul=a\0b\0\nUDP Port=1\n"s, "A=1\nNul=a\0b\0\nUDP Port=12000\n"s},
      {"UDP Port=1\r\nB=\xff\xfe\r\nno line end", "UDP Port=12000\r\nB=\xff\xfe\r\nno line end"},
      {"A=1\nno line end", "A=1\nno line end\nUDP Port=12000\n"},
      // A byte-order mark (some editors write one) is neither part of the first name nor lost.
      {"\xEF\xBB\xBFUDP Port=1\nB=2\n", "\xEF\xBB\xBFUDP Port=12000\nB=2\n"},
  };
  for (const auto &c : cases) {
    const std::string folder = UseFreshSettingsStore();
    ASSERT_TRUE(StoreWriteValue(L"Debug", L"0"));
    ASSERT_TRUE(WriteTextFile(SettingsFile(folder), c.before));
    WriteSetting(L"UDP Port", L"12000");
    EXPECT_EQ(ReadTextFile(SettingsFile(folder)), c.after);
  }
}

TEST(SettingsFileTest, TemporaryFilesOfInterruptedWritesAreRemoved) {
  const std::string folder = UseFreshSettingsStore(), settings = folder + "/config/kestrel";
  ASSERT_TRUE(StoreWriteValue(L"Debug", L"0"));
  const pid_t gone = ::fork();
  if (gone == 0)
    ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const auto temporary = [&](long pid) { return settings + "/settings.ini.tmp." + std::to_string(pid); };
  const struct {
    std::string path;
    bool stale;
  } files[] = {
      {temporary(gone), true},         // its process is gone
      {temporary(::getpid()), true},   // an earlier process with this number: this one writes under a lock
      {temporary(1), true},            // a live process, but far older than any write takes
      {temporary(::getppid()), false}, // a live process, fresh: perhaps another copy writing now
      {settings + "/settings.ini.tmp.notes", false}, // not a name the store gives
  };
  for (const auto &f : files)
    ASSERT_TRUE(WriteTextFile(f.path, "UDP Port=1"));
  std::filesystem::last_write_time(temporary(1), std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  WriteSetting(L"UDP Port", L"12000");
  for (const auto &f : files)
    EXPECT_EQ(std::filesystem::exists(f.path), !f.stale) << f.path;
  EXPECT_EQ(ReadTextFile(SettingsFile(folder)), "Debug=0\nUDP Port=12000\n");
}

// An installed package names its theatres in the system's file; the pilot's own file always wins, and nothing read
// from the system's file is ever written, to either file.
TEST(SettingsFileTest, TheSystemFileGivesWhatThePilotsFileLacksAndIsNeverWritten) {
  const std::string folder = UseFreshSettingsStore(), path = SettingsFile(folder);
  const std::string system = folder + "/system/kestrel/settings.ini", first = folder + "/first/kestrel/settings.ini";
  const std::string system_text = "GEORGIA map=/usr/share/kestrel/theatres/kestrel-georgia.bmp\nGEORGIA grid=/g.grid\n"
                                  "Step Move=40\nPilot ID=5\n";
  std::filesystem::create_directories(folder + "/system/kestrel");
  std::filesystem::create_directories(folder + "/first/kestrel");
  std::filesystem::create_directories(folder + "/config/kestrel");
  ASSERT_TRUE(WriteTextFile(system, system_text));
  ASSERT_TRUE(WriteTextFile(first, "Pilot ID=9\n"));
  // The first folder of the list is asked first; a folder that is no absolute path is none.
  ::setenv("XDG_CONFIG_DIRS", (folder + "/first:relative/folder:" + folder + "/system").c_str(), 1);
  EXPECT_EQ(StoreFallbackLocation(), Utf8ToWide(first + ", " + system));
  wchar_t text[kSettingTextCapacity];
  EXPECT_TRUE(ReadSetting(L"GEORGIA map", text));
  EXPECT_STREQ(text, L"/usr/share/kestrel/theatres/kestrel-georgia.bmp");
  EXPECT_EQ(ReadPilotNumber(), 9);
  EXPECT_EQ(ReadStartupSettings().step_move, 40);

  // The pilot's own lines, an empty one among them, win; the defaults written back never copy a system value.
  ASSERT_TRUE(WriteTextFile(path, "GEORGIA grid=\nStep Move=30\n"));
  EXPECT_TRUE(ReadSetting(L"GEORGIA grid", text));
  EXPECT_STREQ(text, L"");
  EXPECT_EQ(ReadStartupSettings().step_move, 30);
  EXPECT_EQ(ReadPilotNumber(), 9);
  const std::string pilot = ReadTextFile(path);
  for (const char *system_only : {"GEORGIA map", "Pilot ID", "/usr/share"})
    EXPECT_EQ(pilot.find(system_only), std::string::npos) << system_only << " in\n" << pilot;
  EXPECT_NE(pilot.find("Window Width=425\n"), std::string::npos) << "defaults are still written back:\n" << pilot;
  WriteSetting(L"Pilot ID", L"12");
  EXPECT_EQ(ReadPilotNumber(), 12);
  EXPECT_EQ(ReadTextFile(system), system_text);
  EXPECT_EQ(ReadTextFile(first), "Pilot ID=9\n");
}

TEST(SettingsFileTest, ASystemFileThatCannotBeReadIsNamedOnceAndDefaultsAreUsed) {
  const std::string folder = UseFreshSettingsStore();
  const std::string system = folder + "/system/kestrel/settings.ini";
  std::filesystem::create_directories(system); // a folder in the file's place: unreadable even to root
  DiagnosticLines lines;
  wchar_t text[kSettingTextCapacity];
  EXPECT_TRUE(ReadSetting(L"GEORGIA map", text));
  EXPECT_STREQ(text, L"");
  EXPECT_EQ(ReadStartupSettings().step_move, 100) << "no store yet: numbers count as 0, as before";
  ASSERT_TRUE(StoreWriteValue(L"Debug", L"0"));
  EXPECT_EQ(ReadStartupSettings().step_move, 25);
  int told = 0;
  for (const std::string &line : lines.Take())
    told += line == "settings: the system's settings file \"" + system +
                        "\" cannot be read (a folder, not a file); the settings it would give take their defaults";
  EXPECT_EQ(told, 1);
}
} // namespace
