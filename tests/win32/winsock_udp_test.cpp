// winsock_udp_test.cpp: the winsock datagram layer over loopback: cut datagrams, ICMP resets, address forms.
#include <gtest/gtest.h>

#include <string>
#include <winsock2.h>

#include "platform/udp.h"

namespace {

class WinsockUdpTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(UdpStartup());
    listener_ = UdpOpenListener(0, true);
    ASSERT_NE(listener_, kUdpInvalid);
    port_ = UdpLocalPort(listener_);
    ASSERT_GT(port_, 0);
  }
  void TearDown() override { UdpClose(listener_); }

  std::string Receive(size_t capacity, int *result = nullptr) {
    std::string buffer(capacity, '\0');
    const int n = UdpReceive(listener_, buffer.data(), capacity, 2000);
    if (result != nullptr)
      *result = n;
    return n >= 0 ? buffer.substr(0, static_cast<size_t>(n)) : std::string();
  }

  UdpHandle listener_ = kUdpInvalid;
  int port_ = 0;
};

TEST_F(WinsockUdpTest, LongerDatagramFillsTheBufferAndTheNextOneIsWhole) {
  const std::string longer = "KESTREL MONITOR:" + std::string(40, 'x');
  ASSERT_EQ(UdpSendOnce("127.0.0.1", port_, longer.data(), longer.size()), static_cast<int>(longer.size()));
  ASSERT_EQ(UdpSendOnce("127.0.0.1", port_, "short", 5), 5);

  int n = 0;
  EXPECT_EQ(Receive(16, &n), "KESTREL MONITOR:");
  EXPECT_EQ(n, 16) << "an over-long datagram is a cut datagram, not an error";
  EXPECT_EQ(Receive(16), "short") << "the rest of the long datagram was discarded";

  char rest[8];
  EXPECT_EQ(UdpReceive(listener_, rest, sizeof rest, 50), kUdpTimeout) << "nothing else is waiting";
}

TEST_F(WinsockUdpTest, PortUnreachableFromAnEarlierSendIsNotAnError) {
  // A port that was just free: a datagram sent there draws an ICMP "port unreachable", which winsock
  // reports on the sending socket's next receive.
  const UdpHandle closed = UdpOpenListener(0, true);
  ASSERT_NE(closed, kUdpInvalid);
  const int closed_port = UdpLocalPort(closed);
  UdpClose(closed);

  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<u_short>(closed_port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_NE(sendto(static_cast<SOCKET>(listener_), "x", 1, 0, reinterpret_cast<sockaddr *>(&to), sizeof to),
            SOCKET_ERROR);
  char buffer[8];
  EXPECT_EQ(UdpReceive(listener_, buffer, sizeof buffer, 200), kUdpTimeout);

  ASSERT_EQ(UdpSendOnce("127.0.0.1", port_, "after", 5), 5);
  EXPECT_EQ(Receive(8), "after") << "the socket still receives after the reset";
}

TEST_F(WinsockUdpTest, AddressFormsAndNameResolution) {
  // inet_addr's short form: "127.1" is 127.0.0.1.
  ASSERT_EQ(UdpSendOnce("127.1", port_, "short form", 10), 10);
  EXPECT_EQ(Receive(32), "short form");
  EXPECT_EQ(UdpSendOnce("127.0.0.300", port_, "x", 1), -1);
  EXPECT_EQ(UdpSendOnce("localhost", port_, "x", 1), -1) << "names are resolved before sending, not here";

  char dotted[16] = "";
  ASSERT_TRUE(UdpResolveIPv4("127.0.0.9", dotted));
  EXPECT_STREQ(dotted, "127.0.0.9");
  ASSERT_TRUE(UdpResolveIPv4("localhost", dotted));
  EXPECT_STREQ(dotted, "127.0.0.1");
}

} // namespace
