#ifndef QUILLO_CORE_NET_SOCKET_H
#define QUILLO_CORE_NET_SOCKET_H

#include <netinet/in.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

// A descriptor of the BSD socket interface.
typedef int SocketHandle;
constexpr SocketHandle kInvalidSocket = -1;

// Codes kept by a Socket after a failure; ErrorText() names each one.
enum SocketError : int {
  SOCKET_NO_ERROR = 0,
  SOCKET_INVALID_ERROR_CODE = 1,
  SOCKET_ACCEPT_ERROR = 2,
  SOCKET_BIND_ERROR = 3,
  SOCKET_BUFOVERFLOW_ERROR = 4,
  SOCKET_CONNECT_ERROR = 5,
  SOCKET_FILESYSTEM_ERROR = 6,
  SOCKET_GETOPTION_ERROR = 7,
  SOCKET_HOSTNAME_ERROR = 8,
  SOCKET_INIT_ERROR = 9,
  SOCKET_LISTEN_ERROR = 10,
  SOCKET_PEERNAME_ERROR = 11,
  SOCKET_PROTOCOL_ERROR = 12,
  SOCKET_RECEIVE_ERROR = 13,
  SOCKET_REQUEST_TIMEOUT = 14,
  SOCKET_SERVICE_ERROR = 15,
  SOCKET_SETOPTION_ERROR = 16,
  SOCKET_SOCKNAME_ERROR = 17,
  SOCKET_SOCKETTYPE_ERROR = 18,
  SOCKET_TRANSMIT_ERROR = 19,
  WINSOCK_CLEANUP_ERROR = 20,
  WINSOCK_VERSION_ERROR = 21,
  WINSOCK_INIT_ERROR = 22,
  WINSOCK_NETWORK_NOT_READY = 23,
  WINSOCK_VERSION_NOT_SUPPORTED = 24,
  SOCKET_BLOCKACK_ERROR = 25,
  SOCKET_BLOCKHEADER_ERROR = 26,
  SOCKET_BLOCKSIZE_ERROR = 27,
  SOCKET_BLOCKSYNC_ERROR = 28,
  // A complete reply arrived with another code than the one expected.
  SOCKET_UNEXPECTED_REPLY = 29,
};
constexpr int kSocketErrorCount = 30;

// The text for a code; codes outside the table read as code 1.
const char* SocketErrorText(int code);

// A blocking connecting socket (the main handle). The session core owns its
// own listener (stream_listener.h), so this layer has no listening side.
//
// Every failing operation returns a negative value and records a SocketError
// code; the layer never shows a message and never closes a handle on failure
// except through CloseAll.
//
// Waking a blocked thread: Shutdown() may be called from any thread. It
// shuts down (shutdown(SHUT_RDWR)) the handle, which wakes a thread blocked
// in RecvAll, Connect or WaitReadable on it, and it makes the socket refuse
// to block from then on: a handle created or connected later is shut down at
// once and a name resolution in progress is abandoned. The descriptor stays
// open, so its number cannot be reused under a call that is still returning;
// the thread that used it closes it (CloseAll). The
// refusal lasts until ClearShutdown(), which the owner calls before the next
// session, on a thread that cannot race with a canceller (before starting
// the worker, or inside the worker's commit step, see thread/commit_scope.h).
//
// Thread safety: the handle and the error code are atomic; Shutdown and
// CloseAll take a short internal lock, so a
// canceller may call them while the worker is inside another operation.
// Otherwise one thread at a time drives the socket.
class Socket {
 public:
  Socket();
  virtual ~Socket();  // CloseAll
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Linux needs no start-up: returns 0 (the version selector is kept).
  int StartWinsock();

  // kind 1: stream/TCP, kind 2: datagram/UDP, other kinds fail with 18. With
  // a host (name or dotted address) resolves it first and takes its first
  // IPv4 address; an unknown host fails with 8 and creates no handle.
  // Without a host the address is "any". Returns the new main handle; a
  // main handle left open from an earlier use is closed first. A name
  // lookup runs on a helper thread so that Shutdown can end the wait.
  int InitSocket(int kind, int port, const char* host = nullptr);
  int Connect();  // fails with 5

  // > 0 readable, 0 timed out, < 0 error. Sets no code.
  int WaitReadable(SocketHandle handle, long seconds, long microseconds);

  // Loop until n bytes or failure (a peer that closes is a failure).
  int RecvAll(SocketHandle handle, void* buffer, int n, int flags = 0);        // fails with 13
  int RecvAll(void* buffer, int n, int flags = 0);                             // main handle
  int SendAll(SocketHandle handle, const void* buffer, int n, int flags = 0);  // fails with 19
  int SendAll(const void* buffer, int n, int flags = 0);

  // Clears the connected flag and closes the main handle.
  void CloseAll();

  // See the class comment.
  void Shutdown();
  void ClearShutdown();
  bool IsShutDown() const { return shut_down_.load(); }
  // Wakes calls blocked on a handle kept outside a Socket (the peer socket).
  static void ShutdownHandle(SocketHandle handle);

  const char* ErrorText();  // codes outside the table are first set to 1
  int ErrorCode() const { return error_code_.load(); }

  int AddressFamily() const { return address_family_; }
  int Protocol() const { return protocol_; }
  int SocketType() const { return socket_type_; }
  int Port() const { return port_; }
  SocketHandle MainHandle() const { return main_handle_.load(); }
  bool IsConnected() const { return connected_; }
  const sockaddr_in& Address() const { return address_; }
  int WinsockVersion = 1;

 protected:
  void SetErrorCode(int code) { error_code_.store(code); }

 private:
  struct Resolution;
  // Resolves host into address_; false when it is unknown or the socket was
  // shut down meanwhile.
  bool ResolveInto(const char* host);
  // Connects the main handle; a shutdown wakes the wait.
  bool ConnectMain();
  // Stores a new main handle, shutting it down at once when the socket
  // refuses to block.
  void AdoptHandle(SocketHandle handle);
  // Shuts the handle down when the socket refuses to block.
  void ApplyShutdown(SocketHandle handle);
  static void CloseDescriptor(std::atomic<SocketHandle>& slot);

  int address_family_ = AF_INET;
  int protocol_ = IPPROTO_TCP;
  int socket_type_ = SOCK_STREAM;
  int port_ = 2073;
  std::atomic<SocketHandle> main_handle_{kInvalidSocket};
  std::atomic<int> error_code_{SOCKET_NO_ERROR};
  std::atomic<bool> connected_{false};
  sockaddr_in address_{};

  // Orders Shutdown against new handles and a name lookup in progress.
  std::mutex lock_;
  std::atomic<bool> shut_down_{false};
  std::shared_ptr<Resolution> resolution_;
};

#endif  // QUILLO_CORE_NET_SOCKET_H
