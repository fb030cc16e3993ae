#include "core/chat/talker_task.h"

#include <new>
#include <vector>

#include "core/chat/cipher_table.h"
#include "core/chat/message_header.h"
#include "core/chat/peer_socket.h"
#include "core/settings/program_settings.h"
#include "core/thread/commit_scope.h"
#include "core/thread/gated_reporter.h"
#include "core/thread/thread.h"

void ChatTalkerTask::Prepare(ProgramSettings* settings, Reporter* reporter, SocketHandle peer) {
  settings_ = settings;
  reporter_ = reporter;
  peer_ = peer;
  ended_ = false;
}

int ChatTalkerTask::Run(Thread* thread) {
  GatedReporter report(*reporter_, thread);
  ProgramSettings& s = *settings_;
  Commit(thread, [&s] { s.TalkerRunning = 1; });
  while (s.TalkerRunning.load() != 0) {
    MessageHeader header;
    if (receiver_.RecvAll(peer_, header.Data(), static_cast<int>(MessageHeader::kSize)) < 0) {
      return Disconnected(thread, report);
    }
    switch (header.Type()) {
      case MSG_BUSY:
        Commit(thread, [&] {
          report.ConversationLine(s.PeerName.Get() +
                                  " Quillo line is currently busy.\nSigning off...\n");
          ClosePeerIf(s, peer_);
        });
        if (s.EnableAudio) report.PlayActivitySound();
        return 0;
      case MSG_SIGNOFF:
        report.ConversationLine(s.PeerName.Get() + " has signed off\n");
        if (s.EnableAudio) report.PlayActivitySound();
        return 0;
      case MSG_SAY: {
        int result = 0;
        if (!ReceiveChatLine(thread, report, header.SenderName(), header.BodyLength(), &result)) {
          return result;
        }
        break;
      }
      default:
        break;  // unknown types carry nothing we read
    }
  }
  return 0;
}

bool ChatTalkerTask::ReceiveChatLine(Thread* thread, GatedReporter& report,
                                     const std::string& sender, uint32_t length, int* result) {
  ProgramSettings& s = *settings_;
  if (length > kMaxBodyLength) {
    *result = Disconnected(thread, report);
    return false;
  }
  const CipherTable table = BuildCipherTable(s.EncryptionKey);
  std::vector<unsigned char> body;
  try {
    body.resize(length);
  } catch (const std::bad_alloc&) {
    report.ConversationLine("A memory alloaction error occurred\n");
    report.ConversationLine("Discarding message from " + s.PeerName.Get() + "\n");
    for (uint32_t left = length; left > 0;) {
      unsigned char scrap[4096];
      const int n = static_cast<int>(left < sizeof scrap ? left : sizeof scrap);
      if (receiver_.RecvAll(peer_, scrap, n) < 0) {
        *result = Disconnected(thread, report);
        return false;
      }
      left -= static_cast<uint32_t>(n);
    }
    return true;
  }
  if (s.TalkerRunning.load() == 0) {
    *result = 0;
    return false;
  }
  if (length > 0 && receiver_.RecvAll(peer_, body.data(), static_cast<int>(length)) < 0) {
    *result = Disconnected(thread, report);
    return false;
  }
  const std::string line = DecipherBody(table, body.data(), length);
  report.ConversationLine(sender + " Says>\n" + line + "\n\n");
  report.ChatLineArrived(sender, line);
  if (s.EnableAudio && report.MainFrameMinimised()) report.PlayActivitySound();
  return true;
}

int ChatTalkerTask::Disconnected(Thread* thread, GatedReporter& report) {
  ProgramSettings& s = *settings_;
  Commit(thread, [&] {
    report.ConversationLine(s.PeerName.Get() + " has been disconnected\n");
    ClosePeerIf(s, peer_);
  });
  return -1;
}

void ChatTalkerTask::OnExit(Thread* thread) {
  // A cancel that arrives now waits for this step and then finds the talk
  // ended; one that came first has closed the gate, and EndTalk ran there.
  CommitScope commit(thread);
  if (!commit.Open()) return;
  EndTalk(*reporter_, true);
}

// The descriptor may still be under the talker's receive: only wake it and
// leave the close to whoever destroys the thread.
void ChatTalkerTask::OnCancel(Thread*) { EndTalk(*reporter_, false); }

void ChatTalkerTask::EndTalk(Reporter& report, bool close_peer) {
  if (ended_.exchange(true)) return;
  ProgramSettings& s = *settings_;
  report.ConversationLine(s.PeerName.Get() + " has been disconnected\n");
  SignOffPeerIf(s, peer_, s.ScreenName, !close_peer);
  if (close_peer) ClosePeerIf(s, peer_);
  s.LineBusy = 0;
}

int StartTalkerThread(ProgramSettings& s, Reporter* reporter, GatedReporter& report,
                      SocketHandle peer) {
  s.TalkerTask.Prepare(&s, reporter, peer);
  Thread* talker = s.TalkerTask.StartThread(ThreadType::JOINABLE);
  if (talker != nullptr && talker->ErrorCode() == THREAD_NO_ERROR) {
    s.TalkerThread = talker;
    return 0;
  }
  report.ConversationLine("Could not start Quillo talker thread.\n");
  if (talker != nullptr) {
    report.ConversationLine(std::string(s.TalkerTask.Manager().ThreadErrorText(talker)) + "\n");
    s.TalkerTask.DestroyThread(talker, false);
  }
  ClosePeerIf(s, peer);
  s.LineBusy = 0;
  return -1;
}
