#include "core/net/name_lookup.h"

#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// What the caller and the helper share. Whoever lets go last frees it
// (and its descriptor); the helper signals done_fd once the answer is in.
struct Answer {
  Answer() : done_fd(::eventfd(0, EFD_CLOEXEC)) {}
  ~Answer() {
    if (done_fd >= 0) ::close(done_fd);
  }
  Answer(const Answer&) = delete;
  Answer& operator=(const Answer&) = delete;

  const int done_fd;
  std::mutex mutex;
  bool found = false;
  std::vector<StreamEndpoint> endpoints;
};

}  // namespace

bool SystemResolve(const std::string& host, int port, std::vector<StreamEndpoint>* found) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) return false;
  found->clear();
  for (const addrinfo* item = list; item != nullptr; item = item->ai_next) {
    if (item->ai_family != AF_INET && item->ai_family != AF_INET6) continue;
    found->push_back(EndpointOf(item->ai_addr, item->ai_addrlen));
  }
  freeaddrinfo(list);
  return !found->empty();
}

LookupResult LookUpAddresses(const NameResolver& resolver, const std::string& typed, int port,
                             int wake_fd, PollClock::time_point deadline,
                             std::vector<StreamEndpoint>* found) {
  // "[2001:db8::5]", as IPv6 addresses are written next to a port.
  const bool bracketed = typed.size() > 2 && typed.front() == '[' && typed.back() == ']';
  const std::string host = bracketed ? typed.substr(1, typed.size() - 2) : typed;
  StreamEndpoint numeric;
  if (ParseNumericEndpoint(host, port, &numeric)) {
    found->assign(1, numeric);
    return LookupResult::kFound;
  }
  if (!resolver) return LookupResult::kFailed;
  auto answer = std::make_shared<Answer>();
  if (answer->done_fd < 0) return LookupResult::kFailed;
  try {
    std::thread([answer, resolver, host, port] {
      std::vector<StreamEndpoint> endpoints;
      const bool ok = resolver(host, port, &endpoints);
      {
        std::lock_guard<std::mutex> hold(answer->mutex);
        answer->found = ok && !endpoints.empty();
        answer->endpoints = std::move(endpoints);
      }
      const uint64_t one = 1;
      if (::write(answer->done_fd, &one, sizeof one) < 0) {
        // An eventfd write fails only on overflow, which one write cannot reach.
      }
    }).detach();
  } catch (const std::system_error&) {
    return LookupResult::kFailed;
  }
  switch (WaitForSocket(answer->done_fd, POLLIN, wake_fd, deadline)) {
    case PollResult::kWoken:
      return LookupResult::kWoken;
    case PollResult::kTimedOut:
      return LookupResult::kTimedOut;
    case PollResult::kFailed:
      return LookupResult::kFailed;
    case PollResult::kReady:
      break;
  }
  std::lock_guard<std::mutex> hold(answer->mutex);
  if (!answer->found) return LookupResult::kNotFound;
  *found = answer->endpoints;
  return LookupResult::kFound;
}
