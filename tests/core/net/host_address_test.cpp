#include "core/net/host_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace {

// An interface's address of either family, from its text.
template <typename Item = InterfaceAddress>
Item Interface(const std::string& name, const char* text, bool up = true, bool loopback = false) {
  Item item;
  item.interface_name = name;
  inet_pton(sizeof item.address == 4 ? AF_INET : AF_INET6, text, &item.address);
  item.up = up;
  item.loopback = loopback;
  return item;
}
using V6 = Interface6Address;

TEST(HostAddressTest, PartnersGetAnAddressTheyCanReach) {
  const InterfaceAddress lo = Interface("lo", "127.0.0.1", true, true);
  const InterfaceAddress docker = Interface("docker0", "172.17.0.1");
  const InterfaceAddress eth = Interface("eth0", "192.168.1.20");
  const InterfaceAddress down = Interface("wlan0", "10.0.0.5", false);
  struct Case {
    std::vector<InterfaceAddress> interfaces;
    std::string route;
    std::string name_address;
    std::string expected;
  };
  const Case cases[] = {
      // The interface carrying the default route wins over earlier ones.
      {{lo, docker, eth}, "eth0", "", "192.168.1.20"},
      // Without a default route: the first interface that is up.
      {{lo, down, docker, eth}, "", "", "172.17.0.1"},
      // A default route on an interface that is down is passed over.
      {{lo, down, eth}, "wlan0", "", "192.168.1.20"},
      // Only loopback: the name's address, unless that is loopback too.
      {{lo}, "", "10.1.2.3", "10.1.2.3"},
      {{lo}, "", "127.0.1.1", "127.0.0.1"},
      // Nothing at all, and a name that did not resolve.
      {{}, "", "", "127.0.0.1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseHostAddress(c.interfaces, c.route, c.name_address), c.expected)
        << c.route << " " << c.name_address;
  }
}

// The states come from the kernel's list (flags 01 temporary, 20 deprecated,
// 40 tentative), each for the address on its own interface only.
TEST(HostAddressTest, PartnersGetEveryStableGlobalIpv6Address) {
  std::vector<Interface6Address> interfaces = {
      Interface<V6>("lo", "::1", true, true),
      Interface<V6>("eth0", "fe80::fc:ff:fe00:1"),  // link-local
      Interface<V6>("eth0", "fd00::2"),             // unique-local: not on the internet
      Interface<V6>("eth0", "2001:db8:0:0::5"),
      Interface<V6>("eth0", "2001:db8::a1"),
      Interface<V6>("eth0", "2001:db8::a2"),
      Interface<V6>("eth0", "2001:db8::a3"),
      Interface<V6>("wlan0", "2a01:4f8::7", false),  // interface down
      Interface<V6>("wlan1", "2a01:4f8::8"),
      Interface<V6>("eth1", "2001:db8::5"),  // the same address twice: shown once
      Interface<V6>("eth0", "::ffff:192.0.2.1"),
      Interface<V6>("eth0", "ff02::1"),
      Interface<V6>("lo", "2001:db8::99", true, true),
  };
  MarkAddressStates(
      "20010db80000000000000000000000a1 02 40 00 01     eth0\n"
      "20010db80000000000000000000000a2 02 40 00 20     eth0\n"
      "not a line\n"
      "20010db80000000000000000000000a3 02 40 00 40     eth0\n"
      "20010db8000000000000000000000005 03 40 00 20     eth9\n",
      &interfaces);
  EXPECT_EQ(ChooseIpv6Addresses(interfaces),
            (std::vector<std::string>{"2001:db8::5", "2a01:4f8::8"}));
  // A machine with only link-local and unique-local addresses has none to give.
  EXPECT_TRUE(ChooseIpv6Addresses({interfaces[0], interfaces[1], interfaces[2]}).empty());
}

}  // namespace
