#ifndef QUILLO_TESTS_NET_MAIL_TEST_JOB_H
#define QUILLO_TESTS_NET_MAIL_TEST_JOB_H

// One invitation for the mail tests, filled into a MailJob or into the
// settings the Invitation panel edits (the same field names). Every field
// differs from the others, so a field copied into the wrong place shows.
#include <string>

inline const char* const kTestMailMessage = "Join me\n.\n.hidden\nBye\n";

template <typename Mail>
void FillTestMail(Mail& mail, int port) {
  mail.MailServer = "127.0.0.1";
  mail.MailServerPortNumber = port;
  mail.ReturnEmailAddress = "host@example.org";
  mail.MailRecipient = "<guest@example.org>";
  mail.InvitationSubject = "Quillo Invitation";
  mail.MailMessage = kTestMailMessage;
}

#endif  // QUILLO_TESTS_NET_MAIL_TEST_JOB_H
