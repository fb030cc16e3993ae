#ifndef QUILLO_CORE_CHAT_CLIENT_CONNECT_TASK_H
#define QUILLO_CORE_CHAT_CLIENT_CONNECT_TASK_H

#include <string>

#include "core/thread/thread_task.h"

class GatedReporter;
class MessageHeader;
class ProgramSettings;
class Reporter;

// Joins a host's chat line: resolves ConnectAddress, connects to
// QuilloPortNumber on ChatSocket, signs on as ScreenName, shows the host's
// greeting and, unless the line is busy, hands the connection to a new
// talker thread. Failure reasons are event-window lines; the greeting and
// the busy notice are conversation lines. Run returns 0 when the
// conversation is up, -1 otherwise (ChatSocket is then closed).
//
// On success the connection lives on as PeerSocket (ChatSocket itself is
// closed), so the conversation's descriptor has a single owner.
class ChatConnectTask : public ThreadTask {
 public:
  // Binds the task to its session before StartThread; both must outlive
  // the thread.
  void Prepare(ProgramSettings* settings, Reporter* reporter);

  int Run(Thread* thread) override;
  // Wakes a connect thread blocked in resolving, connecting or receiving.
  void OnCancel(Thread* thread) override;

 private:
  // Steps 1 to 3: socket, resolution and connection; false on failure.
  bool Open(GatedReporter& report);
  // Receives the host's reply header and greeting text; false on failure.
  bool ReceiveReply(GatedReporter& report, MessageHeader* header, std::string* greeting);
  // Takes the conversation over; -1 when it could not be started.
  int StartConversation(Thread* thread, GatedReporter& report, const std::string& host_name);
  int Fail(GatedReporter& report, const std::string& line);

  ProgramSettings* settings_ = nullptr;
  Reporter* reporter_ = nullptr;
};

#endif  // QUILLO_CORE_CHAT_CLIENT_CONNECT_TASK_H
