// shell.h: the program as a whole, apart from its window: start-up, the three timers, keys and clicks turned into
// button presses, and the composition of one painted frame.
//
// Each front end owns the window and the event loop and calls the Shell* entry points below; those take the shared-data
// lock themselves and carry out the work that must not hold it (map file reads, sends) after releasing it. The core
// asks for repaints through the ShellHost functions the front end sets.
#pragma once

#include "app/shell_state.h"
#include "display/display_list.h"
#include "platform/canvas.h"

struct FrameBuffer;

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
// The front ends' paint: brings frame up to date and publishes it as ShellComposeFrame does, but when frame still
// holds the last frame this composed into it, draws again only the areas whose drawing changed (display_list.h).
// The pixels are those of a whole frame either way; the areas returned are the ones to present (none: the frame
// did not change; whole: present all of it).
FrameChanges ShellUpdateFrame(FrameBuffer *frame);

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
