#ifndef QUILLO_TESTS_CHAT_CHAT_TEST_SUPPORT_H
#define QUILLO_TESTS_CHAT_CHAT_TEST_SUPPORT_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/chat/chat_engine.h"
#include "core/chat/cipher_table.h"
#include "core/chat/message_header.h"
#include "core/chat/recording_reporter.h"
#include "core/settings/program_settings.h"
#include "core/thread/thread.h"
#include "support/test_support.h"

namespace chat_test {

using qtest::FreePort;

// One side of a conversation: its own settings and window lines.
struct ChatEnd {
  explicit ChatEnd(const std::string& name, uint16_t key = 52917) {
    settings.ScreenName = name;
    settings.EncryptionKey = key;
    settings.EnableAudio = 1;
  }
  ~ChatEnd() { StopChatWorkers(settings); }

  bool Host(int port) {
    settings.QuilloPortNumber = port;
    OpenHostSession(settings, reporter);
    return settings.Hosting.load() == 1;
  }

  // Runs the connect task to its end as the Connect panel does; returns its
  // exit value (-99 when it did not end in time).
  int Connect(int port, const std::string& address = "127.0.0.1") {
    settings.ConnectAddress = address;
    settings.QuilloPortNumber = port;
    Thread* thread = StartClientConnection(settings, reporter);
    if (thread == nullptr) return -98;
    const bool ended = qtest::WaitUntil([&] { return thread->State() == ThreadState::EXITED; });
    const int result = ended ? thread->ExitValue() : -99;
    settings.ClientConnectTask.DestroyThread(thread, true);
    return result;
  }

  bool Send(const std::string& text) { return SendChatLine(settings, reporter, text); }

  // Waits until the flag holds the value.
  static bool WaitUntil(const std::atomic<int>& flag, int value) {
    return qtest::WaitUntil([&] { return flag.load() == value; });
  }

  ProgramSettings settings;
  RecordingReporter reporter;
};

// A caller that speaks the wire protocol by hand; every receive gives up
// after ten seconds.
class RawCaller {
 public:
  explicit RawCaller(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{10, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawCaller() { Close(); }

  bool Connected() const { return connected_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  bool SendBytes(const void* bytes, size_t n) {
    return ::send(fd_, bytes, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
  }
  bool SendHeader(const std::string& name, uint32_t type, uint32_t length) {
    MessageHeader header(name, type, length);
    return SendBytes(header.Data(), MessageHeader::kSize);
  }
  bool SendLine(const std::string& name, uint16_t key, const std::string& line) {
    std::string body;
    EncipherLine(BuildCipherTable(key), line, &body);
    return SendHeader(name, MSG_SAY, static_cast<uint32_t>(body.size())) &&
           SendBytes(body.data(), body.size());
  }
  // Receives exactly n bytes; false on close, failure or time-out.
  bool Receive(void* bytes, size_t n) {
    size_t got = 0;
    while (got < n) {
      const ssize_t r = ::recv(fd_, static_cast<char*>(bytes) + got, n - got, 0);
      if (r <= 0) return false;
      got += static_cast<size_t>(r);
    }
    return true;
  }
  // Receives a header and its body.
  bool ReceiveMessage(MessageHeader* header, std::string* body) {
    if (!Receive(header->Data(), MessageHeader::kSize)) return false;
    body->assign(header->BodyLength(), '\0');
    return body->empty() || Receive(&(*body)[0], body->size());
  }
  // True when the host closed the connection (end of stream).
  bool ClosedByPeer() {
    char c;
    return ::recv(fd_, &c, 1, 0) == 0;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

}  // namespace chat_test

#endif  // QUILLO_TESTS_CHAT_CHAT_TEST_SUPPORT_H
