// failure_status.cpp: the failure table, set by the FAIL handler and drawn as the FAILURES STATUS page.
#include "status/failure_status.h"

#include <cstring>

#include "base/wide_text.h"
#include "platform/canvas.h"

FailureStatus g_failure_status;

namespace {
struct FailureName {
  const char *keyword;
  const wchar_t *label;
};
constexpr FailureName kFailureNames[kFailureCount] = {
    {"LeftEngineFailure", L"Left Engine"},
    {"RightEngineFailure", L"Right Engine"},
    {"HydraulicsFailure", L"Hydraulics"},
    {"ACSFailure", L"ACS"},
    {"AutopilotFailure", L"Autopilot"},
    {"AutopilotOn", L"AutopilotOn"},
    {"LeftTailPlaneFailure", L"Left Tail Plane"},
    {"RightTailPlaneFailure", L"Right Tail Plane"},
    {"LeftAileronFailure", L"Left Aileron"},
    {"RightAileronFailure", L"Right Aileron"},
    {"MasterWarning", L"Master Warning"},
    {"CanopyOpen", L"Canopy Open"},
    {"CannonFailure", L"Cannon"},
    {"StallSignalization", L"Stall Signalization"},
    {"LeftMainPumpFailure", L"Left Main Pump"},
    {"RightMainPumpFailure", L"Right Main Pump"},
    {"LeftWingPumpFailure", L"Left Wing Pump"},
    {"RightWingPumpFailure", L"Right Wing Pump"},
    {"RadarFailure", L"Radar"},
    {"EOSFailure", L"EOS"},
    {"MLWSFailure", L"MLWS"},
    {"RWSFailure", L"RWS"},
    {"ECMFailure", L"ECM"},
    {"GearFailure", L"Gear"},
    {"MFDFailure", L"MFD"},
    {"HUDFailure", L"HUD"},
    {"HelmetFailure", L"Helmet"},
    {"FuelTankDamage", L"Fuel Tank"},
};
} // namespace

void InitFailureStatus(int window_width) {
  delete[] g_failure_status.entries;
  g_failure_status.entries = new FailureEntry[kFailureCount];
  for (int i = 0; i < kFailureCount; ++i) {
    FailureEntry &entry = g_failure_status.entries[i];
    std::strncpy(entry.keyword, kFailureNames[i].keyword, sizeof entry.keyword - 1);
    CopyWide(entry.label, 64, kFailureNames[i].label);
    entry.state = 1; // everything shows failed until the simulator has reported it
  }
  g_failure_status.window_width = window_width;
  g_failure_status.font_height = window_width * 17 / 520;
}

FailureEntry *FindFailure(const char *keyword) {
  if (g_failure_status.entries == nullptr)
    return nullptr;
  for (int i = 0; i < kFailureCount; ++i)
    if (std::strcmp(g_failure_status.entries[i].keyword, keyword) == 0)
      return &g_failure_status.entries[i];
  return nullptr;
}

int SetFailure(const char *keyword, int32_t state) {
  FailureEntry *entry = FindFailure(keyword);
  if (entry == nullptr)
    return 0;
  entry->state = state;
  return 1;
}

void DrawFailures(Canvas &canvas) {
  if (g_failure_status.entries == nullptr)
    return;
  const int f = g_failure_status.font_height;
  const int centre = g_failure_status.window_width / 2;
  CanvasSetFont(canvas, f);
  CanvasSetOpaque(canvas, true);
  for (int i = 0; i < kFailureCount; ++i) {
    const FailureEntry &entry = g_failure_status.entries[i];
    const int row = i / 2;
    const bool left = i % 2 == 0;
    Rect rect;
    rect.left = left ? centre - 240 : centre + f + 2;
    rect.right = left ? centre - f - 2 : centre + 240;
    rect.top = 6 * f + row * (f + 4);
    rect.bottom = rect.top + 4 + f;
    const bool failed = entry.state != 0;
    CanvasSetTextColour(canvas, failed ? Rgb(204, 0, 0) : Rgb(102, 204, 102));
    CanvasSetBackColour(canvas, failed ? Rgb(32, 0, 0) : Rgb(0, 32, 0));
    CanvasText(canvas, entry.label, -1, rect, left ? kTextRight : kTextLeft);
  }
}
