// Chat lines over loopback between two engines in one process: lines per
// second sent back to back, and the latency of one line from Send on
// the guest to its report on the host (median and 99th percentile), for
// short and long lines.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/chat/session.h"
#include "core/util/reporter.h"
#include "support/loopback_port.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts the chat lines shown and lets the sender wait for a count.
class CountingReporter : public Reporter {
 public:
  void ConversationLine(const std::string& text) override {
    if (text.find(" Says>\n") == std::string::npos) return;
    std::lock_guard<std::mutex> guard(lock_);
    ++lines_;
    changed_.notify_all();
  }
  void EventLine(const std::string&) override {}
  void StatusText(const std::string&) override {}
  void ProgramMessage(const std::string&, const std::string&, const std::string&) override {}
  void PlayActivitySound() override {}
  bool MainFrameMinimised() override { return false; }

  bool WaitFor(long count) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(30), [&] { return lines_ >= count; });
  }
  long Lines() {
    std::lock_guard<std::mutex> guard(lock_);
    return lines_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  long lines_ = 0;
};

bool Connect(ChatSession& guest, const SessionSnapshot& snapshot) {
  if (!guest.Connect("127.0.0.1", snapshot)) return false;
  while (guest.State() == SessionState::kConnecting) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return guest.JoinConnect();
}

void Measure(const char* label, size_t length, int rounds, int burst) {
  CountingReporter host_reporter, guest_reporter;
  ChatSession host(host_reporter), guest(guest_reporter);
  SessionSnapshot host_snapshot, guest_snapshot;
  host_snapshot.screen_name = "Host";
  guest_snapshot.screen_name = "Guest";
  host_snapshot.audio = guest_snapshot.audio = false;
  host_snapshot.port = guest_snapshot.port = qtest::FreePort();
  if (!host.Host(host_snapshot) || !Connect(guest, guest_snapshot)) {
    std::printf("%s: could not set up the conversation\n", label);
    return;
  }
  std::string line(length, 'x');
  for (size_t i = 0; i < length; ++i) line[i] = static_cast<char>('a' + i % 26);

  std::vector<double> latencies;
  for (int i = 0; i < rounds; ++i) {
    const Clock::time_point sent = Clock::now();
    guest.Send(line);
    host_reporter.WaitFor(i + 1);
    latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
  }
  std::sort(latencies.begin(), latencies.end());

  const long before = host_reporter.Lines();
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < burst; ++i) guest.Send(line);
  const bool all = host_reporter.WaitFor(before + burst);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

  std::printf(
      "%-14s latency median %8.1f us  p99 %8.1f us  (%d lines)   throughput %9.0f lines/s "
      "(%d lines%s)\n",
      label, latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100], rounds,
      burst / seconds, burst, all ? "" : ", INCOMPLETE");
  guest.Close();
  host.Close();
}

}  // namespace

int main() {
  Measure("20-byte lines", 20, 2000, 20000);
  Measure("4 KiB lines", 4096, 500, 2000);
  return 0;
}
