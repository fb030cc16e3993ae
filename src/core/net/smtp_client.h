#ifndef QUILLO_CORE_NET_SMTP_CLIENT_H
#define QUILLO_CORE_NET_SMTP_CLIENT_H

#include <string>

#include "core/net/socket.h"

// A minimal SMTP client: HELO, RSET, MAIL FROM, RCPT TO, DATA, the message
// and QUIT over its own (main) handle.
//
// A reply is complete when its last line has arrived: a line that starts
// with three digits not followed by "-" (multi-line replies "250-..." are
// read to their end). A complete reply with the expected code succeeds; any
// other code fails at once with SOCKET_UNEXPECTED_REPLY, the reply staying
// in ReplyText(). Each wait for reply data is limited by the reply time
// limit (SOCKET_REQUEST_TIMEOUT); a reply that fills the 1024-byte buffer
// without completing fails with SOCKET_BUFOVERFLOW_ERROR.
//
// Operations return 0 or the error code they set (also in ErrorCode()).
// CR and LF are removed from every argument before it goes into a command
// or a header line. Used by one thread; Shutdown (Socket) may come from
// another to wake it.
class SmtpClient : public Socket {
 public:
  static constexpr int kBufferSize = 1024;

  SmtpClient();

  // Reads one reply into buffer (limit bytes, plus a terminating zero that
  // buffer must have room for); true when it carries the expected code.
  bool ReadReply(char* buffer, int limit, const char* expected);
  // Sends "verb argument\r\n" (or "verb\r\n") and reads the reply.
  int Command(const char* verb, const char* expected, const char* argument = nullptr);

  // Clears the last error and reply, connects and reads the "220" greeting.
  int SmtpConnect(const std::string& server, int port);
  int Helo(const std::string& domain);
  int Reset();
  int MailFrom(const std::string& address);
  int RcptTo(const std::string& address);
  int Quit();
  // The whole transaction after HELO: RSET, MAIL FROM, RCPT TO, DATA, the
  // header lines, an empty line, the text with CR LF line ends and lines
  // starting with "." doubled, and the final ".".
  int SendMessage(const std::string& to, const std::string& from, const std::string& subject,
                  const std::string& text);

  // The text of the "Date:" line: weekday, day, month, year, time, " - " and
  // the time-zone name, e.g. "Sat, 05 Dec 2026 07:52:28 - UTC".
  static std::string DateText();

  void SetReplyTimeLimit(int seconds, int microseconds) {
    reply_seconds_ = seconds;
    reply_microseconds_ = microseconds;
  }
  int ReplySeconds() const { return reply_seconds_; }
  int ReplyMicroseconds() const { return reply_microseconds_; }

  const char* ReplyText() const { return reply_; }
  const char* CommandText() const { return command_; }

 private:
  // Fails with code and returns it.
  int Fail(int code);

  char reply_[kBufferSize + 1];
  char command_[kBufferSize];
  int reply_seconds_ = 5;
  int reply_microseconds_ = 0;
};

// text without its CR and LF bytes.
std::string WithoutLineBreaks(const std::string& text);
// The address inside "<" and ">", adding only the brackets it lacks.
std::string BracketedAddress(const std::string& address);
// The message text as SMTP carries it: every line ending in CR LF (bare LF
// and bare CR count as line ends) and a "." doubled at the start of a line.
std::string SmtpMessageBody(const std::string& text);

#endif  // QUILLO_CORE_NET_SMTP_CLIENT_H
