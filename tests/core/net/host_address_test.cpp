#include "core/net/host_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace {

InterfaceAddress Interface(const std::string& name, const char* dotted, bool up = true,
                           bool loopback = false) {
  InterfaceAddress item;
  item.interface_name = name;
  inet_pton(AF_INET, dotted, &item.address);
  item.up = up;
  item.loopback = loopback;
  return item;
}

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

TEST(HostAddressTest, ThisMachineAlwaysHasAnAnswer) {
  // A name that cannot resolve never makes hosting fail.
  const std::string address = PartnerAddressOfThisHost("no-such-host.invalid");
  in_addr parsed;
  EXPECT_EQ(inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
}

}  // namespace
