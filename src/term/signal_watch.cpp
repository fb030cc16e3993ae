#include "term/signal_watch.h"

#include <csignal>

namespace {

constexpr int kWatched[] = {SIGINT, SIGTERM, SIGHUP, SIGWINCH};
constexpr int kWatchedCount = sizeof kWatched / sizeof kWatched[0];

// A signal handler gets no argument of ours: this is its only way to the
// pipe. Set before the handlers are installed, cleared after they are gone.
const SelfPipe* volatile watched_pipe = nullptr;
struct sigaction previous[kWatchedCount];
struct sigaction previous_pipe;

void OnSignal(int number) {
  const SelfPipe* pipe = watched_pipe;
  if (pipe != nullptr) pipe->Notify(static_cast<unsigned char>(number));
}

}  // namespace

SignalWatch::SignalWatch(const SelfPipe& pipe) {
  watched_pipe = &pipe;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < kWatchedCount; ++i) sigaction(kWatched[i], &action, &previous[i]);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &previous_pipe);
}

SignalWatch::~SignalWatch() {
  for (int i = 0; i < kWatchedCount; ++i) sigaction(kWatched[i], &previous[i], nullptr);
  sigaction(SIGPIPE, &previous_pipe, nullptr);
  watched_pipe = nullptr;
}
