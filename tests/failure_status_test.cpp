// failure_status_test.cpp: FAIL datagrams set the 28 system states by exact keyword.
#include <gtest/gtest.h>

#include <string>

#include "base/shared_lock.h"
#include "link/listener.h"
#include "status/failure_status.h"
#include "support/listener_fixture.h"

namespace {
int StateOf(const char *keyword) {
  for (int i = 0; i < kFailureCount; ++i)
    if (std::string(g_failure_status.entries[i].keyword) == keyword)
      return g_failure_status.entries[i].state;
  ADD_FAILURE() << keyword << " is not in the table";
  return -999;
}

class FailureStatusTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitSharedRecordsForTest(context);
    work = MakeListenerWork(&context);
  }
  void TearDown() override { FreeListenerWork(work); }
  void Receive(const char *text) { DispatchDatagram(text, work); }

  ListenerContext context;
  ListenerWork *work = nullptr;
};

TEST_F(FailureStatusTest, EverySystemShowsFailedUntilReported) {
  for (int i = 0; i < kFailureCount; ++i)
    EXPECT_EQ(g_failure_status.entries[i].state, 1) << g_failure_status.entries[i].keyword;
  EXPECT_STREQ(g_failure_status.entries[23].keyword, "GearFailure");
  EXPECT_STREQ(g_failure_status.entries[23].label, L"Gear");
  EXPECT_STREQ(g_failure_status.entries[27].keyword, "FuelTankDamage");
  EXPECT_STREQ(g_failure_status.entries[27].label, L"Fuel Tank");
}

TEST_F(FailureStatusTest, FailDatagramsSetAndResetAState) {
  Receive("KESTREL FAIL: GearFailure 0");
  EXPECT_EQ(StateOf("GearFailure"), 0);
  Receive("KESTREL FAIL: GearFailure 1");
  EXPECT_EQ(StateOf("GearFailure"), 1);
  Receive("KESTREL FAIL: FuelTankDamage 0");
  EXPECT_EQ(StateOf("FuelTankDamage"), 0);
  Receive("KESTREL FAIL: RadarFailure -1");
  EXPECT_EQ(StateOf("RadarFailure"), -1);
  Receive("KESTREL FAIL:HUDFailure 0");
  EXPECT_EQ(StateOf("HUDFailure"), 0) << "the blank after the colon matches no blank too";
  Receive("KESTREL FAIL:   ECMFailure\t0 trailing words");
  EXPECT_EQ(StateOf("ECMFailure"), 0);
}

TEST_F(FailureStatusTest, UnknownOrMalformedKeywordsChangeNothing) {
  Receive("KESTREL FAIL: gearfailure 0");
  Receive("KESTREL FAIL: Gear 0");
  Receive("KESTREL FAIL: GearFailureX 0");
  Receive("KESTREL FAIL: GearFailure");      // no state: nothing to set
  Receive("KESTREL FAIL: GearFailure zero"); // state not a number
  Receive(("KESTREL FAIL: GearFailure" + std::string(60, 'x') + " 0").c_str());
  Receive("KESTREL  FAIL: GearFailure 0"); // not the prefix
  for (int i = 0; i < kFailureCount; ++i)
    EXPECT_EQ(g_failure_status.entries[i].state, 1) << g_failure_status.entries[i].keyword;
  EXPECT_EQ(SetFailure("NoSuchSystem", 0), 0);
  EXPECT_EQ(SetFailure("MasterWarning", 0), 1);
}
} // namespace
