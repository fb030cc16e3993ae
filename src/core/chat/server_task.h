#ifndef QUILLO_CORE_CHAT_SERVER_TASK_H
#define QUILLO_CORE_CHAT_SERVER_TASK_H

#include <string>

#include "core/thread/thread_task.h"

class GatedReporter;
class MessageHeader;
class ProgramSettings;
class Reporter;

// The host's accept loop on ChatSocket's listener. The first caller on a
// free line is greeted (MSG_WELCOME) and handed to a new talker thread;
// callers that arrive while the line is busy get MSG_BUSY with the greeting
// and are disconnected. Runs until cancelled; OnCancel wakes it by shutting
// ChatSocket down, and the thread that destroys the thread closes the socket
// afterwards (CloseAll).
//
// A caller must send its 33-byte sign-on within the session's
// SignOnTimeoutMilliseconds, otherwise it is treated as a failed receive, so
// a silent caller cannot hold the line.
class ChatServerTask : public ThreadTask {
 public:
  // Binds the task to its session before StartThread; both must outlive
  // the thread.
  void Prepare(ProgramSettings* settings, Reporter* reporter);

  int Run(Thread* thread) override;
  void OnExit(Thread* thread) override;
  void OnCancel(Thread* thread) override;

  // The handshake with the caller held as ChatSocket's remote handle; 0 when
  // the talker runs, -1 otherwise (the caller's connection is then closed).
  int GreetClient(Thread* thread, GatedReporter& report);

 private:
  // Answers a caller on a busy line and disconnects it.
  void AnswerBusy(Thread* thread, GatedReporter& report);
  // Receives the caller's header within the sign-on limit; false on failure.
  bool ReceiveSignOn(MessageHeader* header);
  // Sends a greeting reply of the given type on the remote handle.
  bool SendGreeting(uint32_t type, const std::string& greeting);
  // Hands the greeted caller to a new talker thread; see GreetClient.
  int StartTalker(Thread* thread, GatedReporter& report, const std::string& peer_name);
  // Clears the line and the count and wakes the accept loop.
  void Stop();

  ProgramSettings* settings_ = nullptr;
  Reporter* reporter_ = nullptr;
};

#endif  // QUILLO_CORE_CHAT_SERVER_TASK_H
