#include "core/chat/server_task.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

#include "core/chat/message_header.h"
#include "core/chat/peer_socket.h"
#include "core/settings/program_settings.h"
#include "core/thread/commit_scope.h"
#include "core/thread/gated_reporter.h"
#include "core/thread/thread.h"
#include "core/thread/time_stamp.h"

namespace {

// Waits until n bytes can be received from handle without blocking, the
// peer has closed or failed, or milliseconds have passed. On the time limit
// the connection is shut down, so the receive that follows fails like any
// other broken sign-on.
void LimitWaitForBytes(SocketHandle handle, size_t n, int milliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    const long left = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    if (left <= 0) break;
    pollfd wait{handle, POLLIN | POLLRDHUP, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    if (wait.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) return;
    int available = 0;
    if (::ioctl(handle, FIONREAD, &available) != 0 || static_cast<size_t>(available) >= n) return;
    // Part of the header is there: let the rest arrive.
    std::this_thread::sleep_for(std::chrono::milliseconds(left < 10 ? left : 10));
  }
  Socket::ShutdownHandle(handle);
}

// How long to pause after an accept failure that is not a shutdown (such as
// running out of descriptors), so the retry does not spin.
constexpr std::chrono::milliseconds kAcceptRetryPause{20};

}  // namespace

void ChatServerTask::Prepare(ProgramSettings* settings, Reporter* reporter) {
  settings_ = settings;
  reporter_ = reporter;
}

int ChatServerTask::Run(Thread* thread) {
  GatedReporter report(*reporter_, thread);
  ProgramSettings& s = *settings_;
  Commit(thread, [&s] {
    s.LineBusy = 0;
    s.ConnectionCount = 0;
  });
  for (;;) {
    if (s.ChatSocket.Accept() < 0) {
      if (s.ChatSocket.IsShutDown() || (thread != nullptr && thread->IsCanceled())) return 0;
      std::this_thread::sleep_for(kAcceptRetryPause);
      continue;
    }
    if (s.LineBusy.load() != 0) {
      AnswerBusy(thread, report);
      continue;
    }
    std::string address;
    int port = 0;
    s.ChatSocket.GetRemoteEndpoint(&address, &port);
    report.ConversationLine("Connecting Quillo client " + address + " at: " + TimeStamp().Text() +
                            "\n");
    GreetClient(thread, report);
    Commit(thread, [&s] { ++s.ConnectionCount; });
  }
}

void ChatServerTask::OnExit(Thread*) { Stop(); }

void ChatServerTask::OnCancel(Thread*) { Stop(); }

void ChatServerTask::Stop() {
  settings_->LineBusy = 0;
  settings_->ConnectionCount = 0;
  settings_->ChatSocket.Shutdown();
}

bool ChatServerTask::ReceiveSignOn(MessageHeader* header) {
  Socket& socket = settings_->ChatSocket;
  LimitWaitForBytes(socket.RemoteHandle(), MessageHeader::kSize,
                    settings_->SignOnTimeoutMilliseconds);
  return socket.RemoteRecvAll(header->Data(), static_cast<int>(MessageHeader::kSize)) >= 0;
}

bool ChatServerTask::SendGreeting(uint32_t type, const std::string& greeting) {
  // Sent inside the commit step, so it must not wait on a caller that does
  // not read: a fresh connection's send buffer takes any greeting at once.
  Socket& socket = settings_->ChatSocket;
  const MessageHeader header(settings_->ScreenName, type, static_cast<uint32_t>(greeting.size()));
  if (socket.RemoteSendAll(header.Data(), static_cast<int>(MessageHeader::kSize),
                           MSG_DONTWAIT | (greeting.empty() ? 0 : MSG_MORE)) < 0) {
    return false;
  }
  return greeting.empty() ||
         socket.RemoteSendAll(greeting.data(), static_cast<int>(greeting.size()), MSG_DONTWAIT) >=
             0;
}

void ChatServerTask::AnswerBusy(Thread* thread, GatedReporter& report) {
  ProgramSettings& s = *settings_;
  MessageHeader header;
  if (!ReceiveSignOn(&header)) {
    s.ChatSocket.CloseRemote();
    return;
  }
  report.ConversationLine(header.SenderName() + " has requested a connection\n");
  report.ConversationLine("\n");
  const std::string greeting =
      s.GreetingText.SetIfEmpty("Welcome to the " + s.ScreenName + " chat session");
  CommitScope commit(thread);
  if (commit.Open()) SendGreeting(MSG_BUSY, greeting);
  s.ChatSocket.CloseRemote();
}

int ChatServerTask::GreetClient(Thread* thread, GatedReporter& report) {
  ProgramSettings& s = *settings_;
  MessageHeader header;
  if (!ReceiveSignOn(&header)) {
    report.ConversationLine("Could not established a connection to " + header.SenderName() + "\n");
    report.ConversationLine(std::string(s.ChatSocket.ErrorText()) + "\n");
    s.ChatSocket.CloseRemote();
    return -1;
  }
  const std::string name = header.SenderName();
  report.ConversationLine(name + " has established a connection\n");
  if (s.EnableAudio) report.PlayActivitySound();
  const std::string greeting =
      s.GreetingText.SetIfEmpty("\nWelcome to the " + s.ScreenName + " chat session\n");
  bool sent;
  {
    CommitScope commit(thread);
    sent = commit.Open() && SendGreeting(MSG_WELCOME, greeting);
  }
  if (!sent) {
    report.ConversationLine(name + " has signed off\n");
    s.ChatSocket.CloseRemote();
    return -1;
  }
  return StartTalker(thread, report, name);
}

int ChatServerTask::StartTalker(Thread* thread, GatedReporter& report,
                                const std::string& peer_name) {
  ProgramSettings& s = *settings_;
  std::lock_guard<std::mutex> slot(s.TalkerSlotLock);
  // The previous conversation's talker has ended (the line is free); its
  // thread object is released here, before the next one takes the slot.
  if (Thread* old = s.TalkerThread.exchange(nullptr)) s.TalkerTask.DestroyThread(old, true);
  CommitScope commit(thread);
  if (!commit.Open()) {
    s.ChatSocket.CloseRemote();
    return -1;
  }
  const SocketHandle peer = s.ChatSocket.TakeRemote();
  s.PeerName.Set(peer_name);
  s.PeerSocket = peer;
  s.LineBusy = 1;
  return StartTalkerThread(s, reporter_, report, peer);
}
