// shell_fixture.h: the whole core started as the shell starts it, with stand-ins for the bezel, the stick, the click
// sound and the window's repaints.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/canvas.h"

struct Invalidation {
  bool whole = false;
  Rect rect;
  bool erase = false;
};

class ShellTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // A key as the window receives it, then a timer tick with the bezel idle, so that the next key acts even when it
  // names the same button. True when the key asked for a repaint.
  bool Press(int virtual_key);
  // Clears what was recorded and runs one tick of a timer.
  void Tick(int timer_id);

  static std::wstring Label(int page, int button);
  static std::wstring Title();
  static int CountEventsWithCode(uint32_t code);
  static int32_t EventLifetime(uint32_t code); // of the first message with the code; -2 when none

public:
  // The stand-ins: bezel on device 0, stick on device 1.
  static uint32_t bezel_mask;
  static uint32_t stick_mask;
  static bool devices_connected;
  static int clicks;
  static std::vector<Invalidation> invalidations;
};
