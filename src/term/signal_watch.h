#ifndef QUILLO_TERM_SIGNAL_WATCH_H
#define QUILLO_TERM_SIGNAL_WATCH_H

#include "term/self_pipe.h"

// Turns SIGINT, SIGTERM, SIGHUP and SIGWINCH into bytes (the signal
// number) on a self-pipe, so the main loop handles them outside the
// handler; SIGPIPE is ignored, so a partner gone mid-write is a failed
// send, not the end of the program. One per process: the handlers can only
// reach the pipe through a process-wide pointer. The destructor restores
// the handlers found.
class SignalWatch {
 public:
  explicit SignalWatch(const SelfPipe& pipe);
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;
};

#endif  // QUILLO_TERM_SIGNAL_WATCH_H
