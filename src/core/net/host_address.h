#ifndef QUILLO_CORE_NET_HOST_ADDRESS_H
#define QUILLO_CORE_NET_HOST_ADDRESS_H

#include <netinet/in.h>

#include <functional>
#include <string>
#include <vector>

// The addresses a host session tells its partners (Stats, the invitation):
// ones they can reach, which a loopback address is not. All address choice
// lives here: one IPv4 address, and every global IPv6 address (a machine
// behind carrier-grade IPv4 NAT is often reachable only by the latter).

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

// One IPv6 address of a network interface: getifaddrs for the interface,
// /proc/net/if_inet6 for the address's own state.
struct Interface6Address {
  std::string interface_name;
  in6_addr address{};
  bool up = false;
  bool loopback = false;
  bool temporary = false;   // a privacy address, replaced every day or so
  bool deprecated = false;  // its preferred lifetime is over
  bool tentative = false;   // duplicate detection has not finished
};

// The IPv6 addresses to give partners, in their usual text form, each once,
// in interface order: global unicast addresses (2000::/3, which leaves out
// loopback, link-local fe80::/10, unique-local fc00::/7, multicast and
// IPv4-mapped ones) of up, non-loopback interfaces, skipping temporary,
// deprecated and tentative ones, which partners cannot count on.
std::vector<std::string> ChooseIpv6Addresses(const std::vector<Interface6Address>& interfaces);

// Marks the state flags of listed addresses from the text of
// /proc/net/if_inet6 (one address a line: 32 hex digits, interface index,
// prefix length, scope, flags, name). Unknown lines are skipped.
void MarkAddressStates(const std::string& if_inet6_text, std::vector<Interface6Address>* list);

// The system's IPv6 interface addresses with their states; empty on failure.
std::vector<Interface6Address> ListInterface6Addresses();

// ChooseIpv6Addresses on this machine. Never blocks on the network.
std::vector<std::string> PartnerIpv6AddressesOfThisHost();

// Every address a host session gives its partners.
struct PartnerAddresses {
  std::string ipv4;               // always one, see ChooseHostAddress
  std::vector<std::string> ipv6;  // possibly none
};

// Where a session learns its partner addresses; host_name as for
// PartnerAddressOfThisHost. Called on the listener thread.
using PartnerAddressSource = std::function<PartnerAddresses(const std::string& host_name)>;

// Both of the above on this machine. May block in the resolver.
PartnerAddresses PartnerAddressesOfThisHost(const std::string& host_name);

#endif  // QUILLO_CORE_NET_HOST_ADDRESS_H
