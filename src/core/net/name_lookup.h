#ifndef QUILLO_CORE_NET_NAME_LOOKUP_H
#define QUILLO_CORE_NET_NAME_LOOKUP_H

#include <functional>
#include <string>
#include <vector>

#include "core/net/poll_wait.h"
#include "core/net/stream_endpoint.h"

// Turning the address a person typed into the TCP addresses to try.

// Fills found with host's addresses for port, in the order to try them;
// false when there are none. Called on a helper thread (see LookUpAddresses):
// anything it uses must stay alive until it returns, even after the caller
// stopped waiting for it.
using NameResolver =
    std::function<bool(const std::string& host, int port, std::vector<StreamEndpoint>* found)>;

// The system's resolver: getaddrinfo for streams of both families, in the
// order it gives (the system's preference, IPv6 first where it prefers
// IPv6). Families the machine has no address of are left out
// (AI_ADDRCONFIG), so a name with an IPv6 address is not tried over IPv6
// on an IPv4-only machine.
bool SystemResolve(const std::string& host, int port, std::vector<StreamEndpoint>* found);

enum class LookupResult { kFound, kNotFound, kWoken, kTimedOut, kFailed };

// host may be written in brackets ("[2001:db8::5]"). A numeric address
// gives itself at once, whatever the machine's
// families (AI_ADDRCONFIG would hide ::1 on a machine without a global
// IPv6 address). A name is given to resolver on a helper thread, since a
// resolver cannot be interrupted; the caller waits until it answers,
// wake_fd becomes readable or deadline passes, and then returns. A helper
// left behind finishes on its own and frees what it shares with the
// caller; it touches nothing else. kFailed: no helper thread could start.
LookupResult LookUpAddresses(const NameResolver& resolver, const std::string& typed, int port,
                             int wake_fd, PollClock::time_point deadline,
                             std::vector<StreamEndpoint>* found);

#endif  // QUILLO_CORE_NET_NAME_LOOKUP_H
