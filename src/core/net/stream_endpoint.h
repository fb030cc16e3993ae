#ifndef QUILLO_CORE_NET_STREAM_ENDPOINT_H
#define QUILLO_CORE_NET_STREAM_ENDPOINT_H

#include <netinet/in.h>
#include <sys/socket.h>

#include <string>

// A TCP address of either family, as getaddrinfo, accept and getsockname
// give it, and the texts a person reads for it. A value type; no thread
// rules.
struct StreamEndpoint {
  sockaddr_storage address{};
  socklen_t length = 0;

  int Family() const { return address.ss_family; }
  const sockaddr* Data() const { return reinterpret_cast<const sockaddr*>(&address); }
};

// Copies what a system call filled in; length is cut to the storage.
StreamEndpoint EndpointOf(const sockaddr* address, socklen_t length);

// A numeric address (dotted IPv4 or any IPv6 text form) with a port; false
// when text is neither.
bool ParseNumericEndpoint(const std::string& text, int port, StreamEndpoint* out);

// The address in its usual text form: dotted for IPv4 and for an
// IPv4-mapped IPv6 address (a dual-stack listener's IPv4 callers), the
// shortest form (inet_ntop) for other IPv6 addresses; empty for any other
// family.
std::string EndpointAddressText(const StreamEndpoint& endpoint);
int EndpointPort(const StreamEndpoint& endpoint);

// "ADDRESS:PORT", with the address in brackets when it holds a colon
// (an IPv6 address), so that the port cannot be read as part of it.
std::string AddressWithPort(const std::string& address_text, int port);

#endif  // QUILLO_CORE_NET_STREAM_ENDPOINT_H
