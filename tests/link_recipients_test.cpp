// link_recipients_test.cpp: the recipients file's line rules and the datagrams that reach loopback peers.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/settings.h"
#include "base/shared_lock.h"
#include "link/listener.h"
#include "status/event_log.h"
#include "support/listener_fixture.h"
#include "support/loopback_receiver.h"
#include "support/test_env.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_sharing.h"
#include "wire/protocol.h"
#include "wire/recipients.h"

namespace {
// A name whose 70-character label no resolver accepts, so it fails without asking any name server.
const std::string kUnresolvable = std::string(70, 'q') + ".invalid";

struct Peer {
  UdpHandle socket = kUdpInvalid;
  std::string address;
  int port = 0;
  std::string Line(int index) const { return "[" + std::to_string(index) + "]" + address + ":" + std::to_string(port); }
};

// Binds the preferred loopback address, or 127.0.0.1 where the system only answers there.
Peer OpenPeer(const char *preferred) {
  Peer peer;
  for (const char *address : {preferred, "127.0.0.1"}) {
    peer.socket = OpenLoopbackReceiver(address);
    if (peer.socket != kUdpInvalid) {
      peer.address = address;
      peer.port = UdpLocalPort(peer.socket);
      break;
    }
  }
  return peer;
}

// Everything that arrived, waiting a little for stragglers.
std::vector<std::string> Received(const Peer &peer) {
  std::vector<std::string> texts;
  char buffer[kDatagramLimit + 1];
  for (int n; (n = UdpReceive(peer.socket, buffer, kDatagramLimit, 150)) >= 0;)
    texts.emplace_back(buffer, static_cast<size_t>(n));
  return texts;
}

class RecipientsTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = UseFreshSettingsStore();
    InitSharedRecordsForTest(context);
    a = OpenPeer("127.0.0.2");
    b = OpenPeer("127.0.0.3");
    ASSERT_NE(a.socket, kUdpInvalid);
    ASSERT_NE(b.socket, kUdpInvalid);
  }
  void TearDown() override {
    UdpClose(a.socket);
    UdpClose(b.socket);
    ClearTags(g_tag_database);
    ClearEvents();
  }
  void UseFile(const std::string &contents) {
    const std::string path = folder + "/recipients.txt";
    ASSERT_TRUE(WriteTextFile(path, contents));
    WriteSetting(L"Recipients file", std::wstring(path.begin(), path.end()).c_str());
  }
  std::vector<std::wstring> Confirmations() {
    std::vector<std::wstring> texts;
    for (const EventMessage *m = g_event_log.root.next; m != nullptr; m = m->next)
      if (m->code == 0x02030010 && m->lifetime == 3)
        texts.emplace_back(m->text);
    return texts;
  }

  std::string folder;
  ListenerContext context;
  Peer a, b;
};

TEST_F(RecipientsTest, EachSquadTextGoesOnceToEveryPeer) {
  UseFile("# squad\n" + a.Line(1) + "\n" + b.Line(2)); // the last line has no newline
  EXPECT_EQ(CountRecipients(), 2);
  SendToRecipients("KESTREL SQUAD:Lat=1,Long=2,Compass=3,Alt=4,Squad=1,Pilot=2,Type=0");
  const std::vector<std::string> once{"KESTREL SQUAD:Lat=1,Long=2,Compass=3,Alt=4,Squad=1,Pilot=2,Type=0"};
  EXPECT_EQ(Received(a), once) << "sent without a terminating zero, exactly once";
  EXPECT_EQ(Received(b), once);
}

TEST_F(RecipientsTest, LineRulesDecideWhatCountsAndWhatIsRead) {
  PeerLine peer;
  EXPECT_TRUE(ReadPeerLine("[3]1.2:9\n", PeerRule::kSquad, &peer)) << "SQUAD has no length test";
  EXPECT_TRUE(peer.index == 3 && std::string(peer.host) == "1.2" && peer.port == 9);
  EXPECT_FALSE(ReadPeerLine("[3]1.2:9\n", PeerRule::kTag, &peer)) << "9 characters are too few for a TAG";
  EXPECT_TRUE(ReadPeerLine("[3]1.23:9\n", PeerRule::kTag, &peer));
  EXPECT_FALSE(ReadPeerLine("[1]127.0.0.2 10320\n", PeerRule::kSquad, &peer)) << "no colon";
  EXPECT_FALSE(ReadPeerLine(" [1]127.0.0.2:10320\n", PeerRule::kSquad, &peer)) << "the bracket comes first";
  EXPECT_FALSE(ReadPeerLine("[1]127.0.0.2:70000\n", PeerRule::kSquad, &peer)) << "no such port";

  UseFile("[3]1.23:9\n[3]1.2:9\n\n# [5]127.0.0.2:10320\n[6]127.0.0.2 10320\n");
  EXPECT_EQ(CountRecipients(), 1);
  WriteSetting(L"Recipients file", (std::wstring(folder.begin(), folder.end()) + L"/missing.txt").c_str());
  EXPECT_EQ(CountRecipients(), 0);
}

TEST_F(RecipientsTest, UnusableHostsAreSkippedAndLaterPeersStillReceive) {
  char dotted[kDottedCapacity];
  EXPECT_FALSE(PeerAddress("127.000.000.00000002", dotted)) << "a dotted host of 20 characters is not cut";
  ASSERT_TRUE(PeerAddress("localhost", dotted));
  EXPECT_STREQ(dotted, "127.0.0.1");

  const Peer local = OpenPeer("127.0.0.1");
  UseFile("[1]" + kUnresolvable + ":" + std::to_string(a.port) + "\n[2]127.000.000.00000002:" + std::to_string(a.port) +
          "\n[3]localhost:" + std::to_string(local.port) + "\n" + b.Line(4) + "\n");
  SendToRecipients("KESTREL SQUAD:y");
  EXPECT_TRUE(Received(a).empty());
  EXPECT_EQ(Received(local).size(), 1u);
  EXPECT_EQ(Received(b).size(), 1u);
  UdpClose(local.socket);
}

TEST_F(RecipientsTest, MonitorWhileJoinedForwardsTheExactSquadText) {
  UseFile(a.Line(1) + "\n" + b.Line(2) + "\n");
  g_squad_group.squad_number = 3;
  g_squad_group.own_pilot = 12;
  SetJoined(g_squad_group, 1);
  ListenerWork *work = MakeListenerWork(&context);
  DispatchDatagram("KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200", work);
  const std::vector<std::string> expected{
      "KESTREL SQUAD:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200,Squad=3,Pilot=12,Type=0"};
  EXPECT_EQ(Received(a), expected);
  EXPECT_EQ(Received(b), expected);
  EXPECT_TRUE(work->outbox.empty()) << "the outbox is emptied by the flush";
  FreeListenerWork(work);
}

TEST_F(RecipientsTest, TagsMadeHereReachTagPeersWithAConfirmationEach) {
  UseFile(a.Line(1) + "\n[2]" + kUnresolvable + ":" + std::to_string(b.port) + "\n" + b.Line(7) + "\n");
  g_squad_group.squad_number = 3;
  g_squad_group.own_pilot = 12;
  g_tag_database.joined = 1;
  Outbox outbox;
  const TagSymbol symbol{2, 'H', 5};
  {
    SharedGuard guard = LockSharedData();
    AddTag(g_tag_database, 0, 12, symbol, 43.5, 41.25, outbox);
  }
  FlushOutbox(outbox);
  const std::vector<std::string> expected{
      "KESTREL TAG:Lat=43.500000,Long=41.250000,Symb=149509,Squad=3,Pilot=12,Type=0"};
  EXPECT_EQ(Received(a), expected);
  EXPECT_EQ(Received(b), expected);
  EXPECT_EQ(Confirmations(), (std::vector<std::wstring>{L"TAG #1 SENT TO [1]", L"TAG #1 SENT TO [7]"}));
  EXPECT_TRUE(outbox.empty());
}

// Under the thread checker: confirmations are posted under the lock while another thread works the log.
TEST_F(RecipientsTest, OutboxFlushPostsUnderTheSharedLock) {
  UseFile(a.Line(1) + "\n" + b.Line(2) + "\n");
  Outbox outbox;
  for (unsigned n = 1; n <= 20; ++n)
    outbox.tags.push_back(OutgoingTag{n, "KESTREL TAG:z"});
  std::atomic<bool> done{false};
  std::thread ui([&] {
    while (!done) {
      SharedGuard guard = LockSharedData();
      CountEvents();
    }
  });
  FlushOutbox(outbox);
  done = true;
  ui.join();
  EXPECT_EQ(Received(a).size(), 20u);
  EXPECT_EQ(Received(b).size(), 20u);
  EXPECT_EQ(CountEvents(), 40);
}
} // namespace
