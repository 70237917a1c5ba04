// program_run_test.cpp: the portable program run as the demo runs it, off screen: it starts, paints its frame,
// follows the keys it is given and ends with 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/udp.h"
#include "support/listener_fixture.h"
#include "support/test_env.h"

namespace {

// The program sits one folder above the test program.
std::string ProgramPath() {
  char path[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  std::string folder(path, n > 0 ? static_cast<size_t>(n) : 0);
  folder.resize(folder.find_last_of('/'));
  folder.resize(folder.find_last_of('/') + 1);
  return folder + "kestrel";
}

struct FrameColours {
  int text = 0;  // label green
  int plate = 0; // the label plates' dark green
};

FrameColours CountFrameColours(const std::string &png) {
  FrameColours colours;
  cairo_surface_t *image = cairo_image_surface_create_from_png(png.c_str());
  if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
    const unsigned char *data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < cairo_image_surface_get_height(image); ++y) {
      for (int x = 0; x < cairo_image_surface_get_width(image); ++x) {
        const uint32_t pixel = *reinterpret_cast<const uint32_t *>(data + y * stride + 4 * x) & 0xFFFFFF;
        colours.text += pixel == 0x00FF00 ? 1 : 0;
        colours.plate += pixel == 0x004000 ? 1 : 0;
      }
    }
  }
  cairo_surface_destroy(image);
  return colours;
}

TEST(ProgramRun, PaintsEveryPageAndEndsCleanly) {
  const std::string program = ProgramPath();
  if (::access(program.c_str(), X_OK) != 0)
    GTEST_SKIP() << "kestrel is not built";
  const std::string folder = MakeScratchFolder();
  ASSERT_FALSE(folder.empty());
  ASSERT_EQ(::mkdir((folder + "/kestrel").c_str(), 0700), 0);
  // A port of its own, so that the run never meets a listener of another test.
  ASSERT_TRUE(WriteTextFile(folder + "/kestrel/settings.ini",
                            "UDP Port=" + std::to_string(20000 + ::getpid() % 20000) + "\nMFD Mode=1\n"));
  const std::string command = "cd '" + folder + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                              std::string(kNoLeakCheck) + " XDG_CONFIG_HOME='" + folder + "' XDG_STATE_HOME='" +
                              folder + "' '" + program + "' --seconds 3 --screenshot-dir . --keys M,M >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // One picture a second: MONITORING, then TAGGING and FAILURES STATUS after a MODE press each.
  for (int shot = 1; shot <= 3; ++shot) {
    const FrameColours colours = CountFrameColours(folder + "/kestrel-000" + std::to_string(shot) + ".png");
    EXPECT_GT(colours.text, 100) << shot;
    EXPECT_GT(colours.plate, 100) << shot;
  }
  // TAGGING labels 20 buttons, MONITORING 9: its plates cover far more of the display.
  EXPECT_GT(CountFrameColours(folder + "/kestrel-0002.png").plate,
            CountFrameColours(folder + "/kestrel-0001.png").plate);
  // The start wrote the defaults of the values it read into the settings file.
  EXPECT_NE(ReadTextFile(folder + "/kestrel/settings.ini").find("Stick Tag=7"), std::string::npos);
}

// The program started with the environment changed as given (NAME=VALUE sets, NAME alone removes), standard output
// and error into files of the folder, which is also its current folder and its XDG base.
pid_t Start(const std::string &folder, const std::vector<std::string> &args, const std::vector<std::string> &env) {
  const std::string program = ProgramPath();
  const pid_t pid = ::fork();
  if (pid != 0)
    return pid;
  if (::chdir(folder.c_str()) != 0 || !std::freopen("stdout.txt", "w", stdout) ||
      !std::freopen("stderr.txt", "w", stderr))
    ::_exit(127);
  // Nothing of the test's own stays open in the program (a socket the test holds would keep its port taken).
  for (int fd = 3; fd < 1024; ++fd)
    ::close(fd);
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  ::setenv("XDG_STATE_HOME", folder.c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", (folder + "/system").c_str(), 1); // never the machine's own /etc/xdg
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1); // as kNoLeakCheck
  for (const std::string &e : env) {
    const size_t equals = e.find('=');
    if (equals == std::string::npos)
      ::unsetenv(e.c_str());
    else
      ::setenv(e.substr(0, equals).c_str(), e.substr(equals + 1).c_str(), 1);
  }
  std::vector<char *> argv{const_cast<char *>(program.c_str())};
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

// The exit code, or -1 when the program has not ended within the limit (then it is killed): the limit only ends a
// run that hangs.
int Finish(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto until = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > until) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Waits until the file holds text (a line the program writes); the limit only ends a run that hangs.
bool WaitForText(const std::string &file, const std::string &text) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < until) {
    if (ReadTextFile(file).find(text) != std::string::npos)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(ProgramRun, HelpListsEveryOptionAndBadValuesEndWithCode2) {
  if (::access(ProgramPath().c_str(), X_OK) != 0)
    GTEST_SKIP() << "kestrel is not built";
  const std::string folder = MakeScratchFolder();
  EXPECT_EQ(Finish(Start(folder, {"--help"}, {})), 0);
  const std::string help = ReadTextFile(folder + "/stdout.txt");
  for (const char *option : {"--seconds", "--screenshot-dir", "--keys", "--help"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  const struct {
    std::vector<std::string> args;
    std::string message;
  } bad[] = {
      {{"--seconds", "abc"}, "kestrel: --seconds wants a whole number of seconds from 1 to 1000000, not 'abc'"},
      {{"--screenshot-dir", folder + "/stdout.txt"}, "kestrel: --screenshot-dir: cannot write into '"},
  };
  for (const auto &b : bad) {
    EXPECT_EQ(Finish(Start(folder, b.args, {"SDL_VIDEODRIVER=offscreen"})), 2) << b.args[0];
    EXPECT_NE(ReadTextFile(folder + "/stderr.txt").find(b.message), std::string::npos) << b.args[0];
  }
}

// Without a screen SDL would fall back to drawing into memory: the program would run unseen while holding the port.
TEST(ProgramRun, NoDisplayEndsWithAMessageBeforeTakingThePort) {
  if (::access(ProgramPath().c_str(), X_OK) != 0)
    GTEST_SKIP() << "kestrel is not built";
  const std::string folder = MakeScratchFolder();
  EXPECT_EQ(Finish(Start(folder, {"--seconds", "30"}, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"})), 1);
  const std::string errors = ReadTextFile(folder + "/stderr.txt");
  EXPECT_NE(errors.find("kestrel: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set)"),
            std::string::npos)
      << errors;
  EXPECT_EQ(errors.find("listener:"), std::string::npos) << errors;
}

// What a pilot reads on standard error: where the settings are, each value that could not be used, the port that
// cannot be bound and why, and the moment it is bound.
TEST(ProgramRun, StandardErrorSaysWhereWhyAndWhichPort) {
  if (::access(ProgramPath().c_str(), X_OK) != 0)
    GTEST_SKIP() << "kestrel is not built";
  const std::string folder = MakeScratchFolder();
  ASSERT_EQ(::mkdir((folder + "/kestrel").c_str(), 0700), 0);
  const int port = FreeLoopbackPort();
  ASSERT_TRUE(WriteTextFile(folder + "/kestrel/settings.ini",
                            "UDP Port=" + std::to_string(port) + "\nStep Move=fast\nMFD Mode=1\n"));
  const UdpHandle holder = UdpOpenListener(port, true);
  ASSERT_NE(holder, kUdpInvalid);
  const pid_t program = Start(folder, {"--seconds", "60"}, {"SDL_VIDEODRIVER=offscreen"});
  const std::string errors = folder + "/stderr.txt", where = "UDP port " + std::to_string(port);
  const bool refused = WaitForText(errors, "listener: cannot bind " + where + ": ");
  UdpClose(holder);
  const bool bound = refused && WaitForText(errors, "listener: listening on " + where);
  ::kill(program, SIGTERM); // an ordinary close: SDL turns it into a quit event
  EXPECT_EQ(Finish(program), 0);
  EXPECT_TRUE(refused) << ReadTextFile(errors);
  EXPECT_TRUE(bound) << ReadTextFile(errors);
  const std::string told = ReadTextFile(errors);
  for (const std::string &line :
       {"settings: kept in " + folder + "/kestrel/settings.ini; a setting missing there is taken from " + folder +
            "/system/kestrel/settings.ini\n",
        std::string(R"(settings: "Step Move" is "fast", not a pan step from 1 to 500; using 100)") + "\n",
        std::string("; trying again every 2 seconds\n")})
    EXPECT_NE(told.find(line), std::string::npos) << line << " in\n" << told;
}

// The pixels of the square of side 2 x half about the window's centre in a screenshot; empty when it cannot be read.
std::vector<uint32_t> CentrePixels(const std::string &png, int half) {
  std::vector<uint32_t> pixels;
  cairo_surface_t *image = cairo_image_surface_create_from_png(png.c_str());
  if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
    const int cx = cairo_image_surface_get_width(image) / 2, cy = cairo_image_surface_get_height(image) / 2;
    const unsigned char *data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int y = cy - half; y < cy + half; ++y)
      for (int x = cx - half; x < cx + half; ++x)
        pixels.push_back(*reinterpret_cast<const uint32_t *>(data + y * stride + 4 * x) & 0xFFFFFF);
  }
  cairo_surface_destroy(image);
  return pixels;
}

std::string Screenshot(const std::string &folder, int second) {
  char name[32];
  std::snprintf(name, sizeof name, "/kestrel-%04d.png", second);
  return folder + name;
}

// Waits until the program has saved the screenshot of that second whole: the next second's file has begun. False when
// the program ended first (it is left to Finish to collect) or hung past the limit.
bool WaitForScreenshot(const std::string &folder, int second, pid_t program) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < until) {
    if (::access(Screenshot(folder, second + 1).c_str(), R_OK) == 0)
      return true;
    siginfo_t info{};
    if (::waitid(P_PID, program, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// A station whose "Pilot ID" is out of range sends its tags under the number it shows and reports (1), so that a
// second KESTREL on loopback takes them: with Pilot=0 every receiver drops the tag while the sender says "SENT".
TEST(ProgramRun, ATagMadeUnderAnOutOfRangePilotIdReachesASecondKestrel) {
  if (::access(ProgramPath().c_str(), X_OK) != 0)
    GTEST_SKIP() << "kestrel is not built";
  const std::string theatres = std::string(KESTREL_SOURCE_DIR) + "/build/theatres/kestrel-georgia";
  if (::access((theatres + ".bmp").c_str(), R_OK) != 0)
    GTEST_SKIP() << "the sample theatres are not rendered (make theatres)";
  const std::string maps = "GEORGIA map=" + theatres + ".bmp\nGEORGIA grid=" + theatres + ".grid\nMFD Mode=1\n";
  const int receiver_port = FreeLoopbackPort(), sender_port = FreeLoopbackPort();
  ASSERT_NE(receiver_port, sender_port);

  const std::string receiver = MakeScratchFolder(), sender = MakeScratchFolder();
  ASSERT_EQ(::mkdir((receiver + "/kestrel").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((sender + "/kestrel").c_str(), 0700), 0);
  ASSERT_TRUE(WriteTextFile(receiver + "/kestrel/settings.ini",
                            "UDP Port=" + std::to_string(receiver_port) + "\nPilot ID=2\n" + maps));
  ASSERT_TRUE(WriteTextFile(sender + "/recipients.txt", "[1]127.0.0.1:" + std::to_string(receiver_port) + "\n"));
  ASSERT_TRUE(WriteTextFile(sender + "/kestrel/settings.ini", "UDP Port=" + std::to_string(sender_port) +
                                                                  "\nPilot ID=0\nRecipients file=" + sender +
                                                                  "/recipients.txt\n" + maps));
  const std::vector<std::string> env{"SDL_VIDEODRIVER=offscreen", "XDG_CONFIG_DIRS=" + receiver + "/none"};
  // The receiver: DATABASES, LOAD GEORGIA, back to MONITORING, where a tag of its squad shows on the map.
  const pid_t b = Start(receiver, {"--seconds", "90", "--screenshot-dir", ".", "--keys", "M,M,M,M,3,M"}, env);
  const bool listening = WaitForText(receiver + "/stderr.txt", "listener: listening on UDP port");
  // The picture at the centre once the keys are done and the map shows there, the same two seconds running: nothing but
  // the map lies at the centre, for no position has come.
  bool settled = false;
  int second = 7;
  std::vector<uint32_t> before;
  for (; listening && !settled && WaitForScreenshot(receiver, second, b); ++second) {
    const std::vector<uint32_t> now = CentrePixels(Screenshot(receiver, second), 12);
    settled = second > 7 && now == before && std::any_of(now.begin(), now.end(), [](uint32_t p) { return p != 0; });
    before = now;
  }
  // The sender: SQUAD GROUP, JOIN SQUAD, DATABASES, LOAD GEORGIA, MONITORING, TAGGING, TAG CENTER.
  // Its screenshots too, so that a failure shows how far the sender got (joined, map loaded, tag made and sent).
  const pid_t a = Start(sender, {"--seconds", "90", "--screenshot-dir", ".", "--keys", "M,M,M,0,M,3,M,M,0"}, env);
  const bool sent = WaitForText(sender + "/stderr.txt", "listener: listening on UDP port");
  // The tag stands at the theatre's starting centre in both displays: the receiver shows it at its window centre.
  bool shown = false;
  for (; settled && sent && !shown && WaitForScreenshot(receiver, second, b); ++second) {
    const std::vector<uint32_t> now = CentrePixels(Screenshot(receiver, second), 12);
    int changed = 0;
    for (size_t i = 0; i < now.size() && i < before.size(); ++i)
      changed += now[i] != before[i];
    shown = changed > 100;
  }
  ::kill(a, SIGTERM);
  ::kill(b, SIGTERM);
  EXPECT_EQ(Finish(a), 0);
  EXPECT_EQ(Finish(b), 0);
  ASSERT_TRUE(settled) << ReadTextFile(receiver + "/stderr.txt");
  ASSERT_FALSE(before.empty());
  EXPECT_TRUE(shown) << "the receiver never showed the tag; its screenshots are in " << receiver << ", the sender's in "
                      << sender << "\nsender: " << ReadTextFile(sender + "/stderr.txt");
}

} // namespace
