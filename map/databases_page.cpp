// databases_page.cpp: the status block of the DATABASES page.
#include "map/databases_page.h"

#include <cwchar>

#include "base/wide_text.h"
#include "map/map_view.h"
#include "platform/canvas.h"

namespace {
constexpr int kLineCapacity = 64;
constexpr int kLineCount = 7;
} // namespace

void DrawDatabasesPage(Canvas &canvas, const MapView &view, const wchar_t *version, const DatabaseCounts &counts) {
  wchar_t lines[kLineCount][kLineCapacity];
  FormatWide(lines[0], kLineCapacity, L"CURRENT MAP : %ls", view.current_map_name);
  FormatWide(lines[1], kLineCapacity, L"CURRENT VERSION : %ls", version);
  FormatWide(lines[2], kLineCapacity, L"ROUTES DB (RT)..... : %d", counts.routes);
  FormatWide(lines[3], kLineCapacity, L"TAGS DB (TG)....... : %d", counts.tags);
  FormatWide(lines[4], kLineCapacity, L"MESSAGES DB (EM)... : %d", counts.messages);
  FormatWide(lines[5], kLineCapacity, L"AIRCRAFTS DB (AC).. : %d", counts.aircraft);
  FormatWide(lines[6], kLineCapacity, L"HOSTS REACHABLES DB : %d", counts.hosts);

  const int f = view.font_height, w = MapWindowWidth(view);
  CanvasSetFont(canvas, f);
  CanvasSetOpaque(canvas, true);
  CanvasSetBackColour(canvas, Rgb(0, 0, 0));
  CanvasSetTextColour(canvas, Rgb(102, 204, 102));
  int top = MapWindowHeight(view) / 2 + 2 * f;
  for (int i = 0; i < kLineCount; ++i) {
    // A box a whole cell per character wide, centred on the window, so that the lines line up in a column
    // of the monospace face whatever their lengths.
    const int span = f * static_cast<int>(std::wcslen(lines[i]));
    const int left = (w - span) / 2;
    CanvasText(canvas, lines[i], -1, Rect{left, top, left + span, top + f}, kTextCenter);
    // An empty line parts the map and version from the counts.
    top += f + 4 + (i == 1 ? f : 0);
  }
}
