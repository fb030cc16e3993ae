// Answers a session's sign-on from a loopback listener with arbitrary
// bytes: a reply header of any type and length, a greeting cut short or
// without an end, and whatever follows for the conversation a welcome
// starts. The connect must end and every worker stop when the session closes.
#include <sys/time.h>

#include <chrono>
#include <thread>

#include "core/chat/message_header.h"
#include "core/chat/session.h"
#include "fuzz/fuzz_support.h"
#include "support/loopback_port.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int listener = qtest::BoundSocket();
  static const bool listening = listener >= 0 && ::listen(listener, 4) == 0;
  if (!listening) std::abort();
  // The host: takes the caller, reads its sign-on, replies, and waits
  // (bounded) until the caller closes.
  std::thread host([data, size] {
    const int caller = ::accept(listener, nullptr, nullptr);
    if (caller < 0) std::abort();
    const timeval limit{5, 0};
    ::setsockopt(caller, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(caller, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    char scrap[256];
    for (size_t got = 0; got < MessageHeader::kSize;) {
      const ssize_t n = ::recv(caller, scrap, MessageHeader::kSize - got, 0);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    fuzz::SendAll(caller, data, size, 0);
    ::shutdown(caller, SHUT_WR);
    while (::recv(caller, scrap, sizeof scrap, 0) > 0) {
    }
    ::close(caller);
  });
  fuzz::NullReporter reporter(false);
  {
    ChatSession session(reporter);
    SessionSnapshot snapshot;
    snapshot.screen_name = "Fuzz";
    snapshot.port = qtest::LocalPort(listener);
    snapshot.body_timeout_ms = 1000;
    if (!session.Connect("127.0.0.1", snapshot)) std::abort();
    while (session.State() == SessionState::kConnecting) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!session.JoinConnect() && session.LineBusy()) std::abort();
    session.Close();  // ends the conversation a welcome started
  }
  host.join();
  return 0;
}
