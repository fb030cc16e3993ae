// Chat lines over loopback between two engines in one process: latency from
// Send on the guest to the host's report (median, 99th percentile) and lines
// per second, short and long, basic and private; each as a ratio to the
// same-sized frame over plain loopback TCP measured just before (the machine
// is shared), private also to basic. Then Connect to the caller's "Private
// session" line, beside a connect with private sessions off.

#include <sys/time.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_timing.h"
#include "core/chat/session.h"
#include "core/crypto/crypto_init.h"
#include "core/util/reporter.h"
#include "support/loopback_port.h"

namespace {

using bench::Clock;
using bench::Micros;

// Counts the chat lines, greetings and private-session lines shown and notes
// when the last of each arrived, on the reporting thread: a line's latency
// ends at its report, not at the waiting sender's wake-up, which plain TCP's
// figure has no counterpart of.
class CountingReporter : public Reporter {
 public:
  enum Kind { kLine, kGreeting, kPrivate, kKinds };

  void ConversationLine(const std::string& text) override {
    const Clock::time_point now = Clock::now();
    const Kind kind = text.find("Welcome to the ") != std::string::npos ? kGreeting
                      : text.rfind("Private session with ", 0) == 0     ? kPrivate
                      : text.find(" Says>\n") != std::string::npos      ? kLine
                                                                        : kKinds;
    if (kind == kKinds) return;
    std::lock_guard<std::mutex> guard(lock_);
    ++count_[kind];
    last_[kind] = now;
    changed_.notify_all();
  }
  void EventLine(const std::string&) override {}
  void StatusText(const std::string&) override {}
  void ProgramMessage(const std::string&, const std::string&, const std::string&) override {}
  void PlayActivitySound() override {}
  bool MainFrameMinimised() override { return false; }

  // Waits (30 s at most) until `count` of a kind were shown; *at: the last.
  bool WaitFor(Kind kind, long count, Clock::time_point* at = nullptr) {
    std::unique_lock<std::mutex> guard(lock_);
    const bool done =
        changed_.wait_for(guard, std::chrono::seconds(30), [&] { return count_[kind] >= count; });
    if (done && at != nullptr) *at = last_[kind];
    return done;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  long count_[kKinds] = {};
  Clock::time_point last_[kKinds];
};

bool Connect(ChatSession& guest, const SessionSnapshot& snapshot) {
  if (!guest.Connect("127.0.0.1", snapshot)) return false;
  while (guest.State() == SessionState::kConnecting) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return guest.JoinConnect();
}

SessionSnapshot Snapshot(const char* name, int port, PrivateMode mode) {
  SessionSnapshot snapshot;
  snapshot.screen_name = name;
  snapshot.audio = false;
  snapshot.port = port;
  snapshot.private_mode = mode;
  return snapshot;
}

// Sends or receives a whole frame; false when the peer went or 5 s passed.
bool Move(int fd, char* data, size_t size, bool out) {
  for (size_t done = 0; done < size;) {
    const ssize_t n = out ? send(fd, data + done, size - done, MSG_NOSIGNAL)
                          : recv(fd, data + done, size - done, 0);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Median of half the round trip of `rounds` frames over plain loopback TCP,
// in microseconds; negative when a frame was lost.
double TcpOneWay(size_t size, int rounds) {
  const int listener = qtest::BoundSocket();
  if (listener < 0 || listen(listener, 1) != 0) return -1;
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = qtest::LoopbackAddress(qtest::LocalPort(listener));
  const bool connected =
      connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  const int server = connected ? accept(listener, nullptr, nullptr) : -1;
  close(listener);
  const timeval limit{5, 0};
  for (int fd : {client, server}) {
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  }
  std::thread echo([server, size] {
    std::vector<char> frame(size);
    while (Move(server, frame.data(), size, false) && Move(server, frame.data(), size, true)) {
    }
  });
  std::vector<char> frame(size, 'x');
  std::vector<double> one_way;
  for (int i = 0; i < rounds && server >= 0; ++i) {
    const Clock::time_point sent = Clock::now();
    if (!Move(client, frame.data(), size, true) || !Move(client, frame.data(), size, false)) break;
    one_way.push_back(Micros(sent) / 2);
  }
  shutdown(client, SHUT_RDWR);  // ends the echo's read
  echo.join();
  close(client);
  if (server >= 0) close(server);
  return one_way.size() == static_cast<size_t>(rounds) ? bench::Summarise(one_way).median : -1;
}

// One size of line in one mode; the median latency in microseconds
// (negative: the run failed). basic_median > 0 adds the ratio.
double Measure(const char* label, size_t length, int rounds, int burst, PrivateMode mode,
               double basic_median) {
  // The line's frame on the wire: header and two bytes a character (basic),
  // header, the line and 17 bytes of seal (private).
  const size_t frame = mode == PrivateMode::kOff ? 33 + 2 * length : 33 + length + 17;
  const double tcp = TcpOneWay(frame, rounds);
  std::printf("%-22s TCP %zu-byte frame one way: median %6.1f us\n", label, frame, tcp);

  auto failed = [label] { return std::printf("%s: the run failed\n", label), -1.0; };
  CountingReporter host_reporter, guest_reporter;
  ChatSession host(host_reporter), guest(guest_reporter);
  const int port = qtest::FreePort();
  if (!host.Host(Snapshot("Host", port, mode)) || !Connect(guest, Snapshot("Guest", port, mode)) ||
      (mode != PrivateMode::kOff && !host_reporter.WaitFor(CountingReporter::kPrivate, 1))) {
    return failed();
  }
  std::string line(length, 'x');
  for (size_t i = 0; i < length; ++i) line[i] = static_cast<char>('a' + i % 26);
  std::vector<double> latencies;
  for (int i = 0; i < rounds; ++i) {
    const Clock::time_point sent = Clock::now();
    Clock::time_point arrived;
    guest.Send(line);
    if (!host_reporter.WaitFor(CountingReporter::kLine, i + 1, &arrived)) return failed();
    latencies.push_back(Micros(sent, arrived));
  }
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < burst; ++i) guest.Send(line);
  const bool all = host_reporter.WaitFor(CountingReporter::kLine, rounds + burst);
  const double seconds = bench::Seconds(start);

  const bench::Figures figures = bench::Summarise(latencies);
  std::printf(
      "%-22s latency median %8.1f us (%.2fx TCP)  p99 %8.1f us  (%d lines)   throughput %9.0f "
      "lines/s (%d lines%s)\n",
      label, figures.median, figures.median / tcp, figures.p99, rounds, burst / seconds, burst,
      all ? "" : ", INCOMPLETE");
  if (basic_median > 0) {
    std::printf("%-22s private/basic latency median: %.2fx (target <= 1.2x)\n", label,
                figures.median / basic_median);
  }
  guest.Close();
  host.Close();
  return figures.median;
}

// Calls one host `rounds` times in each mode: the time from Connect to the
// caller's private-session line (private), or to its greeting (off).
void MeasureHandshake(int rounds) {
  for (const auto& [mode, what] : {std::pair{PrivateMode::kOff, "greeting, off   "},
                                   std::pair{PrivateMode::kPrefer, "private session"}}) {
    CountingReporter host_reporter;
    ChatSession host(host_reporter);
    const int port = qtest::FreePort();
    const auto kind =
        mode == PrivateMode::kOff ? CountingReporter::kGreeting : CountingReporter::kPrivate;
    std::vector<double> times;
    const bool hosting = host.Host(Snapshot("Host", port, mode));
    for (int i = 0; hosting && i < rounds; ++i) {
      CountingReporter guest_reporter;
      ChatSession guest(guest_reporter);
      const Clock::time_point start = Clock::now();
      Clock::time_point done;
      if (!Connect(guest, Snapshot("Guest", port, mode)) ||
          !guest_reporter.WaitFor(kind, 1, &done)) {
        break;
      }
      times.push_back(Micros(start, done));
      guest.End(nullptr);
      while (host.State() != SessionState::kHostingFree) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
    host.Close();
    if (times.size() != static_cast<size_t>(rounds)) {
      std::printf("connect to %s: a call failed\n", what);
      continue;
    }
    const bench::Figures f = bench::Summarise(times);
    std::printf("connect to %s median %8.1f us  p99 %8.1f us  (%d calls; target median < 5 ms)\n",
                what, f.median, f.p99, rounds);
  }
}

}  // namespace

int main() {
  if (!InitCrypto()) return std::printf("the crypto library could not be started\n"), 1;
  const double basic_short = Measure("20-byte basic", 20, 2000, 20000, PrivateMode::kOff, 0);
  Measure("20-byte private", 20, 2000, 20000, PrivateMode::kPrefer, basic_short);
  const double basic_long = Measure("4 KiB basic", 4096, 500, 2000, PrivateMode::kOff, 0);
  Measure("4 KiB private", 4096, 500, 2000, PrivateMode::kPrefer, basic_long);
  MeasureHandshake(200);
  return 0;
}
