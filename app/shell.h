// shell.h: the program as a whole, apart from its window: start-up, the three timers, keys and clicks turned into
// button presses, and the composition of one painted frame.
//
// Each front end owns the window and the event loop and calls the Shell* entry points below; those take the shared-data
// lock themselves and carry out the work that must not hold it (map file reads, sends) after releasing it. The core
// asks for repaints through the ShellHost functions the front end sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>

#include "app/settings.h"
#include "link/listener.h"
#include "link/outbox.h"
#include "platform/canvas.h"

struct FrameBuffer;

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

// Start-up, first part: where the settings are kept (a diagnostic line), then the settings, with their clamps, in
// their fixed order. The window size the front end creates is
// g_shell.settings.window_width x window_height.
void ShellReadSettings();
// Start-up, second part, once the window exists and the timers run: "A10 Mode", every module in its fixed order, the
// LOAD labels, and the listener thread.
void ShellStartModules(void *window);
// Initialises the modules without starting the listener (the tests use it directly).
void ShellInitModules(void *window);
// Asks the listener thread to end and waits for it (within a quarter of a second), before the exit-time clean-up of
// the databases it writes into.
void ShellStopListener();
// Start-up, last part: the web display, when "Web Port" asks for it ("Web Port" and "Web Control" are read
// here). Stopped by ShellStopWebDisplay, before the front end's window and frames go.
void ShellStartWebDisplay();
void ShellStopWebDisplay();

// The entry points of the front end's event loop. Each takes the shared-data lock.
void ShellTimer(int timer_id);
void ShellKey(int virtual_key);
void ShellClick(int x, int y);
void ShellPaint(Canvas &canvas);
// Composes one whole frame into frame with ShellPaint and publishes it for other viewers (app/composed_frame.h).
void ShellComposeFrame(FrameBuffer *frame);

// The work of each entry point, for a caller that holds the shared-data lock.
void OnButtonTimer();
void OnLinkTimer();
void OnRepaintTimer();
void OnKey(int virtual_key);
void OnClick(int x, int y);

// Maps a Windows virtual-key number to a button; a mapped key sets the pending press.
bool KeyToButton(int virtual_key);
// The first button whose label rectangle strictly contains (x, y), or 0; a hit sets the pending press.
int HitTestButton(int x, int y);
// One complete frame from nothing: the whole canvas cleared to the window's black, then the page body, the
// calibration grid (debugging), the frame and the event messages. Nothing of an earlier frame survives, so
// no invalidation can leave stale pixels behind. hosts is the DATABASES page's count of reachable hosts,
// counted by the caller before it took the lock.
void PaintDisplay(Canvas &canvas, int hosts = 0);

// Repaint requests, passed to the front end when it listens.
void RequestRepaint(bool erase);
void RequestRepaintRect(Rect rect, bool erase);
// From any thread: a new frame soon (ShellHost::request_frame); the listener's way to show a datagram.
void RequestFrame();
// From any thread: a click at (x, y) on the user-interface thread (ShellHost::post_click); false when the front
// end takes none.
bool RequestClick(int x, int y);
