// shell_window_test.cpp: the Windows program started as a pilot starts it: its window where the settings put
// it, the frame painted, and a clean end when the window is closed.
#include <gtest/gtest.h>

#include <string>
#include <windows.h>

#include "base/settings.h"
#include "support/test_env.h"

namespace {

// How long the program may take to show its window, paint and end: only a hung run takes longer, however busy the
// machine is under Wine.
constexpr DWORD kHungRunMs = 60000;

// kestrel.exe sits one folder above the test program.
std::wstring ProgramPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder.resize(folder.find_last_of(L"\\/"));
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return folder + L"kestrel.exe";
}

class ProgramWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    program = ProgramPath();
    if (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES)
      GTEST_SKIP() << "kestrel.exe is not built";
    UseFreshSettingsStore();
    WriteSetting(L"OffsetX", L"150");
    WriteSetting(L"OffsetY", L"90");
    WriteSetting(L"Window Width", L"300");
    WriteSetting(L"Window Height", L"200");
  }
  void TearDown() override {
    if (process.hProcess != nullptr) {
      TerminateProcess(process.hProcess, 1); // only when a check failed before the window closed
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
  }

  HWND Start() {
    std::wstring command = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring folder = program.substr(0, program.find_last_of(L"\\/"));
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
      return nullptr;
    for (const ULONGLONG deadline = GetTickCount64() + kHungRunMs; GetTickCount64() < deadline; Sleep(50))
      if (HWND window = FindWindowW(L"KESTREL_WIN32", nullptr); window != nullptr)
        return window;
    return nullptr;
  }

  // Closes the window as the user would and returns the program's exit code (or STILL_ACTIVE).
  DWORD Close(HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(process.hProcess, kHungRunMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    if (code != STILL_ACTIVE) {
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
      process = PROCESS_INFORMATION{};
    }
    return code;
  }

  std::wstring program;
  PROCESS_INFORMATION process{};
};

// Counts the client pixels of the label text green and of the label plates' dark green.
void CountFrameColours(HWND window, int &text, int &plate) {
  RECT client;
  GetClientRect(window, &client);
  HDC window_dc = GetDC(window);
  HDC copy_dc = CreateCompatibleDC(window_dc);
  HBITMAP copy = CreateCompatibleBitmap(window_dc, client.right, client.bottom);
  HGDIOBJ previous = SelectObject(copy_dc, copy);
  BitBlt(copy_dc, 0, 0, client.right, client.bottom, window_dc, 0, 0, SRCCOPY);
  text = plate = 0;
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) {
      const COLORREF c = GetPixel(copy_dc, x, y);
      text += c == RGB(0, 255, 0) ? 1 : 0;
      plate += c == RGB(0, 64, 0) ? 1 : 0;
    }
  }
  SelectObject(copy_dc, previous);
  DeleteObject(copy);
  DeleteDC(copy_dc);
  ReleaseDC(window, window_dc);
}

TEST_F(ProgramWindowTest, MfdModeIsABorderlessWindowOfExactlyTheConfiguredPlaceAndSize) {
  WriteSetting(L"MFD Mode", L"1");
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  RECT outer;
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, 150);
  EXPECT_EQ(outer.top, 90);
  EXPECT_EQ(outer.right, 450);
  EXPECT_EQ(outer.bottom, 290);
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_CAPTION);
  wchar_t title[100];
  GetWindowTextW(window, title, 100);
  EXPECT_STREQ(title, L"Corvia v1.03.00");
  // The frame is painted once the window shows: green labels on dark green plates. Looked at until they are there,
  // so that a frame caught half drawn is looked at again.
  int text = 0, plate = 0;
  for (const ULONGLONG deadline = GetTickCount64() + kHungRunMs;
       (text <= 50 || plate <= 50) && GetTickCount64() < deadline; Sleep(100))
    CountFrameColours(window, text, plate);
  EXPECT_GT(text, 50);
  EXPECT_GT(plate, 50);
  EXPECT_EQ(Close(window), 0u);
}

TEST_F(ProgramWindowTest, TheFramedWindowHasExactlyTheConfiguredClientAreaAtTheOffsets) {
  WriteSetting(L"MFD Mode", L"0");
  HWND window = Start();
  ASSERT_NE(window, nullptr);
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_THICKFRAME);
  // The whole configured area inside the caption and the sizing frame, so that the bottom labels are not cut.
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 200);
  RECT outer;
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, 150);
  EXPECT_EQ(outer.top, 90);
  EXPECT_EQ(Close(window), 0u);
}

} // namespace
