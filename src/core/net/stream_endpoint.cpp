#include "core/net/stream_endpoint.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

StreamEndpoint EndpointOf(const sockaddr* address, socklen_t length) {
  StreamEndpoint endpoint;
  endpoint.length = std::min<socklen_t>(length, sizeof endpoint.address);
  std::memcpy(&endpoint.address, address, endpoint.length);
  return endpoint;
}

bool ParseNumericEndpoint(const std::string& text, int port, StreamEndpoint* out) {
  StreamEndpoint endpoint;
  const uint16_t network_port = htons(static_cast<uint16_t>(port));
  auto* v4 = reinterpret_cast<sockaddr_in*>(&endpoint.address);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&endpoint.address);
  if (inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = network_port;
    endpoint.length = sizeof *v4;
  } else if (inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = network_port;
    endpoint.length = sizeof *v6;
  } else {
    return false;
  }
  *out = endpoint;
  return true;
}

std::string EndpointAddressText(const StreamEndpoint& endpoint) {
  char text[INET6_ADDRSTRLEN] = {};
  if (endpoint.Family() == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&endpoint.address);
    if (inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text) == nullptr) return std::string();
    return text;
  }
  if (endpoint.Family() != AF_INET6) return std::string();
  const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&endpoint.address);
  if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {
    if (inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text, sizeof text) == nullptr) {
      return std::string();
    }
    return text;
  }
  if (inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text) == nullptr) return std::string();
  return text;
}

int EndpointPort(const StreamEndpoint& endpoint) {
  if (endpoint.Family() == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in*>(&endpoint.address)->sin_port);
  }
  if (endpoint.Family() == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&endpoint.address)->sin6_port);
  }
  return 0;
}

std::string AddressWithPort(const std::string& address_text, int port) {
  const std::string address =
      address_text.find(':') != std::string::npos ? "[" + address_text + "]" : address_text;
  return address + ":" + std::to_string(port);
}
