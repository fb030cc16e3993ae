// Feeds arbitrary bytes to a conversation's receive loop as if a partner
// had sent them: headers of any type and length, bodies cut short,
// unterminated names, sign-offs in the middle, private-session messages.
// The first two bytes pick the conversation's key; its lowest bit also
// picks whether private sessions are offered (the stream then goes through
// the negotiation as a partner's would). The loop must end at the end of the stream without a
// crash or a leak, having said it ended.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/chat/conversation.h"
#include "core/crypto/crypto_init.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  if (!InitCrypto()) std::abort();
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) std::abort();
  // The whole stream fits the socket's buffer for libFuzzer's input sizes;
  // bigger inputs are cut to what the buffer takes.
  const int buffer = 1 << 20;
  ::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  fuzz::SendAll(ends[1], data + 2, size - 2, MSG_DONTWAIT);
  ::shutdown(ends[1], SHUT_WR);

  fuzz::NullReporter reporter(true);
  bool ended = false;
  {
    ConversationSetup setup;
    setup.own_name = "Fuzz";
    setup.peer_name = "Peer";
    setup.key = static_cast<uint16_t>(data[0] | (data[1] << 8));
    setup.body_timeout_ms = 1000;
    setup.audio_enabled = [] { return true; };
    setup.play_sound = [] {};
    setup.ended = [&ended](const Conversation*, ConversationEnd) { ended = true; };
    // As the receiver thread would; the conversation owns ends[0] and
    // closes it when it goes.
    const PrivateMode mode = (data[0] & 1) != 0 ? PrivateMode::kPrefer : PrivateMode::kOff;
    auto channel =
        std::make_unique<PrivateChannel>(ChannelRole::kHost, mode, setup.key, "", setup.own_name);
    Conversation talk(reporter, std::move(setup), ends[0], std::move(channel));
    talk.ReceiveLoop();
  }
  if (!ended) std::abort();
  ::close(ends[1]);
  return 0;
}
