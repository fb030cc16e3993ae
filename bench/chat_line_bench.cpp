// Chat lines over loopback between two engines in one process: lines per
// second sent back to back, and the latency of one line from SendChatLine on
// the guest to its report on the host (median and 99th percentile), for
// short and long lines. Beside each, the same-sized frame over plain loopback
// TCP (half a ping-pong round trip), measured just before in the same run: the
// machine is shared, so the line figure is given as a ratio to it.

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
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

#include "core/chat/chat_engine.h"
#include "core/settings/program_settings.h"
#include "core/thread/thread.h"
#include "core/util/reporter.h"
#include "support/loopback_port.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts the chat lines shown, notes when the last one arrived, and lets
// the sender wait for a count. The arrival time is taken on the reporting
// thread, so a line's latency ends at its report and does not include the
// waiting sender being woken, which plain TCP's figure has no counterpart of.
class CountingReporter : public Reporter {
 public:
  void ConversationLine(const std::string& text) override {
    if (text.find(" Says>\n") == std::string::npos) return;
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> guard(lock_);
    ++lines_;
    last_ = now;
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
  Clock::time_point LastArrival() {
    std::lock_guard<std::mutex> guard(lock_);
    return last_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  long lines_ = 0;
  Clock::time_point last_;
};

bool Connect(ProgramSettings& guest, Reporter& reporter, int port) {
  guest.ConnectAddress = "127.0.0.1";
  guest.QuilloPortNumber = port;
  Thread* thread = StartClientConnection(guest, reporter);
  if (thread == nullptr) return false;
  while (thread->State() != ThreadState::EXITED) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const bool up = thread->ExitValue() == 0;
  guest.ClientConnectTask.DestroyThread(thread, true);
  return up;
}

// Loopback TCP with nothing of Quillo on it. Every call is bounded by a
// receive timeout so a lost peer ends the run instead of hanging it.
class TcpPingPong {
 public:
  explicit TcpPingPong(size_t frame) : frame_(frame) {}

  // Median of half the round trip of `rounds` frames, in microseconds; a
  // negative figure when the sockets could not be set up or a frame was lost.
  double MedianOneWay(int rounds) {
    const int listener = qtest::BoundSocket();
    if (listener < 0 || listen(listener, 1) != 0) return -1;
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(qtest::LocalPort(listener)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      close(client);
      close(listener);
      return -1;
    }
    const int server = accept(listener, nullptr, nullptr);
    close(listener);
    Bound(client);
    Bound(server);
    std::thread echo([this, server] {
      std::vector<char> frame(frame_);
      while (ReadAll(server, frame.data()) && WriteAll(server, frame.data())) {
      }
    });
    std::vector<char> frame(frame_, 'x');
    std::vector<double> one_way;
    for (int i = 0; i < rounds; ++i) {
      const Clock::time_point sent = Clock::now();
      if (!WriteAll(client, frame.data()) || !ReadAll(client, frame.data())) break;
      one_way.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count() / 2);
    }
    shutdown(client, SHUT_RDWR);  // ends the echo's read
    echo.join();
    close(client);
    close(server);
    if (one_way.size() != static_cast<size_t>(rounds)) return -1;
    std::sort(one_way.begin(), one_way.end());
    return one_way[one_way.size() / 2];
  }

 private:
  static void Bound(int fd) {
    timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  }
  bool ReadAll(int fd, char* data) const {
    for (size_t done = 0; done < frame_;) {
      const ssize_t n = recv(fd, data + done, frame_ - done, 0);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  bool WriteAll(int fd, const char* data) const {
    for (size_t done = 0; done < frame_;) {
      const ssize_t n = send(fd, data + done, frame_ - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  const size_t frame_;
};

void Measure(const char* label, size_t length, int rounds, int burst) {
  // The line's frame on the wire: header and two bytes a character.
  const size_t frame = 33 + 2 * length;
  const double tcp = TcpPingPong(frame).MedianOneWay(rounds);
  std::printf("%-14s TCP %zu-byte frame one way: median %6.1f us\n", label, frame, tcp);

  ProgramSettings host, guest;
  host.ScreenName = "Host";
  guest.ScreenName = "Guest";
  host.EnableAudio = guest.EnableAudio = 0;
  CountingReporter host_reporter, guest_reporter;
  const int port = qtest::FreePort();
  host.QuilloPortNumber = port;
  OpenHostSession(host, host_reporter);
  if (host.Hosting.load() != 1 || !Connect(guest, guest_reporter, port)) {
    std::printf("%s: could not set up the conversation\n", label);
    StopChatWorkers(guest);
    StopChatWorkers(host);
    return;
  }
  std::string line(length, 'x');
  for (size_t i = 0; i < length; ++i) line[i] = static_cast<char>('a' + i % 26);

  std::vector<double> latencies;
  for (int i = 0; i < rounds; ++i) {
    const Clock::time_point sent = Clock::now();
    SendChatLine(guest, guest_reporter, line);
    if (!host_reporter.WaitFor(i + 1)) break;
    latencies.push_back(
        std::chrono::duration<double, std::micro>(host_reporter.LastArrival() - sent).count());
  }
  if (latencies.size() != static_cast<size_t>(rounds)) {
    std::printf("%s: a line did not arrive within 30 s\n", label);
    StopChatWorkers(guest);
    StopChatWorkers(host);
    return;
  }
  std::sort(latencies.begin(), latencies.end());

  const long before = host_reporter.Lines();
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < burst; ++i) SendChatLine(guest, guest_reporter, line);
  const bool all = host_reporter.WaitFor(before + burst);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

  const double median = latencies[latencies.size() / 2];
  std::printf(
      "%-14s latency median %8.1f us (%.2fx TCP)  p99 %8.1f us  (%d lines)   throughput %9.0f "
      "lines/s (%d lines%s)\n",
      label, median, median / tcp, latencies[latencies.size() * 99 / 100], rounds, burst / seconds,
      burst, all ? "" : ", INCOMPLETE");
  StopChatWorkers(guest);
  StopChatWorkers(host);
}

}  // namespace

int main() {
  Measure("20-byte lines", 20, 2000, 20000);
  Measure("4 KiB lines", 4096, 500, 2000);
  return 0;
}
