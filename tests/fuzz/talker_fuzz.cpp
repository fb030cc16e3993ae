// Feeds arbitrary bytes to the talker as if a peer had sent them: headers
// of any type and length, bodies cut short, unterminated names, sign-offs
// in the middle. The first two bytes pick the conversation's key. The
// talker must end at the end of the stream without a crash or a leak.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/chat/talker_task.h"
#include "core/settings/program_settings.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) std::abort();
  // The whole stream fits the socket's buffer for libFuzzer's input sizes;
  // bigger inputs are cut to what the buffer takes.
  const int buffer = 1 << 20;
  ::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  fuzz::SendAll(ends[1], data + 2, size - 2, MSG_DONTWAIT);
  ::shutdown(ends[1], SHUT_WR);

  ProgramSettings settings;
  settings.ScreenName = "Fuzz";
  settings.EncryptionKey = static_cast<uint16_t>(data[0] | (data[1] << 8));
  settings.EnableAudio = 1;
  settings.PeerName.Set("Peer");
  settings.PeerSocket = ends[0];
  settings.LineBusy = 1;
  fuzz::NullReporter reporter(true);
  ChatTalkerTask talker;
  talker.Prepare(&settings, &reporter, ends[0]);
  // As the talker's thread would: run to the end, then the exit step.
  talker.Run(nullptr);
  talker.OnExit(nullptr);
  if (settings.LineBusy.load() != 0) std::abort();
  if (settings.PeerSocket.load() != kInvalidSocket) std::abort();
  ::close(ends[1]);
  return 0;
}
