#include "term/term_session.h"

#include "core/settings/program_settings.h"
#include "core/settings/settings_parts.h"

void TermSession::WakingReporter::ConversationLine(const std::string& text) {
  target_.ConversationLine(text);
  wake_();
}

void TermSession::WakingReporter::EventLine(const std::string& text) {
  target_.EventLine(text);
  wake_();
}

void TermSession::WakingReporter::StatusText(const std::string& text) {
  target_.StatusText(text);
  wake_();
}

void TermSession::WakingReporter::ProgramMessage(const std::string& first,
                                                 const std::string& second,
                                                 const std::string& third) {
  target_.ProgramMessage(first, second, third);
  wake_();
}

void TermSession::WakingReporter::PlayActivitySound() { target_.PlayActivitySound(); }

bool TermSession::WakingReporter::MainFrameMinimised() { return target_.MainFrameMinimised(); }

TermSession::TermSession(ProgramSettings& settings, Reporter& reporter, std::function<void()> wake)
    : settings_(settings), reporter_(reporter, std::move(wake)), session_(reporter_) {
  // The desktop program's main frame sets this greeting when it opens.
  settings_.GreetingText = "Welcome to the " + settings_.ScreenName + " Quillo session";
  session_.SetAudioEnabled(false);  // a terminal has no activity sound
}

TermSession::~TermSession() { Close(); }

bool TermSession::ScreenNameIsDefault() const { return ::ScreenNameIsDefault(settings_); }

void TermSession::SetScreenName(const std::string& name, bool for_host) {
  AcceptScreenName(settings_, name, for_host);
}

bool TermSession::Host(int port) {
  settings_.QuilloPortNumber = port;
  SessionSnapshot snapshot = SessionSnapshotOf(settings_);
  snapshot.audio = false;
  return session_.Host(snapshot);
}

bool TermSession::Connect(const std::string& address, int port) {
  settings_.QuilloPortNumber = port;
  SessionSnapshot snapshot = SessionSnapshotOf(settings_);
  snapshot.audio = false;
  // What the Connect panel shows before it starts the connect.
  reporter_.EventLine("Connecting to host " + address + "\n");
  if (!session_.Connect(address, snapshot)) {
    reporter_.EventLine("The Quillo client was not connected\n");
    return false;
  }
  connecting_ = true;
  return true;
}

std::vector<TermSession::Happening> TermSession::Poll() {
  std::vector<Happening> found;
  found.swap(pending_);
  FinishConnect(&found);
  WatchConversations(&found);
  return found;
}

void TermSession::FinishConnect(std::vector<Happening>* found) {
  if (!connecting_ || session_.State() == SessionState::kConnecting) return;
  connecting_ = false;
  if (!session_.JoinConnect()) {
    reporter_.EventLine("The Quillo client was not connected\n");
    found->push_back(Happening::kConnectFailed);
    return;
  }
  reporter_.StatusText("Connected to Quillo Session");
  found->push_back(Happening::kConnected);
}

// A conversation's start and its end by itself show in the session's
// counters; how it ended says whether the partner signed off.
void TermSession::WatchConversations(std::vector<Happening>* found) {
  const uint64_t started = session_.ConversationsStarted();
  const uint64_t ended = session_.ConversationsEnded();
  const bool hosting = session_.State() == SessionState::kHostingFree ||
                       session_.State() == SessionState::kHostingBusy;
  for (; started_seen_ < started; ++started_seen_) {
    if (hosting) found->push_back(Happening::kPartnerJoined);
  }
  for (; ended_seen_ < ended; ++ended_seen_) {
    found->push_back(session_.LastEnd() == ConversationEnd::kBroken ? Happening::kBroken
                                                                    : Happening::kSignedOff);
  }
}

TermSession::State TermSession::CurrentState() const {
  switch (session_.State()) {
    case SessionState::kConnecting:
      return State::kConnecting;
    case SessionState::kHostingFree:
      return State::kHosting;
    case SessionState::kHostingBusy:
    case SessionState::kConnectedAsClient:
      return State::kTalking;
    case SessionState::kIdle:
    case SessionState::kEnding:
      break;
  }
  return State::kIdle;
}

bool TermSession::Send(const std::string& text) { return session_.Send(text); }

bool TermSession::WaitWritten(std::chrono::milliseconds limit) {
  return session_.Flush(static_cast<long>(limit.count()));
}

void TermSession::End() {
  CancelConnect();
  session_.End(nullptr);
  Resync();
}

std::vector<std::string> TermSession::Stats() const { return session_.StatsLines(); }

void TermSession::Close() {
  connecting_ = false;
  session_.Close();
  Resync();
}

// Ends made by End or Close are not the partner's doing and are not
// reported as happenings.
void TermSession::Resync() {
  started_seen_ = session_.ConversationsStarted();
  ended_seen_ = session_.ConversationsEnded();
}

// As the Connect panel's cancel: stop the worker, then say so.
void TermSession::CancelConnect() {
  if (!connecting_ || session_.State() != SessionState::kConnecting) return;
  connecting_ = false;
  reporter_.EventLine("Stopping connect thread\n");
  session_.CancelConnect();
  reporter_.EventLine("The current request was canceled\n");
  reporter_.EventLine("The Quillo client was not connected\n");
  pending_.push_back(Happening::kConnectFailed);
}
