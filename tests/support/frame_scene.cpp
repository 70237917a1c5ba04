// frame_scene.cpp: whole-display scenes for the frame tests and the frame benchmark.
#include "support/frame_scene.h"

#include <cstdarg>
#include <cstdio>

#include "app/shell.h"
#include "base/wide_text.h"
#include "link/listener.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/routes.h"
#include "mfd/page_state.h"
#include "platform/bitmap.h"
#include "status/event_log.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "wire/protocol.h"

void StartSceneModules(int window_width, int window_height) {
  ShellReadSettings();
  g_shell.settings.window_width = window_width;
  g_shell.settings.window_height = window_height;
  ShellInitModules(nullptr);
  AttachSharedRecords(g_shell.listener);
}

void TakeSceneMap(Bitmap *bitmap, int width, int height, int cell) {
  FreeBitmap(g_map_view.bitmap);
  g_map_view.bitmap = bitmap;
  g_map_view.current_map = 2;
  CopyWide(g_map_view.current_map_name, kMapNameCapacity, L"GEORGIA");
  ClearCalibrationGrid();
  for (int row = 0; row < height / cell; ++row)
    for (int column = 0; column < width / cell; ++column)
      AppendGridNode(&g_calibration_grid, 400 + 5 * row, 360 + 5 * column, cell / 2 + cell * column,
                     height - cell / 2 - cell * row);
}

void HandleDatagram(const char *format, ...) {
  static ListenerWork *work = MakeListenerWork(&g_shell.listener);
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(work->text, kWorkTextCapacity, format, arguments);
  va_end(arguments);
  RunHandler(ClassifyDatagram(work->text), work);
  work->outbox = Outbox{};
}

void BuildHeavyScene(double latitude, double longitude) {
  g_page_state.current_page = kPageMonitoring;
  HandleDatagram("KESTREL MONITOR:Lat=%.6f,Long=%.6f,Compass=0.7,Alt=2500", latitude, longitude);
  // The route winds through the window about the ownship; the bullseye goes on its first point.
  for (int i = 1; i <= 20; ++i)
    HandleDatagram("KESTREL ROUTE:%d,Lat=%.6f,Long=%.6f,Type=%d", i, latitude - 0.45 + 0.045 * i,
                   longitude + 0.3 * ((i % 4) - 1.5),
                   i == 1    ? 3
                   : i == 20 ? 4
                             : 1);
  SelectNextBullseye();
  HandleDatagram("KESTREL ROUTE_TO:Lat=%.6f,Long=%.6f", latitude + 0.2, longitude + 0.25);
  const int squad = g_squad_group.squad_number;
  for (int i = 0; i < 20; ++i)
    HandleDatagram("KESTREL TAG:Lat=%.6f,Long=%.6f,Symb=%d,Squad=%d,Pilot=%d,Type=0", latitude - 0.4 + 0.04 * i,
                   longitude + 0.35 * ((i % 5) - 2) / 2, PackSymbol(i % 4, static_cast<signed char>(1 + i % 2), i % 5),
                   squad, 2 + i % 7);
  SelectNextTag(g_tag_database, g_calibration_grid);
  SetJoined(g_squad_group, 1);
  for (int i = 0; i < 10; ++i)
    HandleDatagram("KESTREL SQUAD:Lat=%.6f,Long=%.6f,Compass=%.2f,Alt=%d,Squad=%d,Pilot=%d,Type=0",
                   latitude + 0.3 - 0.06 * i, longitude - 0.35 + 0.07 * i, 0.6 * i, 1500 + 300 * i, squad, 20 + i);
  // Six lines of every colour class, shown: the blinking's visible phase.
  ClearEvents();
  PostEvent(0x80010001, L"VEKTA DISCONNECTED", -1);
  PostEvent(0x40020002, L"OUT OF MAP", -1);
  PostEvent(0x20040002, L"ROUTE OUT OF MAP", 20);
  PostEvent(0x08031005, L"INCOMING TAG #5 FROM [03]", -1);
  PostEvent(0x04040001, L"INCOMING ROUTE", 10);
  PostEvent(0x0202A000, L"MAP LOADED", 6);
  g_event_log.blink = 1;
}

void EndScene() {
  ClearEvents();
  ClearTags(g_tag_database);
  SetJoined(g_squad_group, 0);
  ClearSquadGroup(g_squad_group);
  ClearRouteDatabase();
  ClearCalibrationGrid();
  FreeBitmap(g_map_view.bitmap);
  g_map_view.bitmap = nullptr;
  g_map_view.current_map = -1;
}
