#include "term/term_session.h"

#include <mutex>

#include "core/chat/chat_engine.h"
#include "core/settings/program_settings.h"
#include "core/thread/thread.h"
#include "core/thread/time_stamp.h"

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
    : settings_(settings), reporter_(reporter, std::move(wake)) {
  // The desktop program's main frame sets this greeting when it opens.
  settings_.GreetingText.Set("Welcome to the " + settings_.ScreenName + " Quillo session");
}

TermSession::~TermSession() { Close(); }

bool TermSession::ScreenNameIsDefault() const { return ::ScreenNameIsDefault(settings_); }

void TermSession::SetScreenName(const std::string& name, bool for_host) {
  AcceptScreenName(settings_, name, for_host);
}

bool TermSession::Host(int port) {
  if (connect_thread_ != nullptr) {
    reporter_.ProgramMessage("You are currently connecting to a Quillo server\n", " ", " ");
    return false;
  }
  if (!CheckHostCommand(settings_, reporter_)) return false;
  settings_.QuilloPortNumber = port;
  OpenHostSession(settings_, reporter_);
  return settings_.Hosting.load() == 1;
}

bool TermSession::Connect(const std::string& address, int port) {
  if (connect_thread_ != nullptr) {
    reporter_.ProgramMessage("You must end this host session before connecting\n", " ", " ");
    return false;
  }
  if (!CheckConnectCommand(settings_, reporter_)) return false;
  // What the Connect panel sets before it starts the connect task.
  settings_.ConnectAddress = address;
  settings_.QuilloPortNumber = port;
  settings_.HostAddress = address;
  settings_.HostStartTime = TimeStamp().Text();
  reporter_.EventLine("Connecting to host " + address + "\n");
  Thread* thread = StartClientConnection(settings_, reporter_);
  if (thread == nullptr || thread->ErrorCode() != THREAD_NO_ERROR) {
    ChatConnectTask& task = settings_.ClientConnectTask;
    if (thread != nullptr)
      reporter_.EventLine(std::string(task.Manager().ThreadErrorText(thread)) + "\n");
    reporter_.EventLine("The Quillo client was not connected\n");
    settings_.ChatSocket.CloseAll();
    if (thread != nullptr) task.DestroyThread(thread, true);
    pending_.push_back(Happening::kConnectFailed);
    return true;
  }
  connect_thread_ = thread;
  return true;
}

std::vector<TermSession::Happening> TermSession::Poll() {
  std::vector<Happening> found;
  found.swap(pending_);
  FinishConnect(&found);
  WatchTalker(&found);
  return found;
}

void TermSession::FinishConnect(std::vector<Happening>* found) {
  if (connect_thread_ == nullptr || connect_thread_->State() != ThreadState::EXITED) return;
  const int result = connect_thread_->ExitValue();
  settings_.ClientConnectTask.DestroyThread(connect_thread_, true);
  connect_thread_ = nullptr;
  if (result < 0) {
    settings_.ChatSocket.CloseAll();
    reporter_.EventLine("The Quillo client was not connected\n");
    found->push_back(Happening::kConnectFailed);
    return;
  }
  reporter_.StatusText("Connected to Quillo Session");
  found->push_back(Happening::kConnected);
}

// The engine shows a conversation's start and end only through its talker
// thread: one runs while a partner is on the line, and its exit value says
// how the partner left (0 signed off, negative broken).
void TermSession::WatchTalker(std::vector<Happening>* found) {
  std::lock_guard<std::mutex> slot(settings_.TalkerSlotLock);
  Thread* talker = settings_.TalkerThread.load();
  if (talker == nullptr) return;
  if (talker->UserParameter() == 0) {
    // The talker before it ended and was replaced between two polls.
    if (!talker_ended_) found->push_back(Happening::kSignedOff);
    talker->SetUserParameter(++talker_tag_);
    talker_ended_ = false;
    if (settings_.Hosting.load() == 1) found->push_back(Happening::kPartnerJoined);
  } else if (talker->UserParameter() != talker_tag_) {
    return;
  }
  if (talker_ended_ || talker->State() != ThreadState::EXITED) return;
  talker_ended_ = true;
  found->push_back(talker->ExitValue() < 0 ? Happening::kBroken : Happening::kSignedOff);
}

TermSession::State TermSession::CurrentState() const {
  if (connect_thread_ != nullptr) return State::kConnecting;
  if (settings_.LineBusy.load() == 1) return State::kTalking;
  if (settings_.Hosting.load() == 1) return State::kHosting;
  return State::kIdle;
}

bool TermSession::Send(const std::string& text) { return SendChatLine(settings_, reporter_, text); }

// Each Send hands its message to the network before it returns.
bool TermSession::WaitWritten(std::chrono::milliseconds) { return true; }

void TermSession::End() {
  CancelConnect();
  talker_ended_ = true;
  EndSession(settings_, reporter_, nullptr);
}

std::vector<std::string> TermSession::Stats() const { return StatsLines(settings_); }

void TermSession::Close() {
  if (connect_thread_ != nullptr) {
    settings_.ClientConnectTask.DestroyThread(connect_thread_, true);
    connect_thread_ = nullptr;
  }
  talker_ended_ = true;
  StopChatWorkers(settings_);
}

// As the Connect panel's cancel: stop the worker, then say so.
void TermSession::CancelConnect() {
  if (connect_thread_ == nullptr) return;
  ChatConnectTask& task = settings_.ClientConnectTask;
  reporter_.EventLine("Stopping connect thread\n");
  task.CancelThread(connect_thread_);
  task.JoinThread(connect_thread_);
  task.DestroyThread(connect_thread_, true);
  connect_thread_ = nullptr;
  settings_.ChatSocket.CloseAll();
  reporter_.EventLine("The current request was canceled\n");
  reporter_.EventLine("The Quillo client was not connected\n");
  pending_.push_back(Happening::kConnectFailed);
}
