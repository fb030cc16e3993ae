// Arbitrary bytes to a conversation's receive loop as a partner's stream:
// headers of any type and length, bodies cut short, unterminated names,
// sign-offs midway, private-session messages. The first two bytes pick the
// key; its lowest bit whether private sessions are offered. The loop must
// end at the end of the stream, without a crash or leak, saying it ended.
#include <memory>

#include "core/chat/conversation.h"
#include "core/crypto/crypto_init.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int ends[2];
  if (size < 2) return 0;
  if (!InitCrypto() || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    std::abort();
  }
  // Bigger inputs than the socket's buffer are cut to what it takes.
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
    const PrivateMode mode = (data[0] & 1) != 0 ? PrivateMode::kPrefer : PrivateMode::kOff;
    auto channel =
        std::make_unique<PrivateChannel>(ChannelRole::kHost, mode, setup.key, "", setup.own_name);
    // As the receiver thread would; the conversation owns and closes ends[0].
    Conversation(reporter, std::move(setup), ends[0], std::move(channel)).ReceiveLoop();
  }
  if (!ended) std::abort();
  ::close(ends[1]);
  return 0;
}
