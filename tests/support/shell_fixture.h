// shell_fixture.h: the whole core started as the shell starts it, with stand-ins for the bezel, the stick, the click
// sound and the window's repaints.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/canvas.h"
#include "status/event_log.h"

struct Invalidation {
  bool whole = false;
  Rect rect;
  bool erase = false;
};

// Puts every page label back as the program starts with them, so that no test sees the SYNC, JOIN or LOAD labels
// another test changed.
void RestorePageLabels();

int CountEventsWithCode(uint32_t code);
const EventMessage *FirstEventWithCode(uint32_t code); // null when none

class ShellTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // A key as the window receives it, then a button tick with the bezel idle, so that the next key acts even when it
  // names the same button. True when the key asked for a repaint.
  bool Press(int virtual_key);
  void Tick(int timer_id); // clears what was recorded first

public:
  // The stand-ins: bezel on device 0, stick on device 1.
  static uint32_t bezel_mask, stick_mask;
  static bool devices_connected;
  static int clicks;
  static std::vector<Invalidation> invalidations;
};
