// The connecting socket over loopback, against a plain listening descriptor.
#include "core/net/socket.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "support/test_support.h"

namespace {

// A listening descriptor on a free loopback port and a Socket connected to it.
class SocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, listen(listen_fd_, 4));
    ASSERT_GE(client_.InitSocket(1, qtest::LocalPort(listen_fd_), "127.0.0.1"), 0);
    ASSERT_EQ(0, client_.Connect());
    EXPECT_TRUE(client_.IsConnected());
    peer_ = accept(listen_fd_, nullptr, nullptr);
    ASSERT_GE(peer_, 0);
  }
  void TearDown() override {
    close(listen_fd_);
    if (peer_ >= 0) close(peer_);
  }

  int listen_fd_ = qtest::BoundSocket();
  int peer_ = -1;
  Socket client_;
};

TEST(SocketInitTest, KindsNamesAndARefusedConnectFailWithTheirTexts) {
  Socket socket;
  EXPECT_LT(socket.InitSocket(3, 2073, nullptr), 0);
  EXPECT_STREQ("Socket exception: Unsupported socket type requested", socket.ErrorText());
  EXPECT_LT(socket.InitSocket(1, 25, "no-such-host.invalid"), 0);
  EXPECT_STREQ("Socket exception: Could not resolve hostname", socket.ErrorText());
  EXPECT_EQ(kInvalidSocket, socket.MainHandle());
  ASSERT_GE(socket.InitSocket(1, qtest::FreePort(), "127.0.0.1"), 0);
  EXPECT_LT(socket.Connect(), 0);
  EXPECT_FALSE(socket.IsConnected());
  EXPECT_STREQ("Socket exception: Could not connect socket", socket.ErrorText());
  // The last code has a text; codes past either end read as "invalid".
  EXPECT_STREQ("Socket exception: Unexpected reply from server", SocketErrorText(29));
  EXPECT_STREQ("Socket exception: Invalid exception code", SocketErrorText(30));
  EXPECT_STREQ("Socket exception: Invalid exception code", SocketErrorText(-1));
}

// A wait that times out is shown by the mail tests (a silent server).
TEST_F(SocketTest, WaitReadableTimesOutThenATransferFailsWhenThePeerCloses) {
  ASSERT_EQ(3, send(peer_, "abc", 3, 0));
  close(peer_);
  peer_ = -1;
  EXPECT_GT(client_.WaitReadable(client_.MainHandle(), 5, 0), 0);
  char buffer[10];
  EXPECT_EQ(-1, client_.RecvAll(buffer, sizeof buffer));
  EXPECT_STREQ("Socket exception: Receive error", client_.ErrorText());
  // Sending to the closed peer fails too, without a signal.
  std::vector<char> data(64 * 1024, 'x');
  int result = 0;
  for (int i = 0; i < 100 && result >= 0; ++i) {
    result = client_.SendAll(data.data(), static_cast<int>(data.size()));
  }
  EXPECT_EQ(-1, result);
  EXPECT_STREQ("Socket exception: Transmit error", client_.ErrorText());
}

TEST_F(SocketTest, CloseAllTwiceClosesTheHandleOnce) {
  const int handle = client_.MainHandle();
  client_.CloseAll();
  EXPECT_EQ(fcntl(handle, F_GETFD), -1);
  EXPECT_EQ(kInvalidSocket, client_.MainHandle());
  EXPECT_FALSE(client_.IsConnected());
  // The number is reused by a new descriptor, which the second CloseAll
  // must leave alone.
  const int reuse = open("/dev/null", O_RDONLY);
  client_.CloseAll();
  EXPECT_NE(fcntl(reuse, F_GETFD), -1);
  close(reuse);
}

TEST_F(SocketTest, ShutdownBeforeTheSessionStopsEveryLaterWait) {
  Socket socket;
  socket.Shutdown();
  ASSERT_GE(socket.InitSocket(1, qtest::LocalPort(listen_fd_), "127.0.0.1"), 0);
  EXPECT_LT(socket.Connect(), 0);
  EXPECT_LT(socket.InitSocket(1, 25, "localhost"), 0);  // a name lookup is refused too
  EXPECT_EQ(SOCKET_HOSTNAME_ERROR, socket.ErrorCode());
  // Cleared, the socket serves a new session.
  socket.CloseAll();
  socket.ClearShutdown();
  ASSERT_GE(socket.InitSocket(1, qtest::LocalPort(listen_fd_), "localhost"), 0);
  EXPECT_EQ(0, socket.Connect());
}

}  // namespace
