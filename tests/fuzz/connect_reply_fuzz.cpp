// Answers a session's sign-on with arbitrary bytes from a loopback
// listener: a reply header of any type and length, a greeting cut short or
// without an end, and whatever follows for the conversation that a welcome
// starts. The connect must end (connected or not) and every worker must
// stop when the session is closed.
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "core/chat/message_header.h"
#include "core/chat/session.h"
#include "fuzz/fuzz_support.h"
#include "support/loopback_port.h"

namespace {

// Takes one caller, reads its sign-on, sends the reply bytes, and waits
// (bounded) until the caller closes.
void Answer(int listener, const uint8_t* data, size_t size) {
  const int caller = ::accept(listener, nullptr, nullptr);
  if (caller < 0) std::abort();
  const timeval limit{5, 0};
  ::setsockopt(caller, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(caller, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  unsigned char signon[MessageHeader::kSize];
  size_t got = 0;
  while (got < sizeof signon) {
    const ssize_t n = ::recv(caller, signon + got, sizeof signon - got, 0);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  fuzz::SendAll(caller, data, size, 0);
  ::shutdown(caller, SHUT_WR);
  char scrap[256];
  while (::recv(caller, scrap, sizeof scrap, 0) > 0) {
  }
  ::close(caller);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The host's side: one listener on a loopback port for the whole run.
  static const int listener = qtest::BoundSocket();
  static const int port = qtest::LocalPort(listener);
  static const bool listening = listener >= 0 && ::listen(listener, 4) == 0;
  if (!listening) std::abort();
  std::thread host(Answer, listener, data, size);

  fuzz::NullReporter reporter(false);
  {
    ChatSession session(reporter);
    SessionSnapshot snapshot;
    snapshot.screen_name = "Fuzz";
    snapshot.port = port;
    snapshot.body_timeout_ms = 1000;
    if (!session.Connect("127.0.0.1", snapshot)) std::abort();
    while (session.State() == SessionState::kConnecting) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const bool connected = session.JoinConnect();
    if (!connected && session.LineBusy()) std::abort();
    // Closes the conversation a welcome started; every worker is joined.
    session.Close();
  }
  host.join();
  return 0;
}
