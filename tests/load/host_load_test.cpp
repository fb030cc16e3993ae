// A hosting engine under a storm of callers while a conversation runs on
// it: a thousand callers in ten seconds, a quarter each of silent ones, ones
// that close at once, ones announcing 4 GiB bodies and well-behaved callers
// that must be told the line is busy. The conversation must lose no line,
// the host must keep answering, and its threads and descriptors must come
// back to where they were.

#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/chat/chat_test_support.h"

namespace {

using chat_test::ChatEnd;
using chat_test::RawCaller;
using chat_test::Said;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int kCallers = 1000;
constexpr auto kStorm = seconds(10);

enum Kind { kSilent, kCloseAtOnce, kHugeBody, kBusy };

// Starts the callers at an even pace over kStorm, from one thread. Once
// connected, a caller does what its kind does; a silent caller gives up
// after 0.7 s, any other after 15 s. Counts first replies other than
// MSG_BUSY from the host, and busy callers so answered.
struct Storm {
  struct Caller {
    int fd;
    Kind kind;
    Clock::time_point started;
    bool spoke;
  };

  void Run(int port) {
    std::vector<Caller> callers;
    const Clock::time_point begin = Clock::now();
    for (int started = 0; started < kCallers || !callers.empty();) {
      const Clock::time_point now = Clock::now();
      for (; started < kCallers && now >= begin + kStorm / kCallers * started; ++started) {
        const int fd = chat_test::ConnectLoopback(port, SOCK_NONBLOCK);
        callers.push_back({fd, static_cast<Kind>(started % 4), now, false});
      }
      std::vector<pollfd> waits;
      for (const Caller& c : callers) {
        waits.push_back({c.fd, static_cast<short>(c.spoke ? POLLIN : POLLOUT), 0});
      }
      ::poll(waits.data(), waits.size(), 5);
      for (size_t i = 0; i < callers.size(); ++i) {
        Caller& c = callers[i];
        bool done = now - c.started > (c.kind == kSilent ? milliseconds(700) : seconds(15));
        if (!done && waits[i].revents != 0) {
          done = c.spoke ? Hear(c) : Speak(c);
          c.spoke = true;
        }
        if (done) ::close(c.fd), c.fd = -1;
      }
      callers.erase(
          std::remove_if(callers.begin(), callers.end(), [](const Caller& c) { return c.fd < 0; }),
          callers.end());
    }
  }
  static bool Speak(const Caller& c) {
    if (c.kind == kSilent || c.kind == kCloseAtOnce) return c.kind == kCloseAtOnce;
    const MessageHeader header = c.kind == kBusy ? MessageHeader("Caller", MSG_CONNECT, 0)
                                                 : MessageHeader("Flood", MSG_SAY, 0xFFFFFFFFu);
    chat_test::SendAll(c.fd, chat_test::Bytes(header, c.kind == kHugeBody ? "xxxxxxxx" : ""));
    return false;
  }
  bool Hear(const Caller& c) {
    MessageHeader header;
    const ssize_t n = ::recv(c.fd, header.Data(), MessageHeader::kSize, 0);
    const bool busy = n == static_cast<ssize_t>(MessageHeader::kSize) &&
                      header.Type() == MSG_BUSY && header.SenderName() == "Hostess";
    bad_replies += n > 0 && !busy;
    busy_answered += c.kind == kBusy && busy;
    return true;
  }

  int bad_replies = 0;
  int busy_answered = 0;
};

TEST(HostLoadTest, ConversationSurvivesAThousandCallersInTenSeconds) {
  const int port = chat_test::FreePort();
  ChatEnd host("Hostess");
  ChatEnd guest("Guest");
  ASSERT_TRUE(host.Host(port)) << host.reporter.Conversation();
  ASSERT_EQ(guest.Connect(port), 0) << guest.reporter.Events();
  ASSERT_TRUE(host.WaitState(SessionState::kHostingBusy));
  // Warm up (first lines, first busy caller) before taking the baseline.
  ASSERT_TRUE(host.Send("warm up"));
  ASSERT_TRUE(guest.reporter.WaitForConversation(Said("Hostess", "warm up")));
  ASSERT_EQ(RawCaller(port).SignOn("Early"), static_cast<uint32_t>(MSG_BUSY));
  const int fds_before = chat_test::CountEntries("fd");
  const int threads_before = chat_test::CountEntries("task");

  Storm storm;
  std::thread storm_thread([&] { storm.Run(port); });
  // The conversation goes on both ways all through the storm, and every
  // line arrives once (their order is SessionWireTest's concern).
  int sent = 0;
  for (const Clock::time_point begin = Clock::now(); Clock::now() - begin < kStorm; ++sent) {
    ASSERT_TRUE(host.Send("from host " + std::to_string(sent)));
    ASSERT_TRUE(guest.Send("from guest\n" + std::to_string(sent)));
    std::this_thread::sleep_for(milliseconds(20));
  }
  storm_thread.join();
  ASSERT_TRUE(
      guest.reporter.WaitForConversation(Said("Hostess", "from host " + std::to_string(sent - 1))));
  ASSERT_TRUE(
      host.reporter.WaitForConversation(Said("Guest", "from guest\n" + std::to_string(sent - 1))));
  EXPECT_EQ(RecordingReporter::Count(guest.reporter.Conversation(), "Hostess Says>\n"), sent + 1);
  EXPECT_EQ(RecordingReporter::Count(host.reporter.Conversation(), "Guest Says>\n"), sent);

  // The host still answers: a caller after the storm is told the line is
  // busy once the callers left in the listen queue are worked off.
  EXPECT_TRUE(qtest::WaitUntil(
      [&] {
        RawCaller late(port);
        return late.SignOn("Late") == static_cast<uint32_t>(MSG_BUSY) && late.ClosedByPeer();
      },
      seconds(60)));
  EXPECT_LE(chat_test::CountEntries("fd"), fds_before);
  EXPECT_EQ(chat_test::CountEntries("task"), threads_before);
  EXPECT_EQ(storm.bad_replies, 0);
  EXPECT_GT(storm.busy_answered, 0);
}

}  // namespace
