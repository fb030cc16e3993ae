// Addresses of both families: texts, numeric lookup, stalled write, connect
// past a silent address. The dual-stack listener, lookups by name and the
// fall-through past a refusing address are shown by
// chat/session_dual_stack_test.cpp.
#include "core/net/stream_connect.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <thread>

#include "core/net/name_lookup.h"
#include "core/net/poll_wait.h"
#include "core/net/stream_endpoint.h"
#include "core/net/stream_listener.h"
#include "core/thread/wake_event.h"
#include "support/test_support.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

StreamEndpoint Numeric(const std::string& text, int port) {
  StreamEndpoint endpoint;
  EXPECT_TRUE(ParseNumericEndpoint(text, port, &endpoint)) << text;
  return endpoint;
}

// A descriptor closed when the test is done with it.
struct Fd {
  explicit Fd(int value = -1) : fd(value) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int fd;
};

// Numeric addresses in their usual forms, read without the resolver.
TEST(StreamEndpointTest, AddressesReadInTheirUsualFormsWithoutTheResolver) {
  const NameResolver never = [](const std::string& name, int, std::vector<StreamEndpoint>*) {
    ADD_FAILURE() << name;
    return false;
  };
  const std::pair<std::string, std::string> cases[] = {
      {"127.0.0.1", "127.0.0.1:59152"},
      {"::1", "[::1]:59152"},
      {"2001:0db8:0000:0000:0000:0000:0000:0005", "[2001:db8::5]:59152"},
      {"[2001:db8::5]", "[2001:db8::5]:59152"},  // the resolver's form only
      // A dual-stack listener's IPv4 caller.
      {"::ffff:192.0.2.7", "192.0.2.7:59152"},
      {"0000:0000:0000:0000:0000:ffff:127.0.0.1", "127.0.0.1:59152"},
  };
  for (const auto& [typed, with_port] : cases) {
    std::vector<StreamEndpoint> found;
    ASSERT_EQ(LookUpAddresses(never, typed, 59152, -1, DeadlineIn(-1), &found),
              LookupResult::kFound);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(AddressWithPort(EndpointAddressText(found[0]), EndpointPort(found[0])), with_port);
    StreamEndpoint endpoint;
    EXPECT_EQ(ParseNumericEndpoint(typed, 59152, &endpoint), typed[0] != '[') << typed;
  }
  StreamEndpoint untouched;
  for (const char* text : {"example.org", "1.2.3", "::1%", ""}) {
    EXPECT_FALSE(ParseNumericEndpoint(text, 1, &untouched)) << text;
  }
  EXPECT_EQ(EndpointAddressText(StreamEndpoint()), "");
}

// A write into a peer that reads nothing stops at the deadline or a wake
// with the bytes sent so far counted, and resumes there.
TEST(WriteFromTest, AStalledWriteEndsAtTheDeadlineOrAWakeAndResumesWhereItStopped) {
  int fds[2];
  ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds));
  Fd writer(fds[0]), reader(fds[1]);
  std::string bytes(8 << 20, 'q');
  for (size_t i = 0; i < bytes.size(); i += 4099) bytes[i] = static_cast<char>(i);
  size_t sent = 0;
  EXPECT_EQ(WriteFrom(writer.fd, bytes, &sent, -1, DeadlineIn(50)), WriteResult::kTimedOut);
  EXPECT_GT(sent, 0u);
  EXPECT_LT(sent, bytes.size());
  WakeEvent wake;
  wake.Signal();
  EXPECT_EQ(WriteFrom(writer.fd, bytes, &sent, wake.Fd(), DeadlineIn(-1)), WriteResult::kWoken);
  std::string received;
  std::thread drain([&] {
    char buffer[65536];
    ssize_t n;
    while (received.size() < bytes.size() &&
           (n = ::recv(reader.fd, buffer, sizeof buffer, 0)) > 0) {
      received.append(buffer, static_cast<size_t>(n));
    }
  });
  EXPECT_EQ(WriteFrom(writer.fd, bytes, &sent, -1, DeadlineIn(10000)), WriteResult::kDone);
  drain.join();
  EXPECT_TRUE(received == bytes);
  EXPECT_TRUE(WriteWhole(writer.fd, "x", -1, DeadlineIn(1000)));  // a single byte is a whole write
  ::close(reader.fd);
  reader.fd = -1;
  EXPECT_FALSE(WriteWhole(writer.fd, "x", -1, DeadlineIn(1000)));
}

// A loopback listener whose accept queue is full, so that further callers'
// connection requests are dropped and their connects hang: a host that does
// not answer, without leaving the machine.
class Blackhole {
 public:
  Blackhole() {
    listen_.fd = qtest::BoundSocket();
    if (listen_.fd < 0 || ::listen(listen_.fd, 0) != 0) return;
    port_ = qtest::LocalPort(listen_.fd);
    for (int i = 0; i < 8; ++i) {
      auto caller =
          std::make_unique<Fd>(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
      const StreamEndpoint endpoint = Numeric("127.0.0.1", port_);
      ::connect(caller->fd, endpoint.Data(), endpoint.length);
      pollfd wait{caller->fd, POLLOUT, 0};
      const bool pending = ::poll(&wait, 1, 200) == 0;
      fillers_.push_back(std::move(caller));
      if (pending) {
        hangs_ = true;
        return;
      }
    }
  }
  bool Hangs() const { return hangs_; }
  int Port() const { return port_; }

 private:
  Fd listen_;
  int port_ = 0;
  bool hangs_ = false;
  std::vector<std::unique_ptr<Fd>> fillers_;
};

// A silent address is given up after its try, except the last, which runs
// to the overall deadline; a wake ends any wait.
TEST(ConnectToFirstTest, SilentAddressesWaitTheirTryOrTheDeadlineAndAWakeEndsAnyWait) {
  const ListenerResult listener = OpenStreamListener(0);
  ASSERT_GE(listener.fd, 0);
  const Fd owned(listener.fd);
  const StreamEndpoint live = Numeric("127.0.0.1", listener.port);
  EXPECT_EQ(ConnectToFirst({}, 100, DeadlineIn(1000), -1).outcome, ConnectOutcome::kUnreachable);
  Blackhole silent;
  if (!silent.Hangs()) GTEST_SKIP() << "this kernel answers every connection request";
  const StreamEndpoint hole = Numeric("127.0.0.1", silent.Port());
  auto start = steady_clock::now();
  const ConnectResult call = ConnectToFirst({hole, live}, 300, DeadlineIn(10000), -1);
  EXPECT_GE(steady_clock::now() - start, milliseconds(290));
  ASSERT_EQ(call.outcome, ConnectOutcome::kConnected);
  Fd caller(call.fd);
  EXPECT_EQ(EndpointPort(call.endpoint), listener.port);
  // The connected descriptor blocks, as the conversation expects.
  EXPECT_EQ(::fcntl(caller.fd, F_GETFL) & O_NONBLOCK, 0);

  start = steady_clock::now();
  EXPECT_EQ(ConnectToFirst({hole, hole}, 100, DeadlineIn(600), -1).outcome,
            ConnectOutcome::kUnreachable);
  EXPECT_GE(steady_clock::now() - start, milliseconds(590));
  WakeEvent wake;
  ASSERT_TRUE(wake.Valid());
  std::thread waker([&] {
    std::this_thread::sleep_for(milliseconds(200));
    wake.Signal();
  });
  start = steady_clock::now();
  EXPECT_EQ(ConnectToFirst({hole, live}, 60000, DeadlineIn(-1), wake.Fd()).outcome,
            ConnectOutcome::kWoken);
  waker.join();
  EXPECT_LT(steady_clock::now() - start, milliseconds(5000));
}

}  // namespace
