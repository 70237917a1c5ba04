// button_actions.cpp: the dispatcher of button presses and the actions of each page.
#include "app/button_actions.h"

#include "app/bezel_input.h"
#include "app/shell_state.h"
#include "map/calibration_grid.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/routes.h"
#include "mfd/page_state.h"
#include "mfd/page_table.h"
#include "status/event_codes.h"
#include "status/event_log.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_sharing.h"

int32_t g_last_dispatched_button = 0;

namespace {
constexpr int32_t kModeButton = 13;

bool SetZoom(double zoom) {
  g_map_view.zoom = zoom;
  ApplyZoom(g_map_view);
  return true;
}

// Buttons 8, 23 and 24 of both map pages. The limits are compared before the change, so the zoom may end a little
// beyond them.
bool ZoomAction(int32_t button) {
  PlayClickSound();
  if (button == 8)
    return SetZoom(1.0);
  if (button == 23)
    return g_map_view.zoom > kZoomInLimit && SetZoom(g_map_view.zoom / kZoomStep);
  return g_map_view.zoom < kZoomOutLimit && SetZoom(g_map_view.zoom * kZoomStep);
}

bool GoToMonitoring() {
  PlayClickSound();
  g_page_state.current_page = kPageMonitoring;
  return true;
}

void ToggleRouteDisplay() {
  PlayClickSound();
  g_page_state.route_display = g_page_state.route_display != 1 ? 1 : 0;
}

bool SetNewTagSymbol(signed char symbol_class, int32_t category) {
  PlayClickSound();
  g_tag_database.new_symbol.symbol_class = symbol_class;
  g_tag_database.new_symbol.category = category;
  return true;
}

void AddOwnTag(double latitude, double longitude) {
  AddTag(g_tag_database, 0, g_squad_group.own_pilot, g_tag_database.new_symbol, latitude, longitude, g_shell.outbox);
}

// Tags the view centre; nothing at all, not even the click, when the centre is off the grid.
bool TagCenter() {
  double latitude = 0.0, longitude = 0.0;
  if (!MapPixelToGeo(&g_calibration_grid, g_map_view.centre_x, g_map_view.centre_y, g_map_view, nullptr, &latitude,
                     &longitude))
    return false;
  PlayClickSound();
  AddOwnTag(latitude, longitude);
  return true;
}

bool TagAgm() {
  if (g_tag_database.agm.squad != kAgmShown) {
    TagCenter();
    return false; // the view-centre path repaints with the next second
  }
  PlayClickSound();
  AddOwnTag(g_tag_database.agm.latitude, g_tag_database.agm.longitude);
  return true;
}

bool SyncAction() {
  PlayClickSound();
  ToggleSync(g_tag_database);
  // Whatever the new state, the view jumps to the ownship; off the grid it simply stays.
  GeoToMapPixel(&g_calibration_grid, g_map_view.latitude, g_map_view.longitude, &g_map_view.centre_x,
                &g_map_view.centre_y);
  return true;
}

// The buttons both map pages share: the zooms, ROUTE and OPTNS. False for any other button.
bool MapPageAction(int32_t button) {
  switch (button) {
  case 8:
  case 23:
  case 24:
    return ZoomAction(button);
  case 14:
    ToggleRouteDisplay();
    return true;
  case 15:
    PlayClickSound();
    CyclePageOption(g_page_state);
    return true;
  default:
    return false;
  }
}

bool MonitoringAction(int32_t button) {
  switch (button) {
  case 8:
  case 14:
  case 15:
  case 23:
  case 24:
    return MapPageAction(button);
  case 16:
    PlayClickSound();
    SelectNextTag(g_tag_database, g_calibration_grid);
    return false;
  case 17:
    PlayClickSound();
    EraseSelectedTag(g_tag_database);
    return false;
  case 18:
    PlayClickSound();
    SelectNextBullseye();
    return false;
  default:
    return false;
  }
}

bool TaggingAction(int32_t button) {
  switch (button) {
  case 1:
    return SetNewTagSymbol(1, 1);
  case 2:
    return SetNewTagSymbol(1, 2);
  case 3:
    return SetNewTagSymbol(1, 3);
  case 4:
    return SetNewTagSymbol(1, 0);
  case 5:
    return SetNewTagSymbol(2, 4);
  case 6:
    return GoToMonitoring();
  case 7:
    return SyncAction();
  case 8:
  case 14:
  case 15:
  case 23:
  case 24:
    return MapPageAction(button);
  case 16:
    return TagCenter();
  case 17:
    return TagAgm();
  case 20:
    PlayClickSound();
    g_tag_database.new_symbol.affiliation =
        g_tag_database.new_symbol.affiliation + 1 > 3 ? 0 : g_tag_database.new_symbol.affiliation + 1;
    return true;
  default:
    return false;
  }
}

bool StepPilot(int direction_down) {
  PlayClickSound();
  StepPilotNumber(g_squad_group, direction_down);
  return true;
}

bool StepSquad(int down) {
  PlayClickSound();
  StepSquadNumber(g_squad_group, down);
  return true;
}

bool SquadAction(int32_t button) {
  switch (button) {
  case 6:
    return GoToMonitoring();
  case 16: {
    const int32_t joined = g_squad_group.joined ? 0 : 1;
    SetJoined(g_squad_group, joined);
    g_tag_database.joined = joined;
    return true;
  }
  case 17:
    return StepPilot(1);
  case 18:
    return StepPilot(0);
  case 19:
    return StepSquad(1);
  case 20:
    return StepSquad(0);
  default:
    return false;
  }
}

void PostResetDone(uint32_t code, const wchar_t *text) { PostEvent(code, text, 8); }

bool DatabasesAction(int32_t button) {
  switch (button) {
  case 6:
  case 7:
  case 8:
    // The files are read once the lock is released; that load repaints when it succeeds.
    PlayClickSound();
    RequestMapLoad(button - 6);
    return false;
  case 16:
    PlayClickSound();
    ClearTags(g_tag_database);
    g_tag_database.counter = 0;
    PostResetDone(kCodeTagsCleared, L"!!! TG DB RESET DONE !!!");
    return true;
  case 17:
    PlayClickSound();
    ResendTags(g_tag_database, g_shell.outbox);
    return false;
  case 19:
    PlayClickSound();
    ClearEvents();
    PostResetDone(kCodeResetMessages, L"!!! EM DB RESET DONE !!!");
    return false;
  case 20:
    PlayClickSound();
    ClearRouteDatabase();
    g_route_database.route_to_active = 0;
    ClearTags(g_tag_database);
    ClearSquadGroup(g_squad_group);
    ClearEvents();
    PostResetDone(kCodeResetMessages, L"!!! RT  DB RESET DONE !!!");
    PostResetDone(kCodeResetTags, L"!!! TG DB RESET DONE !!!");
    PostResetDone(kCodeResetSquad, L"!!! AC DB RESET DONE !!!");
    return true;
  default:
    return false;
  }
}

bool PageAction(int32_t button) {
  switch (g_page_state.current_page) {
  case kPageMonitoring:
    return MonitoringAction(button);
  case kPageTagging:
    return TaggingAction(button);
  case kPageFailures:
    return button == 6 && GoToMonitoring();
  case kPageSquad:
    return SquadAction(button);
  case kPageDatabases:
    return DatabasesAction(button);
  default:
    return false;
  }
}

// The stick's tag button stands for TAG AGM, and only on the TAGGING page; 0 is the stick at rest, never its tag
// button.
int32_t StickTagButton(int32_t stick_button) {
  return stick_button != 0 && stick_button == g_shell.settings.stick_tag && g_page_state.current_page == kPageTagging
             ? 17
             : 0;
}
} // namespace

bool DispatchButton(bool from_user) {
  const int32_t button = from_user ? g_shell.pending_press : ReadBezelButton(StickTagButton);
  // A held button acts once: only a change of the value seen counts.
  if (button == g_last_dispatched_button)
    return false;
  bool changed = PageAction(button);
  if (button == kModeButton) {
    PlayClickSound();
    g_page_state.current_page += 1;
    if (g_page_state.current_page > g_page_state.last_page)
      g_page_state.current_page = g_page_state.first_page;
    changed = true;
  }
  g_last_dispatched_button = button;
  // Whatever a press did shows in the very next frame, not at the next once-a-second repaint: a pilot who sees no
  // answer presses again (and skips a tag). A press that changed nothing costs one frame like the last.
  return changed || button != 0;
}
