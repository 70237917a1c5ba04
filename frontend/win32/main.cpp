// main.cpp: the Windows program: the window class, the main window, its timers and message loop, and the window
// procedure that hands ticks, keys, clicks and paints to the shell.
#include <windows.h>

#include <atomic>
#include <chrono>

#include "app/shell.h"
#include "platform/frame_buffer.h"
#include "platform/win32/gdi_canvas.h"
#include "resources/resource.h"

namespace {

using Clock = std::chrono::steady_clock;

// The front end's own record. The frame is an off-screen bitmap the size of the client area: each paint brings it
// up to date (drawing again only what changed) and copies what changed to the window, so nothing flickers and
// nothing of an earlier frame stays.
struct Frontend {
  HWND window = nullptr;
  HBRUSH background = nullptr;
  FrameBuffer *frame = nullptr;
  bool frame_new = false;    // made since the last paint: nothing composed in it yet
  bool paint_posted = false; // a kPaintMessage is on its way
  bool ready = false;        // the modules are initialised and may paint
  Clock::time_point last_paint;
  // A frame asked for from another thread: set there, taken by the paint. The message is posted only when
  // the flag was clear, so a burst of requests costs one message.
  std::atomic<bool> frame_requested{false};
};

Frontend fe;

// Posted by RequestFrameFromAnyThread; the frame timer holds a request back to the frame rate.
constexpr UINT kFrameRequestMessage = WM_APP + 1;
// Posted by the web display for a tap: wParam x, lParam y in client pixels.
constexpr UINT kWebClickMessage = WM_APP + 2;
// Posted by the front end itself for a frame: composed and copied to the window outside WM_PAINT, which asks for
// the parts of the window the system wants shown again.
constexpr UINT kPaintMessage = WM_APP + 3;
constexpr UINT_PTR kFrameTimer = 104;
// At most 60 frames a second for the requests of the listener.
constexpr auto kFrameInterval = std::chrono::microseconds(1000000 / 60);

// Every invalidation asks for a frame: the frame works out itself what changed in it, wherever that is, so the
// rectangle asked for says nothing more. A burst of requests posts one message.
void InvalidateAll(bool) {
  if (fe.paint_posted)
    return;
  fe.paint_posted = PostMessageW(fe.window, kPaintMessage, 0, 0) != 0;
}
void InvalidatePart(Rect, bool) { InvalidateAll(false); }

void RequestFrameFromAnyThread() {
  if (!fe.frame_requested.exchange(true))
    PostMessageW(fe.window, kFrameRequestMessage, 0, 0);
}

bool PostClickFromAnyThread(int x, int y) {
  return PostMessageW(fe.window, kWebClickMessage, static_cast<WPARAM>(x), static_cast<LPARAM>(y)) != 0;
}

void PaintChanges();

// A request reached the window: paint now when the last frame is old enough, else when it will be. Painted here
// and not through another posted message: each message is a round trip through the Windows server (wineserver).
void OnFrameRequest() {
  if (!fe.frame_requested.load())
    return; // a paint took it since it was posted
  const auto wait = fe.last_paint + kFrameInterval - Clock::now();
  if (wait <= Clock::duration::zero()) {
    PaintChanges();
    return;
  }
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
  SetTimer(fe.window, kFrameTimer, static_cast<UINT>(ms), nullptr);
}

// (Re)makes the frame when the client size changed (the framed window can be resized).
bool EnsureFrame(int width, int height) {
  if (fe.frame != nullptr && FrameBufferWidth(fe.frame) == width && FrameBufferHeight(fe.frame) == height)
    return true;
  FreeFrameBuffer(fe.frame);
  fe.frame = CreateFrameBuffer(width, height);
  fe.frame_new = true;
  return fe.frame != nullptr;
}

// Brings the frame up to date; false when there is none to show.
bool ComposeFrame(FrameChanges *changes) {
  RECT client;
  GetClientRect(fe.window, &client);
  if (!fe.ready || client.right <= 0 || client.bottom <= 0 || !EnsureFrame(client.right, client.bottom))
    return false;
  fe.frame_requested = false; // a request arriving from here on asks for the next frame
  fe.last_paint = Clock::now();
  fe.frame_new = false;
  *changes = ShellUpdateFrame(fe.frame);
  return true;
}

void CopyToWindow(HDC dc, Rect r) {
  BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, static_cast<HDC>(GdiFrameBufferDc(fe.frame)), r.left,
         r.top, SRCCOPY);
}

// A frame the program asked for: what changed goes to the window, and only that. The window keeps its own
// device context (CS_OWNDC), so getting it costs no set-up per frame.
void PaintChanges() {
  FrameChanges changes;
  if (!ComposeFrame(&changes) || (!changes.whole && changes.count == 0))
    return;
  HDC dc = GetDC(fe.window);
  if (changes.whole)
    CopyToWindow(dc, Rect{0, 0, FrameBufferWidth(fe.frame), FrameBufferHeight(fe.frame)});
  for (int i = 0; !changes.whole && i < changes.count; ++i)
    CopyToWindow(dc, changes.areas[i]);
  ReleaseDC(fe.window, dc);
}

// The system asks for a part of the window (first shown, uncovered, resized): the frame as it stands, composed
// first when there is none yet.
void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  FrameChanges changes;
  if (fe.frame != nullptr && !fe.frame_new) {
    RECT client;
    GetClientRect(window, &client);
    if (FrameBufferWidth(fe.frame) != client.right || FrameBufferHeight(fe.frame) != client.bottom)
      fe.frame_new = true; // resized: composed again at the new size
  }
  if ((fe.frame != nullptr && !fe.frame_new) || ComposeFrame(&changes))
    CopyToWindow(dc, Rect{ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom});
  EndPaint(window, &ps);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
  case WM_TIMER:
    if (wparam == kFrameTimer) {
      KillTimer(window, kFrameTimer);
      if (fe.frame_requested.load()) // not taken by a paint in the meantime
        PaintChanges();
      return 0;
    }
    ShellTimer(static_cast<int>(wparam));
    return 0;
  case kFrameRequestMessage:
    OnFrameRequest();
    return 0;
  case kPaintMessage:
    fe.paint_posted = false;
    PaintChanges();
    return 0;
  case kWebClickMessage: // the same click path as WM_LBUTTONDOWN
    ShellClick(static_cast<int>(wparam), static_cast<int>(lparam));
    return 0;
  case WM_KEYDOWN:
    ShellKey(static_cast<int>(wparam));
    return DefWindowProcW(window, message, wparam, lparam);
  case WM_LBUTTONDOWN:
    ShellClick(LOWORD(lparam), HIWORD(lparam));
    return 0;
  case WM_ERASEBKGND:
    // Every frame is composed from black off screen; erasing the window itself here would show black for a moment
    // before the frame arrives.
    return 1;
  case WM_PAINT:
    Paint(window);
    return 0;
  case WM_DESTROY:
    PostQuitMessage(0);
    return 0;
  default: // WM_COMMAND among them
    return DefWindowProcW(window, message, wparam, lparam);
  }
}

ATOM RegisterWindowClass(HINSTANCE instance) {
  fe.background = CreateSolidBrush(RGB(0, 0, 0));
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  // Its own device context: every frame is copied to the window through a device context, and a common one is
  // made ready afresh at each GetDC (under Wine that reads the X resources again, a large part of a frame's cost).
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KESTREL));
  wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KESTREL));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
  wc.hbrBackground = fe.background;
  wc.lpszClassName = g_shell.class_name;
  return RegisterClassExW(&wc);
}

HWND CreateMainWindow(HINSTANCE instance) {
  const StartupSettings &s = g_shell.settings;
  if (s.mfd_mode != 0) {
    // On the MFD screen: no caption, no border, exactly the configured client size at the offsets.
    return CreateWindowExW(0, g_shell.class_name, g_shell.title, WS_POPUP | WS_VISIBLE, s.offset_x, s.offset_y,
                           s.window_width, s.window_height, nullptr, nullptr, instance, nullptr);
  }
  // The outer size that gives exactly the configured client area with this style's caption and sizing frame.
  RECT outer{0, 0, s.window_width, s.window_height};
  AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
  return CreateWindowExW(0, g_shell.class_name, g_shell.title, WS_OVERLAPPEDWINDOW, s.offset_x, s.offset_y,
                         outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
}

bool InitInstance(HINSTANCE instance, int show) {
  ShellReadSettings();
  fe.window = CreateMainWindow(instance);
  if (fe.window == nullptr)
    return false;
  SetTimer(fe.window, kButtonTimer, kButtonTimerMs, nullptr);
  SetTimer(fe.window, kLinkTimer, kLinkTimerMs, nullptr);
  SetTimer(fe.window, kRepaintTimer, kRepaintTimerMs, nullptr);
  // Set before the listener starts, which reads request_frame from its own thread.
  g_shell.host.invalidate_all = InvalidateAll;
  g_shell.host.invalidate_rect = InvalidatePart;
  g_shell.host.request_frame = RequestFrameFromAnyThread;
  g_shell.host.post_click = PostClickFromAnyThread;
  ShellStartModules(fe.window);
  ShellStartWebDisplay();
  fe.ready = true;
  ShowWindow(fe.window, show);
  UpdateWindow(fe.window);
  return true;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  LoadStringW(instance, IDS_APP_TITLE, g_shell.title, static_cast<int>(kResourceTextCapacity));
  LoadStringW(instance, IDC_KESTREL, g_shell.class_name, static_cast<int>(kResourceTextCapacity));
  LoadStringW(instance, IDS_VERSION, g_shell.version_text, static_cast<int>(kResourceTextCapacity));
  RegisterWindowClass(instance);
  if (!InitInstance(instance, show))
    return 0;
  // There is no accelerator resource: the table is null and nothing is ever translated.
  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_KESTREL));
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // The web display and the listener are stopped before the databases' exit-time clean-up, which they would
  // otherwise race, and before the window they post to goes.
  ShellStopWebDisplay();
  ShellStopListener();
  g_shell.host = ShellHost{};
  FreeFrameBuffer(fe.frame);
  return static_cast<int>(msg.wParam);
}
