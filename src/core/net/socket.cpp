#include "core/net/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <thread>

namespace {

const char* const kSocketTexts[kSocketErrorCount] = {
    "Socket exception: No exception reported",
    "Socket exception: Invalid exception code",
    "Socket exception: Error accepting remote socket",
    "Socket exception: Could not bind socket",
    "Socket exception: Buffer overflow error",
    "Socket exception: Could not connect socket",
    "Socket exception: A file system error occurred",
    "Socket exception: Error getting socket option",
    "Socket exception: Could not resolve hostname",
    "Socket exception: Initialization error",
    "Socket exception: Listen error",
    "Socket exception: Get peer name error",
    "Socket exception: Unsupported protocol requested",
    "Socket exception: Receive error",
    "Socket exception: Request timed out",
    "Socket exception: Unsupported service requested",
    "Socket exception: Error setting socket option",
    "Socket exception: Get socket name error",
    "Socket exception: Unsupported socket type requested",
    "Socket exception: Transmit error",
    "WinSock exception: WSACleanup operation failed",
    "WinSock exception: Version specified is not supported by this DLL",
    "WinSock exception: Could not initialize Winsock",
    "WinSock exception: Network subsystem is not ready",
    "WinSock exception: Requested version in not supported",
    "Socket exception: Variable block acknowledgment error",
    "Socket exception: Bad database block header",
    "Socket exception: Bad database block size",
    "Socket exception: Variable block synchronization error",
    "Socket exception: Unexpected reply from server",
};

// The first IPv4 address of a host name, by the resolver.
bool LookUpName(const std::string& name, in_addr* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

}  // namespace

const char* SocketErrorText(int code) {
  if (code < 0 || code >= kSocketErrorCount) code = SOCKET_INVALID_ERROR_CODE;
  return kSocketTexts[code];
}

// A name lookup run on a helper thread, so that Shutdown can abandon the
// wait for it: the resolver cannot be interrupted. The helper shares only
// this record, which lives until both sides are done with it.
struct Socket::Resolution {
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  bool abandoned = false;
  bool found = false;
  in_addr address{};
};

Socket::Socket() = default;

Socket::~Socket() { CloseAll(); }

int Socket::StartWinsock() { return 0; }

int Socket::InitSocket(int kind, int port, const char* host) {
  address_family_ = AF_INET;
  port_ = port;
  if (kind == 1) {
    socket_type_ = SOCK_STREAM;
    protocol_ = IPPROTO_TCP;
  } else if (kind == 2) {
    socket_type_ = SOCK_DGRAM;
    protocol_ = IPPROTO_UDP;
  } else {
    SetErrorCode(SOCKET_SOCKETTYPE_ERROR);
    return -1;
  }
  memset(&address_, 0, sizeof address_);
  address_.sin_family = AF_INET;
  if (host != nullptr) {
    if (!ResolveInto(host)) {
      SetErrorCode(SOCKET_HOSTNAME_ERROR);
      return -1;
    }
  } else {
    address_.sin_addr.s_addr = htonl(INADDR_ANY);
  }
  address_.sin_port = htons(static_cast<uint16_t>(port));
  const SocketHandle handle = ::socket(address_family_, socket_type_ | SOCK_CLOEXEC, protocol_);
  if (handle < 0) {
    SetErrorCode(SOCKET_INIT_ERROR);
    return -1;
  }
  CloseDescriptor(main_handle_);  // a socket reused without CloseAll
  AdoptHandle(handle);
  return handle;
}

bool Socket::ResolveInto(const char* host) {
  in_addr dotted;
  if (inet_pton(AF_INET, host, &dotted) == 1) {
    address_.sin_addr = dotted;
    return true;
  }
  auto resolution = std::make_shared<Resolution>();
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (shut_down_) return false;
    resolution_ = resolution;
  }
  std::string name(host);
  bool started = true;
  try {
    std::thread([resolution, name] {
      in_addr address{};
      const bool found = LookUpName(name, &address);
      std::lock_guard<std::mutex> guard(resolution->mutex);
      resolution->found = found;
      resolution->address = address;
      resolution->done = true;
      resolution->changed.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    started = false;
  }
  bool found = false;
  if (started) {
    std::unique_lock<std::mutex> wait(resolution->mutex);
    resolution->changed.wait(wait, [&] { return resolution->done || resolution->abandoned; });
    found = resolution->done && resolution->found && !resolution->abandoned;
    if (found) address_.sin_addr = resolution->address;
  }
  std::lock_guard<std::mutex> guard(lock_);
  resolution_.reset();
  return found;
}

void Socket::AdoptHandle(SocketHandle handle) {
  std::lock_guard<std::mutex> guard(lock_);
  main_handle_ = handle;
  if (shut_down_) ::shutdown(handle, SHUT_RDWR);
}

void Socket::ApplyShutdown(SocketHandle handle) {
  std::lock_guard<std::mutex> guard(lock_);
  if (shut_down_ && handle >= 0) ::shutdown(handle, SHUT_RDWR);
}

int Socket::Connect() {
  const bool connected = ConnectMain();
  connected_ = connected;
  if (!connected) {
    SetErrorCode(SOCKET_CONNECT_ERROR);
    return -1;
  }
  return 0;
}

// Shutting down a socket that is still unconnected has no effect, so the
// connection is started without blocking, the shutdown flag is checked once
// the socket is under way (from then on a shutdown aborts it), and only then
// does the thread wait.
bool Socket::ConnectMain() {
  const SocketHandle handle = main_handle_;
  const int flags = fcntl(handle, F_GETFL);
  if (flags < 0 || fcntl(handle, F_SETFL, flags | O_NONBLOCK) < 0) return false;
  bool connected =
      ::connect(handle, reinterpret_cast<const sockaddr*>(&address_), sizeof address_) == 0;
  if (!connected && errno == EINPROGRESS) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (shut_down_) {
        fcntl(handle, F_SETFL, flags);
        return false;
      }
    }
    pollfd wait{handle, POLLOUT, 0};
    int ready;
    do {
      ready = poll(&wait, 1, -1);
    } while (ready < 0 && errno == EINTR);
    int error = 0;
    socklen_t length = sizeof error;
    connected = ready > 0 && getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                error == 0 && !shut_down_;
  }
  fcntl(handle, F_SETFL, flags);
  ApplyShutdown(handle);
  return connected;
}

int Socket::WaitReadable(SocketHandle handle, long seconds, long microseconds) {
  const long milliseconds = seconds * 1000 + (microseconds + 999) / 1000;
  pollfd wait{handle, POLLIN, 0};
  int ready;
  do {
    ready = poll(&wait, 1, static_cast<int>(milliseconds));
  } while (ready < 0 && errno == EINTR);
  if (ready > 0 && (wait.revents & POLLNVAL)) return -1;
  return ready;
}

int Socket::RecvAll(SocketHandle handle, void* buffer, int n, int flags) {
  char* bytes = static_cast<char*>(buffer);
  int received = 0;
  while (received < n) {
    const ssize_t result =
        ::recv(handle, bytes + received, static_cast<size_t>(n - received), flags);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) {
      SetErrorCode(SOCKET_RECEIVE_ERROR);
      return -1;
    }
    received += static_cast<int>(result);
  }
  return received;
}

int Socket::RecvAll(void* buffer, int n, int flags) {
  return RecvAll(main_handle_, buffer, n, flags);
}

int Socket::SendAll(SocketHandle handle, const void* buffer, int n, int flags) {
  const char* bytes = static_cast<const char*>(buffer);
  int sent = 0;
  while (sent < n) {
    const ssize_t result =
        ::send(handle, bytes + sent, static_cast<size_t>(n - sent), flags | MSG_NOSIGNAL);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) {
      SetErrorCode(SOCKET_TRANSMIT_ERROR);
      return -1;
    }
    sent += static_cast<int>(result);
  }
  return sent;
}

int Socket::SendAll(const void* buffer, int n, int flags) {
  return SendAll(main_handle_, buffer, n, flags);
}

void Socket::CloseDescriptor(std::atomic<SocketHandle>& slot) {
  const SocketHandle handle = slot.exchange(kInvalidSocket);
  if (handle >= 0) ::close(handle);
}

void Socket::CloseAll() {
  std::lock_guard<std::mutex> guard(lock_);
  connected_ = false;
  CloseDescriptor(main_handle_);
}

void Socket::Shutdown() {
  std::lock_guard<std::mutex> guard(lock_);
  shut_down_ = true;
  if (resolution_) {
    std::lock_guard<std::mutex> wake(resolution_->mutex);
    resolution_->abandoned = true;
    resolution_->changed.notify_all();
  }
  ShutdownHandle(main_handle_);
}

void Socket::ClearShutdown() {
  std::lock_guard<std::mutex> guard(lock_);
  shut_down_ = false;
}

void Socket::ShutdownHandle(SocketHandle handle) {
  if (handle >= 0) ::shutdown(handle, SHUT_RDWR);
}

const char* Socket::ErrorText() {
  int code = error_code_;
  if (code < 0 || code >= kSocketErrorCount) {
    code = SOCKET_INVALID_ERROR_CODE;
    error_code_ = code;
  }
  return kSocketTexts[code];
}
