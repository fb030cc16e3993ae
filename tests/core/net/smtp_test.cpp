// The SMTP client and the send-mail task against a small scripted server.
// The invitation through a real SMTP server is shown by the invitation
// panel's test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "core/chat/recording_reporter.h"
#include "core/net/send_mail_task.h"
#include "core/net/smtp_client.h"
#include "core/thread/thread.h"
#include "support/real_smtp_server.h"
#include "support/test_support.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using qtest::WaitUntil;

// One step of a scripted server: the reply it sends after reading a command
// (the first step's reply is the greeting, sent on connection). An empty
// reply sends nothing and waits for the client to go away; close drops the
// connection instead of answering.
struct Step {
  std::string reply;
  bool close = false;
};

// A one-connection SMTP server on loopback that follows a script and
// records the commands it reads. Every wait gives up after 15 seconds.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<Step> script) : script_(std::move(script)) {
    listener_ = qtest::BoundSocket();
    listen(listener_, 1);
    timeval limit{15, 0};  // accepted sockets inherit it
    setsockopt(listener_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedServer() {
    shutdown(listener_, SHUT_RDWR);  // wakes an accept nobody answered
    thread_.join();
    close(listener_);
  }

  int Port() const { return qtest::LocalPort(listener_); }
  bool Connected() const { return connected_; }
  bool WaitDone() {
    return WaitUntil([this] { return done_.load(); });
  }
  std::vector<std::string> Commands() {
    WaitDone();
    return commands_;
  }

 private:
  // One command line, or the whole message after DATA.
  bool ReadItem(int fd, bool message, std::string* item) {
    const std::string end = message ? "\r\n.\r\n" : "\r\n";
    size_t at;
    while ((at = pending_.find(end)) == std::string::npos) {
      char buffer[4096];
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return false;
      pending_.append(buffer, static_cast<size_t>(n));
    }
    *item = pending_.substr(0, at + end.size());
    pending_.erase(0, at + end.size());
    return true;
  }
  void Serve() {
    const int fd = accept(listener_, nullptr, nullptr);
    connected_ = fd >= 0;
    bool in_data = false;
    for (size_t i = 0; fd >= 0 && i < script_.size(); ++i) {
      if (i > 0) {
        std::string item;
        if (!ReadItem(fd, in_data, &item)) break;
        commands_.push_back(item);
        in_data = item == "DATA\r\n" && script_[i].reply.compare(0, 3, "354") == 0;
      }
      if (script_[i].close) break;
      if (script_[i].reply.empty()) {
        std::string ignored;
        ReadItem(fd, false, &ignored);  // until the client goes away
        break;
      }
      send(fd, script_[i].reply.data(), script_[i].reply.size(), MSG_NOSIGNAL);
    }
    if (fd >= 0) close(fd);
    done_ = true;
  }

  std::vector<Step> script_;
  int listener_ = -1;
  std::thread thread_;
  std::atomic<bool> connected_{false};
  std::atomic<bool> done_{false};
  std::string pending_;
  std::vector<std::string> commands_;
};

// Every field differs, so a field sent in the wrong place shows.
MailJob Job(int port) {
  MailJob job;
  job.MailServer = "127.0.0.1";
  job.MailServerPortNumber = port;
  job.ReturnEmailAddress = "host@example.org";
  job.MailRecipient = "<guest@example.org>";
  job.InvitationSubject = "Quillo Invitation";
  job.MailMessage = "Join me\n.\n.hidden\nBye\n";
  return job;
}

// Runs the task to its end; returns its exit value and the time it took.
int RunToEnd(SendMailTask& task, const MailJob& job, Reporter& reporter,
             steady_clock::duration* took = nullptr) {
  const auto begin = steady_clock::now();
  Thread* thread = task.Start(job, reporter);
  EXPECT_EQ(THREAD_NO_ERROR, thread->ErrorCode());
  task.JoinThread(thread);
  if (took != nullptr) *took = steady_clock::now() - begin;
  const int result = thread->ExitValue();
  task.DestroyThread(thread, false);
  return result;
}

const std::vector<Step> kGoodDialogue = {
    {"220 scripted ready\r\n"}, {"250 hello\r\n"},    {"250 reset\r\n"},  {"250 sender ok\r\n"},
    {"250 recipient ok\r\n"},   {"354 go ahead\r\n"}, {"250 queued\r\n"}, {"221 bye\r\n"}};

TEST(SmtpDialogueTest, CommandsCarryBracketedAddressesAndTheMessageIsFramed) {
  std::vector<Step> script = kGoodDialogue;  // multi-line replies are read to their last line
  script[0].reply = "220-scripted\r\n220-says\r\n220 hello\r\n";
  script[1].reply = "250-first\r\n250-SIZE 100\r\n250 last\r\n";
  ScriptedServer server(script);
  RecordingReporter reporter;
  SendMailTask task;
  MailJob job = Job(server.Port());
  job.ReturnEmailAddress = "host@example.org>";  // brackets added where missing
  job.MailRecipient = "<guest@example.org";
  job.InvitationSubject = "Quillo\r\nBcc: someone@example.org";
  EXPECT_EQ(0, RunToEnd(task, job, reporter));
  std::vector<std::string> commands = server.Commands();
  ASSERT_EQ(7u, commands.size());
  const std::string message = commands[5];
  commands.erase(commands.begin() + 5);
  EXPECT_THAT(commands,
              ElementsAre("HELO 127.0.0.1.\r\n", "RSET\r\n", "MAIL FROM: <host@example.org>\r\n",
                          "RCPT TO: <guest@example.org>\r\n", "DATA\r\n", "QUIT\r\n"));
  EXPECT_TRUE(std::regex_search(
      message, std::regex("^Date: [A-Z][a-z]{2}, [0-3][0-9] [A-Z][a-z]{2} [0-9]{4} "
                          "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] - [^\r\n]+\r\n")))
      << message;
  EXPECT_THAT(message, HasSubstr("\r\nFrom: <host@example.org>\r\nTo: <guest@example.org>\r\n"
                                 "Subject: QuilloBcc: someone@example.org\r\n\r\n"
                                 "Join me\r\n..\r\n..hidden\r\nBye\r\n.\r\n"));
  EXPECT_THAT(
      reporter.Lines(),
      ElementsAre("Connecting to mail server\n", "220-scripted\n220-says\n220 hello\n",
                  "250-first\n250-SIZE 100\n250 last\n", "Sending message\n", "250 queued\n",
                  "Disconnecting from the server\n", "221 bye\n", "Message sent\n"));
  EXPECT_EQ(kInvalidSocket, task.Client().MainHandle());
}

TEST(SmtpDialogueTest, FailuresEndWithTheServersText) {
  std::vector<Step> refused(kGoodDialogue.begin(), kGoodDialogue.begin() + 5);
  refused[4].reply = "550 5.1.1 No such user here\r\n";
  const std::string connecting = "Connecting to mail server\n";
  const std::string unexpected = "Socket exception: Unexpected reply from server\n";
  struct Case {
    std::vector<Step> script;
    std::vector<std::string> lines;
    int reply_seconds = 0;  // 0: the full 30-second limit, which the failure must cut short
  } cases[] = {
      {{{""}}, {connecting, "Socket exception: Request timed out\n"}, 1},
      {refused,
       {connecting, "220 scripted ready\n", "250 hello\n", "Sending message\n", unexpected,
        "550 5.1.1 No such user here\n"}},
      // The expected code inside another reply is no success.
      {{{"554 no 220 for you\r\n"}}, {connecting, unexpected, "554 no 220 for you\n"}},
      {{{std::string(1100, 'x')}},
       {connecting, "Socket exception: Buffer overflow error\n", std::string(1024, 'x') + "\n"}},
      // The server said nothing to the failing command: no reply line.
      {{{"220 ready\r\n"}, {"250 hello\r\n"}, {"", true}},
       {connecting, "220 ready\n", "250 hello\n", "Sending message\n",
        "Socket exception: Receive error\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.back());
    ScriptedServer server(c.script);
    RecordingReporter reporter;
    SendMailTask task;
    if (c.reply_seconds > 0) task.SetReplySeconds(c.reply_seconds);
    steady_clock::duration took;
    EXPECT_EQ(-1, RunToEnd(task, Job(server.Port()), reporter, &took));
    EXPECT_GE(took, milliseconds(c.reply_seconds * 900));
    EXPECT_LT(took, milliseconds(5000));
    EXPECT_EQ(c.lines, reporter.Lines());
    EXPECT_EQ(kInvalidSocket, task.Client().MainHandle());
  }
}

TEST(SmtpDialogueTest, CancelDuringTheWaitEndsQuietlyAtOnce) {
  ScriptedServer server({{""}});
  RecordingReporter reporter;
  SendMailTask task;  // would wait 30 seconds
  Thread* thread = task.Start(Job(server.Port()), reporter);
  ASSERT_TRUE(WaitUntil([&] { return server.Connected(); }));
  std::this_thread::sleep_for(milliseconds(20));
  const auto begin = steady_clock::now();
  EXPECT_EQ(0, task.CancelThread(thread));
  EXPECT_TRUE(server.WaitDone());  // the client went away
  EXPECT_EQ(0, task.DestroyThread(thread, true));
  EXPECT_LT(steady_clock::now() - begin, milliseconds(1000));
  EXPECT_THAT(reporter.Lines(), ElementsAre("Connecting to mail server\n"));
  EXPECT_EQ(kInvalidSocket, task.Client().MainHandle());

  // The task serves the next invitation as before.
  ScriptedServer next(kGoodDialogue);
  RecordingReporter next_reporter;
  EXPECT_EQ(0, RunToEnd(task, Job(next.Port()), next_reporter));
  EXPECT_EQ("Message sent\n", next_reporter.Lines().back());
}

// The invitation as a real mail server stores it: its headers, the date
// among them, and the text with its dotted lines intact.
TEST(SmtpRealServerTest, InvitationArrivesWithHeadersAndTextIntact) {
  qtest::RealSmtpServer server;
  ASSERT_TRUE(server.Ready()) << "aiosmtpd (python3-aiosmtpd) did not start";
  RecordingReporter reporter;
  SendMailTask task;
  MailJob job = Job(server.Port());
  job.MailMessage = "You are invited.\n.\n..two dots\n.one dot\nQUIT\n";
  ASSERT_EQ(0, RunToEnd(task, job, reporter));
  EXPECT_THAT(reporter.Lines(),
              ElementsAre("Connecting to mail server\n", StartsWith("220 "), StartsWith("250 "),
                          "Sending message\n", StartsWith("250 "),
                          "Disconnecting from the server\n", StartsWith("221 "), "Message sent\n"));
  std::vector<std::string> messages;
  ASSERT_TRUE(WaitUntil([&] { return !(messages = server.Messages()).empty(); }));
  EXPECT_THAT(messages[0], HasSubstr("From: <host@example.org>\nTo: <guest@example.org>\n"
                                     "Subject: Quillo Invitation\n"));
  EXPECT_TRUE(std::regex_search(messages[0], std::regex("(^|\n)Date: [A-Z][a-z]{2}, ")));
  EXPECT_THAT(messages[0], HasSubstr("\n\n" + job.MailMessage));
}

}  // namespace
