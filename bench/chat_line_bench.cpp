// Chat lines over loopback between two engines in one process: lines per
// second sent back to back, and the latency of one line from Send on
// the guest to its report on the host (median and 99th percentile), for
// short and long lines, with the basic cipher and in a private session.
// Beside each, the same-sized frame over plain loopback TCP (half a
// ping-pong round trip), measured just before in the same run: the machine
// is shared, so the line figure is given as a ratio to it, and the private
// figure also as a ratio to the basic one. Then the private-session
// handshake: from Connect to the caller's "Private session" line, beside a
// connect with private sessions off.

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

#include "core/chat/session.h"
#include "core/crypto/crypto_init.h"
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
    const Clock::time_point now = Clock::now();
    if (text.find("Welcome to the ") != std::string::npos) {
      std::lock_guard<std::mutex> guard(lock_);
      greeted_at_ = now;
      ++greetings_;
      changed_.notify_all();
      return;
    }
    if (text.rfind("Private session with ", 0) == 0) {
      std::lock_guard<std::mutex> guard(lock_);
      private_at_ = now;
      ++privates_;
      changed_.notify_all();
      return;
    }
    if (text.find(" Says>\n") == std::string::npos) return;
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
  // Waits for the first greeting; when it was reported.
  bool WaitForGreeting(Clock::time_point* at) {
    std::unique_lock<std::mutex> guard(lock_);
    if (!changed_.wait_for(guard, std::chrono::seconds(30), [&] { return greetings_ >= 1; })) {
      return false;
    }
    *at = greeted_at_;
    return true;
  }
  // Waits for the count-th private-session line; when it was reported.
  bool WaitForPrivate(long count, Clock::time_point* at) {
    std::unique_lock<std::mutex> guard(lock_);
    if (!changed_.wait_for(guard, std::chrono::seconds(30), [&] { return privates_ >= count; })) {
      return false;
    }
    *at = private_at_;
    return true;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  long lines_ = 0;
  Clock::time_point last_;
  long privates_ = 0;
  Clock::time_point private_at_;
  long greetings_ = 0;
  Clock::time_point greeted_at_;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double P99(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() * 99 / 100];
}

bool Connect(ChatSession& guest, const SessionSnapshot& snapshot) {
  if (!guest.Connect("127.0.0.1", snapshot)) return false;
  while (guest.State() == SessionState::kConnecting) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return guest.JoinConnect();
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

// One size of line in one mode; the median latency in microseconds, or a
// negative figure when the run failed. basic_median > 0 adds the ratio.
double Measure(const char* label, size_t length, int rounds, int burst, PrivateMode mode,
               double basic_median) {
  // The line's frame on the wire: header and two bytes a character (basic),
  // header, the line and 17 bytes of seal (private).
  const size_t frame = mode == PrivateMode::kOff ? 33 + 2 * length : 33 + length + 17;
  const double tcp = TcpPingPong(frame).MedianOneWay(rounds);
  std::printf("%-22s TCP %zu-byte frame one way: median %6.1f us\n", label, frame, tcp);

  CountingReporter host_reporter, guest_reporter;
  ChatSession host(host_reporter), guest(guest_reporter);
  SessionSnapshot host_snapshot, guest_snapshot;
  host_snapshot.screen_name = "Host";
  guest_snapshot.screen_name = "Guest";
  host_snapshot.audio = guest_snapshot.audio = false;
  host_snapshot.port = guest_snapshot.port = qtest::FreePort();
  host_snapshot.private_mode = guest_snapshot.private_mode = mode;
  Clock::time_point settled;
  if (!host.Host(host_snapshot) || !Connect(guest, guest_snapshot) ||
      (mode != PrivateMode::kOff && !host_reporter.WaitForPrivate(1, &settled))) {
    std::printf("%s: could not set up the conversation\n", label);
    return -1;
  }
  std::string line(length, 'x');
  for (size_t i = 0; i < length; ++i) line[i] = static_cast<char>('a' + i % 26);

  std::vector<double> latencies;
  for (int i = 0; i < rounds; ++i) {
    const Clock::time_point sent = Clock::now();
    guest.Send(line);
    if (!host_reporter.WaitFor(i + 1)) break;
    latencies.push_back(
        std::chrono::duration<double, std::micro>(host_reporter.LastArrival() - sent).count());
  }
  if (latencies.size() != static_cast<size_t>(rounds)) {
    std::printf("%s: a line did not arrive within 30 s\n", label);
    return -1;
  }
  std::sort(latencies.begin(), latencies.end());

  const long before = host_reporter.Lines();
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < burst; ++i) guest.Send(line);
  const bool all = host_reporter.WaitFor(before + burst);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

  const double median = latencies[latencies.size() / 2];
  std::printf(
      "%-22s latency median %8.1f us (%.2fx TCP)  p99 %8.1f us  (%d lines)   throughput %9.0f "
      "lines/s (%d lines%s)\n",
      label, median, median / tcp, latencies[latencies.size() * 99 / 100], rounds, burst / seconds,
      burst, all ? "" : ", INCOMPLETE");
  if (basic_median > 0) {
    std::printf("%-22s private/basic latency median: %.2fx (target <= 1.2x)\n", label,
                median / basic_median);
  }
  guest.Close();
  host.Close();
  return median;
}

// Calls one host `rounds` times; for each call, the time from Connect to
// the caller's private-session line (private), or to its greeting (off),
// in microseconds.
std::vector<double> Handshakes(PrivateMode mode, int rounds) {
  CountingReporter host_reporter;
  ChatSession host(host_reporter);
  SessionSnapshot snapshot;
  snapshot.screen_name = "Host";
  snapshot.audio = false;
  snapshot.port = qtest::FreePort();
  snapshot.private_mode = mode;
  std::vector<double> times;
  if (!host.Host(snapshot)) return times;
  snapshot.screen_name = "Guest";
  for (int i = 0; i < rounds; ++i) {
    CountingReporter guest_reporter;
    ChatSession guest(guest_reporter);
    const Clock::time_point start = Clock::now();
    Clock::time_point done;
    if (!Connect(guest, snapshot)) break;
    if (mode == PrivateMode::kOff) {
      if (!guest_reporter.WaitForGreeting(&done)) break;
    } else if (!guest_reporter.WaitForPrivate(1, &done)) {
      break;
    }
    times.push_back(std::chrono::duration<double, std::micro>(done - start).count());
    guest.End(nullptr);
    while (host.State() != SessionState::kHostingFree) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  host.Close();
  return times;
}

void MeasureHandshake(int rounds) {
  const std::vector<double> off = Handshakes(PrivateMode::kOff, rounds);
  const std::vector<double> on = Handshakes(PrivateMode::kPrefer, rounds);
  if (off.size() != static_cast<size_t>(rounds) || on.size() != static_cast<size_t>(rounds)) {
    std::printf("handshake: a call failed\n");
    return;
  }
  std::printf("connect to greeting, off    median %8.1f us  p99 %8.1f us  (%d calls)\n",
              Median(off), P99(off), rounds);
  std::printf(
      "connect to private session median %8.1f us  p99 %8.1f us  (%d calls; target median < "
      "5 ms)\n",
      Median(on), P99(on), rounds);
}

}  // namespace

int main() {
  if (!InitCrypto()) {
    std::printf("the crypto library could not be started\n");
    return 1;
  }
  const double basic_short = Measure("20-byte basic", 20, 2000, 20000, PrivateMode::kOff, 0);
  Measure("20-byte private", 20, 2000, 20000, PrivateMode::kPrefer, basic_short);
  const double basic_long = Measure("4 KiB basic", 4096, 500, 2000, PrivateMode::kOff, 0);
  Measure("4 KiB private", 4096, 500, 2000, PrivateMode::kPrefer, basic_long);
  MeasureHandshake(200);
  return 0;
}
