#ifndef QUILLO_CORE_NET_HOST_ADDRESS_H
#define QUILLO_CORE_NET_HOST_ADDRESS_H

#include <netinet/in.h>

#include <string>
#include <vector>

// The address a host session tells its partners (Stats, the invitation):
// one they can reach, which a loopback address is not. All address choice
// lives here, so dual-stack support changes one file pair.

// One IPv4 address of a network interface, as getifaddrs lists it.
struct InterfaceAddress {
  std::string interface_name;
  in_addr address{};
  bool up = false;
  bool loopback = false;
};

// The choice itself, without touching the system: the first address of an
// up, non-loopback interface named default_route_interface; else the first
// address of any up, non-loopback interface; else name_address (the
// machine name's address, dotted, empty when it did not resolve) unless it
// is a loopback address; else 127.0.0.1.
std::string ChooseHostAddress(const std::vector<InterfaceAddress>& interfaces,
                              const std::string& default_route_interface,
                              const std::string& name_address);

// The system's IPv4 interface addresses (getifaddrs); empty on failure.
std::vector<InterfaceAddress> ListInterfaceAddresses();

// The interface carrying the IPv4 default route (from /proc/net/route), or
// empty.
std::string DefaultRouteInterface();

// ChooseHostAddress on this machine. host_name is resolved only when no
// interface gives an answer (empty: the machine's own name). May block in
// the resolver: never call it on the GUI thread.
std::string PartnerAddressOfThisHost(const std::string& host_name);

#endif  // QUILLO_CORE_NET_HOST_ADDRESS_H
