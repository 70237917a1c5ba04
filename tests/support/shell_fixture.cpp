// shell_fixture.cpp: starting the core for the shell and button tests.
#include "support/shell_fixture.h"

#include <cstring>

#include "app/bezel_input.h"
#include "app/button_actions.h"
#include "app/shell.h"
#include "base/settings.h"
#include "map/calibration_grid.h"
#include "map/routes.h"
#include "mfd/page_table.h"
#include "platform/controllers.h"
#include "platform/sound.h"
#include "support/test_env.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_sharing.h"

uint32_t ShellTest::bezel_mask = 0, ShellTest::stick_mask = 0;
bool ShellTest::devices_connected = true;
int ShellTest::clicks = 0;
std::vector<Invalidation> ShellTest::invalidations;

namespace {
// Taken before any test runs: the table is constant-initialised, so it is complete by then.
struct PristineLabels {
  PageEntries pages[kPageCount];
  PristineLabels() { std::memcpy(pages, g_page_table, sizeof pages); }
} const kPristine;

bool FakeController(int device_id, uint32_t &mask) {
  if (!ShellTest::devices_connected || device_id < 0 || device_id > 1)
    return false;
  mask = device_id == 0 ? ShellTest::bezel_mask : ShellTest::stick_mask;
  return true;
}
void CountClick(const wchar_t *) { ++ShellTest::clicks; }
void RecordAll(bool erase) { ShellTest::invalidations.push_back({true, Rect{}, erase}); }
void RecordRect(Rect rect, bool erase) { ShellTest::invalidations.push_back({false, rect, erase}); }
} // namespace

void RestorePageLabels() { std::memcpy(g_page_table, kPristine.pages, sizeof kPristine.pages); }

int CountEventsWithCode(uint32_t code) {
  int n = 0;
  for (const EventMessage *m = g_event_log.root.next; m != nullptr; m = m->next)
    n += m->code == code ? 1 : 0;
  return n;
}

const EventMessage *FirstEventWithCode(uint32_t code) {
  for (const EventMessage *m = g_event_log.root.next; m != nullptr; m = m->next)
    if (m->code == code)
      return m;
  return nullptr;
}

void ShellTest::SetUp() {
  RestorePageLabels();
  UseFreshSettingsStore();
  WriteSetting(L"A10 Mode", L"0"); // the store exists from here on, so defaults are written back
  ShellReadSettings();
  g_shell.settings.stick_id = 1; // a separate stick unless a test says otherwise
  g_controller_reader = FakeController;
  g_click_player = CountClick;
  bezel_mask = stick_mask = 0;
  devices_connected = true;
  ShellInitModules(nullptr);
  g_last_dispatched_button = 0;
  g_shell.pending_press = 0;
  g_shell.listener.link_age = g_shell.listener.agm_age = 0;
  g_shell.host = ShellHost{RecordAll, RecordRect};
  clicks = 0;
  invalidations.clear();
}

void ShellTest::TearDown() {
  g_shell.host = ShellHost{};
  g_controller_reader = ReadControllerButtons;
  g_click_player = PlayWaveAsync;
  ResetSyncLabel(g_tag_database);
  SetJoined(g_squad_group, 0);
  ClearEvents();
  ClearTags(g_tag_database);
  ClearSquadGroup(g_squad_group);
  ClearRouteDatabase();
  ClearCalibrationGrid();
  RestorePageLabels();
}

bool ShellTest::Press(int virtual_key) {
  invalidations.clear();
  ShellKey(virtual_key);
  const bool repaint = !invalidations.empty();
  Tick(kButtonTimer);
  invalidations.clear();
  return repaint;
}

void ShellTest::Tick(int timer_id) {
  invalidations.clear();
  ShellTimer(timer_id);
}
