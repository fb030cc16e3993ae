#include "core/net/smtp_client.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// Where the last line of a complete reply starts in text[0, length), or -1
// while the reply goes on.
int LastLineStart(const char* text, int length) {
  int start = 0;
  for (int i = 0; i < length; ++i) {
    if (text[i] != '\n') continue;
    const bool continued = i - start >= 4 && isdigit(static_cast<unsigned char>(text[start])) &&
                           isdigit(static_cast<unsigned char>(text[start + 1])) &&
                           isdigit(static_cast<unsigned char>(text[start + 2])) &&
                           text[start + 3] == '-';
    if (!continued) return start;
    start = i + 1;
  }
  return -1;
}

}  // namespace

std::string WithoutLineBreaks(const std::string& text) {
  std::string clean;
  clean.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\n') clean += c;
  }
  return clean;
}

std::string BracketedAddress(const std::string& address) {
  std::string result = WithoutLineBreaks(address);
  if (result.empty() || result.front() != '<') result.insert(0, "<");
  if (result.back() != '>') result += '>';
  return result;
}

std::string SmtpMessageBody(const std::string& text) {
  std::string body;
  body.reserve(text.size() + text.size() / 16 + 2);
  bool line_start = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      body += "\r\n";
      line_start = true;
      continue;
    }
    if (line_start && c == '.') body += '.';
    body += c;
    line_start = false;
  }
  return body;
}

SmtpClient::SmtpClient() {
  reply_[0] = '\0';
  command_[0] = '\0';
}

int SmtpClient::Fail(int code) {
  SetErrorCode(code);
  return code;
}

bool SmtpClient::ReadReply(char* buffer, int limit, const char* expected) {
  int received = 0;
  buffer[0] = '\0';
  for (;;) {
    if (received >= limit) {
      SetErrorCode(SOCKET_BUFOVERFLOW_ERROR);
      buffer[received] = '\0';
      return false;
    }
    const int ready = WaitReadable(MainHandle(), reply_seconds_, reply_microseconds_);
    if (ready == 0) {
      SetErrorCode(SOCKET_REQUEST_TIMEOUT);
      buffer[received] = '\0';
      return false;
    }
    const ssize_t result =
        ready < 0 ? -1 : ::recv(MainHandle(), buffer + received, limit - received, 0);
    if (result <= 0) {
      SetErrorCode(SOCKET_RECEIVE_ERROR);
      buffer[received] = '\0';
      return false;
    }
    received += static_cast<int>(result);
    buffer[received] = '\0';
    const int last = LastLineStart(buffer, received);
    if (last < 0) continue;
    if (strncmp(buffer + last, expected, strlen(expected)) == 0) return true;
    SetErrorCode(SOCKET_UNEXPECTED_REPLY);
    return false;
  }
}

int SmtpClient::Command(const char* verb, const char* expected, const char* argument) {
  std::string line = verb;
  if (argument != nullptr) line += ' ' + WithoutLineBreaks(argument);
  line += "\r\n";
  if (line.size() >= sizeof command_) return Fail(SOCKET_BUFOVERFLOW_ERROR);
  memcpy(command_, line.c_str(), line.size() + 1);
  if (SendAll(command_, static_cast<int>(line.size())) < 0) return ErrorCode();
  if (!ReadReply(reply_, kBufferSize, expected)) return ErrorCode();
  return 0;
}

int SmtpClient::SmtpConnect(const std::string& server, int port) {
  SetErrorCode(SOCKET_NO_ERROR);
  reply_[0] = '\0';
  command_[0] = '\0';
  if (StartWinsock() != 0) return ErrorCode();
  if (InitSocket(1, port, WithoutLineBreaks(server).c_str()) < 0) return ErrorCode();
  if (Connect() < 0) return ErrorCode();
  if (!ReadReply(reply_, kBufferSize, "220")) return ErrorCode();
  return 0;
}

int SmtpClient::Helo(const std::string& domain) { return Command("HELO", "250", domain.c_str()); }

int SmtpClient::Reset() { return Command("RSET", "250"); }

int SmtpClient::MailFrom(const std::string& address) {
  return Command("MAIL FROM:", "250", address.c_str());
}

int SmtpClient::RcptTo(const std::string& address) {
  return Command("RCPT TO:", "250", address.c_str());
}

int SmtpClient::Quit() { return Command("QUIT", "221"); }

int SmtpClient::SendMessage(const std::string& to, const std::string& from,
                            const std::string& subject, const std::string& text) {
  int result = Reset();
  if (result == 0) result = MailFrom(from);
  if (result == 0) result = RcptTo(to);
  if (result == 0) result = Command("DATA", "354");
  if (result != 0) return result;

  const std::string header = "Date: " + DateText() + "\r\nFrom: " + WithoutLineBreaks(from) +
                             "\r\nTo: " + WithoutLineBreaks(to) +
                             "\r\nSubject: " + WithoutLineBreaks(subject) + "\r\n\r\n";
  std::string body = SmtpMessageBody(text);
  // The end of the message is a line of its own holding a single ".".
  const bool ends_line = body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0;
  body += ends_line ? ".\r\n" : "\r\n.\r\n";
  if (SendAll(header.data(), static_cast<int>(header.size())) < 0 ||
      SendAll(body.data(), static_cast<int>(body.size())) < 0) {
    return ErrorCode();
  }
  if (!ReadReply(reply_, kBufferSize, "250")) return ErrorCode();
  return 0;
}

std::string SmtpClient::DateText() {
  const time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  const char* const formats[8] = {"%a", "%d", "%b", "%Y", "%H", "%M", "%S", "%Z"};
  char pieces[8][25];
  for (int i = 0; i < 8; ++i) {
    if (strftime(pieces[i], sizeof pieces[i], formats[i], &local) == 0) pieces[i][0] = '\0';
  }
  char text[8 * 25 + 16];
  snprintf(text, sizeof text, "%s, %s %s %s %s:%s:%s - %s", pieces[0], pieces[1], pieces[2],
           pieces[3], pieces[4], pieces[5], pieces[6], pieces[7]);
  return text;
}
