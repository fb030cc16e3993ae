#ifndef QUILLO_CORE_CHAT_TALKER_TASK_H
#define QUILLO_CORE_CHAT_TALKER_TASK_H

#include <atomic>
#include <string>

#include "core/net/socket.h"
#include "core/thread/thread_task.h"

class GatedReporter;
class ProgramSettings;
class Reporter;

// Receives the peer's messages for one conversation and shows each chat
// line; runs on both sides (started by the host's greeting or by the client
// connect task). Sending is the GUI thread's job (SendChatLine).
//
// Ownership of the conversation's descriptor: the greeter stores it in
// PeerSocket and passes it to Prepare. While the talker runs on its own, it
// closes the descriptor itself when the conversation ends (clearing
// PeerSocket). Once it is cancelled it only wakes up and returns; the
// canceller (StopTalker in the engine) closes PeerSocket after destroying
// the thread, so a descriptor number is never reused under a receive.
//
// EndTalk (OnExit on the talker, OnCancel on the canceller) runs once per
// conversation: reports the peer as disconnected, sends a sign-off if the
// connection is still open and frees the line.
class ChatTalkerTask : public ThreadTask {
 public:
  // Binds the task to the conversation before StartThread. The caller holds
  // the session's TalkerSlotLock and has reaped any earlier talker thread.
  void Prepare(ProgramSettings* settings, Reporter* reporter, SocketHandle peer);

  int Run(Thread* thread) override;
  void OnExit(Thread* thread) override;
  void OnCancel(Thread* thread) override;

 private:
  // The receive loop's failure: reported and closed unless cancelled.
  int Disconnected(Thread* thread, GatedReporter& report);
  // Receives and shows one MSG_SAY body; false when the connection failed
  // or the talker was asked to stop (then *result is Run's value).
  bool ReceiveChatLine(Thread* thread, GatedReporter& report, const std::string& sender,
                       uint32_t length, int* result);
  // Once per conversation; close_peer on the talker itself.
  void EndTalk(Reporter& report, bool close_peer);

  ProgramSettings* settings_ = nullptr;
  Reporter* reporter_ = nullptr;
  SocketHandle peer_ = kInvalidSocket;
  Socket receiver_;  // error state of this thread's receives
  std::atomic<bool> ended_{false};
};

// Starts the talker for a peer whose name and handle the caller has put in
// the session (and the line marked busy). On failure reports it, closes the
// peer and frees the line. Returns 0 or -1.
int StartTalkerThread(ProgramSettings& s, Reporter* reporter, GatedReporter& report,
                      SocketHandle peer);

#endif  // QUILLO_CORE_CHAT_TALKER_TASK_H
