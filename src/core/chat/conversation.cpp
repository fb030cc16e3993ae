#include "core/chat/conversation.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>

#include "core/chat/cipher_table.h"
#include "core/util/reporter.h"

namespace {

std::string Frame(const MessageHeader& header, const std::string& body) {
  return std::string(reinterpret_cast<const char*>(header.Data()), MessageHeader::kSize) + body;
}

}  // namespace

Conversation::Conversation(Reporter& reporter, ConversationSetup setup, int fd,
                           std::unique_ptr<PrivateChannel> channel)
    : reporter_(reporter),
      setup_(std::move(setup)),
      cipher_(std::make_unique<const Cipher>(setup_.key)),
      fd_(fd),
      sender_(fd),
      channel_(std::move(channel)) {}

Conversation::~Conversation() {
  Stop();
  sender_.Finish(0);
  if (fd_ >= 0) ::close(fd_);
}

bool Conversation::Start() {
  if (!wake_.Valid()) return false;
  // The private handshake is small messages answering each other; waiting
  // for the partner's acknowledgement before each would cost a delayed ACK.
  const int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
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

void Conversation::NoteState() {
  const ChannelState state = channel_->State();
  if (privacy_.exchange(state) == state) return;
  std::lock_guard<std::mutex> hold(settle_lock_);
  settled_.notify_all();
}

bool Conversation::WaitSettled(long timeout_ms) {
  std::unique_lock<std::mutex> hold(settle_lock_);
  return settled_.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                           [this] { return privacy_.load() != ChannelState::kNegotiating; });
}

Conversation::SendResult Conversation::SendLine(const std::string& line) {
  std::lock_guard<std::mutex> hold(channel_lock_);
  if (channel_->State() == ChannelState::kClosed) return SendResult::kClosed;
  ChannelStep step = channel_->Seal(line);
  return Transmit(&step);  // nothing to write: held until the mode is known
}

// The basic lines are enciphered here, under the channel lock, so a held
// line and one typed just after it cannot change places.
Conversation::SendResult Conversation::Transmit(ChannelStep* step) {
  if (!step->wire.empty() && sender_.Enqueue(std::move(step->wire)) == 0) {
    return SendResult::kClosed;
  }
  if (step->basic_lines.empty()) return SendResult::kQueued;
  for (const std::string& line : step->basic_lines) {
    std::string body;
    if (!cipher_->EncipherLine(line, &body)) return SendResult::kNoMemory;
    const MessageHeader header(setup_.own_name, MSG_SAY, static_cast<uint32_t>(body.size()));
    if (sender_.Enqueue(Frame(header, body)) == 0) return SendResult::kClosed;
  }
  return SendResult::kQueued;
}

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
  const PollClock::time_point deadline = DeadlineIn(kDrainMilliseconds);
  sender_.Finish(kDrainMilliseconds);
  CloseGracefully(deadline);
}

// A closing step carries nothing to send. Held lines are queued before the
// state changes, so Flush never misses them.
template <typename Call>
ChannelStep Conversation::Step(Call call) {
  std::lock_guard<std::mutex> hold(channel_lock_);
  ChannelStep step = call(*channel_);
  Transmit(&step);
  NoteState();
  ReportClosing(step);
  return step;
}

void Conversation::ReceiveLoop() {
  MessageReader reader(fd_, wake_.Fd(), setup_.body_timeout_ms, true);
  WireMessage message;
  const ChannelStep first =
      Step([](PrivateChannel& channel) { return channel.Start(PrivateChannel::Clock::now()); });
  if (!Present(first, std::string())) return;
  for (;;) {
    PrivateChannel::Clock::time_point due;
    {
      std::lock_guard<std::mutex> hold(channel_lock_);
      due = channel_->Deadline();
    }
    const MessageReader::Outcome outcome = reader.Next(&message, due);
    if (outcome == MessageReader::Outcome::kWoken || stopping_.load()) return;
    if (outcome == MessageReader::Outcome::kIdle) {
      if (!Tick()) return;
      continue;
    }
    if (outcome != MessageReader::Outcome::kMessage) {
      Report(setup_.peer_name + " has been disconnected\n");
      EndByItself(false, ConversationEnd::kBroken);
      return;
    }
    if (!Receive(message)) return;
  }
}

bool Conversation::Tick() {
  const ChannelStep step =
      Step([](PrivateChannel& channel) { return channel.Tick(PrivateChannel::Clock::now()); });
  return Present(step, std::string());
}

bool Conversation::Receive(const WireMessage& message) {
  const ChannelStep step = Step([&](PrivateChannel& channel) {
    return channel.OnMessage(message.header, message.body, PrivateChannel::Clock::now());
  });
  if (!Present(step, message.header.SenderName())) return false;
  return !step.pass_through || Dispatch(message);
}

// A closing step's reason is shown before the channel lock is let go: a
// line sent meanwhile finds the channel closed, and the End that may follow
// must not silence why.
void Conversation::ReportClosing(const ChannelStep& step) {
  if (step.close) Report(EventText(step.event));
}

bool Conversation::Present(const ChannelStep& step, const std::string& sender) {
  if (step.event != ChannelEvent::kNone) {
    if (setup_.privacy) setup_.privacy(this, step.event);
    if (!step.close) Report(EventText(step.event));
    if (!stopping_.load() && !step.close) {
      reporter_.PrivacyStatus(step.event == ChannelEvent::kPrivate            ? kPrivateStatus
                              : step.event == ChannelEvent::kPlainLineDropped ? kPrivateStatus
                                                                              : kBasicStatus);
    }
  }
  for (const std::string& line : step.lines) ShowText(sender, line);
  if (!step.close) return true;
  Report(setup_.peer_name + " has been disconnected\n");
  // What was queued before (our confirmation above all, which tells the
  // partner its key does not match) is given its moment to leave.
  EndByItself(false, ConversationEnd::kBroken, true);
  return false;
}

std::string Conversation::EventText(ChannelEvent event) const {
  const std::string& name = setup_.peer_name;
  switch (event) {
    case ChannelEvent::kPrivate: {
      std::string code;
      {
        std::lock_guard<std::mutex> hold(channel_lock_);
        code = channel_->VerificationCode();
      }
      return "Private session with " + name + ". Verification code: " + code + "\n";
    }
    case ChannelEvent::kBasic:
      return "Basic cipher only: " + name +
             "'s program does not offer private sessions. Lines can be read by others on the "
             "network.\n";
    case ChannelEvent::kRequireRefused:
      return name +
             " did not set up a private session, and this program is set to require one. The "
             "connection was closed.\n";
    case ChannelEvent::kKeyMismatch:
      return "Your partner's key does not match yours. The connection was closed.\n";
    case ChannelEvent::kHandshakeFailed:
      return "The private session with " + name +
             " could not be set up. The connection was closed.\n";
    case ChannelEvent::kIntegrityFailure:
      return "A message failed its integrity check. The connection was closed.\n";
    case ChannelEvent::kPlainLineDropped:
      return name +
             " sent a line without protection inside the private session. It was not shown, "
             "nor will later ones be.\n";
    case ChannelEvent::kBasicOff:
    case ChannelEvent::kNone:
      break;
  }
  return std::string();
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
  ShowText(message.header.SenderName(),
           cipher_->DecipherBody(reinterpret_cast<const unsigned char*>(message.body.data()),
                                 message.body.size()));
}

void Conversation::ShowText(const std::string& sender, const std::string& text) {
  Report(sender + " Says>\n" + text + "\n\n");
  if (!stopping_.load()) reporter_.ChatLineArrived(sender, text);
  if (!stopping_.load() && setup_.audio_enabled && setup_.audio_enabled() &&
      reporter_.MainFrameMinimised()) {
    Sound();
  }
}

void Conversation::Sound() {
  if (stopping_.load() || !setup_.audio_enabled || !setup_.audio_enabled()) return;
  if (setup_.play_sound) setup_.play_sound();
}

void Conversation::EndByItself(bool sign_off, ConversationEnd how, bool drain) {
  if (sign_off) {
    const MessageHeader signoff(setup_.own_name, MSG_SIGNOFF, 0);
    sender_.Enqueue(
        std::string(reinterpret_cast<const char*>(signoff.Data()), MessageHeader::kSize));
  }
  if (sign_off || drain) {
    const PollClock::time_point deadline = DeadlineIn(kDrainMilliseconds);
    sender_.Finish(kDrainMilliseconds);
    CloseGracefully(deadline);
  } else {
    sender_.Finish(0);
    ::shutdown(fd_, SHUT_RDWR);
  }
  if (!stopping_.load()) reporter_.PrivacyStatus(std::string());
  if (!stopping_.load() && setup_.ended) setup_.ended(this, how);
}

// Our last bytes are followed by a FIN, and what the partner still sends
// is read and dropped until it closes too (or the deadline): closing with
// unread bytes would send a reset, and a reset makes the partner's kernel
// discard what it has received and not yet read, our sign-off or key
// confirmation among them.
void Conversation::CloseGracefully(PollClock::time_point deadline) {
  ::shutdown(fd_, SHUT_WR);
  char scrap[4096];
  for (;;) {
    const ssize_t got = ::recv(fd_, scrap, sizeof scrap, MSG_DONTWAIT);
    if (got > 0 || (got < 0 && errno == EINTR)) continue;
    if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) break;
    if (WaitForSocket(fd_, POLLIN, -1, deadline) != PollResult::kReady) break;
  }
  ::shutdown(fd_, SHUT_RDWR);
}

void Conversation::Report(const std::string& text) {
  if (!stopping_.load() && !text.empty()) reporter_.ConversationLine(text);
}
