#ifndef QUILLO_TESTS_CHAT_CHAT_TEST_SUPPORT_H
#define QUILLO_TESTS_CHAT_CHAT_TEST_SUPPORT_H

#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "core/chat/cipher_table.h"
#include "core/chat/message_header.h"
#include "core/chat/recording_reporter.h"
#include "core/chat/session.h"
#include "support/test_support.h"

namespace chat_test {

using qtest::FreePort;

// How a conversation window shows a line.
inline std::string Said(const std::string& name, const std::string& text) {
  return name + " Says>\n" + text + "\n\n";
}

// A socket connected (or, with flags SOCK_NONBLOCK, connecting) to port on
// 127.0.0.1.
inline int ConnectLoopback(int port, int flags = 0) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
  const sockaddr_in address = qtest::LoopbackAddress(port);
  const int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (r != 0 && flags == 0) ::close(fd);
  return r == 0 || flags != 0 ? fd : -1;
}

// One side of a conversation: its own snapshot, window lines and session.
// The reporter is declared first, so it outlives the session.
struct ChatEnd {
  explicit ChatEnd(const std::string& name, uint16_t key = 52917) {
    snapshot.screen_name = name;
    snapshot.key = key;
  }
  // Hosts on port and waits until the listener thread has reported.
  bool Host(int port) {
    snapshot.port = port;
    return session.Host(snapshot) && reporter.WaitForConversation("Listening on port ");
  }
  // Connects as the Connect panel does; 0 when the conversation is up, -1
  // when not, -99 when the attempt did not end in time.
  int Connect(int port, const std::string& address = "127.0.0.1") {
    snapshot.port = port;
    if (!session.Connect(address, snapshot)) return -98;
    if (!qtest::WaitUntil([&] { return session.State() != SessionState::kConnecting; })) {
      return -99;
    }
    return session.JoinConnect() ? 0 : -1;
  }
  bool Send(const std::string& text) { return session.Send(text); }
  bool WaitState(SessionState state) {
    return qtest::WaitUntil([&] { return session.State() == state; });
  }

  SessionSnapshot snapshot;
  RecordingReporter reporter;
  ChatSession session{reporter};
};

// A port that takes callers into its backlog and answers none of them;
// a test may Accept() one and play the host by hand.
struct QuietHost {
  QuietHost() : fd(qtest::BoundSocket()), port(qtest::LocalPort(fd)) { ::listen(fd, 4); }
  ~QuietHost() { ::close(fd); }
  // The next caller's descriptor, or -1 when none came within ten seconds.
  int Accept() const {
    pollfd wait{fd, POLLIN, 0};
    return ::poll(&wait, 1, 10000) == 1 ? ::accept(fd, nullptr, nullptr) : -1;
  }
  int fd;
  int port;
};

// Receives exactly n bytes, each receive waiting at most ten seconds.
inline bool ReceiveAll(int fd, void* bytes, size_t n) {
  for (size_t got = 0; got < n;) {
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, 10000) <= 0) return false;
    const ssize_t r = ::recv(fd, static_cast<char*>(bytes) + got, n - got, 0);
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

inline bool SendAll(int fd, const std::string& bytes) {
  return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

inline std::string Bytes(const MessageHeader& header, const std::string& body = std::string()) {
  return std::string(reinterpret_cast<const char*>(header.Data()), MessageHeader::kSize) + body;
}

// A line as the basic cipher sends it.
inline std::string SayFrame(const std::string& name, const std::string& line,
                            uint16_t key = 52917) {
  std::string body;
  EncipherLine(BuildCipherTable(key), line, &body);
  return Bytes(MessageHeader(name, MSG_SAY, static_cast<uint32_t>(body.size())), body);
}

// A header and its body from fd; false when they did not come whole.
inline bool ReceiveMessage(int fd, MessageHeader* header, std::string* body) {
  if (!ReceiveAll(fd, header->Data(), MessageHeader::kSize)) return false;
  body->assign(header->BodyLength(), '\0');
  return body->empty() || ReceiveAll(fd, &(*body)[0], body->size());
}

// A caller that speaks the wire protocol by hand.
class RawCaller {
 public:
  explicit RawCaller(int port) : fd_(ConnectLoopback(port)) {}
  ~RawCaller() { ::close(fd_); }
  RawCaller(const RawCaller&) = delete;
  RawCaller& operator=(const RawCaller&) = delete;

  int Fd() const { return fd_; }
  bool SendHeader(const std::string& name, uint32_t type, uint32_t length) {
    return SendAll(fd_, Bytes(MessageHeader(name, type, length)));
  }
  // Signs on and reads the reply; its type, or 0 when none came.
  uint32_t SignOn(const std::string& name, std::string* greeting = nullptr) {
    MessageHeader reply;
    std::string body;
    const bool got =
        SendHeader(name, MSG_CONNECT, 0) && chat_test::ReceiveMessage(fd_, &reply, &body);
    if (greeting != nullptr) *greeting = reply.SenderName() + ":" + body;
    return got ? reply.Type() : 0;
  }
  // True when the host closed the connection (end of stream) within ten
  // seconds, after whatever it sent before.
  bool ClosedByPeer() {
    char chunk[4096];
    for (pollfd wait{fd_, POLLIN, 0}; ::poll(&wait, 1, 10000) == 1;) {
      const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
      if (got <= 0) return got == 0;
    }
    return false;
  }

 private:
  int fd_;
};

// Entries of /proc/self/fd (less the one reading it) or /proc/self/task.
inline int CountEntries(const std::string& what) {
  DIR* dir = ::opendir(("/proc/self/" + what).c_str());
  if (dir == nullptr) return -1;
  int count = what == "fd" ? -1 : 0;
  while (const dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
  ::closedir(dir);
  return count;
}

}  // namespace chat_test

#endif  // QUILLO_TESTS_CHAT_CHAT_TEST_SUPPORT_H
