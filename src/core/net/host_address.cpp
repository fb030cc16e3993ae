#include "core/net/host_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

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

}  // namespace

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
