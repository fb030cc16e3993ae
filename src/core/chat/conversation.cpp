#include "core/chat/conversation.h"

#include <sys/socket.h>
#include <unistd.h>

#include <system_error>

#include "core/chat/cipher_table.h"
#include "core/util/reporter.h"

Conversation::Conversation(Reporter& reporter, ConversationSetup setup, int fd)
    : reporter_(reporter), setup_(std::move(setup)), fd_(fd), sender_(fd) {}

Conversation::~Conversation() {
  Stop();
  sender_.Finish(0);
  if (fd_ >= 0) ::close(fd_);
}

bool Conversation::Start() {
  if (!wake_.Valid()) return false;
  // A failed write means the line is broken: the receiver finds out.
  if (!sender_.Start([this] { ::shutdown(fd_, SHUT_RDWR); })) return false;
  try {
    receiver_ = std::thread(&Conversation::ReceiveLoop, this);
  } catch (const std::system_error&) {
    sender_.Finish(0);
    return false;
  }
  started_ = true;
  return true;
}

uint64_t Conversation::Enqueue(std::string bytes) { return sender_.Enqueue(std::move(bytes)); }

bool Conversation::WaitWritten(uint64_t seq, long timeout_ms) {
  return sender_.WaitWritten(seq, timeout_ms);
}

void Conversation::Stop() {
  if (stopping_.exchange(true)) {
    if (receiver_.joinable()) receiver_.join();
    return;
  }
  const MessageHeader signoff(setup_.own_name, MSG_SIGNOFF, 0);
  sender_.Enqueue(std::string(reinterpret_cast<const char*>(signoff.Data()), MessageHeader::kSize));
  wake_.Signal();
  if (receiver_.joinable()) receiver_.join();
  sender_.Finish(kDrainMilliseconds);
  ::shutdown(fd_, SHUT_RDWR);
}

void Conversation::ReceiveLoop() {
  MessageReader reader(fd_, wake_.Fd(), setup_.body_timeout_ms);
  WireMessage message;
  for (;;) {
    const MessageReader::Outcome outcome = reader.Next(&message);
    if (outcome == MessageReader::Outcome::kWoken || stopping_.load()) return;
    if (outcome != MessageReader::Outcome::kMessage) {
      Report(setup_.peer_name + " has been disconnected\n");
      EndByItself(false, ConversationEnd::kBroken);
      return;
    }
    if (!Dispatch(message)) return;
  }
}

// The one place that knows what each type means; a type this program does
// not know has had its body read and is skipped.
bool Conversation::Dispatch(const WireMessage& message) {
  switch (message.header.Type()) {
    case MSG_SAY:
      ShowLine(message);
      return true;
    case MSG_SIGNOFF:
      Report(setup_.peer_name + " has signed off\n");
      Sound();
      Report(setup_.peer_name + " has been disconnected\n");
      EndByItself(true, ConversationEnd::kSignedOff);
      return false;
    case MSG_BUSY:
      Report(setup_.peer_name + " Quillo line is currently busy.\nSigning off...\n");
      Sound();
      EndByItself(false, ConversationEnd::kBusy);
      return false;
    default:
      return true;
  }
}

void Conversation::ShowLine(const WireMessage& message) {
  const std::string text = DecipherBody(BuildCipherTable(setup_.key),
                                        reinterpret_cast<const unsigned char*>(message.body.data()),
                                        message.body.size());
  Report(message.header.SenderName() + " Says>\n" + text + "\n\n");
  if (!stopping_.load()) reporter_.ChatLineArrived(message.header.SenderName(), text);
  if (!stopping_.load() && setup_.audio_enabled && setup_.audio_enabled() &&
      reporter_.MainFrameMinimised()) {
    Sound();
  }
}

void Conversation::Sound() {
  if (stopping_.load() || !setup_.audio_enabled || !setup_.audio_enabled()) return;
  if (setup_.play_sound) setup_.play_sound();
}

void Conversation::EndByItself(bool sign_off, ConversationEnd how) {
  if (sign_off) {
    const MessageHeader signoff(setup_.own_name, MSG_SIGNOFF, 0);
    sender_.Enqueue(
        std::string(reinterpret_cast<const char*>(signoff.Data()), MessageHeader::kSize));
  }
  sender_.Finish(sign_off ? kDrainMilliseconds : 0);
  ::shutdown(fd_, SHUT_RDWR);
  if (!stopping_.load() && setup_.ended) setup_.ended(this, how);
}

void Conversation::Report(const std::string& text) {
  if (!stopping_.load()) reporter_.ConversationLine(text);
}
