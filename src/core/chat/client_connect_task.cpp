#include "core/chat/client_connect_task.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <mutex>
#include <new>

#include "core/chat/message_header.h"
#include "core/chat/peer_socket.h"
#include "core/settings/program_settings.h"
#include "core/thread/commit_scope.h"
#include "core/thread/gated_reporter.h"
#include "core/thread/thread.h"

void ChatConnectTask::Prepare(ProgramSettings* settings, Reporter* reporter) {
  settings_ = settings;
  reporter_ = reporter;
}

int ChatConnectTask::Run(Thread* thread) {
  GatedReporter report(*reporter_, thread);
  ProgramSettings& s = *settings_;
  if (!Open(report)) return -1;
  const MessageHeader signon(s.ScreenName, MSG_CONNECT, 0);
  bool signed_on;
  {
    // A fresh connection takes the 33 bytes at once; nothing goes out
    // after a cancel.
    CommitScope commit(thread);
    signed_on =
        commit.Open() && s.ChatSocket.SendAll(signon.Data(), static_cast<int>(MessageHeader::kSize),
                                              MSG_DONTWAIT) >= 0;
  }
  if (!signed_on) return Fail(report, s.ChatSocket.ErrorText());
  MessageHeader reply;
  std::string greeting;
  if (!ReceiveReply(report, &reply, &greeting)) return -1;
  const bool ends_line = !greeting.empty() && greeting.back() == '\n';
  report.ConversationLine("\n" + greeting + (ends_line ? "" : "\n"));
  const std::string host_name = reply.SenderName();
  if (reply.Type() == MSG_BUSY) {
    report.ConversationLine(host_name + " Quillo line is currently busy.\nSigning off...\n");
    s.ChatSocket.CloseAll();
    return -1;
  }
  return StartConversation(thread, report, host_name);
}

void ChatConnectTask::OnCancel(Thread*) { settings_->ChatSocket.Shutdown(); }

bool ChatConnectTask::Open(GatedReporter& report) {
  Socket& socket = settings_->ChatSocket;
  if (socket.StartWinsock() != 0) {
    report.EventLine(std::string(socket.ErrorText()) + "\n");
    return false;
  }
  if (socket.InitSocket(1, settings_->QuilloPortNumber, settings_->ConnectAddress.c_str()) < 0) {
    if (socket.ErrorCode() == SOCKET_HOSTNAME_ERROR) {
      report.EventLine("Could not resolve server's Internet Address\n");
      report.EventLine("No DNS entry exists or hostname is not valid\n");
    } else {
      report.EventLine(std::string(socket.ErrorText()) + "\n");
    }
    return false;
  }
  if (socket.Connect() < 0) {
    if (socket.ErrorCode() == SOCKET_CONNECT_ERROR) {
      report.EventLine("Could not connect to the Quillo line \n");
      report.EventLine("The Quillo server is not online\n");
    } else {
      report.EventLine(std::string(socket.ErrorText()) + "\n");
    }
    socket.CloseAll();
    return false;
  }
  return true;
}

bool ChatConnectTask::ReceiveReply(GatedReporter& report, MessageHeader* header,
                                   std::string* greeting) {
  Socket& socket = settings_->ChatSocket;
  if (socket.RecvAll(header->Data(), static_cast<int>(MessageHeader::kSize)) < 0) {
    Fail(report, socket.ErrorText());
    return false;
  }
  const uint32_t length = header->BodyLength();
  // An oversized greeting can only come from a broken or hostile peer.
  if (length > kMaxBodyLength) {
    Fail(report, SocketErrorText(SOCKET_RECEIVE_ERROR));
    return false;
  }
  try {
    greeting->assign(length, '\0');
  } catch (const std::bad_alloc&) {
    Fail(report, "A Memory allocation error occurred");
    return false;
  }
  if (length > 0 && socket.RecvAll(&(*greeting)[0], static_cast<int>(length)) < 0) {
    Fail(report, socket.ErrorText());
    return false;
  }
  // Shown as a zero-terminated text.
  greeting->resize(greeting->find('\0') == std::string::npos ? length : greeting->find('\0'));
  return true;
}

int ChatConnectTask::StartConversation(Thread* thread, GatedReporter& report,
                                       const std::string& host_name) {
  ProgramSettings& s = *settings_;
  std::lock_guard<std::mutex> slot(s.TalkerSlotLock);
  // A talker of an earlier conversation that ended by itself.
  if (Thread* old = s.TalkerThread.exchange(nullptr)) s.TalkerTask.DestroyThread(old, true);
  CommitScope commit(thread);
  if (!commit.Open()) {
    s.ChatSocket.CloseAll();
    return -1;
  }
  // The conversation gets a descriptor of its own; ChatSocket lets go.
  const SocketHandle peer = ::fcntl(s.ChatSocket.MainHandle(), F_DUPFD_CLOEXEC, 0);
  s.ChatSocket.CloseAll();
  if (peer < 0) {
    report.ConversationLine("Could not start Quillo talker thread.\n");
    return -1;
  }
  s.Hosting = 0;
  s.LineBusy = 1;
  s.PeerName.Set(host_name);
  s.PeerSocket = peer;
  return StartTalkerThread(s, reporter_, report, peer);
}

int ChatConnectTask::Fail(GatedReporter& report, const std::string& line) {
  report.EventLine(line + "\n");
  settings_->ChatSocket.CloseAll();
  return -1;
}
