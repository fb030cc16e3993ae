// The mailer as the Invitation panel drives it: fields of ProgramSettings.
#include "core/net/mail_state.h"

#include <gtest/gtest.h>

#include "core/chat/recording_reporter.h"
#include "core/net/mail_test_job.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_parts.h"
#include "core/thread/thread.h"
#include "support/test_support.h"

namespace {

TEST(MailStateTest, StartCopiesTheMailFieldsOfTheSettings) {
  // A port with no server: the run fails at the connection, after Start has
  // taken its copy.
  const int port = qtest::FreePort();
  ProgramSettings settings;
  FillTestMail(settings, port);
  RecordingReporter reporter;
  settings.SendMailThread = settings.MailTask.Start(MailJobOf(settings), reporter);
  ASSERT_NE(nullptr, settings.SendMailThread);
  settings.MailRecipient = "changed@example.org";  // the GUI may go on editing
  settings.MailTask.JoinThread(settings.SendMailThread);
  EXPECT_EQ(-1, settings.SendMailThread->ExitValue());
  EXPECT_EQ(0, settings.MailTask.DestroyThread(settings.SendMailThread, true));
  settings.SendMailThread = nullptr;

  const MailJob& job = settings.MailTask.Job();
  EXPECT_EQ("127.0.0.1", job.MailServer);
  EXPECT_EQ(port, job.MailServerPortNumber);
  EXPECT_EQ("host@example.org", job.ReturnEmailAddress);
  EXPECT_EQ("<guest@example.org>", job.MailRecipient);
  EXPECT_EQ("Quillo Invitation", job.InvitationSubject);
  EXPECT_EQ(kTestMailMessage, job.MailMessage);
  EXPECT_EQ((std::vector<std::string>{"Connecting to mail server\n",
                                      "Socket exception: Could not connect socket\n"}),
            reporter.Lines());
}

}  // namespace
