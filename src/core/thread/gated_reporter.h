#ifndef QUILLO_CORE_THREAD_GATED_REPORTER_H
#define QUILLO_CORE_THREAD_GATED_REPORTER_H

#include <string>

#include "core/util/reporter.h"

class Thread;

// The reporting path of a worker: forwards to the real Reporter while its
// thread has not been cancelled and drops everything afterwards. Lines,
// status texts and messages are forwarded inside the thread's commit lock,
// so nothing reaches a window once CancelThread has returned. The activity
// sound and the minimised query are checked against the gate but run
// outside the lock (they may wait for the GUI thread); after a cancel the
// query answers false. With a null thread everything is forwarded.
//
//   int MyTask::Run(Thread* thread) {
//     GatedReporter report(*reporter_, thread);
//     report.EventLine("Connecting to mail server\n");
class GatedReporter : public Reporter {
 public:
  GatedReporter(Reporter& target, Thread* thread) : target_(target), thread_(thread) {}

  void ConversationLine(const std::string& text) override;
  void EventLine(const std::string& text) override;
  void StatusText(const std::string& text) override;
  void ProgramMessage(const std::string& first, const std::string& second,
                      const std::string& third) override;
  void PlayActivitySound() override;
  bool MainFrameMinimised() override;
  void ChatLineArrived(const std::string& sender, const std::string& line) override;

 private:
  Reporter& target_;
  Thread* thread_;
};

#endif  // QUILLO_CORE_THREAD_GATED_REPORTER_H
