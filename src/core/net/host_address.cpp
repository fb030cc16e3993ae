#include "core/net/host_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string Dotted(const in_addr& address) {
  char text[INET_ADDRSTRLEN];
  if (inet_ntop(AF_INET, &address, text, sizeof text) == nullptr) return std::string();
  return text;
}

bool IsLoopbackText(const std::string& dotted) { return dotted.rfind("127.", 0) == 0; }

std::string NameAddress(const std::string& host_name) {
  std::string name = host_name;
  if (name.empty()) {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) return std::string();
    name = buffer;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return std::string();
  }
  const std::string text = Dotted(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr);
  freeaddrinfo(found);
  return text;
}

// The kernel's address flags (linux/if_addr.h), as /proc/net/if_inet6 shows them.
constexpr unsigned kTemporaryFlag = 0x01;
constexpr unsigned kDeprecatedFlag = 0x20;
constexpr unsigned kTentativeFlag = 0x40;

bool IsGlobalUnicast(const in6_addr& address) { return (address.s6_addr[0] & 0xE0) == 0x20; }

// 32 hex digits, as /proc/net/if_inet6 writes an address.
bool ParseHexAddress(const std::string& hex, in6_addr* out) {
  if (hex.size() != 32) return false;
  for (size_t i = 0; i < 16; ++i) {
    unsigned value = 0;
    if (std::sscanf(hex.c_str() + 2 * i, "%2x", &value) != 1) return false;
    out->s6_addr[i] = static_cast<uint8_t>(value);
  }
  return hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

}  // namespace

std::vector<std::string> ChooseIpv6Addresses(const std::vector<Interface6Address>& interfaces) {
  std::vector<std::string> chosen;
  for (const Interface6Address& item : interfaces) {
    if (!item.up || item.loopback || !IsGlobalUnicast(item.address)) continue;
    if (item.temporary || item.deprecated || item.tentative) continue;
    char text[INET6_ADDRSTRLEN];
    if (inet_ntop(AF_INET6, &item.address, text, sizeof text) == nullptr) continue;
    if (std::find(chosen.begin(), chosen.end(), text) == chosen.end()) chosen.push_back(text);
  }
  return chosen;
}

void MarkAddressStates(const std::string& if_inet6_text, std::vector<Interface6Address>* list) {
  std::istringstream lines(if_inet6_text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string hex, index, prefix, scope, flags_hex, name;
    if (!(fields >> hex >> index >> prefix >> scope >> flags_hex >> name)) continue;
    in6_addr address;
    if (!ParseHexAddress(hex, &address)) continue;
    const unsigned flags = static_cast<unsigned>(std::strtoul(flags_hex.c_str(), nullptr, 16));
    for (Interface6Address& item : *list) {
      if (item.interface_name != name ||
          std::memcmp(&item.address, &address, sizeof address) != 0) {
        continue;
      }
      item.temporary = (flags & kTemporaryFlag) != 0;
      item.deprecated = (flags & kDeprecatedFlag) != 0;
      item.tentative = (flags & kTentativeFlag) != 0;
    }
  }
}

std::vector<Interface6Address> ListInterface6Addresses() {
  std::vector<Interface6Address> list;
  ifaddrs* all = nullptr;
  if (getifaddrs(&all) != 0) return list;
  for (const ifaddrs* item = all; item != nullptr; item = item->ifa_next) {
    if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET6) continue;
    Interface6Address entry;
    entry.interface_name = item->ifa_name != nullptr ? item->ifa_name : "";
    entry.address = reinterpret_cast<const sockaddr_in6*>(item->ifa_addr)->sin6_addr;
    entry.up = (item->ifa_flags & IFF_UP) != 0 && (item->ifa_flags & IFF_RUNNING) != 0;
    entry.loopback = (item->ifa_flags & IFF_LOOPBACK) != 0;
    list.push_back(entry);
  }
  freeifaddrs(all);
  std::ifstream states("/proc/net/if_inet6");
  if (states) {
    std::stringstream text;
    text << states.rdbuf();
    MarkAddressStates(text.str(), &list);
  }
  return list;
}

std::vector<std::string> PartnerIpv6AddressesOfThisHost() {
  return ChooseIpv6Addresses(ListInterface6Addresses());
}

std::string ChooseHostAddress(const std::vector<InterfaceAddress>& interfaces,
                              const std::string& default_route_interface,
                              const std::string& name_address) {
  const InterfaceAddress* any = nullptr;
  for (const InterfaceAddress& item : interfaces) {
    if (!item.up || item.loopback) continue;
    if (!default_route_interface.empty() && item.interface_name == default_route_interface) {
      return Dotted(item.address);
    }
    if (any == nullptr) any = &item;
  }
  if (any != nullptr) return Dotted(any->address);
  if (!name_address.empty() && !IsLoopbackText(name_address)) return name_address;
  return "127.0.0.1";
}

std::vector<InterfaceAddress> ListInterfaceAddresses() {
  std::vector<InterfaceAddress> list;
  ifaddrs* all = nullptr;
  if (getifaddrs(&all) != 0) return list;
  for (const ifaddrs* item = all; item != nullptr; item = item->ifa_next) {
    if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET) continue;
    InterfaceAddress entry;
    entry.interface_name = item->ifa_name != nullptr ? item->ifa_name : "";
    entry.address = reinterpret_cast<const sockaddr_in*>(item->ifa_addr)->sin_addr;
    entry.up = (item->ifa_flags & IFF_UP) != 0 && (item->ifa_flags & IFF_RUNNING) != 0;
    entry.loopback = (item->ifa_flags & IFF_LOOPBACK) != 0;
    list.push_back(entry);
  }
  freeifaddrs(all);
  return list;
}

std::string DefaultRouteInterface() {
  std::ifstream routes("/proc/net/route");
  std::string line;
  std::getline(routes, line);  // the column titles
  while (std::getline(routes, line)) {
    std::istringstream fields(line);
    std::string name, destination, gateway, flags, refs, use, metric, mask;
    if (!(fields >> name >> destination >> gateway >> flags >> refs >> use >> metric >> mask)) {
      continue;
    }
    if (destination == "00000000" && mask == "00000000") return name;
  }
  return std::string();
}

std::string PartnerAddressOfThisHost(const std::string& host_name) {
  const std::vector<InterfaceAddress> interfaces = ListInterfaceAddresses();
  const std::string route = DefaultRouteInterface();
  const std::string chosen = ChooseHostAddress(interfaces, route, std::string());
  if (chosen != "127.0.0.1") return chosen;
  return ChooseHostAddress(interfaces, route, NameAddress(host_name));
}

PartnerAddresses PartnerAddressesOfThisHost(const std::string& host_name) {
  return PartnerAddresses{PartnerAddressOfThisHost(host_name), PartnerIpv6AddressesOfThisHost()};
}
