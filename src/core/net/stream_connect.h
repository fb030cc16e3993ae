#ifndef QUILLO_CORE_NET_STREAM_CONNECT_H
#define QUILLO_CORE_NET_STREAM_CONNECT_H

#include <vector>

#include "core/net/poll_wait.h"
#include "core/net/stream_endpoint.h"

// Calling a host that has several addresses (both families, several
// records): each is tried in turn until one answers.

enum class ConnectOutcome {
  kConnected,
  kUnreachable,  // every address refused, failed or timed out
  kNoSocket,     // no socket could be made for any address (out of descriptors)
  kWoken,        // wake_fd fired
};

struct ConnectResult {
  ConnectOutcome outcome = ConnectOutcome::kUnreachable;
  int fd = -1;              // kConnected: a blocking descriptor the caller owns
  StreamEndpoint endpoint;  // kConnected: the address that answered
};

// Tries endpoints in order. A try that has not connected after try_ms is
// given up for the next address; the last address may use all the time
// left before deadline, and no try outlasts deadline. wake_fd (or -1) ends
// the whole call at once. An address whose family the machine lacks fails
// at once and the next is tried.
ConnectResult ConnectToFirst(const std::vector<StreamEndpoint>& endpoints, long try_ms,
                             PollClock::time_point deadline, int wake_fd);

#endif  // QUILLO_CORE_NET_STREAM_CONNECT_H
