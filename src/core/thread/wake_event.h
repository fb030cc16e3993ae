#ifndef QUILLO_CORE_THREAD_WAKE_EVENT_H
#define QUILLO_CORE_THREAD_WAKE_EVENT_H

// A flag a worker can wait for inside poll(): Fd() becomes readable once
// Signal() has been called and stays readable until Reset(). Workers put it
// next to their sockets in every poll, so a canceller wakes any wait with
// one call and then joins the worker.
//
// Ownership: owns one eventfd, closed by the destructor; destroy it only
// after every worker polling it has been joined. Thread rules: Signal() may
// be called from any thread at any time; Reset() only while no worker runs.
class WakeEvent {
 public:
  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;

  // False when no eventfd could be made (out of descriptors).
  bool Valid() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  void Signal();
  void Reset();

 private:
  int fd_;
};

#endif  // QUILLO_CORE_THREAD_WAKE_EVENT_H
