// background_bezel_test.cpp: the bezel works while another window has the keyboard focus, as it must behind the
// simulator. A virtual joystick stands in for the bezel and a window of another X client takes the focus, on an Xvfb
// display of the test's own; SDL is started as the program starts it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <X11/Xlib.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/bezel_input.h"
#include "app/button_actions.h"
#include "app/shell.h"
#include "base/settings.h"
#include "frontend/portable/sdl_start.h"
#include "mfd/page_state.h"
#include "support/shell_fixture.h"
#include "support/test_env.h"

namespace {
using Clock = std::chrono::steady_clock;

// Polls until the condition holds; the limit only ends a run that hangs.
template <typename Condition> bool Eventually(Condition condition) {
  const auto until = Clock::now() + std::chrono::seconds(20);
  while (Clock::now() < until) {
    if (condition())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// An Xvfb server on a display number it picks itself (-displayfd), for this test alone.
class PrivateDisplay {
public:
  PrivateDisplay() {
    int fds[2];
    if (::pipe(fds) != 0)
      return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
               static_cast<char *>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    // The number arrives as one line once the server is ready; a signal may interrupt the wait for it.
    std::string number;
    char c = 0;
    while (pid_ > 0) {
      const ssize_t n = ::read(fds[0], &c, 1);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0 || c == '\n')
        break;
      number += c;
    }
    ::close(fds[0]);
    if (!number.empty())
      name_ = ":" + number;
  }
  ~PrivateDisplay() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  const std::string &name() const { return name_; }

private:
  pid_t pid_ = -1;
  std::string name_;
};

void PumpUntil(bool (*state)()) {
  ASSERT_TRUE(Eventually([state] {
    SDL_PumpEvents();
    return state();
  }));
}

TEST(BackgroundBezel, PressActsWhileAnotherWindowHasTheFocus) {
  PrivateDisplay display;
  if (display.name().empty())
    GTEST_SKIP() << "Xvfb cannot start here";
  ::setenv("DISPLAY", display.name().c_str(), 1);
  ::setenv("SDL_VIDEODRIVER", "x11", 1);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);

  RestorePageLabels();
  UseFreshSettingsStore();
  WriteSetting(L"A10 Mode", L"0");
  ShellReadSettings();
  ShellInitModules(nullptr);
  g_click_player = [](const wchar_t *) {};

  std::string error;
  ASSERT_TRUE(StartSdl(error)) << error;
  SDL_Window *window = SDL_CreateWindow("KESTREL", 0, 0, 425, 425, SDL_WINDOW_SHOWN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  static SDL_Window *ours = window;
  SDL_SetWindowInputFocus(window);
  PumpUntil([] { return SDL_GetKeyboardFocus() == ours; });

  // Another client's window takes the focus, as the simulator's does.
  Display *x = XOpenDisplay(display.name().c_str());
  ASSERT_NE(x, nullptr);
  const Window other = XCreateSimpleWindow(x, DefaultRootWindow(x), 430, 0, 200, 200, 0, 0, 0);
  XSelectInput(x, other, StructureNotifyMask | FocusChangeMask);
  XMapWindow(x, other);
  static Display *client = x;
  static Window focus_target = other;
  ASSERT_TRUE(Eventually([] {
    XEvent event;
    while (XPending(client) > 0) {
      XNextEvent(client, &event);
      if (event.type == MapNotify)
        XSetInputFocus(client, focus_target, RevertToParent, CurrentTime);
    }
    XFlush(client);
    Window focused = 0;
    int revert = 0;
    XGetInputFocus(client, &focused, &revert);
    return focused == focus_target;
  }));
  PumpUntil([] { return SDL_GetKeyboardFocus() == nullptr; });

  // The bezel: a virtual joystick with 32 buttons, read as the program reads the configured device.
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
  const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 0, 32, 0);
  ASSERT_GE(device, 0) << SDL_GetError();
  SDL_Joystick *bezel = SDL_JoystickOpen(device);
  ASSERT_NE(bezel, nullptr) << SDL_GetError();
  g_shell.settings.mfd_id = g_shell.settings.stick_id = device;
  g_last_dispatched_button = 0;
  const auto press = [bezel](int button, bool down) {
    SDL_JoystickSetVirtualButton(bezel, button - 1, down ? SDL_PRESSED : SDL_RELEASED);
    ShellTimer(kButtonTimer);
  };

  ASSERT_EQ(g_page_state.current_page, kPageMonitoring);
  press(13, true); // MODE
  EXPECT_EQ(g_page_state.current_page, kPageTagging) << "the press acted behind the other window";
  press(13, false);

  // The same press with SDL's default rule, which drops presses while none of the program's windows has the focus:
  // it is lost, which shows that the focus really was elsewhere above.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "0");
  press(13, true);
  EXPECT_EQ(g_page_state.current_page, kPageTagging) << "the focus was not elsewhere after all";
  press(13, false);

  SDL_JoystickClose(bezel);
  SDL_JoystickDetachVirtual(device);
  SDL_DestroyWindow(window);
  XDestroyWindow(x, other);
  XCloseDisplay(x);
  SDL_Quit();
  ClearEvents();
}

} // namespace
