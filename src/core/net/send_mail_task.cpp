#include "core/net/send_mail_task.h"

#include "core/thread/gated_reporter.h"
#include "core/thread/thread.h"

namespace {

// A server reply as event-window lines: CR LF line ends become line feeds.
std::string ReplyLines(const char* reply) {
  std::string lines;
  for (const char* c = reply; *c != '\0'; ++c) {
    if (*c != '\r') lines += *c;
  }
  if (!lines.empty() && lines.back() != '\n') lines += '\n';
  return lines;
}

}  // namespace

Thread* SendMailTask::Start(const MailJob& job, Reporter& reporter) {
  // No thread of this task runs now, so the socket may be re-armed after a
  // cancelled run without racing a canceller.
  job_ = job;
  reporter_ = &reporter;
  client_.ClearShutdown();
  return StartThread(ThreadType::JOINABLE);
}

int SendMailTask::Fail(Reporter& report) {
  report.EventLine(std::string(client_.ErrorText()) + "\n");
  if (client_.ReplyText()[0] != '\0') report.EventLine(ReplyLines(client_.ReplyText()));
  client_.CloseAll();
  return -1;
}

int SendMailTask::Run(Thread* thread) {
  GatedReporter report(*reporter_, thread);
  const std::string sender = BracketedAddress(job_.ReturnEmailAddress);
  const std::string recipient = BracketedAddress(job_.MailRecipient);
  const std::string server = WithoutLineBreaks(job_.MailServer);
  client_.SetReplyTimeLimit(reply_seconds_, 0);

  report.EventLine("Connecting to mail server\n");
  if (client_.SmtpConnect(server, job_.MailServerPortNumber) != 0) return Fail(report);
  report.EventLine(ReplyLines(client_.ReplyText()));
  if (client_.Helo(server + ".") != 0) return Fail(report);
  report.EventLine(ReplyLines(client_.ReplyText()));
  report.EventLine("Sending message\n");
  if (client_.SendMessage(recipient, sender, job_.InvitationSubject, job_.MailMessage) != 0) {
    return Fail(report);
  }
  report.EventLine(ReplyLines(client_.ReplyText()));
  report.EventLine("Disconnecting from the server\n");
  if (client_.Quit() != 0) return Fail(report);
  report.EventLine(ReplyLines(client_.ReplyText()));
  report.EventLine("Message sent\n");
  client_.CloseAll();
  return 0;
}

void SendMailTask::OnExit(Thread*) { client_.CloseAll(); }

void SendMailTask::OnCancel(Thread*) { client_.Shutdown(); }
