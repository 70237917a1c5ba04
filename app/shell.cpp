// shell.cpp: start-up, the timers, keys and clicks, and the paint composition, shared by both front ends.
#include "app/shell.h"

#include <cstdint>
#include <cstdlib>

#include "app/bezel_input.h"
#include "app/button_actions.h"
#include "base/shared_lock.h"
#include "base/wide_text.h"
#include "display/composed_frame.h"
#include "display/display_list.h"
#include "display/web_display.h"
#include "map/calibration_grid.h"
#include "map/catalogue.h"
#include "map/databases_page.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "map/route_drawing.h"
#include "map/routes.h"
#include "mfd/display_frame.h"
#include "mfd/page_state.h"
#include "mfd/page_table.h"
#include "platform/frame_buffer.h"
#include "status/event_codes.h"
#include "status/event_log.h"
#include "status/failure_status.h"
#include "tactical/squad_drawing.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_drawing.h"
#include "tactical/tag_sharing.h"
#include "tactical/tagging_overlay.h"
#include "wire/outbox.h"
#include "wire/recipients.h"

namespace {
constexpr int32_t kLinkSilentMs = 5000;
constexpr Colour kWindowBlack = Rgb(0, 0, 0); // the window class's background

// Windows virtual-key numbers; the portable front end maps its keys onto the same numbers.
constexpr int kVkPageUp = 0x21, kVkPageDown = 0x22;
constexpr int kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28;
constexpr int kVkF1 = 0x70;

int ButtonOfKey(int key) {
  if (key >= kVkF1 && key < kVkF1 + 5)
    return key - kVkF1 + 1; // F1..F5: the top row, left to right
  if (key >= kVkF1 + 5 && key < kVkF1 + 10)
    return 15 - (key - kVkF1 - 5); // F6..F10: the bottom row, 15 down to 11
  if (key >= '1' && key <= '5')
    return key - '1' + 6;
  if (key >= '6' && key <= '9')
    return 20 - (key - '6');
  switch (key) {
  case '0':
    return 16;
  case kVkUp:
    return 9;
  case kVkDown:
    return 10;
  case kVkRight:
    return 11;
  case kVkLeft:
    return 12;
  case 'M':
    return 13;
  case 'O':
    return 15;
  case kVkPageUp:
    return 23;
  case kVkPageDown:
    return 24;
  default:
    return 0;
  }
}

// Work that must not hold the lock: a map load's file reads, and the sends the buttons queued. Both change what is
// drawn (the map or its failure message, the "SENT TO" confirmations), so each asks for a frame when it is done.
void AfterUnlock() {
  if (RunRequestedMapLoad())
    RequestRepaint(true);
  // Only the UI thread touches this outbox, so it needs no lock between the queueing and the sends.
  if (!g_shell.outbox.empty()) {
    FlushOutbox(g_shell.outbox);
    RequestRepaint(true);
  }
}

// The four lists the DATABASES page counts; the hosts were counted before the lock was taken.
DatabaseCounts CountDatabases(int hosts) {
  DatabaseCounts counts;
  counts.routes = CountRoutePoints();
  counts.tags = CountTags(g_tag_database);
  counts.messages = CountEvents();
  counts.aircraft = CountSquadMembers(g_squad_group);
  counts.hosts = hosts;
  return counts;
}

void DrawMapPage(Canvas &canvas, uint32_t options) {
  g_map_view.map_shown = 1;
  DrawMapBitmap(canvas, g_map_view);
  DrawBullseye(canvas, g_map_view, g_route_database, g_calibration_grid);
  DrawRoutes(canvas, g_map_view, g_route_database, g_page_state);
  DrawTags(canvas, g_page_state);
  if (g_page_state.current_page == kPageMonitoring)
    DrawMapInfo(canvas, g_map_view, options);
  else
    DrawTaggingOverlay(canvas, g_map_view, g_calibration_grid, g_tag_database, options, g_shell.settings.debug != 0);
  if (AgmMarkShown(g_tag_database))
    DrawAgmMarker(canvas, g_map_view, g_calibration_grid, g_tag_database);
  DrawSquadMembers(canvas);
  DrawOwnship(canvas, g_map_view, g_calibration_grid);
}

void DrawPageBody(Canvas &canvas, int hosts) {
  const uint32_t options = g_page_state.option_values[g_page_state.current_page];
  switch (g_page_state.current_page) {
  case kPageMonitoring:
  case kPageTagging:
    DrawMapPage(canvas, options);
    break;
  case kPageFailures:
    DrawFailures(canvas);
    break;
  case kPageSquad:
    DrawSquadPage(canvas);
    break;
  case kPageDatabases:
    DrawDatabasesPage(canvas, g_map_view, g_shell.version_text, CountDatabases(hosts));
    break;
  default:
    break;
  }
}
} // namespace

void RequestRepaint(bool erase) {
  if (g_shell.host.invalidate_all != nullptr)
    g_shell.host.invalidate_all(erase);
}

void RequestRepaintRect(Rect rect, bool erase) {
  if (g_shell.host.invalidate_rect != nullptr)
    g_shell.host.invalidate_rect(rect, erase);
}

void RequestFrame() {
  if (g_shell.host.request_frame != nullptr)
    g_shell.host.request_frame();
}

bool RequestClick(int x, int y) { return g_shell.host.post_click != nullptr && g_shell.host.post_click(x, y); }

void ShellReadSettings() {
  ReportSettingsStore();
  g_shell.settings = ReadStartupSettings();
}

void ShellInitModules(void *window) {
  const StartupSettings &s = g_shell.settings;
  g_shell.a10_mode = ReadA10Mode();
  InitMapView(window, s.unit_km, s.window_width, s.window_height);
  g_calibration_grid.head = GridNode{};
  InitEventLog(s.window_width, s.window_height);
  InitRouteDatabase(s.window_width);
  InitFailureStatus(s.window_width);
  InitSquadGroup(g_squad_group, s.window_width);
  InitTagDatabase(g_tag_database, s.window_width, g_squad_group);
  InitPageFrame(window, s.window_width, s.window_height);
  LoadPageOption(g_page_state, kPageTagging, 8);
  LoadPageOption(g_page_state, kPageMonitoring, 2);
  for (int entry = 0; entry < kMapCatalogueSize; ++entry) {
    wchar_t label[kLabelCapacity];
    FormatWide(label, kLabelCapacity, L"LOAD %ls", MapCatalogue()[entry].display_name);
    SetPageLabel(kPageDatabases, 6 + entry, label);
  }
}

void ShellStartModules(void *window) {
  ShellInitModules(window);
  ListenerContext &context = g_shell.listener;
  context.window = window;
  AttachSharedRecords(context);
  context.debug = g_shell.settings.debug;
  context.request_repaint = RequestFrame;
  context.stop = false;
  // A thread that cannot start leaves the display without telemetry; "VEKTA DISCONNECTED" says so.
  try {
    g_shell.listener_thread = std::thread(TelemetryListener, &context);
  } catch (const std::system_error &) {
    return;
  }
  // A front end may be ended by exit() from inside a library (Xlib does so when the X server goes away);
  // the listener must then be stopped before the static records it uses are destroyed, and a thread
  // still joinable at that point would abort the program instead of ending it.
  static bool stop_at_exit = std::atexit([] { ShellStopListener(); }) == 0;
  (void)stop_at_exit;
}

void ShellStartWebDisplay() {
  const StartupSettings &s = g_shell.settings;
  StartWebDisplay(ReadWebSettings(), s.window_width, s.window_height, WebDisplayHooks{RequestFrame, RequestClick});
  // Like the listener: stopped before the records it reads are destroyed, however the program ends.
  static bool stop_at_exit = std::atexit([] { StopWebDisplay(); }) == 0;
  (void)stop_at_exit;
}

void ShellStopWebDisplay() { StopWebDisplay(); }

void ShellStopListener() {
  g_shell.listener.stop = true;
  if (g_shell.listener_thread.joinable())
    g_shell.listener_thread.join();
}

bool KeyToButton(int virtual_key) {
  const int button = ButtonOfKey(virtual_key);
  if (button == 0)
    return false;
  g_shell.pending_press = button;
  return true;
}

int HitTestButton(int x, int y) {
  const ButtonRect *rects = g_page_state.button_rects;
  for (int button = 1; button <= kButtonCount; ++button) {
    const ButtonRect &r = rects[button - 1];
    if (r.left < x && x < r.right && r.top < y && y < r.bottom) {
      g_shell.pending_press = button;
      return button;
    }
  }
  return 0;
}

void OnButtonTimer() {
  if (DispatchButton(false))
    RequestRepaint(true);
  if (PollCursorButtons(false))
    RequestRepaint(true);
}

void OnLinkTimer() {
  g_event_log.blink += 1;
  const int expired = AgeEvents();
  ListenerContext &context = g_shell.listener;
  // Saturates: a display left running for weeks without a MONITOR would otherwise wrap after 24.8 days to a
  // negative age and drop the link warning while the link is still silent.
  context.link_age = context.link_age > INT32_MAX - 1000 ? INT32_MAX : context.link_age + 1000;
  if (context.link_age >= kLinkSilentMs)
    PostEventOnce(kCodeVektaDisconnected, L"VEKTA DISCONNECTED");
  if (g_map_view.current_map < 0)
    PostEventOnce(kCodeNoMapLoaded, L"NO MAP LOADED");
  const int count = CountEvents();
  if (count > 0) {
    // Only the message block, so that the blinking does not redraw the whole display.
    const int h = g_event_log.font_height;
    const int left = (g_shell.settings.window_width - 64 * h) / 2;
    RequestRepaintRect(Rect{left, 5 * h, left + 64 * h, 5 * h + count * h}, true);
  }
  if (expired > 0)
    RequestRepaint(true);
}

void OnRepaintTimer() {
  RequestRepaint(false); // at least once a second, even when nothing happens
  // The AGM mark goes out on the fourth tick after the last AGMTAG.
  AgeAgmMark(g_tag_database, g_shell.listener.agm_age);
  AgeSquadMembers(g_squad_group);
}

void OnKey(int virtual_key) {
  if (!KeyToButton(virtual_key))
    return;
  if (DispatchButton(true))
    RequestRepaint(true);
  if (PollCursorButtons(true))
    RequestRepaint(true);
}

void OnClick(int x, int y) {
  if (HitTestButton(x, y) == 0)
    return;
  // The reverse of the key order: the cursor first, then the dispatcher.
  if (PollCursorButtons(true))
    RequestRepaint(true);
  if (DispatchButton(true))
    RequestRepaint(true);
}

void ShellTimer(int timer_id) {
  {
    SharedGuard guard = LockSharedData();
    switch (timer_id) {
    case kButtonTimer:
      OnButtonTimer();
      break;
    case kLinkTimer:
      OnLinkTimer();
      break;
    case kRepaintTimer:
      OnRepaintTimer();
      break;
    default:
      return;
    }
  }
  AfterUnlock();
}

void ShellKey(int virtual_key) {
  {
    SharedGuard guard = LockSharedData();
    OnKey(virtual_key);
  }
  AfterUnlock();
}

void ShellClick(int x, int y) {
  {
    SharedGuard guard = LockSharedData();
    OnClick(x, y);
  }
  AfterUnlock();
}

void PaintDisplay(Canvas &canvas, int hosts) {
  CanvasFill(canvas, Rect{0, 0, canvas.width, canvas.height}, kWindowBlack);
  g_map_view.map_shown = 0;
  DrawPageBody(canvas, hosts);
  if (g_shell.settings.debug != 0)
    DrawCalibrationGrid(canvas, g_map_view, g_calibration_grid);
  DrawPageFrame(canvas, g_page_state);
  DrawEvents(canvas);
}

void ShellPaint(Canvas &canvas) {
  // The reachable hosts come from the recipients file, read before the lock and only for the page that shows
  // them. The current page is written on this thread alone, so it may be read here without the lock.
  const int hosts = g_page_state.current_page == kPageDatabases ? CountRecipients() : 0;
  // The frame is taken down under the lock and drawn after it, so the listener waits only for the taking down.
  thread_local DisplayList list;
  BeginDisplayList(list, canvas);
  {
    SharedGuard guard = LockSharedData();
    PaintDisplay(list.canvas, hosts);
  }
  PlayDisplayList(list);
}

namespace {
void PublishFrame(FrameBuffer *frame) {
  int stride = 0;
  const uint32_t *pixels = FrameBufferPixels(frame, &stride);
  PublishComposedFrame(pixels, FrameBufferWidth(frame), FrameBufferHeight(frame), stride);
}

// What the last frames composed by ShellUpdateFrame were drawn from: the front end's one frame, and room for a
// second (a test composes into two in turn).
struct UpdatedFrames {
  DrawnFrame drawn[2];
  int next = 0;
};

struct Update {
  const DrawnFrame *before = nullptr;
  DrawnFrame *keep = nullptr;
  FrameChanges changes;
};
} // namespace

void ShellComposeFrame(FrameBuffer *frame) {
  DrawIntoFrameBuffer(
      frame, [](Canvas &canvas, void *) { ShellPaint(canvas); }, nullptr);
  PublishFrame(frame);
}

FrameChanges ShellUpdateFrame(FrameBuffer *frame) {
  static UpdatedFrames updated; // the user-interface thread's
  Update update;
  const uint64_t stamp = FrameBufferStamp(frame);
  for (DrawnFrame &drawn : updated.drawn)
    if (drawn.stamp == stamp)
      update.before = update.keep = &drawn;
  if (update.keep == nullptr) {
    update.keep = &updated.drawn[updated.next];
    updated.next = (updated.next + 1) % 2;
  }
  DrawIntoFrameBuffer(
      frame,
      [](Canvas &canvas, void *context) {
        Update &u = *static_cast<Update *>(context);
        const int hosts = g_page_state.current_page == kPageDatabases ? CountRecipients() : 0;
        thread_local DisplayList list;
        BeginDisplayList(list, canvas, true);
        {
          SharedGuard guard = LockSharedData();
          PaintDisplay(list.canvas, hosts);
          u.changes = SettleDisplayList(list, u.before);
        }
        PlayDisplayList(list, u.keep);
      },
      &update);
  update.keep->stamp = FrameBufferStamp(frame);
  PublishFrame(frame);
  return update.changes;
}
