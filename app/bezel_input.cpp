// bezel_input.cpp: the bezel and stick reads, the click sound and the cursor mover.
#include "app/bezel_input.h"

#include "app/shell_state.h"
#include "map/map_view.h"
#include "mfd/page_state.h"
#include "platform/controllers.h"
#include "platform/sound.h"
#include "tactical/tag_database.h"
#include "tactical/tag_sharing.h"

bool (*g_controller_reader)(int device_id, uint32_t &mask) = ReadControllerButtons;
void (*g_click_player)(const wchar_t *path) = PlayWaveAsync;

int32_t ReadJoystickButton(int device_id) {
  uint32_t mask = 0;
  if (!g_controller_reader(device_id, mask))
    return 0;
  for (int32_t button = 1; button <= 32; ++button) {
    if (mask & (uint32_t{1} << (button - 1)))
      return button; // when several are held, only the lowest counts
  }
  return 0;
}

void PlayClickSound() { g_click_player(ClickSoundPath()); }

// The stick's direction buttons stand for UP, DOWN, RIGHT and LEFT on the TAGGING page. Each comparison sees the number
// left by the earlier ones, so a stick button may be replaced more than once.
static int32_t StickDirection(int32_t stick_button) {
  // 0 is the stick at rest: a direction set to 0 ("no button") must not match it.
  if (stick_button == 0)
    return 0;
  const StartupSettings &s = g_shell.settings;
  const int32_t directions[4][2] = {{s.stick_up, 9}, {s.stick_down, 10}, {s.stick_right, 11}, {s.stick_left, 12}};
  bool matched = false;
  for (const auto &direction : directions) {
    if (stick_button == direction[0]) {
      stick_button = direction[1];
      matched = true;
    }
  }
  return matched ? stick_button : 0;
}

int32_t ReadBezelButton(int32_t (*stick_meaning)(int32_t stick_button)) {
  const StartupSettings &s = g_shell.settings;
  const int32_t bezel = ReadJoystickButton(s.mfd_id);
  if (bezel != 0 || s.stick_id == s.mfd_id)
    return bezel;
  return stick_meaning(ReadJoystickButton(s.stick_id));
}

// Off the TAGGING page the stick's directions mean nothing.
static int32_t StickDirectionOnTagging(int32_t stick_button) {
  return g_page_state.current_page == kPageTagging ? StickDirection(stick_button) : 0;
}

// One pan step. A centre projected through a broken grid may stand near the ends of int; the view stops there.
static int32_t PanCentre(int32_t centre, int32_t step) {
  const int64_t moved = int64_t{centre} + step;
  return static_cast<int32_t>(moved < INT32_MIN ? INT32_MIN : moved > INT32_MAX ? INT32_MAX : moved);
}

bool PollCursorButtons(bool from_user) {
  const int32_t button = from_user ? g_shell.pending_press : ReadBezelButton(StickDirectionOnTagging);
  if (g_page_state.current_page != kPageTagging || button < 9 || button > 12)
    return false;
  PlayClickSound();
  // The step is a fixed distance on the screen at every zoom.
  const auto step = static_cast<int32_t>(g_shell.settings.step_move * g_map_view.zoom);
  switch (button) {
  case 9:
    g_map_view.centre_y = PanCentre(g_map_view.centre_y, -step);
    break;
  case 10:
    g_map_view.centre_y = PanCentre(g_map_view.centre_y, step);
    break;
  case 11:
    g_map_view.centre_x = PanCentre(g_map_view.centre_x, step);
    break;
  default:
    g_map_view.centre_x = PanCentre(g_map_view.centre_x, -step);
    break;
  }
  // Panning by hand ends the following of the ownship.
  ResetSyncLabel(g_tag_database);
  return true;
}
