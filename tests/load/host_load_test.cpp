// A hosting engine under a storm of callers while a conversation runs on
// it: a thousand callers in ten seconds, a quarter each of silent ones, ones
// that close at once, ones announcing 4 GiB bodies and well-behaved callers
// that must be told the line is busy. The conversation must lose no line,
// the host must keep answering and its memory, threads and descriptors must
// come back to where they were.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/chat/chat_test_support.h"

namespace {

using chat_test::ChatEnd;
using chat_test::FreePort;
using chat_test::RawCaller;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

constexpr int kCallers = 1000;
constexpr auto kStorm = std::chrono::seconds(10);
// A silent caller holds its connection this long before giving up.
constexpr auto kSilentHold = std::chrono::milliseconds(700);
// Every caller gives up after this long in all.
constexpr auto kCallerLimit = std::chrono::seconds(15);

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == "VmRSS:") {
      long kb = 0;
      status >> kb;
      return kb;
    }
  }
  return -1;
}

int CountEntries(const char* directory) {
  DIR* dir = ::opendir(directory);
  if (dir == nullptr) return -1;
  int n = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++n;
  }
  ::closedir(dir);
  return n;
}

enum class Kind { Silent, CloseAtOnce, HugeBody, Busy };

// One caller of the storm, driven by the caller pool without blocking.
struct Caller {
  Kind kind = Kind::Silent;
  int fd = -1;
  bool connected = false;
  Clock::time_point started;
  std::string received;
};

struct StormResult {
  int started = 0;
  int connect_failures = 0;
  int busy_answered = 0;  // busy callers that read a complete MSG_BUSY reply
  int busy_total = 0;
  int bad_replies = 0;  // replies other than a complete MSG_BUSY
  // Callers still waiting at their limit: the host signs callers on one at
  // a time, so a silent caller at the head of the queue holds the rest.
  int unfinished = 0;
  int unfinished_by_kind[4] = {0, 0, 0, 0};
};

// Starts the callers at an even pace over kStorm, one thread, poll-driven.
class CallerPool {
 public:
  CallerPool(int port, std::string host_name) : port_(port), host_name_(std::move(host_name)) {}

  StormResult Run() {
    const Clock::time_point begin = Clock::now();
    const auto spacing = kStorm / kCallers;
    while (result_.started < kCallers || !callers_.empty()) {
      const Clock::time_point now = Clock::now();
      while (result_.started < kCallers && now >= begin + spacing * result_.started) {
        Start(static_cast<Kind>(result_.started % 4));
      }
      Step(now);
      Poll(5);
    }
    return result_;
  }

 private:
  void Start(Kind kind) {
    ++result_.started;
    if (kind == Kind::Busy) ++result_.busy_total;
    Caller caller;
    caller.kind = kind;
    caller.started = Clock::now();
    caller.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int r = ::connect(caller.fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (r != 0 && errno != EINPROGRESS) {
      ++result_.connect_failures;
      ::close(caller.fd);
      return;
    }
    callers_.push_back(caller);
  }

  // Moves each caller on by what its kind does at this moment; drops the
  // ones that are done.
  void Step(Clock::time_point now) {
    for (Caller& c : callers_) {
      if (c.fd < 0) continue;
      if (c.kind == Kind::Silent && now - c.started > kSilentHold) {
        Finish(&c, false);  // connected or still waiting for the host
        continue;
      }
      if (!c.connected) {
        if (!Writable(c.fd)) {
          if (now - c.started > kCallerLimit) Finish(&c, true);
          continue;
        }
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
          ++result_.connect_failures;
          Finish(&c, false);
          continue;
        }
        c.connected = true;
        OnConnected(&c);
        if (c.fd < 0) continue;
      }
      Drain(&c);
      if (c.fd < 0) continue;
      if (now - c.started > kCallerLimit) Finish(&c, true);
    }
    callers_.erase(
        std::remove_if(callers_.begin(), callers_.end(), [](const Caller& c) { return c.fd < 0; }),
        callers_.end());
  }

  void OnConnected(Caller* c) {
    switch (c->kind) {
      case Kind::CloseAtOnce:
        Finish(c, false);
        break;
      case Kind::HugeBody: {
        MessageHeader header("Flood", MSG_SAY, 0xFFFFFFFFu);
        ::send(c->fd, header.Data(), MessageHeader::kSize, MSG_NOSIGNAL);
        ::send(c->fd, "xxxxxxxxxxxxxxxx", 16, MSG_NOSIGNAL);
        break;
      }
      case Kind::Busy: {
        MessageHeader header("Caller", MSG_CONNECT, 0);
        ::send(c->fd, header.Data(), MessageHeader::kSize, MSG_NOSIGNAL);
        break;
      }
      case Kind::Silent:
        break;
    }
  }

  // Reads whatever the host sent; at the end of the stream the caller is
  // done, and a busy caller checks it was told the line is busy.
  void Drain(Caller* c) {
    char buffer[512];
    for (;;) {
      const ssize_t n = ::recv(c->fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        c->received.append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      // Whatever a storm caller is told, it is never welcomed onto the line.
      if (!c->received.empty() && !IsBusyReply(c->received)) ++result_.bad_replies;
      if (c->kind == Kind::Busy && IsBusyReply(c->received)) ++result_.busy_answered;
      Finish(c, false);
      return;
    }
  }

  bool IsBusyReply(const std::string& bytes) const {
    if (bytes.size() < MessageHeader::kSize) return false;
    MessageHeader header;
    std::copy(bytes.begin(), bytes.begin() + MessageHeader::kSize, header.Data());
    return header.Type() == MSG_BUSY && header.SenderName() == host_name_ &&
           bytes.size() == MessageHeader::kSize + header.BodyLength();
  }

  void Finish(Caller* c, bool unfinished) {
    if (unfinished) {
      ++result_.unfinished;
      ++result_.unfinished_by_kind[static_cast<int>(c->kind)];
    }
    ::close(c->fd);
    c->fd = -1;
  }

  static bool Writable(int fd) {
    pollfd p{fd, POLLOUT, 0};
    return ::poll(&p, 1, 0) == 1;
  }

  void Poll(int milliseconds) {
    std::vector<pollfd> waits;
    for (const Caller& c : callers_) {
      if (c.fd >= 0) waits.push_back({c.fd, static_cast<short>(c.connected ? POLLIN : POLLOUT), 0});
    }
    if (waits.empty()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    } else {
      ::poll(waits.data(), waits.size(), milliseconds);
    }
  }

  int port_;
  std::string host_name_;
  std::vector<Caller> callers_;
  StormResult result_;
};

std::string Said(const std::string& name, const std::string& text) {
  return name + " Says>\n" + text + "\n\n";
}

TEST(HostLoadTest, ConversationSurvivesAThousandCallersInTenSeconds) {
  const int port = FreePort();
  ChatEnd host("Hostess");
  ChatEnd guest("Guest");
  ASSERT_TRUE(host.Host(port)) << host.reporter.Conversation();
  ASSERT_EQ(guest.Connect(port), 0) << guest.reporter.Events();
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));

  // Warm up (first lines, first busy caller) before taking the baseline.
  ASSERT_TRUE(host.Send("warm up"));
  ASSERT_TRUE(guest.reporter.WaitForConversation(Said("Hostess", "warm up")));
  {
    RawCaller early(port);
    ASSERT_TRUE(early.SendHeader("Early", MSG_CONNECT, 0));
    MessageHeader reply;
    std::string body;
    ASSERT_TRUE(early.ReceiveMessage(&reply, &body));
  }
  const long rss_before = ResidentKilobytes();
  const int fds_before = CountEntries("/proc/self/fd");
  const int threads_before = CountEntries("/proc/self/task");

  StormResult storm;
  std::thread storm_thread([&] { storm = CallerPool(port, "Hostess").Run(); });

  // The conversation goes on, both ways, all through the storm; each send
  // runs on this thread, as the GUI thread's would, and must stay quick.
  int sent = 0;
  Clock::duration slowest_send{};
  const Clock::time_point begin = Clock::now();
  while (Clock::now() - begin < kStorm) {
    const std::string number = std::to_string(sent);
    const Clock::time_point before = Clock::now();
    ASSERT_TRUE(host.Send("host line " + number + " caf\xe9"));
    ASSERT_TRUE(guest.Send("guest line " + number + "\nsecond half"));
    slowest_send = std::max(slowest_send, Clock::now() - before);
    ++sent;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  storm_thread.join();

  // Every line arrived, once, in order.
  ASSERT_TRUE(guest.reporter.WaitForConversation(
      Said("Hostess", "host line " + std::to_string(sent - 1) + " caf\xe9")));
  ASSERT_TRUE(host.reporter.WaitForConversation(
      Said("Guest", "guest line " + std::to_string(sent - 1) + "\nsecond half")));
  const std::string at_guest = guest.reporter.Conversation();
  const std::string at_host = host.reporter.Conversation();
  size_t guest_at = 0, host_at = 0;
  for (int i = 0; i < sent; ++i) {
    const std::string n = std::to_string(i);
    const size_t g = at_guest.find(Said("Hostess", "host line " + n + " caf\xe9"), guest_at);
    const size_t h = at_host.find(Said("Guest", "guest line " + n + "\nsecond half"), host_at);
    ASSERT_NE(g, std::string::npos) << "host line " << i << " lost or out of order";
    ASSERT_NE(h, std::string::npos) << "guest line " << i << " lost or out of order";
    guest_at = g + 1;
    host_at = h + 1;
  }
  EXPECT_EQ(RecordingReporter::Count(at_guest, "Hostess Says>\n"), sent + 1);
  EXPECT_EQ(RecordingReporter::Count(at_host, "Guest Says>\n"), sent);
  EXPECT_EQ(host.session.State(), SessionState::kHostingBusy);
  EXPECT_EQ(guest.session.State(), SessionState::kConnectedAsClient);
  EXPECT_EQ(host.session.PeerName(), "Guest");

  // The host still answers: a caller after the storm is told the line is
  // busy within a few seconds. A call whose opening packet met the
  // listener's queue still full from the storm can be dropped by the kernel
  // and retried by it only seconds later - the kernel's doing, not the
  // host's - so such a call is made again, three times at most.
  // Callers the storm left in the listen queue are worked off first; the
  // call is made once the host's report has been quiet for a second (at
  // most 60 s).
  size_t reported = 0;
  const Clock::time_point settle = Clock::now();
  while (Clock::now() - settle < std::chrono::seconds(60)) {
    reported = host.reporter.Conversation().size();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    if (host.reporter.Conversation().size() == reported) break;
  }
  Clock::duration answer_time{};
  bool answered = false;
  for (int attempt = 0; attempt < 3 && !answered; ++attempt) {
    const Clock::time_point asked = Clock::now();
    RawCaller late(port);
    MessageHeader reply;
    std::string body;
    answered = late.SendHeader("Late", MSG_CONNECT, 0) && late.ReceiveMessage(&reply, &body);
    answer_time = Clock::now() - asked;
    if (answered) {
      EXPECT_EQ(reply.Type(), static_cast<uint32_t>(MSG_BUSY));
      EXPECT_TRUE(late.ClosedByPeer());
    }
  }
  ASSERT_TRUE(answered) << "no caller after the storm was answered";
  EXPECT_LT(answer_time, std::chrono::seconds(3));

  // Memory, threads and descriptors are back where they were.
  const long rss_after = ResidentKilobytes();
  const int fds_after = CountEntries("/proc/self/fd");
  const int threads_after = CountEntries("/proc/self/task");
  // AddressSanitizer keeps freed memory in quarantine, so resident memory
  // says nothing there; its leak check at exit stands in for this one.
  if (!kUnderAddressSanitizer) {
    EXPECT_LT(rss_after - rss_before, 16 * 1024) << "resident memory grew by kB";
  }
  EXPECT_LE(fds_after, fds_before);
  EXPECT_EQ(threads_after, threads_before);

  EXPECT_EQ(storm.started, kCallers);
  EXPECT_EQ(storm.bad_replies, 0);
  EXPECT_GT(storm.busy_answered, 0);
  EXPECT_LT(slowest_send, std::chrono::milliseconds(250));

  std::printf(
      "storm: %d callers, %d connect failures, %d bad replies, %d of %d busy callers answered,"
      " %d unfinished"
      " (silent %d, closing %d, huge %d, busy %d)\n"
      "conversation: %d lines each way, slowest send %.1f ms; late caller answered in %.1f ms\n"
      "resident memory %ld kB -> %ld kB; descriptors %d -> %d; threads %d -> %d\n",
      storm.started, storm.connect_failures, storm.bad_replies, storm.busy_answered,
      storm.busy_total, storm.unfinished, storm.unfinished_by_kind[0], storm.unfinished_by_kind[1],
      storm.unfinished_by_kind[2], storm.unfinished_by_kind[3], sent,
      std::chrono::duration<double, std::milli>(slowest_send).count(),
      std::chrono::duration<double, std::milli>(answer_time).count(), rss_before, rss_after,
      fds_before, fds_after, threads_before, threads_after);
}

}  // namespace
