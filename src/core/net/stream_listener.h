#ifndef QUILLO_CORE_NET_STREAM_LISTENER_H
#define QUILLO_CORE_NET_STREAM_LISTENER_H

// The host's listening socket: one socket for callers of both families
// where the machine has IPv6, an IPv4 one where it has not.

struct ListenerResult {
  int fd = -1;              // non-blocking, close-on-exec; the caller owns it
  int port = 0;             // the port actually bound (port 0 asks for a free one)
  bool dual_stack = false;  // IPv6 and IPv4 callers both reach it
  int error = 0;            // a SocketError code when fd < 0
};

// Listens on every address of the machine at port: an AF_INET6 socket with
// IPV6_V6ONLY off, so IPv4 callers arrive as IPv4-mapped addresses. Only
// where IPv6 is absent (the socket family is not supported, or no IPv6
// address can be bound) does it fall back to an AF_INET socket. Connections
// of an earlier session lingering in TIME_WAIT do not keep it from binding
// the port (SO_REUSEADDR).
ListenerResult OpenStreamListener(int port);

#endif  // QUILLO_CORE_NET_STREAM_LISTENER_H
