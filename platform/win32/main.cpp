// main.cpp: the Windows program: the window class, the main window, its timers and message loop, and the window
// procedure that hands ticks, keys, clicks and paints to the shell.
#include <windows.h>

#include "app/shell.h"
#include "platform/win32/gdi_canvas.h"
#include "resources/resource.h"

namespace {

// The front end's own record. The frame is an off-screen bitmap the size of the client area: each paint draws into it
// and copies the painted area to the window in one BitBlt, so nothing flickers, and an area not invalidated keeps its
// picture there as it does on the screen.
struct Frontend {
  HWND window = nullptr;
  HBRUSH background = nullptr;
  HDC frame_dc = nullptr;
  HBITMAP frame = nullptr;
  HGDIOBJ frame_previous = nullptr;
  int frame_width = 0, frame_height = 0;
  bool erase_pending = false; // the erase the update region asked for, done in the frame
  bool ready = false;         // the modules are initialised and may paint
};

Frontend fe;

void InvalidateAll(bool erase) { InvalidateRect(fe.window, nullptr, erase ? TRUE : FALSE); }

void InvalidatePart(Rect rect, bool erase) {
  const RECT r{rect.left, rect.top, rect.right, rect.bottom};
  InvalidateRect(fe.window, &r, erase ? TRUE : FALSE);
}

void ReleaseFrame() {
  if (fe.frame_dc == nullptr)
    return;
  SelectObject(fe.frame_dc, fe.frame_previous);
  DeleteObject(fe.frame);
  DeleteDC(fe.frame_dc);
  fe.frame_dc = nullptr;
}

// (Re)makes the frame when the client size changed (the framed window can be resized); a new frame starts black, like
// the window's background.
bool EnsureFrame(HDC window_dc, int width, int height) {
  if (fe.frame_dc != nullptr && fe.frame_width == width && fe.frame_height == height)
    return true;
  ReleaseFrame();
  fe.frame_dc = CreateCompatibleDC(window_dc);
  fe.frame = CreateCompatibleBitmap(window_dc, width, height);
  if (fe.frame_dc == nullptr || fe.frame == nullptr)
    return false;
  fe.frame_previous = SelectObject(fe.frame_dc, fe.frame);
  fe.frame_width = width;
  fe.frame_height = height;
  const RECT all{0, 0, width, height};
  FillRect(fe.frame_dc, &all, fe.background);
  return true;
}

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps); // sends WM_ERASEBKGND first when the update asked for erase
  RECT client;
  GetClientRect(window, &client);
  const RECT &area = ps.rcPaint;
  if (fe.ready && client.right > 0 && client.bottom > 0 && EnsureFrame(dc, client.right, client.bottom)) {
    if (fe.erase_pending || ps.fErase)
      FillRect(fe.frame_dc, &area, fe.background);
    const int saved = SaveDC(fe.frame_dc);
    IntersectClipRect(fe.frame_dc, area.left, area.top, area.right, area.bottom);
    Canvas canvas = MakeGdiCanvas(fe.frame_dc, client.right, client.bottom);
    ShellPaint(canvas);
    RestoreDC(fe.frame_dc, saved);
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, fe.frame_dc, area.left, area.top,
           SRCCOPY);
  }
  fe.erase_pending = false;
  EndPaint(window, &ps);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
  case WM_TIMER:
    ShellTimer(static_cast<int>(wparam));
    return 0;
  case WM_KEYDOWN:
    ShellKey(static_cast<int>(wparam));
    return DefWindowProcW(window, message, wparam, lparam);
  case WM_LBUTTONDOWN:
    ShellClick(LOWORD(lparam), HIWORD(lparam));
    return 0;
  case WM_ERASEBKGND:
    // The erase is done in the off-screen frame at paint time; erasing the window itself here would show black for a
    // moment before the frame arrives.
    fe.erase_pending = true;
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
  wc.style = CS_HREDRAW | CS_VREDRAW;
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
  const int width = s.window_width + 2 * GetSystemMetrics(SM_CXFIXEDFRAME);
  const int height = s.window_height + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFIXEDFRAME);
  return CreateWindowExW(0, g_shell.class_name, g_shell.title, WS_OVERLAPPEDWINDOW, s.offset_x, s.offset_y, width,
                         height, nullptr, nullptr, instance, nullptr);
}

bool InitInstance(HINSTANCE instance, int show) {
  ShellReadSettings();
  fe.window = CreateMainWindow(instance);
  if (fe.window == nullptr)
    return false;
  SetTimer(fe.window, kButtonTimer, kButtonTimerMs, nullptr);
  SetTimer(fe.window, kLinkTimer, kLinkTimerMs, nullptr);
  SetTimer(fe.window, kRepaintTimer, kRepaintTimerMs, nullptr);
  ShellStartModules(fe.window);
  g_shell.host.invalidate_all = InvalidateAll;
  g_shell.host.invalidate_rect = InvalidatePart;
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
  // The listener is stopped before the databases' exit-time clean-up, which it would otherwise race.
  ShellStopListener();
  ReleaseFrame();
  return static_cast<int>(msg.wParam);
}
