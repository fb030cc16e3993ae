#ifndef QUILLO_CORE_NET_SEND_MAIL_TASK_H
#define QUILLO_CORE_NET_SEND_MAIL_TASK_H

#include <string>

#include "core/net/smtp_client.h"
#include "core/thread/thread_task.h"

class Reporter;
class Thread;

// What one invitation needs, copied from the settings when it is started so
// the worker never reads fields the GUI thread may change meanwhile.
struct MailJob {
  std::string MailServer;
  int MailServerPortNumber = 25;
  std::string ReturnEmailAddress;
  std::string MailRecipient;
  std::string InvitationSubject;
  std::string MailMessage;
};

// Sends one invitation through the SMTP server on the send-mail thread,
// reporting each step and each server reply as an event-window line.
//
// Use from the GUI thread:
//   Thread* t = settings.MailTask.Start(MailJobOf(settings), reporter);
//   ... wait until t->State() is EXITED (ExitValue() 0: sent), or on Cancel
//   settings.MailTask.CancelThread(t);  then  DestroyThread(t, true).
// Only one send-mail thread runs at a time; the task must outlive it.
//
// Cancelling shuts the client's socket down, which wakes the worker in any
// wait; its reports are dropped by the thread's gate and it closes the
// socket itself before it returns.
class SendMailTask : public ThreadTask {
 public:
  // Copies the job (MailJobOf in settings/settings_parts.h builds it from
  // the settings), keeps reporter (which must outlive the thread) and starts
  // a JOINABLE thread; see ThreadManager::StartThread for the result.
  Thread* Start(const MailJob& job, Reporter& reporter);

  int Run(Thread* thread) override;
  void OnExit(Thread* thread) override;    // closes the client
  void OnCancel(Thread* thread) override;  // wakes the worker

  // Seconds each wait for a server reply may take (30 unless a test needs
  // less).
  void SetReplySeconds(int seconds) { reply_seconds_ = seconds; }

  SmtpClient& Client() { return client_; }
  const MailJob& Job() const { return job_; }

 private:
  // Reports the client's failure, closes it and returns -1.
  int Fail(Reporter& report);

  SmtpClient client_;
  MailJob job_;
  Reporter* reporter_ = nullptr;
  int reply_seconds_ = 30;
};

#endif  // QUILLO_CORE_NET_SEND_MAIL_TASK_H
