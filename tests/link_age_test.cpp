// link_age_test.cpp: the link age of a display left running for weeks without a MONITOR.
#include <gtest/gtest.h>

#include <cstdint>

#include "app/shell.h"
#include "status/event_codes.h"
#include "status/event_log.h"
#include "support/shell_fixture.h"

namespace {

TEST_F(ShellTest, LinkAgeStopsAtItsLimitAndTheWarningStaysOn) {
  // 24.8 days of silence less two seconds: the next ticks would carry an int of milliseconds past its limit.
  g_shell.listener.link_age = INT32_MAX - 2000;
  for (int tick = 1; tick <= 5; ++tick) {
    Tick(kLinkTimer);
    EXPECT_GE(g_shell.listener.link_age, INT32_MAX - 1000) << tick;
    EXPECT_EQ(CountEventsWithCode(kCodeVektaDisconnected), 1) << tick;
  }
  EXPECT_EQ(g_shell.listener.link_age, INT32_MAX);
}

} // namespace
