#include "core/chat/session.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include "core/chat/cipher_table.h"
#include "core/chat/conversation.h"
#include "core/chat/message_header.h"
#include "core/chat/message_reader.h"
#include "core/crypto/crypto_init.h"
#include "core/net/host_address.h"
#include "core/net/poll_wait.h"
#include "core/net/socket.h"
#include "core/net/stream_connect.h"
#include "core/net/stream_listener.h"
#include "core/thread/time_stamp.h"
#include "core/util/reporter.h"

namespace {

std::string Bytes(const MessageHeader& header, const std::string& body) {
  return std::string(reinterpret_cast<const char*>(header.Data()), MessageHeader::kSize) + body;
}

// A greeting or sign-on fits a fresh connection's send buffer; a caller
// that does not take it within this is given up.
constexpr long kHandshakeWriteMilliseconds = 1000;

// The guessing brake's delay stops doubling at this multiple of its first.
constexpr int kMaxBrakeDoublings = 6;

// The connected partner's address as text; "UNKNOWN" when it cannot be had.
std::string PeerAddressOf(int fd) {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return "UNKNOWN";
  const std::string text =
      EndpointAddressText(EndpointOf(reinterpret_cast<const sockaddr*>(&peer), length));
  return text.empty() ? "UNKNOWN" : text;
}

// How long the listener stops watching for callers after accept() failed
// for want of descriptors, so it does not spin.
constexpr long kAcceptPauseMilliseconds = 20;

}  // namespace

// A caller accepted by the listener whose sign-on is not complete yet.
struct ChatSession::Pending {
  int fd = -1;
  PollClock::time_point deadline;
  std::string bytes;
  bool announced = false;  // "Connecting Quillo client" was shown
  // A complete sign-on held back by the guessing brake until not_before;
  // the caller's further bytes are not read meanwhile.
  bool held = false;
  PollClock::time_point not_before;
};

ChatSession::ChatSession(Reporter& reporter) : reporter_(reporter) {}

ChatSession::~ChatSession() { Close(); }

void ChatSession::ShowBox(const std::string& text) { reporter_.ProgramMessage(text, " ", " "); }

void ChatSession::WorkerLine(const std::atomic<bool>& quiet, const std::string& text, bool event) {
  std::lock_guard<std::mutex> gate(report_gate_);
  if (quiet.load()) return;
  if (event) {
    reporter_.EventLine(text);
  } else {
    reporter_.ConversationLine(text);
  }
}

SessionState ChatSession::State() const {
  std::lock_guard<std::mutex> hold(lock_);
  return state_;
}

uint64_t ChatSession::ConversationsStarted() const {
  std::lock_guard<std::mutex> hold(lock_);
  return conversations_started_;
}

uint64_t ChatSession::ConversationsEnded() const {
  std::lock_guard<std::mutex> hold(lock_);
  return conversations_ended_;
}

ConversationEnd ChatSession::LastEnd() const {
  std::lock_guard<std::mutex> hold(lock_);
  return last_end_;
}

bool ChatSession::LineBusy() const {
  const SessionState state = State();
  return state == SessionState::kHostingBusy || state == SessionState::kConnectedAsClient;
}

std::string ChatSession::PeerName() const {
  std::lock_guard<std::mutex> hold(lock_);
  return conversation_ ? conversation_->PeerName() : std::string();
}

int ChatSession::ListeningPort() const {
  std::lock_guard<std::mutex> hold(lock_);
  return listen_fd_ >= 0 ? port_ : 0;
}

void ChatSession::SetNameResolver(NameResolver resolver) {
  std::lock_guard<std::mutex> hold(lock_);
  resolver_ = std::move(resolver);
}

void ChatSession::SetPartnerAddressSource(PartnerAddressSource source) {
  std::lock_guard<std::mutex> hold(lock_);
  partner_addresses_ = std::move(source);
}

bool ChatSession::CheckHost() {
  switch (State()) {
    case SessionState::kHostingFree:
    case SessionState::kHostingBusy:
    case SessionState::kEnding:
      ShowBox("You are currently hosting a Quillo session\n");
      return false;
    case SessionState::kConnecting:
    case SessionState::kConnectedAsClient:
      ShowBox("You are currently connected to a Quillo server\n");
      return false;
    case SessionState::kIdle:
      return true;
  }
  return true;
}

bool ChatSession::CheckConnect() {
  if (State() == SessionState::kIdle) return true;
  ShowBox("You must end this host session before connecting\n");
  return false;
}

bool ChatSession::CheckInvitation() {
  const SessionState state = State();
  if (state == SessionState::kHostingFree || state == SessionState::kHostingBusy) return true;
  ShowBox("You are not currently hosting a Quillo session\n");
  return false;
}

// ---- hosting ----

bool ChatSession::Host(const SessionSnapshot& snapshot) {
  if (!CheckHost()) return false;
  JoinConnectThread();
  ReapFinished();
  reporter_.ConversationLine("Initializing Quillo services...\n");
  const ListenerResult listener = OpenStreamListener(snapshot.port);
  if (listener.fd < 0 || !listener_wake_.Valid()) {
    if (listener.fd >= 0) ::close(listener.fd);
    const int error = listener.fd < 0 ? listener.error : SOCKET_INIT_ERROR;
    reporter_.ConversationLine("Could not initialize the Quillo server\n");
    reporter_.ConversationLine(std::string(SocketErrorText(error)) + "\n");
    return false;
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    snapshot_ = snapshot;
    greeting_ = snapshot.greeting;
    host_address_.clear();
    host_ipv6_addresses_.clear();
    dual_stack_ = listener.dual_stack;
    start_time_ = TimeStamp().Text();
    port_ = listener.port;
    listen_fd_ = listener.fd;
    state_ = SessionState::kHostingFree;
  }
  audio_ = snapshot.audio;
  listener_wake_.Reset();
  listener_quiet_ = false;
  try {
    listener_ = std::thread(&ChatSession::ListenLoop, this);
  } catch (const std::system_error&) {
    reporter_.ConversationLine("Could not initialize the Quillo server thread\n");
    std::lock_guard<std::mutex> hold(lock_);
    ::close(listen_fd_);
    listen_fd_ = -1;
    state_ = SessionState::kIdle;
    return false;
  }
  return true;
}

void ChatSession::ListenLoop() {
  std::string name;
  int port;
  bool dual_stack;
  PartnerAddressSource source;
  {
    std::lock_guard<std::mutex> hold(lock_);
    name = snapshot_.host_name;
    port = port_;
    dual_stack = dual_stack_;
    source = partner_addresses_;
  }
  // The one name lookup of hosting, off the GUI thread.
  PartnerAddresses partner = source(name);
  // An IPv4-only listener cannot be reached at an IPv6 address.
  if (!dual_stack) partner.ipv6.clear();
  const std::string address = partner.ipv4;
  {
    std::lock_guard<std::mutex> hold(lock_);
    host_address_ = address;
    host_ipv6_addresses_ = std::move(partner.ipv6);
  }
  WorkerLine(listener_quiet_,
             "Opening Quillo server on host " + address + " at: " + TimeStamp().Text() + "\n",
             false);
  WorkerLine(listener_quiet_, "Listening on port " + std::to_string(port) + "\n", false);
  WorkerLine(listener_quiet_, "\n", false);
  {
    std::lock_guard<std::mutex> gate(report_gate_);
    if (!listener_quiet_) reporter_.StatusText("Hosting Quillo Session");
  }
  std::vector<Pending> pending;
  PollClock::time_point accept_pause = PollClock::time_point::min();
  for (;;) {
    std::vector<pollfd> waits;
    waits.push_back({listener_wake_.Fd(), POLLIN, 0});
    const bool watch_listener = PollClock::now() >= accept_pause;
    waits.push_back({watch_listener ? listen_fd_ : -1, POLLIN, 0});
    PollClock::time_point next = watch_listener ? PollClock::time_point::max() : accept_pause;
    for (const Pending& caller : pending) {
      waits.push_back({caller.held ? -1 : caller.fd, POLLIN, 0});
      next = std::min(next, caller.held ? caller.not_before : caller.deadline);
    }
    int timeout = -1;
    if (next != PollClock::time_point::max()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(next - PollClock::now()).count();
      timeout = left < 0 ? 0 : static_cast<int>(left) + 1;
    }
    const int ready = ::poll(waits.data(), waits.size(), timeout);
    if (ready < 0 && errno != EINTR) break;
    if (waits[0].revents & POLLIN) break;
    if ((waits[1].revents & POLLIN) && !AcceptCallers(&pending)) {
      accept_pause = DeadlineIn(kAcceptPauseMilliseconds);
    }
    const PollClock::time_point now = PollClock::now();
    std::vector<Pending> still;
    for (size_t i = 0; i < pending.size(); ++i) {
      Pending& caller = pending[i];
      const short events = i + 2 < waits.size() ? waits[i + 2].revents : 0;
      if (caller.held) {
        if (now < caller.not_before) {
          still.push_back(caller);
        } else {
          AnswerSignOn(&caller);
        }
        continue;
      }
      if (events != 0 && ReadSignOn(&caller)) continue;
      if (caller.fd >= 0 && now >= caller.deadline) {
        FailSignOn(&caller);
        continue;
      }
      if (caller.fd >= 0) still.push_back(caller);
    }
    pending.swap(still);
  }
  for (Pending& caller : pending) ::close(caller.fd);
}

bool ChatSession::AcceptCallers(std::vector<Pending>* pending) {
  long sign_on_ms;
  {
    std::lock_guard<std::mutex> hold(lock_);
    sign_on_ms = snapshot_.sign_on_timeout_ms;
  }
  for (;;) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(listen_fd_, reinterpret_cast<sockaddr*>(&peer), &length,
                             SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    Pending caller;
    caller.fd = fd;
    caller.deadline = DeadlineIn(sign_on_ms);
    if (State() == SessionState::kHostingFree) {
      std::string text =
          EndpointAddressText(EndpointOf(reinterpret_cast<sockaddr*>(&peer), length));
      if (text.empty()) text = "UNKNOWN";
      WorkerLine(listener_quiet_,
                 "Connecting Quillo client " + text + " at: " + TimeStamp().Text() + "\n", false);
      caller.announced = true;
    }
    pending->push_back(caller);
  }
}

bool ChatSession::ReadSignOn(Pending* caller) {
  char chunk[MessageHeader::kSize];
  for (;;) {
    const size_t want = MessageHeader::kSize - caller->bytes.size();
    const ssize_t got = ::recv(caller->fd, chunk, want, MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    if (got <= 0) {
      FailSignOn(caller);
      return true;
    }
    caller->bytes.append(chunk, static_cast<size_t>(got));
    if (caller->bytes.size() < MessageHeader::kSize) continue;
    if (HoldSignOn(caller)) return false;
    AnswerSignOn(caller);
    return true;
  }
}

bool ChatSession::HoldSignOn(Pending* caller) {
  std::lock_guard<std::mutex> hold(lock_);
  if (brake_.count() == 0) return false;
  const PollClock::time_point due = brake_from_ + brake_;
  if (PollClock::now() >= due) return false;
  caller->held = true;
  caller->not_before = due;
  return true;
}

void ChatSession::AnswerSignOn(Pending* caller) {
  MessageHeader header;
  std::copy(caller->bytes.begin(), caller->bytes.end(), header.Data());
  const std::string name = header.SenderName();
  if (State() == SessionState::kHostingFree) {
    Greet(caller, name);
  } else {
    AnswerBusy(caller, name);
  }
}

void ChatSession::FailSignOn(Pending* caller) {
  if (caller->announced) {
    MessageHeader header;
    std::copy(caller->bytes.begin(), caller->bytes.end(), header.Data());
    WorkerLine(listener_quiet_,
               "Could not established a connection to " + header.SenderName() + "\n", false);
    WorkerLine(listener_quiet_, std::string(SocketErrorText(SOCKET_RECEIVE_ERROR)) + "\n", false);
  }
  ::close(caller->fd);
  caller->fd = -1;
}

std::string ChatSession::Greeting(bool welcome) {
  if (greeting_.empty()) {
    std::string name;
    {
      std::lock_guard<std::mutex> hold(lock_);
      name = snapshot_.screen_name;
    }
    // The first default used stays for the rest of the session.
    greeting_ = welcome ? "\nWelcome to the " + name + " chat session\n"
                        : "Welcome to the " + name + " chat session";
  }
  return greeting_;
}

void ChatSession::Greet(Pending* caller, const std::string& name) {
  const int fd = caller->fd;
  caller->fd = -1;
  WorkerLine(listener_quiet_, name + " has established a connection\n", false);
  PlaySound();
  std::string own;
  {
    std::lock_guard<std::mutex> hold(lock_);
    own = snapshot_.screen_name;
  }
  const std::string greeting = Greeting(true);
  const MessageHeader header(own, MSG_WELCOME, static_cast<uint32_t>(greeting.size()));
  std::unique_ptr<PrivateChannel> channel = NewChannel(ChannelRole::kHost);
  // The offer travels in the greeting's write, right behind its text.
  if (!WriteWhole(fd, Bytes(header, greeting) + channel->OfferFrame(), listener_wake_.Fd(),
                  DeadlineIn(kHandshakeWriteMilliseconds))) {
    WorkerLine(listener_quiet_, name + " has signed off\n", false);
    ::close(fd);
    return;
  }
  // The conversation before this one ended by itself: join it now.
  ReapFinished();
  StartConversation(fd, name, PeerAddressOf(fd), std::move(channel), SessionState::kHostingFree,
                    SessionState::kHostingBusy, listener_quiet_);
}

void ChatSession::AnswerBusy(Pending* caller, const std::string& name) {
  const int fd = caller->fd;
  caller->fd = -1;
  WorkerLine(listener_quiet_, name + " has requested a connection\n", false);
  WorkerLine(listener_quiet_, "\n", false);
  std::string own;
  {
    std::lock_guard<std::mutex> hold(lock_);
    own = snapshot_.screen_name;
  }
  const std::string greeting = Greeting(false);
  const MessageHeader header(own, MSG_BUSY, static_cast<uint32_t>(greeting.size()));
  WriteWhole(fd, Bytes(header, greeting), listener_wake_.Fd(),
             DeadlineIn(kHandshakeWriteMilliseconds));
  ::close(fd);
}

void ChatSession::StopListener() {
  {
    std::lock_guard<std::mutex> gate(report_gate_);
    listener_quiet_ = true;
  }
  listener_wake_.Signal();
  if (listener_.joinable()) listener_.join();
  listener_wake_.Reset();
  std::lock_guard<std::mutex> hold(lock_);
  if (listen_fd_ >= 0) ::close(listen_fd_);
  listen_fd_ = -1;
}

// ---- connecting ----

bool ChatSession::Connect(const std::string& address, const SessionSnapshot& snapshot) {
  if (!CheckConnect()) return false;
  JoinConnectThread();
  ReapFinished();
  if (!connect_wake_.Valid()) return false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    snapshot_ = snapshot;
    host_address_ = address;
    start_time_ = TimeStamp().Text();
    port_ = snapshot.port;
    connected_ = false;
    state_ = SessionState::kConnecting;
  }
  audio_ = snapshot.audio;
  connect_wake_.Reset();
  connect_quiet_ = false;
  try {
    connector_ = std::thread(&ChatSession::ConnectLoop, this, address);
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> hold(lock_);
    state_ = SessionState::kIdle;
    return false;
  }
  return true;
}

int ChatSession::OpenConnection(const std::string& address, const SessionSnapshot& snapshot) {
  NameResolver resolver;
  {
    std::lock_guard<std::mutex> hold(lock_);
    resolver = resolver_;
  }
  // The whole attempt, the name lookup included, ends by one deadline.
  const PollClock::time_point deadline = DeadlineIn(snapshot.connect_total_ms);
  std::vector<StreamEndpoint> endpoints;
  switch (
      LookUpAddresses(resolver, address, snapshot.port, connect_wake_.Fd(), deadline, &endpoints)) {
    case LookupResult::kFound:
      break;
    case LookupResult::kWoken:
      return -1;
    case LookupResult::kFailed:
      WorkerLine(connect_quiet_, std::string(SocketErrorText(SOCKET_INIT_ERROR)) + "\n", true);
      return -1;
    case LookupResult::kNotFound:
    case LookupResult::kTimedOut:
      WorkerLine(connect_quiet_, "Could not resolve server's Internet Address\n", true);
      WorkerLine(connect_quiet_, "No DNS entry exists or hostname is not valid\n", true);
      return -1;
  }
  const ConnectResult result =
      ConnectToFirst(endpoints, snapshot.connect_try_ms, deadline, connect_wake_.Fd());
  switch (result.outcome) {
    case ConnectOutcome::kConnected:
      return result.fd;
    case ConnectOutcome::kWoken:
      return -1;
    case ConnectOutcome::kNoSocket:
      WorkerLine(connect_quiet_, std::string(SocketErrorText(SOCKET_INIT_ERROR)) + "\n", true);
      return -1;
    case ConnectOutcome::kUnreachable:
      break;
  }
  WorkerLine(connect_quiet_, "Could not connect to the Quillo line \n", true);
  WorkerLine(connect_quiet_, "The Quillo server is not online\n", true);
  return -1;
}

void ChatSession::ConnectLoop(std::string address) {
  SessionSnapshot snapshot;
  {
    std::lock_guard<std::mutex> hold(lock_);
    snapshot = snapshot_;
  }
  const int fd = OpenConnection(address, snapshot);
  if (fd < 0) return ConnectFailed(-1);
  const MessageHeader signon(snapshot.screen_name, MSG_CONNECT, 0);
  std::unique_ptr<PrivateChannel> channel = NewChannel(ChannelRole::kClient);
  // The offer travels in the sign-on's write.
  if (!WriteWhole(fd, Bytes(signon, std::string()) + channel->OfferFrame(), connect_wake_.Fd(),
                  DeadlineIn(kHandshakeWriteMilliseconds))) {
    WorkerLine(connect_quiet_, std::string(SocketErrorText(SOCKET_TRANSMIT_ERROR)) + "\n", true);
    return ConnectFailed(fd);
  }
  MessageReader reader(fd, connect_wake_.Fd(), snapshot.body_timeout_ms);
  WireMessage reply;
  const MessageReader::Outcome outcome = reader.Next(&reply);
  if (outcome != MessageReader::Outcome::kMessage) {
    if (outcome != MessageReader::Outcome::kWoken) {
      WorkerLine(connect_quiet_, std::string(SocketErrorText(SOCKET_RECEIVE_ERROR)) + "\n", true);
    }
    return ConnectFailed(fd);
  }
  // Shown as a zero-terminated text.
  std::string greeting = reply.body.substr(0, reply.body.find('\0'));
  const bool ends_line = !greeting.empty() && greeting.back() == '\n';
  WorkerLine(connect_quiet_, "\n" + greeting + (ends_line ? "" : "\n"), false);
  const std::string host_name = reply.header.SenderName();
  if (reply.header.Type() == MSG_BUSY) {
    WorkerLine(connect_quiet_, host_name + " Quillo line is currently busy.\nSigning off...\n",
               false);
    return ConnectFailed(fd);
  }
  if (!StartConversation(fd, host_name, address, std::move(channel), SessionState::kConnecting,
                         SessionState::kConnectedAsClient, connect_quiet_)) {
    ConnectFailed(-1);
    return;
  }
  std::lock_guard<std::mutex> hold(lock_);
  connected_ = true;
}

void ChatSession::ConnectFailed(int fd) {
  if (fd >= 0) ::close(fd);
  std::lock_guard<std::mutex> hold(lock_);
  if (state_ == SessionState::kConnecting) state_ = SessionState::kIdle;
}

bool ChatSession::JoinConnect() {
  JoinConnectThread();
  std::lock_guard<std::mutex> hold(lock_);
  return connected_ && state_ == SessionState::kConnectedAsClient;
}

void ChatSession::CancelConnect() {
  {
    std::lock_guard<std::mutex> gate(report_gate_);
    connect_quiet_ = true;
  }
  connect_wake_.Signal();
  JoinConnectThread();
  std::shared_ptr<Conversation> talk;
  {
    std::lock_guard<std::mutex> hold(lock_);
    // A conversation the connect started just before the cancel.
    if (state_ == SessionState::kConnectedAsClient && connect_quiet_) {
      talk = std::move(conversation_);
    }
    if (state_ == SessionState::kConnecting || state_ == SessionState::kConnectedAsClient) {
      state_ = SessionState::kIdle;
    }
    connected_ = false;
  }
  if (talk) talk->Stop();
}

void ChatSession::JoinConnectThread() {
  if (connector_.joinable()) connector_.join();
  connect_wake_.Reset();
}

// ---- the conversation ----

std::unique_ptr<PrivateChannel> ChatSession::NewChannel(ChannelRole role) {
  std::lock_guard<std::mutex> hold(lock_);
  PrivateMode mode = snapshot_.private_mode;
  // Without a working crypto library the original protocol is all there is.
  if (mode != PrivateMode::kOff && !InitCrypto()) mode = PrivateMode::kOff;
  return std::make_unique<PrivateChannel>(role, mode, snapshot_.key, snapshot_.passphrase,
                                          snapshot_.screen_name);
}

void ChatSession::PrivacyDecided(const Conversation* which, ChannelEvent event) {
  uint64_t failures;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (conversation_.get() != which || state_ != SessionState::kHostingBusy) return;
    if (event == ChannelEvent::kPrivate) {
      brake_ = std::chrono::milliseconds(0);
      return;
    }
    if (event != ChannelEvent::kKeyMismatch) return;
    const std::chrono::milliseconds first(snapshot_.guess_delay_ms);
    brake_ = brake_.count() == 0 ? first : std::min(brake_ * 2, first * (1 << kMaxBrakeDoublings));
    brake_from_ = std::chrono::steady_clock::now();
    failures = ++failed_checks_;
  }
  WorkerLine(listener_quiet_,
             "A caller from " + which->PeerAddress() + " failed the key check (" +
                 std::to_string(failures) + " so far)\n",
             false);
}

bool ChatSession::StartConversation(int fd, const std::string& peer,
                                    const std::string& peer_address,
                                    std::unique_ptr<PrivateChannel> channel, SessionState from,
                                    SessionState to, const std::atomic<bool>& quiet) {
  ConversationSetup setup;
  {
    std::lock_guard<std::mutex> hold(lock_);
    setup.own_name = snapshot_.screen_name;
    setup.key = snapshot_.key;
    setup.body_timeout_ms = snapshot_.body_timeout_ms;
  }
  setup.peer_name = peer;
  setup.peer_address = peer_address;
  setup.privacy = [this](const Conversation* which, ChannelEvent event) {
    PrivacyDecided(which, event);
  };
  setup.audio_enabled = [this] { return audio_.load(); };
  setup.play_sound = [this] { PlaySound(); };
  setup.ended = [this](const Conversation* which, ConversationEnd how) {
    ConversationEnded(which, how);
  };
  auto talk = std::make_shared<Conversation>(reporter_, std::move(setup), fd, std::move(channel));
  std::lock_guard<std::mutex> hold(lock_);
  if (state_ != from || quiet.load()) return false;  // talk's destructor closes fd
  if (!talk->Start()) {
    std::lock_guard<std::mutex> gate(report_gate_);
    reporter_.ConversationLine("Could not start Quillo talker thread.\n");
    return false;
  }
  conversation_ = std::move(talk);
  state_ = to;
  ++conversations_started_;
  return true;
}

void ChatSession::ConversationEnded(const Conversation* which, ConversationEnd how) {
  std::lock_guard<std::mutex> hold(lock_);
  if (conversation_.get() != which) return;
  last_end_ = how;
  ++conversations_ended_;
  finished_ = std::move(conversation_);
  if (state_ == SessionState::kHostingBusy) state_ = SessionState::kHostingFree;
  if (state_ == SessionState::kConnectedAsClient) state_ = SessionState::kIdle;
}

std::shared_ptr<Conversation> ChatSession::TakeConversation() {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_ == SessionState::kHostingBusy) state_ = SessionState::kHostingFree;
  if (state_ == SessionState::kConnectedAsClient) state_ = SessionState::kIdle;
  return std::move(conversation_);
}

void ChatSession::ReapFinished() {
  std::shared_ptr<Conversation> done;
  {
    std::lock_guard<std::mutex> hold(lock_);
    done = std::move(finished_);
  }
  // Destroying it joins its threads, outside the lock they may want.
  done.reset();
}

bool ChatSession::Send(const std::string& text) {
  std::shared_ptr<Conversation> talk;
  std::string own;
  {
    std::lock_guard<std::mutex> hold(lock_);
    talk = conversation_;
    own = snapshot_.screen_name;
  }
  if (!talk) {
    ShowBox("You are not connected to any Quillo services\n");
    return false;
  }
  std::string line = text;
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (line.empty()) return false;
  if (line.size() > kMaxLineBytes) {
    reporter_.ConversationLine("This line is " + std::to_string(line.size()) +
                               " characters long; a Quillo line takes at most " +
                               std::to_string(kMaxLineBytes) + "\n");
    reporter_.ConversationLine("Could not send message\n");
    return false;
  }
  switch (talk->SendLine(line)) {
    case Conversation::SendResult::kQueued:
      break;
    case Conversation::SendResult::kNoMemory:
      reporter_.ConversationLine("A memory allocation error occurred\n");
      reporter_.ConversationLine("Could not send message\n");
      return false;
    case Conversation::SendResult::kClosed:
      reporter_.ConversationLine("Could not send message to server\n");
      reporter_.ConversationLine(std::string(SocketErrorText(SOCKET_TRANSMIT_ERROR)) + "\n");
      return false;
  }
  reporter_.ConversationLine(own + " Says>\n" + line + "\n\n");
  return true;
}

bool ChatSession::Flush(long timeout_ms) {
  std::shared_ptr<Conversation> talk;
  {
    std::lock_guard<std::mutex> hold(lock_);
    talk = conversation_;
  }
  if (!talk) return false;
  // Lines held while the private session is negotiated are not queued yet.
  const auto start = PollClock::now();
  if (!talk->WaitSettled(timeout_ms)) return false;
  const long spent = static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(PollClock::now() - start).count());
  return talk->WaitWritten(talk->Queued(), std::max(0L, timeout_ms - spent));
}

uint64_t ChatSession::LinesWritten() const {
  std::lock_guard<std::mutex> hold(lock_);
  return conversation_ ? conversation_->Written() : 0;
}

// ---- ending ----

void ChatSession::End(const std::function<bool()>& ask_host_again) {
  if (State() == SessionState::kConnecting) CancelConnect();
  JoinConnectThread();
  if (std::shared_ptr<Conversation> talk = TakeConversation()) {
    reporter_.ConversationLine(talk->PeerName() + " has been disconnected\n");
    talk->Stop();
  }
  reporter_.PrivacyStatus(std::string());
  ReapFinished();
  const bool hosting = listener_.joinable();
  if (hosting) {
    if (ask_host_again && ask_host_again()) {
      std::string address;
      int port;
      {
        std::lock_guard<std::mutex> hold(lock_);
        address = host_address_;
        port = port_;
      }
      reporter_.ConversationLine("Quillo server open on host " + address +
                                 " at: " + TimeStamp().Text() + "\n");
      reporter_.ConversationLine("Listening on port " + std::to_string(port) + "\n");
      reporter_.ConversationLine("\n");
      reporter_.StatusText("Hosting Quillo Session");
      return;
    }
    {
      std::lock_guard<std::mutex> hold(lock_);
      state_ = SessionState::kEnding;
    }
    StopListener();
    // A caller greeted while the question was open.
    if (std::shared_ptr<Conversation> talk = TakeConversation()) {
      reporter_.ConversationLine(talk->PeerName() + " has been disconnected\n");
      talk->Stop();
    }
    ReapFinished();
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    state_ = SessionState::kIdle;
  }
  reporter_.ConversationLine("All Quillo services have been shutdown\n");
  reporter_.StatusText("All Quillo services have been shutdown");
}

void ChatSession::Close() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (state_ != SessionState::kIdle) state_ = SessionState::kEnding;
  }
  CancelConnect();
  {
    std::lock_guard<std::mutex> gate(report_gate_);
    listener_quiet_ = true;
  }
  if (std::shared_ptr<Conversation> talk = TakeConversation()) {
    talk->Stop();
  }
  StopListener();
  if (std::shared_ptr<Conversation> talk = TakeConversation()) {
    talk->Stop();
  }
  ReapFinished();
  StopSound();
  std::lock_guard<std::mutex> hold(lock_);
  state_ = SessionState::kIdle;
}

// ---- the activity sound ----

// The sound plays on a thread of its own, so a long sound never holds a
// receiver that End or Close must join.
void ChatSession::PlaySound() {
  if (!audio_.load()) return;
  std::lock_guard<std::mutex> hold(sound_lock_);
  if (sound_stop_) return;
  sound_wanted_ = true;
  if (!sound_.joinable()) {
    try {
      sound_ = std::thread(&ChatSession::SoundLoop, this);
    } catch (const std::system_error&) {
      sound_wanted_ = false;
      return;
    }
  }
  sound_changed_.notify_all();
}

void ChatSession::SoundLoop() {
  std::unique_lock<std::mutex> hold(sound_lock_);
  for (;;) {
    sound_changed_.wait(hold, [&] { return sound_wanted_ || sound_stop_; });
    if (sound_stop_) return;
    sound_wanted_ = false;
    hold.unlock();
    reporter_.PlayActivitySound();
    hold.lock();
  }
}

void ChatSession::StopSound() {
  {
    std::lock_guard<std::mutex> hold(sound_lock_);
    sound_stop_ = true;
    sound_changed_.notify_all();
  }
  if (sound_.joinable()) sound_.join();
  std::lock_guard<std::mutex> hold(sound_lock_);
  sound_stop_ = false;
  sound_wanted_ = false;
}

// ---- reports ----

std::string ChatSession::PrivacyLine() const {
  const bool private_session = conversation_ && conversation_->Privacy() == ChannelState::kPrivate;
  return private_session ? "Privacy: private session" : "Privacy: basic cipher (not private)";
}

std::vector<std::string> ChatSession::StatsLines() const {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<std::string> lines;
  const bool hosting = listen_fd_ >= 0 && (state_ == SessionState::kHostingFree ||
                                           state_ == SessionState::kHostingBusy);
  const bool busy =
      state_ == SessionState::kHostingBusy || state_ == SessionState::kConnectedAsClient;
  const std::string port = "Port Number: " + std::to_string(port_);
  const std::string key = "Encryption Key: " + std::to_string(snapshot_.key);
  if (!hosting) {
    lines.push_back("You are not hosting any Quillo sessions");
    if (!busy) {
      lines.push_back("You are not connected to any Quillo services");
      return lines;
    }
    lines.insert(lines.end(),
                 {"You are configured as Quillo client", "", "You are connected to a Quillo server",
                  "IP Address: " + host_address_, port, key, "",
                  "Quillo session started at: " + start_time_, PrivacyLine()});
    return lines;
  }
  lines.insert(lines.end(),
               {"You are configured as Quillo server", "IP Address: " + host_address_});
  for (const std::string& address : host_ipv6_addresses_) {
    lines.push_back("IPv6 Address: " + address);
  }
  lines.insert(lines.end(), {port, key, ""});
  if (!busy) {
    lines.push_back("Currently no Quillo clients are connected");
  } else {
    // One line, one partner.
    lines.push_back("Currently 1 Quillo client is connected");
    lines.push_back("Quillo session started at: " + start_time_);
    lines.push_back(PrivacyLine());
  }
  return lines;
}

std::vector<std::string> ChatSession::InvitationLines(const std::string& time_text) const {
  std::lock_guard<std::mutex> hold(lock_);
  const std::string& name = snapshot_.screen_name;
  std::vector<std::string> lines = {time_text,
                                    "",
                                    "This is an invitation to join the " + name + " Quillo session",
                                    "The " + name + " Quillo line is open at:",
                                    "",
                                    "Internet Address: " + host_address_};
  for (const std::string& address : host_ipv6_addresses_) {
    lines.push_back("IPv6 Address: " + address);
  }
  lines.insert(lines.end(), {"Port Number: " + std::to_string(port_),
                             "Encryption Key: " + std::to_string(snapshot_.key), ""});
  return lines;
}
