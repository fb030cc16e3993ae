#ifndef QUILLO_CORE_NET_MAIL_STATE_H
#define QUILLO_CORE_NET_MAIL_STATE_H

#include <string>

#include "core/net/send_mail_task.h"

class Thread;

// The invitation mailer's part of ProgramSettings. The Invitation panel
// sets MailRecipient and MailMessage (and InvitationSubject, a setting)
// before it starts MailTask; Start copies them, so they may change while the
// mail is on its way. All fields belong to the GUI thread.
//
// Stop SendMailThread (cancel and destroy) before the settings object is
// destroyed: the task must outlive its thread.
struct MailState {
  std::string MailRecipient;  // the recipient's address
  std::string MailMessage;    // the invitation text

  // The send-mail task, which owns the SMTP client, and its running thread.
  SendMailTask MailTask;
  Thread* SendMailThread = nullptr;
};

#endif  // QUILLO_CORE_NET_MAIL_STATE_H
