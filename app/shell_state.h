// shell_state.h: the program's own record (the settings read at start-up, the pending press, the outbox of the
// buttons, the listener's context) and what the front end hands the core to reach its window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>

#include "base/settings.h"
#include "link/listener.h"
#include "platform/canvas.h"
#include "wire/outbox.h"

constexpr size_t kResourceTextCapacity = 100; // wide characters

// Timer ids and periods of the main window.
constexpr int kButtonTimer = 100; // polls the bezel and the stick
constexpr int kButtonTimerMs = 200;
constexpr int kRepaintTimer = 102; // repaints, ages the AGM mark and the squad members
constexpr int kRepaintTimerMs = 1000;
constexpr int kLinkTimer = 103; // ages the event messages and the link
constexpr int kLinkTimerMs = 1000;

// What the core asks of the front end's window. Any may be left null (tests, start-up).
//
// Every paint composes the whole frame afresh, so an invalidation only decides when the next frame is
// painted: a front end may treat a rectangle, and an erase, as a request for the whole frame.
struct ShellHost {
  void (*invalidate_all)(bool erase) = nullptr;
  void (*invalidate_rect)(Rect rect, bool erase) = nullptr;
  // From any thread (the listener's among them): a new frame soon, within one display frame, at most 60 a
  // second. It must return at once, never wait for the paint, and never take the shared-data lock.
  void (*request_frame)() = nullptr;
  // From any thread (the web display's): a left click at (x, y), carried out on the user-interface thread as
  // a click on the window is (ShellClick). False when it cannot be handed over. Returns at once.
  bool (*post_click)(int x, int y) = nullptr;
};

struct Shell {
  wchar_t title[kResourceTextCapacity] = L"Corvia v1.03.00";
  wchar_t class_name[kResourceTextCapacity] = L"KESTREL_WIN32";
  wchar_t version_text[kResourceTextCapacity] = L"1.03.00(1505)"; // shown on the DATABASES page
  StartupSettings settings;
  int a10_mode = 0; // kept; nothing depends on it
  // The button last produced by a key or a click; never cleared, so a repeated key acts again only after a timer tick
  // has seen the bezel in between.
  int32_t pending_press = 0;
  ShellHost host;
  Outbox outbox; // tag sends of the buttons, made once the entry point has released the lock
  ListenerContext listener;
  std::thread listener_thread;
};

extern Shell g_shell;
