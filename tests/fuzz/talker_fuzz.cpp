// Feeds arbitrary bytes to the talker as if a peer had sent them: headers
// of any type and length, bodies cut short, unterminated names, sign-offs
// in the middle. The first two bytes pick the conversation's key. The
// talker must end at the end of the stream without a crash or a leak.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "chat/talker_task.h"
#include "ui/program_settings.h"
#include "util/reporter.h"

namespace {

// Lines go nowhere, but are built and measured like the window would.
class NullReporter : public Reporter {
 public:
  void ConversationLine(const std::string& text) override { bytes_ += text.size(); }
  void EventLine(const std::string& text) override { bytes_ += text.size(); }
  void StatusText(const std::string& text) override { bytes_ += text.size(); }
  void ProgramMessage(const std::string& a, const std::string& b, const std::string& c) override {
    bytes_ += a.size() + b.size() + c.size();
  }
  void PlayActivitySound() override {}
  bool MainFrameMinimised() override { return true; }

 private:
  size_t bytes_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) std::abort();
  // The whole stream fits the socket's buffer for libFuzzer's input sizes;
  // bigger inputs are cut to what the buffer takes.
  const int buffer = 1 << 20;
  ::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  const uint8_t* stream = data + 2;
  size_t left = size - 2;
  while (left > 0) {
    const ssize_t n = ::send(ends[1], stream, left, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n <= 0) break;
    stream += n;
    left -= static_cast<size_t>(n);
  }
  ::shutdown(ends[1], SHUT_WR);

  ProgramSettings settings;
  settings.ScreenName = "Fuzz";
  settings.EncryptionKey = static_cast<uint16_t>(data[0] | (data[1] << 8));
  settings.EnableAudio = 1;
  settings.PeerName.Set("Peer");
  settings.PeerSocket = ends[0];
  settings.LineBusy = 1;
  NullReporter reporter;
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
