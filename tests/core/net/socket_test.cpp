// The socket layer over loopback.
#include "core/net/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace {

using qtest::LocalPort;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

// A listening Socket on a free loopback port.
class SocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GE(listener_.InitSocket(1, 0, "127.0.0.1"), 0);
    ASSERT_EQ(0, listener_.Bind());
    EXPECT_TRUE(listener_.IsBound());
    ASSERT_EQ(0, listener_.Listen(4));
    port_ = LocalPort(listener_.MainHandle());
  }
  void ConnectClient() {
    ASSERT_GE(client_.InitSocket(1, port_, "127.0.0.1"), 0);
    ASSERT_EQ(0, client_.Connect());
    EXPECT_TRUE(client_.IsConnected());
    ASSERT_GE(listener_.Accept(), 0);
  }

  Socket listener_;
  Socket client_;
  int port_ = 0;
};

TEST(SocketInitTest, KindsAndNamesAreCheckedBeforeAnyHandleExists) {
  Socket socket;
  EXPECT_STREQ("Socket exception: No exception reported", socket.ErrorText());
  EXPECT_LT(socket.InitSocket(3, 2073, nullptr), 0);
  EXPECT_STREQ("Socket exception: Unsupported socket type requested", socket.ErrorText());
  EXPECT_LT(socket.InitSocket(1, 25, "no-such-host.invalid"), 0);
  EXPECT_STREQ("Socket exception: Could not resolve hostname", socket.ErrorText());
  EXPECT_EQ(kInvalidSocket, socket.MainHandle());
  ASSERT_GE(socket.InitSocket(2, 4000, "localhost"), 0);
  EXPECT_EQ(SOCK_DGRAM, socket.SocketType());
  EXPECT_EQ(IPPROTO_UDP, socket.Protocol());
  EXPECT_EQ(htonl(INADDR_LOOPBACK), socket.Address().sin_addr.s_addr);
  EXPECT_EQ(htons(4000), socket.Address().sin_port);
  // The last code has a text; codes past either end read as "invalid".
  EXPECT_STREQ("Socket exception: Unexpected reply from server", SocketErrorText(29));
  EXPECT_STREQ("Socket exception: Invalid exception code", SocketErrorText(30));
  EXPECT_STREQ("Socket exception: Invalid exception code", SocketErrorText(-1));
}

TEST_F(SocketTest, RemoteEndpointIsTheCallersAddressAndPort) {
  ConnectClient();
  std::string address;
  int port = 0;
  EXPECT_EQ(LocalPort(client_.MainHandle()), listener_.GetRemoteEndpoint(&address, &port));
  EXPECT_EQ("127.0.0.1", address);
  EXPECT_EQ(LocalPort(client_.MainHandle()), port);
  Socket unconnected;  // without a peer the address reads UNKNOWN
  EXPECT_EQ(0, unconnected.GetRemoteEndpoint(&address, &port));
  EXPECT_EQ("UNKNOWN", address);
  EXPECT_EQ(SOCKET_HOSTNAME_ERROR, unconnected.ErrorCode());
}

TEST_F(SocketTest, LargeTransferArrivesWholeBothWays) {
  ConnectClient();
  std::vector<char> out(1 << 20);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(i * 7);
  std::vector<char> in(out.size());
  std::thread sender([&] {
    EXPECT_EQ(static_cast<int>(out.size()),
              client_.SendAll(out.data(), static_cast<int>(out.size())));
  });
  EXPECT_EQ(static_cast<int>(in.size()),
            listener_.RemoteRecvAll(in.data(), static_cast<int>(in.size())));
  sender.join();
  EXPECT_EQ(out, in);
  EXPECT_EQ(5, listener_.RemoteSendAll("hello", 5));
  char back[5];
  EXPECT_EQ(5, client_.RecvAll(back, 5));
  EXPECT_EQ("hello", std::string(back, 5));
}

TEST_F(SocketTest, ATransferFailsWhenThePeerCloses) {
  ConnectClient();
  std::thread closer([this] {
    client_.SendAll("abc", 3);
    std::this_thread::sleep_for(milliseconds(20));
    client_.CloseAll();
  });
  char buffer[10];
  EXPECT_EQ(-1, listener_.RemoteRecvAll(buffer, sizeof buffer));
  closer.join();
  EXPECT_STREQ("Socket exception: Receive error", listener_.ErrorText());
  // Sending to the closed peer fails too, without a signal.
  std::vector<char> data(64 * 1024, 'x');
  int result = 0;
  for (int i = 0; i < 100 && result >= 0; ++i) {
    result = listener_.RemoteSendAll(data.data(), static_cast<int>(data.size()));
  }
  EXPECT_EQ(-1, result);
  EXPECT_STREQ("Socket exception: Transmit error", listener_.ErrorText());
}

TEST_F(SocketTest, ConnectingToAClosedPortAndBindingABusyOneFail) {
  Socket second;
  ASSERT_GE(second.InitSocket(1, port_, "127.0.0.1"), 0);
  EXPECT_NE(0, second.Bind());
  EXPECT_FALSE(second.IsBound());
  EXPECT_STREQ("Socket exception: Could not bind socket", second.ErrorText());
  listener_.CloseAll();
  EXPECT_LT(second.Connect(), 0);
  EXPECT_FALSE(second.IsConnected());
  EXPECT_STREQ("Socket exception: Could not connect socket", second.ErrorText());
}

TEST_F(SocketTest, WaitReadableTimesOutThenSeesData) {
  ConnectClient();
  const auto begin = steady_clock::now();
  EXPECT_EQ(0, listener_.WaitReadable(listener_.RemoteHandle(), 0, 30000));
  EXPECT_GE(steady_clock::now() - begin, milliseconds(25));
  client_.SendAll("x", 1);
  EXPECT_GT(listener_.WaitReadable(listener_.RemoteHandle(), 5, 0), 0);
  EXPECT_EQ(SOCKET_NO_ERROR, listener_.ErrorCode());
}

TEST_F(SocketTest, CloseAllTwiceClosesEachHandleOnce) {
  ConnectClient();
  const int main_handle = listener_.MainHandle();
  const int remote_handle = listener_.RemoteHandle();
  listener_.CloseAll();
  client_.CloseAll();
  EXPECT_FALSE(IsOpen(main_handle));
  EXPECT_FALSE(IsOpen(remote_handle));
  EXPECT_EQ(kInvalidSocket, listener_.RemoteHandle());
  EXPECT_FALSE(listener_.IsBound());
  EXPECT_FALSE(client_.IsConnected());
  // The numbers are reused by new descriptors, which the second CloseAll
  // must leave alone.
  const int reuse1 = open("/dev/null", O_RDONLY);
  const int reuse2 = open("/dev/null", O_RDONLY);
  listener_.CloseAll();
  EXPECT_TRUE(IsOpen(reuse1));
  EXPECT_TRUE(IsOpen(reuse2));
  close(reuse1);
  close(reuse2);
}

TEST_F(SocketTest, TakenRemoteHandleIsClosedThroughItsVariable) {
  ConnectClient();
  std::atomic<SocketHandle> peer{listener_.TakeRemote()};
  EXPECT_EQ(kInvalidSocket, listener_.RemoteHandle());
  const int number = peer;
  listener_.CloseHandleOf(peer);
  EXPECT_EQ(kInvalidSocket, peer.load());
  EXPECT_FALSE(IsOpen(number));
}

TEST_F(SocketTest, ShutdownWakesABlockedAcceptAndKeepsTheNumberOpen) {
  const int number = listener_.MainHandle();
  std::atomic<int> result{0};
  std::thread blocked([&] { result = listener_.Accept(); });
  std::this_thread::sleep_for(milliseconds(20));
  const auto begin = steady_clock::now();
  listener_.Shutdown();
  blocked.join();
  EXPECT_LT(steady_clock::now() - begin, milliseconds(100));
  EXPECT_EQ(-1, result.load());
  EXPECT_STREQ("Socket exception: Error accepting remote socket", listener_.ErrorText());
  EXPECT_TRUE(IsOpen(number));  // closed only by its user
}

TEST(SocketShutdownTest, ShutdownBeforeTheSessionStopsEveryLaterWait) {
  Socket server;
  server.Shutdown();
  ASSERT_GE(server.InitSocket(1, 0, "127.0.0.1"), 0);
  ASSERT_EQ(0, server.Bind());
  ASSERT_EQ(0, server.Listen(1));
  const auto begin = steady_clock::now();
  EXPECT_LT(server.Accept(), 0);  // does not block
  EXPECT_LT(steady_clock::now() - begin, milliseconds(100));
  // A name lookup is refused as well.
  EXPECT_LT(server.InitSocket(1, 25, "localhost"), 0);
  EXPECT_EQ(SOCKET_HOSTNAME_ERROR, server.ErrorCode());

  // Cleared, the socket serves a new session.
  server.CloseAll();
  server.ClearShutdown();
  ASSERT_GE(server.InitSocket(1, 0, "127.0.0.1"), 0);
  ASSERT_EQ(0, server.Bind());
  ASSERT_EQ(0, server.Listen(1));
  Socket client;
  ASSERT_GE(client.InitSocket(1, LocalPort(server.MainHandle()), "localhost"), 0);
  EXPECT_EQ(0, client.Connect());
  EXPECT_GE(server.Accept(), 0);
}

// Only names every machine has: the machine's own name need not resolve.
TEST(SocketHostTest, LoopbackNamesAndAddressesResolve) {
  const std::unique_ptr<HostEntry> entry = Socket::ResolveHost("localhost");
  ASSERT_TRUE(entry);
  ASSERT_FALSE(entry->addresses.empty());
  EXPECT_EQ(htonl(INADDR_LOOPBACK), entry->addresses[0].s_addr);
  const std::unique_ptr<HostEntry> by_address = Socket::ResolveHost("127.0.0.1");
  ASSERT_TRUE(by_address);
  EXPECT_FALSE(by_address->name.empty());
  EXPECT_FALSE(Socket::ResolveHost("no-such-host.invalid"));
}

}  // namespace
